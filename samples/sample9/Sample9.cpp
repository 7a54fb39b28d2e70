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
#include "Sample9Game.h"
#include "Sample9Options.h"
#include "Sample9Scene.h"
#include "Sample9Window.h"

namespace {

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

// --- the game -----------------------------------------------------------

class Game : public Sample9Game {
public:
    explicit Game(const Sample9Options& o) : Sample9Game(o) {}
    ~Game() override { Cleanup(); }

private:
    bool CreateRuntime() override;
    bool MakeDevice() override { return MakeDevice(&dev_); }
    bool QueryInterfaces() override;
    bool ReleaseDevice() override { return ReleaseDevice(dev_); }
    void KeepFirstDevice() override {
        first_ = dev_;
        dev_ = NULL;
    }
    bool ResetDevice(int w, int h) override;
    void BeginFrame(unsigned frame) override {
        if (opts_.perf) CallPerf(frame == 1);
    }
    HRESULT DrawFrame(unsigned frame) override { return DrawScene(dev_, frame, width_, height_); }
    bool LeaveTargetBound() override;
    HRESULT PresentFrame() override { return ::PresentFrame(dev_, opts_.present, sameReported_); }
    bool RecoverLostDevice() override;
    bool AfterPresent(unsigned frame) override;
    bool ReleaseFirstDevice() override { return ReleaseDevice(first_); }
    bool ReleaseRuntime() override;
    void Cleanup() override;

    bool MakeDevice(IDirect3DDevice9** dev);
    bool ReleaseDevice(IDirect3DDevice9*& dev);
    bool RestoreTarget();
    bool ReportOffscreen(unsigned frame);

    IDirect3D9* d3d_ = NULL;
    IDirect3DDevice9* dev_ = NULL;         // the device that renders
    IDirect3DDevice9* first_ = NULL;       // the first device, kept alive with --two-devices=concurrent
    IDirect3DTexture9* offscreen_ = NULL;  // --leave-target: the game's own render target
    D3DPRESENT_PARAMETERS pp_ = {};
    bool sameReported_ = false;
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

bool Game::AfterPresent(unsigned frame) {
    if (opts_.leaveTarget && IsProbeFrame(opts_, frame) && !ReportOffscreen(frame)) return false;
    if (opts_.leaveTarget && !RestoreTarget()) return false;
    if (opts_.refCounts && IsProbeFrame(opts_, frame)) ReportRefCounts(dev_, frame);
    if (!WantsReadBack(opts_, frame)) return true;
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    HRESULT hr = ReadBackBuffer(dev_, pixels, w, h);
    if (FAILED(hr)) return Fail("reading back the back buffer", hr);
    return ReportReadBack(opts_, frame, pixels, w, h);
}

bool Game::CreateRuntime() {
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d_) Say("error: Direct3DCreate9 returned NULL");
    return d3d_ != NULL;
}

bool Game::QueryInterfaces() {
    HRESULT hr = ::QueryInterfaces(d3d_, dev_);
    return SUCCEEDED(hr) || Fail("GetSwapChain", hr);
}

bool Game::ReleaseRuntime() {
    ULONG refs = ReleaseAndReport(d3d_, "d3d9");
    d3d_ = NULL;
    if (refs != 0) {
        Say("error: the Direct3D object still has %lu references", refs);
        return false;
    }
    return true;
}

// Releases what an early return left behind, without reporting it.
void Game::Cleanup() {
    if (offscreen_) offscreen_->Release();
    offscreen_ = NULL;
    if (dev_) dev_->Release();
    if (first_) first_->Release();
    if (d3d_) d3d_->Release();
    dev_ = first_ = NULL;
    d3d_ = NULL;
    CloseWindow();
}

// --- benchmark ----------------------------------------------------------

// One round through one runtime (see Sample9BenchRound).
bool BenchRound(FARPROC entry, const char* runtimeName, HWND hwnd, const Sample9Options& o,
                std::vector<double>& times) {
    typedef IDirect3D9*(WINAPI * Create)(UINT);
    IDirect3D9* d3d = reinterpret_cast<Create>(reinterpret_cast<void*>(entry))(D3D_SDK_VERSION);
    if (!d3d) {
        Say("error: Direct3DCreate9 of %s returned NULL", runtimeName);
        return false;
    }
    D3DPRESENT_PARAMETERS pp = MakePresentParams(hwnd, o.width, o.height, o.swapCopy);
    IDirect3DDevice9* dev = NULL;
    HRESULT hr = CreateGameDevice(d3d, hwnd, pp, &dev);
    if (FAILED(hr) || !dev) {
        Say("error: CreateDevice through %s failed hr=0x%lX", runtimeName, Hex(hr));
        d3d->Release();
        return false;
    }
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
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
        Say("error: frame through %s failed hr=0x%lX", runtimeName, Hex(hr));
        return false;
    }
    if (devRefs != 0 || d3dRefs != 0)
        Say("warning: %s left references device=%lu d3d9=%lu", runtimeName, devRefs, d3dRefs);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    SetSampleProgram("sample9");
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
    if (opts.benchFrames > 0) return RunSample9Bench(opts, "d3d9.dll", "Direct3DCreate9", BenchRound);
    Game game(opts);
    return game.Run();
}
