// sample9.exe: a small Direct3D 9 game used by the tests, the benchmarks and
// the demo. It imports d3d9.dll like any game, so a d3d9.dll beside it is
// loaded instead of the system's.
//
// The picture (all colours flat, 0xAARRGGBB, back buffer X8R8G8B8; x, y in
// back-buffer pixels, right and bottom exclusive; frames are numbered from 1):
//   background     Clear to 0xFF204060.
//   frame counter  16 cells of 8x8 at y 8..16, cell i at x 8+8i..16+8i; cell i
//                  is white 0xFFFFFFFF when bit i of (frame & 0xFFFF) is 1,
//                  black 0xFF000000 when it is 0 (bit 0 leftmost). Drawn with
//                  Clear rectangles.
//   frame number   decimal, white seven-segment digits of 16x28 (4 px strokes)
//                  from (8, 24), one every 24 px. Clear rectangles.
//   red rectangle  0xFFFF0000, 64x64 at y 200..264, left edge at
//                  (4 * frame) mod width; the part past the right edge wraps
//                  to the left edge. Two triangles through DrawPrimitiveUP.
//   triangles      green 0xFF00FF00 between y 300 and 364, left corner at
//                  x 8 + (3 * frame) mod (width - 240); yellow 0xFFFFFF00 at
//                  x width-100..width-40, top at y 290 + (2 * frame) mod
//                  (height - 360). DrawPrimitiveUP, XYZRHW | DIFFUSE.
// Nothing else is drawn, so for a 640x480 back buffer the pixel (600, 100)
// always shows the background.
//
// Output: one line per event on stdout, each beginning "sample9: " and
// flushed at once. Exit code 0 on success, 1 when a call fails (after a
// line "sample9: error: ..."), 2 for a bad command line.

#include <windows.h>
#include <initguid.h>
#include <d3d9.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Sample9Bmp.h"
#include "Sample9DirectInput.h"
#include "Sample9Options.h"
#include "Sample9Scene.h"

namespace {

const char kWindowClass[] = "Sample9Window";

bool g_quit = false;
LPARAM g_lastMove = -1;

void Say(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::fputs("sample9: ", stdout);
    std::vprintf(fmt, args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    va_end(args);
}

unsigned long Hex(HRESULT hr) { return static_cast<unsigned long>(static_cast<DWORD>(hr)); }

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
    switch (msg) {
    case WM_KEYDOWN: Say("got WM_KEYDOWN vk=%u", static_cast<unsigned>(wp)); return 0;
    case WM_KEYUP: Say("got WM_KEYUP vk=%u", static_cast<unsigned>(wp)); return 0;
    case WM_SYSKEYDOWN: Say("got WM_SYSKEYDOWN vk=%u", static_cast<unsigned>(wp)); break;
    case WM_SYSKEYUP: Say("got WM_SYSKEYUP vk=%u", static_cast<unsigned>(wp)); break;
    case WM_LBUTTONDOWN: Say("got WM_LBUTTONDOWN x=%d y=%d", x, y); return 0;
    case WM_LBUTTONUP: Say("got WM_LBUTTONUP x=%d y=%d", x, y); return 0;
    case WM_RBUTTONDOWN: Say("got WM_RBUTTONDOWN x=%d y=%d", x, y); return 0;
    case WM_RBUTTONUP: Say("got WM_RBUTTONUP x=%d y=%d", x, y); return 0;
    case WM_MOUSEMOVE:
        // Only real movement: the system repeats WM_MOUSEMOVE at one place.
        if (lp != g_lastMove) {
            g_lastMove = lp;
            Say("got WM_MOUSEMOVE x=%d y=%d", x, y);
        }
        return 0;
    case WM_CLOSE:
        g_quit = true;  // the main loop releases everything and destroys the window
        return 0;
    case WM_ERASEBKGND: return 1;  // Direct3D paints the whole client area
    default: break;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) g_quit = true;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

const DWORD kWindowedStyle = WS_OVERLAPPEDWINDOW;

// Window rectangle that puts a client area of w x h at the screen's top-left.
RECT WindowedRect(int w, int h) {
    RECT rc = {0, 0, w, h};
    AdjustWindowRect(&rc, kWindowedStyle, FALSE);
    return rc;
}

HWND CreateGameWindow(bool fullscreenWindow, int w, int h) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return NULL;
    HWND hwnd;
    if (fullscreenWindow) {
        hwnd = CreateWindowExA(0, kWindowClass, "sample9", WS_POPUP, 0, 0, w, h, NULL, NULL, wc.hInstance, NULL);
    } else {
        RECT rc = WindowedRect(w, h);
        hwnd = CreateWindowExA(0, kWindowClass, "sample9", kWindowedStyle, rc.left, rc.top, rc.right - rc.left,
                               rc.bottom - rc.top, NULL, NULL, wc.hInstance, NULL);
    }
    if (!hwnd) return NULL;
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);
    PumpMessages();
    return hwnd;
}

void ReportWindow(HWND hwnd) {
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    RECT client;
    GetClientRect(hwnd, &client);
    Say("window client at %ld,%ld size %ldx%ld", origin.x, origin.y, client.right, client.bottom);
}

D3DPRESENT_PARAMETERS MakePresentParams(HWND hwnd, int w, int h, bool copy) {
    D3DPRESENT_PARAMETERS pp = {};
    pp.BackBufferWidth = static_cast<UINT>(w);
    pp.BackBufferHeight = static_cast<UINT>(h);
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.MultiSampleType = D3DMULTISAMPLE_NONE;
    pp.SwapEffect = copy ? D3DSWAPEFFECT_COPY : D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = hwnd;
    pp.Windowed = TRUE;
    pp.Flags = copy ? D3DPRESENTFLAG_LOCKABLE_BACKBUFFER : 0;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return pp;
}

// A HAL device with hardware vertex processing, or software where the
// hardware cannot.
HRESULT CreateGameDevice(IDirect3D9* d3d, HWND hwnd, D3DPRESENT_PARAMETERS& pp, IDirect3DDevice9** dev) {
    *dev = NULL;
    D3DPRESENT_PARAMETERS tried = pp;
    HRESULT hr =
        d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, hwnd, D3DCREATE_HARDWARE_VERTEXPROCESSING, &tried, dev);
    if (FAILED(hr)) {
        Say("hardware vertex processing failed hr=0x%lX, trying software", Hex(hr));
        tried = pp;
        hr = d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, hwnd, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &tried,
                               dev);
    }
    if (SUCCEEDED(hr))
        pp = tried;
    else
        *dev = NULL;
    return hr;
}

struct Vertex {
    float x, y, z, rhw;
    DWORD color;
};
const DWORD kVertexFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

Vertex MakeVertex(float x, float y, DWORD color) {
    Vertex v = {x, y, 0.0f, 1.0f, color};
    return v;
}

// Draws frame `frame` into the back buffer (w x h). Every state the drawing
// depends on is set each frame, as games do.
HRESULT DrawScene(IDirect3DDevice9* dev, unsigned frame, int w, int h) {
    Sample9Frame scene;
    BuildSample9Frame(frame, w, h, scene);
    HRESULT hr = dev->Clear(0, NULL, D3DCLEAR_TARGET, scene.background, 1.0f, 0);
    if (FAILED(hr)) return hr;
    // One Clear per colour; the cleared rectangles never overlap.
    std::vector<uint32_t> colors;
    for (const Sample9Rect& r : scene.clears)
        if (std::find(colors.begin(), colors.end(), r.color) == colors.end()) colors.push_back(r.color);
    for (uint32_t c : colors) {
        std::vector<D3DRECT> rects;
        for (const Sample9Rect& r : scene.clears)
            if (r.color == c) rects.push_back(D3DRECT{r.left, r.top, r.right, r.bottom});
        hr = dev->Clear(static_cast<DWORD>(rects.size()), rects.data(), D3DCLEAR_TARGET, c, 1.0f, 0);
        if (FAILED(hr)) return hr;
    }

    hr = dev->BeginScene();
    if (FAILED(hr)) return hr;
    dev->SetVertexShader(NULL);
    dev->SetPixelShader(NULL);
    dev->SetTexture(0, NULL);
    dev->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    dev->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    dev->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    dev->SetRenderState(D3DRS_FOGENABLE, FALSE);
    dev->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
    dev->SetRenderState(D3DRS_STENCILENABLE, FALSE);
    dev->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
    dev->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    dev->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    dev->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    dev->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    dev->SetFVF(kVertexFvf);

    HRESULT drawHr = S_OK;
    for (const Sample9Rect& r : scene.quads) {
        // Pixel centres lie on integer coordinates: edges half a pixel before
        // them cover exactly the pixels left..right-1 and top..bottom-1.
        float l = r.left - 0.5f, t = r.top - 0.5f, rr = r.right - 0.5f, b = r.bottom - 0.5f;
        Vertex v[4] = {MakeVertex(l, t, r.color), MakeVertex(rr, t, r.color), MakeVertex(l, b, r.color),
                       MakeVertex(rr, b, r.color)};
        hr = dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Vertex));
        if (FAILED(hr) && SUCCEEDED(drawHr)) drawHr = hr;
    }
    for (const Sample9Triangle& t : scene.triangles) {
        Vertex v[3];
        for (int i = 0; i < 3; ++i) v[i] = MakeVertex(t.x[i], t.y[i], t.color);
        hr = dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(Vertex));
        if (FAILED(hr) && SUCCEEDED(drawHr)) drawHr = hr;
    }
    hr = dev->EndScene();
    return FAILED(drawHr) ? drawHr : hr;
}

// Presents through the device or through swap chain 0, fetched and released
// each frame as games do.
HRESULT PresentFrame(IDirect3DDevice9* dev, Sample9Options::PresentPath path, bool& sameReported) {
    if (path == Sample9Options::PresentDevice) return dev->Present(NULL, NULL, NULL, NULL);
    IDirect3DSwapChain9* sc = NULL;
    HRESULT hr = dev->GetSwapChain(0, &sc);
    if (FAILED(hr) || !sc) return FAILED(hr) ? hr : E_POINTER;
    if (!sameReported) {
        IDirect3DSwapChain9* again = NULL;
        HRESULT hr2 = dev->GetSwapChain(0, &again);
        Say("swapchain same=%d", SUCCEEDED(hr2) && again == sc ? 1 : 0);
        if (again) again->Release();
        sameReported = true;
    }
    hr = sc->Present(NULL, NULL, NULL, NULL, 0);
    sc->Release();
    return hr;
}

// Copies back buffer 0 into pixels (0xFFRRGGBB). Locks it when it is
// lockable, otherwise copies it into system memory first.
HRESULT ReadBackBuffer(IDirect3DDevice9* dev, std::vector<uint32_t>& pixels, int& w, int& h) {
    IDirect3DSurface9* bb = NULL;
    HRESULT hr = dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb);
    if (FAILED(hr) || !bb) return FAILED(hr) ? hr : E_POINTER;
    D3DSURFACE_DESC desc;
    hr = bb->GetDesc(&desc);
    if (FAILED(hr)) {
        bb->Release();
        return hr;
    }
    if (desc.Format != D3DFMT_X8R8G8B8 && desc.Format != D3DFMT_A8R8G8B8) {
        Say("back buffer format %u cannot be read back", static_cast<unsigned>(desc.Format));
        bb->Release();
        return E_FAIL;
    }
    IDirect3DSurface9* source = bb;
    IDirect3DSurface9* sys = NULL;
    D3DLOCKED_RECT lr;
    hr = bb->LockRect(&lr, NULL, D3DLOCK_READONLY);
    if (FAILED(hr)) {
        hr = dev->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &sys, NULL);
        if (SUCCEEDED(hr)) hr = dev->GetRenderTargetData(bb, sys);
        if (SUCCEEDED(hr)) {
            source = sys;
            hr = sys->LockRect(&lr, NULL, D3DLOCK_READONLY);
        }
    }
    if (SUCCEEDED(hr)) {
        w = static_cast<int>(desc.Width);
        h = static_cast<int>(desc.Height);
        pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
        for (int y = 0; y < h; ++y) {
            const uint32_t* row = reinterpret_cast<const uint32_t*>(static_cast<const BYTE*>(lr.pBits) +
                                                                    static_cast<INT_PTR>(y) * lr.Pitch);
            for (int x = 0; x < w; ++x) pixels[static_cast<size_t>(y) * w + x] = row[x] | 0xFF000000u;
        }
        source->UnlockRect();
    }
    if (sys) sys->Release();
    bb->Release();
    return hr;
}

ULONG ReleaseAndReport(IUnknown* obj, const char* what) {
    ULONG refs = obj->Release();
    Say("released %s refs=%lu", what, refs);
    return refs;
}

// The counts a game sees, and swap chain 0 used the way Direct3D 9 allows:
// released to 0, then used again through the same pointer, released to 0
// once more, and asked for again.
void ReportRefCounts(IDirect3DDevice9* dev, unsigned frame) {
    ULONG devAdd = dev->AddRef();
    ULONG devRelease = dev->Release();
    IDirect3DSwapChain9* sc = NULL;
    HRESULT hr = dev->GetSwapChain(0, &sc);
    if (FAILED(hr) || !sc) {
        Say("refs frame %u device=%lu,%lu swapchain hr=0x%lX", frame, devAdd, devRelease, Hex(hr));
        return;
    }
    ULONG scAdd = sc->AddRef();
    ULONG scRelease = sc->Release();
    ULONG scLast = sc->Release();
    IDirect3DSurface9* bb = NULL;
    HRESULT bbHr = sc->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &bb);
    ULONG bbRelease = bb ? bb->Release() : 0;
    ULONG scAgain = sc->Release();
    IDirect3DSwapChain9* sc2 = NULL;
    HRESULT hr2 = dev->GetSwapChain(0, &sc2);
    ULONG sc2Release = sc2 ? sc2->Release() : 0;
    ULONG devAdd2 = dev->AddRef();
    ULONG devRelease2 = dev->Release();
    Say("refs frame %u device=%lu,%lu swapchain=%lu,%lu,%lu backbuffer hr=0x%lX release=%lu again=%lu "
        "get hr=0x%lX same=%d release=%lu device=%lu,%lu",
        frame, devAdd, devRelease, scAdd, scRelease, scLast, Hex(bbHr), bbRelease, scAgain, Hex(hr2), sc2 == sc ? 1 : 0,
        sc2Release, devAdd2, devRelease2);
}

void QueryOne(const char* objName, IUnknown* obj, const char* iidName, REFIID iid) {
    // A failed QueryInterface must clear the out pointer: start from a value
    // that is neither NULL nor the object, so a left-over shows.
    static char notAnObject;
    void* out = &notAnObject;
    HRESULT hr = obj->QueryInterface(iid, &out);
    if (SUCCEEDED(hr)) {
        Say("qi %s %s hr=0x%lX same=%d", objName, iidName, Hex(hr), out == static_cast<void*>(obj) ? 1 : 0);
        if (out && out != &notAnObject) static_cast<IUnknown*>(out)->Release();
    } else {
        Say("qi %s %s hr=0x%lX same=0 null=%d", objName, iidName, Hex(hr), out == NULL ? 1 : 0);
    }
}

HRESULT QueryInterfaces(IDirect3D9* d3d, IDirect3DDevice9* dev) {
    QueryOne("d3d9", d3d, "IUnknown", IID_IUnknown);
    QueryOne("d3d9", d3d, "IDirect3D9", IID_IDirect3D9);
    QueryOne("d3d9", d3d, "IDirect3D9Ex", IID_IDirect3D9Ex);
    QueryOne("device", dev, "IUnknown", IID_IUnknown);
    QueryOne("device", dev, "IDirect3DDevice9", IID_IDirect3DDevice9);
    QueryOne("device", dev, "IDirect3DDevice9Ex", IID_IDirect3DDevice9Ex);
    IDirect3DSwapChain9* sc = NULL;
    HRESULT hr = dev->GetSwapChain(0, &sc);
    if (FAILED(hr) || !sc) return FAILED(hr) ? hr : E_POINTER;
    QueryOne("swapchain", sc, "IUnknown", IID_IUnknown);
    QueryOne("swapchain", sc, "IDirect3DSwapChain9", IID_IDirect3DSwapChain9);
    QueryOne("swapchain", sc, "IDirect3DSwapChain9Ex", IID_IDirect3DSwapChain9Ex);
    sc->Release();
    return S_OK;
}

void CallPerf(bool report) {
    int begin = D3DPERF_BeginEvent(0xFF00FF00, L"sample9 frame");
    D3DPERF_SetMarker(0xFFFF0000, L"sample9 marker");
    D3DPERF_SetRegion(0xFF0000FF, L"sample9 region");
    DWORD status = D3DPERF_GetStatus();
    BOOL repeat = D3DPERF_QueryRepeatFrame();
    D3DPERF_SetOptions(0);
    int end = D3DPERF_EndEvent();
    if (report)
        Say("perf BeginEvent=%d EndEvent=%d GetStatus=%lu QueryRepeatFrame=%d SetMarker SetRegion SetOptions called",
            begin, end, static_cast<unsigned long>(status), repeat ? 1 : 0);
}

// --- injected input -----------------------------------------------------

bool IsExtendedKey(unsigned vk) {
    switch (vk) {
    case VK_INSERT:
    case VK_DELETE:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_RCONTROL:
    case VK_RMENU:
    case VK_DIVIDE:
    case VK_NUMLOCK:
    case VK_LWIN:
    case VK_RWIN:
    case VK_APPS:
    case VK_SNAPSHOT: return true;
    default: return false;
    }
}

INPUT KeyInput(unsigned vk, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = static_cast<WORD>(vk);
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, 0 /* MAPVK_VK_TO_VSC */));
    in.ki.dwFlags = (IsExtendedKey(vk) ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
    return in;
}

// Absolute mouse coordinates run 0..65535 over the primary screen; rounding
// up makes the system's mapping back land on exactly this pixel.
LONG NormalizedCoord(LONG v, int extent) {
    if (extent <= 0) return 0;
    long long n = (static_cast<long long>(v) * 65536 + extent - 1) / extent;
    return static_cast<LONG>(std::max(0LL, std::min(65535LL, n)));
}

INPUT MouseInput(POINT screen, DWORD flags) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = NormalizedCoord(screen.x, GetSystemMetrics(SM_CXSCREEN));
    in.mi.dy = NormalizedCoord(screen.y, GetSystemMetrics(SM_CYSCREEN));
    in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    return in;
}

bool InjectInput(HWND hwnd, const Sample9Action& a) {
    // Keys go to the foreground window and clicks to the topmost window under
    // the pointer: make sure that is this game, as it is for a player.
    if (GetForegroundWindow() != hwnd) {
        BringWindowToTop(hwnd);
        SetForegroundWindow(hwnd);
        SetFocus(hwnd);
        PumpMessages();
        if (GetForegroundWindow() != hwnd)
            Say("warning: the game window is not in the foreground; injected input may go elsewhere");
    }
    std::vector<INPUT> inputs;
    switch (a.kind) {
    case Sample9Action::Key:
        inputs.push_back(KeyInput(a.vk, false));
        inputs.push_back(KeyInput(a.vk, true));
        break;
    case Sample9Action::KeyDown: inputs.push_back(KeyInput(a.vk, false)); break;
    case Sample9Action::KeyUp: inputs.push_back(KeyInput(a.vk, true)); break;
    case Sample9Action::Click:
    case Sample9Action::RClick:
    case Sample9Action::Move: {
        POINT pt = {a.x, a.y};
        ClientToScreen(hwnd, &pt);
        SetCursorPos(pt.x, pt.y);
        inputs.push_back(MouseInput(pt, 0));
        if (a.kind == Sample9Action::Click) {
            inputs.push_back(MouseInput(pt, MOUSEEVENTF_LEFTDOWN));
            inputs.push_back(MouseInput(pt, MOUSEEVENTF_LEFTUP));
        } else if (a.kind == Sample9Action::RClick) {
            inputs.push_back(MouseInput(pt, MOUSEEVENTF_RIGHTDOWN));
            inputs.push_back(MouseInput(pt, MOUSEEVENTF_RIGHTUP));
        }
        break;
    }
    case Sample9Action::RelativeMove: {
        INPUT in = {};
        in.type = INPUT_MOUSE;
        in.mi.dx = a.x;
        in.mi.dy = a.y;
        in.mi.dwFlags = MOUSEEVENTF_MOVE;
        inputs.push_back(in);
        break;
    }
    }
    UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    // Input and hooks arrive through this thread's queue: give them a moment.
    for (int i = 0; i < 5; ++i) {
        PumpMessages();
        Sleep(10);
    }
    PumpMessages();
    return sent == inputs.size();
}

// --- the game -----------------------------------------------------------

class Game {
public:
    explicit Game(const Sample9Options& o) : opts_(o) {}
    ~Game() { Cleanup(); }
    int Run();

private:
    bool Fail(const char* what, HRESULT hr) {
        Say("error: %s failed hr=0x%lX", what, Hex(hr));
        return false;
    }
    bool MakeDevice(IDirect3DDevice9** dev);
    bool ReleaseDevice(IDirect3DDevice9*& dev);
    bool ResetDevice(int w, int h);
    bool RecoverLostDevice();
    bool AfterPresent(unsigned frame);
    bool IsProbeFrame(unsigned frame) const;
    bool LeaveTargetBound();
    bool RestoreTarget();
    bool ReportOffscreen(unsigned frame);
    void Cleanup();

    const Sample9Options& opts_;
    HWND hwnd_ = NULL;
    IDirect3D9* d3d_ = NULL;
    IDirect3DDevice9* dev_ = NULL;         // the device that renders
    IDirect3DDevice9* first_ = NULL;       // the first device, kept alive with --two-devices=concurrent
    IDirect3DTexture9* offscreen_ = NULL;  // --leave-target: the game's own render target
    D3DPRESENT_PARAMETERS pp_ = {};
    int width_ = 0, height_ = 0;
    bool sameReported_ = false;
    Sample9DirectInput directInput_{Say};
};

bool Game::MakeDevice(IDirect3DDevice9** dev) {
    pp_ = MakePresentParams(hwnd_, width_, height_, opts_.swapCopy);
    HRESULT hr = CreateGameDevice(d3d_, hwnd_, pp_, dev);
    if (FAILED(hr) || !*dev) return Fail("CreateDevice", FAILED(hr) ? hr : E_POINTER);
    Say("device created %dx%d", width_, height_);
    return true;
}

bool Game::ReleaseDevice(IDirect3DDevice9*& dev) {
    if (!dev) return true;
    if (dev == dev_ && offscreen_) {
        offscreen_->Release();
        offscreen_ = NULL;
    }
    ULONG refs = ReleaseAndReport(dev, "device");
    dev = NULL;
    if (refs != 0) {
        Say("error: device still has %lu references after its last release", refs);
        return false;
    }
    return true;
}

bool Game::ResetDevice(int w, int h) {
    if (!opts_.fullscreenWindow) {
        RECT rc = WindowedRect(w, h);
        SetWindowPos(hwnd_, NULL, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        PumpMessages();
    }
    D3DPRESENT_PARAMETERS pp = pp_;
    pp.BackBufferWidth = static_cast<UINT>(w);
    pp.BackBufferHeight = static_cast<UINT>(h);
    HRESULT hr = dev_->Reset(&pp);
    Say("reset to %dx%d hr=0x%lX", w, h, Hex(hr));
    if (FAILED(hr)) return Fail("Reset", hr);
    pp_ = pp;
    width_ = w;
    height_ = h;
    return true;
}

// A windowed device can be lost (another program going full screen); wait
// for it to come back and reset it with the same parameters.
bool Game::RecoverLostDevice() {
    for (int i = 0; i < 500; ++i) {
        HRESULT hr = dev_->TestCooperativeLevel();
        if (hr == D3DERR_DEVICENOTRESET) {
            D3DPRESENT_PARAMETERS pp = pp_;
            hr = dev_->Reset(&pp);
            Say("device lost, reset hr=0x%lX", Hex(hr));
            return SUCCEEDED(hr) || Fail("Reset", hr);
        }
        if (hr == D3D_OK) return true;
        if (hr != D3DERR_DEVICELOST) return Fail("TestCooperativeLevel", hr);
        PumpMessages();
        Sleep(10);
    }
    Say("error: device stayed lost");
    return false;
}

// Ends the frame as some games do: their own render target bound, with a
// small viewport and a scissor rectangle.
bool Game::LeaveTargetBound() {
    HRESULT hr = S_OK;
    if (!offscreen_) {
        hr = dev_->CreateTexture(static_cast<UINT>(width_), static_cast<UINT>(height_), 1, D3DUSAGE_RENDERTARGET,
                                 D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &offscreen_, NULL);
        if (FAILED(hr)) return Fail("CreateTexture (render target)", hr);
    }
    IDirect3DSurface9* target = NULL;
    hr = offscreen_->GetSurfaceLevel(0, &target);
    if (FAILED(hr)) return Fail("GetSurfaceLevel", hr);
    hr = dev_->SetRenderTarget(0, target);  // the viewport becomes the whole target
    target->Release();
    if (SUCCEEDED(hr)) hr = dev_->Clear(0, NULL, D3DCLEAR_TARGET, kSample9OffscreenColor, 1.0f, 0);
    if (FAILED(hr)) return Fail("SetRenderTarget/Clear (render target)", hr);
    int x = std::max(0, opts_.leaveTargetX - 8), y = std::max(0, opts_.leaveTargetY - 8);
    D3DVIEWPORT9 vp = {static_cast<DWORD>(x),
                       static_cast<DWORD>(y),
                       static_cast<DWORD>(std::max(1, std::min(24, width_ - x))),
                       static_cast<DWORD>(std::max(1, std::min(24, height_ - y))),
                       0.0f,
                       1.0f};
    RECT scissor = {opts_.leaveTargetX - 4, opts_.leaveTargetY - 4, opts_.leaveTargetX + 12, opts_.leaveTargetY + 12};
    hr = dev_->SetViewport(&vp);
    if (SUCCEEDED(hr)) hr = dev_->SetScissorRect(&scissor);
    if (SUCCEEDED(hr)) hr = dev_->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
    return SUCCEEDED(hr) || Fail("SetViewport/SetScissorRect", hr);
}

bool Game::RestoreTarget() {
    IDirect3DSurface9* bb = NULL;
    HRESULT hr = dev_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb);
    if (SUCCEEDED(hr)) {
        hr = dev_->SetRenderTarget(0, bb);
        bb->Release();
    }
    if (SUCCEEDED(hr)) hr = dev_->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
    return SUCCEEDED(hr) || Fail("restoring the back buffer as render target", hr);
}

// Counts the pixels of the game's own target that are not the colour the
// game cleared it to.
bool Game::ReportOffscreen(unsigned frame) {
    IDirect3DSurface9* target = NULL;
    IDirect3DSurface9* sys = NULL;
    HRESULT hr = offscreen_->GetSurfaceLevel(0, &target);
    if (SUCCEEDED(hr))
        hr = dev_->CreateOffscreenPlainSurface(static_cast<UINT>(width_), static_cast<UINT>(height_), D3DFMT_X8R8G8B8,
                                               D3DPOOL_SYSTEMMEM, &sys, NULL);
    if (SUCCEEDED(hr)) hr = dev_->GetRenderTargetData(target, sys);
    D3DLOCKED_RECT lr;
    if (SUCCEEDED(hr)) hr = sys->LockRect(&lr, NULL, D3DLOCK_READONLY);
    if (SUCCEEDED(hr)) {
        unsigned changed = 0;
        for (int y = 0; y < height_; ++y) {
            const uint32_t* row = reinterpret_cast<const uint32_t*>(static_cast<const BYTE*>(lr.pBits) +
                                                                    static_cast<INT_PTR>(y) * lr.Pitch);
            for (int x = 0; x < width_; ++x) changed += (row[x] | 0xFF000000u) != kSample9OffscreenColor;
        }
        sys->UnlockRect();
        Say("offscreen frame %u changed=%u", frame, changed);
    }
    if (sys) sys->Release();
    if (target) target->Release();
    return SUCCEEDED(hr) || Fail("reading back the render target", hr);
}

bool Game::IsProbeFrame(unsigned frame) const {
    if (opts_.probeFrames.empty()) return frame == opts_.frames;
    return std::find(opts_.probeFrames.begin(), opts_.probeFrames.end(), frame) != opts_.probeFrames.end();
}

bool Game::AfterPresent(unsigned frame) {
    if (opts_.leaveTarget && IsProbeFrame(frame) && !ReportOffscreen(frame)) return false;
    if (opts_.leaveTarget && !RestoreTarget()) return false;
    if (opts_.refCounts && IsProbeFrame(frame)) ReportRefCounts(dev_, frame);
    bool probe = !opts_.probes.empty() && IsProbeFrame(frame);
    bool dump = false;
    for (const Sample9Dump& d : opts_.dumps) dump = dump || d.frame == frame;
    if (!probe && !dump) return true;
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    HRESULT hr = ReadBackBuffer(dev_, pixels, w, h);
    if (FAILED(hr)) return Fail("reading back the back buffer", hr);
    if (probe) {
        for (const Sample9Probe& p : opts_.probes) {
            if (p.x < w && p.y < h)
                Say("probe frame %u x %d y %d = 0x%08lX", frame, p.x, p.y,
                    static_cast<unsigned long>(pixels[static_cast<size_t>(p.y) * w + p.x]));
            else
                Say("probe frame %u x %d y %d outside %dx%d", frame, p.x, p.y, w, h);
        }
    }
    for (const Sample9Dump& d : opts_.dumps) {
        if (d.frame != frame) continue;
        if (!WriteSample9Bmp(d.path, pixels, w, h)) {
            Say("error: cannot write %s", d.path.c_str());
            return false;
        }
        Say("dumped frame %u %dx%d to %s", frame, w, h, d.path.c_str());
    }
    return true;
}

int Game::Run() {
    if (opts_.fullscreenWindow) {
        width_ = GetSystemMetrics(SM_CXSCREEN);
        height_ = GetSystemMetrics(SM_CYSCREEN);
    } else {
        width_ = opts_.width;
        height_ = opts_.height;
    }
    if ((!opts_.probes.empty() || !opts_.dumps.empty()) && !opts_.swapCopy)
        Say("warning: the back buffer is undefined after Present without --swap copy");

    hwnd_ = CreateGameWindow(opts_.fullscreenWindow, width_, height_);
    if (!hwnd_) {
        Say("error: CreateWindow failed (error %lu)", GetLastError());
        return 1;
    }
    ReportWindow(hwnd_);
    if (opts_.directInput != Sample9Options::DirectInputOff && !directInput_.Open(hwnd_, opts_.directInput)) return 1;

    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d_) {
        Say("error: Direct3DCreate9 returned NULL");
        return 1;
    }
    if (!MakeDevice(&dev_)) return 1;
    if (opts_.queryInterface) {
        HRESULT hr = QueryInterfaces(d3d_, dev_);
        if (FAILED(hr)) {
            Fail("GetSwapChain", hr);
            return 1;
        }
    }

    // With two devices the second takes over half-way.
    unsigned switchAt = opts_.twoDevices != Sample9Options::OneDevice ? opts_.frames / 2 + 1 : 0;
    LARGE_INTEGER freq, start, now;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&start);
    // Frame n ends no earlier than n / fps seconds after the start.
    auto pace = [&](unsigned n) {
        if (opts_.fps == 0) return;
        LONGLONG due = start.QuadPart + freq.QuadPart * static_cast<LONGLONG>(n) / opts_.fps;
        for (;;) {
            QueryPerformanceCounter(&now);
            if (now.QuadPart >= due) break;
            LONGLONG ms = (due - now.QuadPart) * 1000 / freq.QuadPart;
            Sleep(ms > 1 ? static_cast<DWORD>(ms - 1) : 0);
        }
    };
    // frame counts the frames rendered; cue is the frame of the schedule
    // (input, dumps, probes, Reset, the end), which stands still while held.
    unsigned frame = 1, held = 0;
    LONGLONG holdEnd = 0;
    for (; frame - held <= opts_.frames && !g_quit; ++frame) {
        const unsigned cue = frame - held;
        PumpMessages();
        if (cue == opts_.holdFrame && GetFileAttributesA(opts_.holdPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
            QueryPerformanceCounter(&now);
            if (holdEnd == 0) {
                Say("holding at frame %u until %s exists", cue, opts_.holdPath.c_str());
                holdEnd = now.QuadPart + freq.QuadPart * kSample9MaxHoldSeconds;
            }
            if (now.QuadPart < holdEnd) {
                HRESULT hr = DrawScene(dev_, frame, width_, height_);
                if (SUCCEEDED(hr)) hr = PresentFrame(dev_, opts_.present, sameReported_);
                if (hr == D3DERR_DEVICELOST) {
                    if (!RecoverLostDevice()) return 1;
                } else if (FAILED(hr)) {
                    Fail("rendering while held", hr);
                    return 1;
                }
                held++;
                pace(frame);
                continue;
            }
            Say("warning: %s did not appear; the schedule goes on", opts_.holdPath.c_str());
        }
        for (const Sample9Action& a : opts_.actions) {
            if (a.frame == cue && !InjectInput(hwnd_, a))
                Say("warning: SendInput did not take all input of frame %u (error %lu)", cue, GetLastError());
        }
        if (opts_.directInput != Sample9Options::DirectInputOff) directInput_.Read(frame);
        if (cue == switchAt) {
            if (opts_.twoDevices == Sample9Options::TwoSequential) {
                Say("creating second device after releasing the first");
                if (!ReleaseDevice(dev_)) return 1;
            } else {
                Say("creating second device while the first is alive");
                first_ = dev_;
                dev_ = NULL;
            }
            if (!MakeDevice(&dev_)) return 1;
        }
        if (cue == opts_.resetAt && !ResetDevice(opts_.resetWidth, opts_.resetHeight)) return 1;
        if (opts_.perf) CallPerf(frame == 1);

        HRESULT hr = DrawScene(dev_, frame, width_, height_);
        if (FAILED(hr)) {
            Fail("drawing", hr);
            return 1;
        }
        if (opts_.leaveTarget && !LeaveTargetBound()) return 1;
        hr = PresentFrame(dev_, opts_.present, sameReported_);
        if (hr == D3DERR_DEVICELOST) {
            if (!RecoverLostDevice()) return 1;
        } else if (FAILED(hr)) {
            {
                Fail("Present", hr);
                return 1;
            }
        } else if (!AfterPresent(cue)) {
            return 1;
        }
        if (cue % 10 == 0 || cue == opts_.frames) Say("frame %u", cue);
        pace(frame);
    }
    if (g_quit) Say("window closed after frame %u", frame - held - 1);
    directInput_.Close();

    bool clean = ReleaseDevice(dev_) && ReleaseDevice(first_);
    ULONG refs = ReleaseAndReport(d3d_, "d3d9");
    d3d_ = NULL;
    if (refs != 0) {
        Say("error: the Direct3D object still has %lu references", refs);
        clean = false;
    }
    DestroyWindow(hwnd_);
    hwnd_ = NULL;
    PumpMessages();
    if (!clean) return 1;
    Say("done");
    return 0;
}

// Releases what an early return left behind, without reporting it.
void Game::Cleanup() {
    directInput_.Close();
    if (offscreen_) offscreen_->Release();
    offscreen_ = NULL;
    if (dev_) dev_->Release();
    if (first_) first_->Release();
    if (d3d_) d3d_->Release();
    if (hwnd_) DestroyWindow(hwnd_);
    dev_ = first_ = NULL;
    d3d_ = NULL;
    hwnd_ = NULL;
}

// --- benchmark ----------------------------------------------------------

typedef IDirect3D9*(WINAPI* Direct3DCreate9Fn)(UINT);

struct BenchRuntime {
    const char* name;
    std::string path;
    HMODULE module;
    Direct3DCreate9Fn create;
    std::vector<double> frameMs;  // every frame of every round
    std::vector<double> roundMedians;
};

void Stats(std::vector<double> v, double& mean, double& median) {
    mean = median = 0.0;
    if (v.empty()) return;
    double sum = 0.0;
    for (double d : v) sum += d;
    mean = sum / static_cast<double>(v.size());
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

// One round through one runtime: a device, N timed frames (draw + Present).
bool BenchRound(BenchRuntime& rt, HWND hwnd, const Sample9Options& o, unsigned round) {
    IDirect3D9* d3d = rt.create(D3D_SDK_VERSION);
    if (!d3d) {
        Say("error: Direct3DCreate9 of %s returned NULL", rt.name);
        return false;
    }
    D3DPRESENT_PARAMETERS pp = MakePresentParams(hwnd, o.width, o.height, o.swapCopy);
    IDirect3DDevice9* dev = NULL;
    HRESULT hr = CreateGameDevice(d3d, hwnd, pp, &dev);
    if (FAILED(hr) || !dev) {
        Say("error: CreateDevice through %s failed hr=0x%lX", rt.name, Hex(hr));
        d3d->Release();
        return false;
    }
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    std::vector<double> times;
    bool sameReported = true;
    for (unsigned f = 1; f <= o.benchFrames && SUCCEEDED(hr); ++f) {
        PumpMessages();
        LARGE_INTEGER t0, t1;
        QueryPerformanceCounter(&t0);
        hr = DrawScene(dev, f, o.width, o.height);
        if (SUCCEEDED(hr)) hr = PresentFrame(dev, o.present, sameReported);
        QueryPerformanceCounter(&t1);
        times.push_back(static_cast<double>(t1.QuadPart - t0.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart));
    }
    ULONG devRefs = dev->Release();
    ULONG d3dRefs = d3d->Release();
    if (FAILED(hr)) {
        Say("error: frame through %s failed hr=0x%lX", rt.name, Hex(hr));
        return false;
    }
    if (devRefs != 0 || d3dRefs != 0) Say("warning: %s left references device=%lu d3d9=%lu", rt.name, devRefs, d3dRefs);
    double mean, median;
    Stats(times, mean, median);
    Say("bench round %u %s mean_ms=%.4f median_ms=%.4f", round, rt.name, mean, median);
    rt.roundMedians.push_back(median);
    rt.frameMs.insert(rt.frameMs.end(), times.begin(), times.end());
    return true;
}

int RunBench(const Sample9Options& o) {
    char sysDir[MAX_PATH];
    UINT n = GetSystemDirectoryA(sysDir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        Say("error: GetSystemDirectory failed");
        return 1;
    }
    char exePath[MAX_PATH];
    DWORD m = GetModuleFileNameA(NULL, exePath, MAX_PATH);
    if (m == 0 || m >= MAX_PATH) {
        Say("error: GetModuleFileName failed");
        return 1;
    }
    std::string exeDir(exePath, m);
    exeDir.erase(exeDir.find_last_of("\\/") + 1);

    BenchRuntime runtimes[2] = {
        {"system", std::string(sysDir) + "\\d3d9.dll", NULL, NULL, {}},
        {"proxy", exeDir + "d3d9.dll", NULL, NULL, {}},
    };
    int count = 2;
    if (GetFileAttributesA(runtimes[1].path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        Say("bench no d3d9.dll beside the program (%s): timing the system runtime only", runtimes[1].path.c_str());
        count = 1;
    }
    for (int i = 0; i < count; ++i) {
        BenchRuntime& rt = runtimes[i];
        rt.module = LoadLibraryA(rt.path.c_str());
        if (!rt.module) {
            Say("error: LoadLibrary(%s) failed (error %lu)", rt.path.c_str(), GetLastError());
            return 1;
        }
        rt.create =
            reinterpret_cast<Direct3DCreate9Fn>(reinterpret_cast<void*>(GetProcAddress(rt.module, "Direct3DCreate9")));
        if (!rt.create) {
            Say("error: %s has no Direct3DCreate9", rt.path.c_str());
            return 1;
        }
        Say("bench %s runtime %s", rt.name, rt.path.c_str());
    }
    if (count == 2 && runtimes[0].module == runtimes[1].module)
        Say("warning: both paths loaded the same module; the figures compare a runtime with itself");

    HWND hwnd = CreateGameWindow(false, o.width, o.height);
    if (!hwnd) {
        Say("error: CreateWindow failed (error %lu)", GetLastError());
        return 1;
    }
    bool ok = true;
    for (unsigned r = 1; r <= o.benchRounds && ok && !g_quit; ++r) {
        // Alternate which runtime goes first, so warm-up favours neither.
        for (int k = 0; k < count && ok; ++k) {
            int i = count == 2 && r % 2 == 0 ? 1 - k : k;
            ok = BenchRound(runtimes[i], hwnd, o, r);
        }
    }
    DestroyWindow(hwnd);
    PumpMessages();
    if (!ok) return 1;
    double medians[2] = {0.0, 0.0};
    for (int i = 0; i < count; ++i) {
        double mean;
        Stats(runtimes[i].frameMs, mean, medians[i]);
        Say("bench %s mean_ms=%.4f median_ms=%.4f", runtimes[i].name, mean, medians[i]);
    }
    if (count == 2 && medians[0] > 0.0) {
        Say("bench ratio=%.4f", medians[1] / medians[0]);
        // The ratio of each round (both runtimes back to back) shows how far
        // the machine itself moves the figure.
        std::vector<double> ratios;
        for (size_t r = 0; r < runtimes[0].roundMedians.size() && r < runtimes[1].roundMedians.size(); ++r)
            if (runtimes[0].roundMedians[r] > 0.0)
                ratios.push_back(runtimes[1].roundMedians[r] / runtimes[0].roundMedians[r]);
        if (!ratios.empty()) {
            std::sort(ratios.begin(), ratios.end());
            double sum = 0.0, squares = 0.0;
            for (double x : ratios) sum += x;
            const double mean = sum / static_cast<double>(ratios.size());
            for (double x : ratios) squares += (x - mean) * (x - mean);
            Say("bench ratio per round: rounds=%u min=%.4f median=%.4f max=%.4f stddev=%.4f",
                static_cast<unsigned>(ratios.size()), ratios.front(), ratios[ratios.size() / 2], ratios.back(),
                std::sqrt(squares / static_cast<double>(ratios.size())));
        }
    }
    for (int i = 0; i < count; ++i) FreeLibrary(runtimes[i].module);
    Say("done");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Sample9Options opts;
    std::string error;
    if (!ParseSample9Options(argc, argv, opts, error)) {
        Say("error: %s (--help lists the options)", error.c_str());
        return 2;
    }
    if (opts.help) {
        std::fputs(Sample9Usage(), stdout);
        return 0;
    }
    if (opts.benchFrames > 0) return RunBench(opts);
    Game game(opts);
    return game.Run();
}
