// sample8.exe: a small Direct3D 8 game used by the tests, the benchmarks and
// the demo. It imports d3d8.dll like any game, so a d3d8.dll beside it is
// loaded instead of the system's. It draws the picture of sample9.exe (the
// layout is shared, see Sample9Scene.h and Sample9.cpp) and takes its options
// where they apply to Direct3D 8: there is no swap chain 0 to present through
// and no performance markers, and a game's own render target is left bound
// with a small viewport only (Direct3D 8 has no scissor rectangle).
//
// Output: one line per event on stdout, each beginning "sample8: " and
// flushed at once. Exit code 0 on success, 1 when a call fails (after a
// line "sample8: error: ..."), 2 for a bad command line.

#include <windows.h>
#include <initguid.h>
#include <d3d8.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "Sample9Bmp.h"
#include "Sample9Game.h"
#include "Sample9Options.h"
#include "Sample9Scene.h"
#include "Sample9Window.h"

namespace {

// A windowed Direct3D 8 back buffer has the display's format.
D3DFORMAT DisplayFormat(IDirect3D8* d3d) {
    D3DDISPLAYMODE mode;
    return SUCCEEDED(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode)) ? mode.Format : D3DFMT_X8R8G8B8;
}

D3DPRESENT_PARAMETERS MakePresentParams(IDirect3D8* d3d, HWND hwnd, int w, int h, bool copy) {
    D3DPRESENT_PARAMETERS pp = {};
    pp.BackBufferWidth = static_cast<UINT>(w);
    pp.BackBufferHeight = static_cast<UINT>(h);
    pp.BackBufferFormat = DisplayFormat(d3d);
    pp.BackBufferCount = 1;
    pp.MultiSampleType = D3DMULTISAMPLE_NONE;
    pp.SwapEffect = copy ? D3DSWAPEFFECT_COPY : D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = hwnd;
    pp.Windowed = TRUE;
    pp.Flags = copy ? D3DPRESENTFLAG_LOCKABLE_BACKBUFFER : 0;
    return pp;
}

// A HAL device with hardware vertex processing, or software where the
// hardware cannot.
HRESULT CreateGameDevice(IDirect3D8* d3d, HWND hwnd, D3DPRESENT_PARAMETERS& pp, IDirect3DDevice8** dev) {
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
HRESULT DrawScene(IDirect3DDevice8* dev, unsigned frame, int w, int h) {
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
    dev->SetPixelShader(0);
    dev->SetTexture(0, NULL);
    dev->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    dev->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    dev->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    dev->SetRenderState(D3DRS_FOGENABLE, FALSE);
    dev->SetRenderState(D3DRS_STENCILENABLE, FALSE);
    dev->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
    dev->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    dev->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    dev->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    dev->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    dev->SetVertexShader(kVertexFvf);

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

// Presents through the device (Direct3D 8 gives no access to swap chain 0).
HRESULT PresentFrame(IDirect3DDevice8* dev) { return dev->Present(NULL, NULL, NULL, NULL); }

// Copies back buffer 0 into pixels (0xFFRRGGBB). Locks it when it is
// lockable, otherwise copies it into system memory first.
HRESULT ReadBackBuffer(IDirect3DDevice8* dev, std::vector<uint32_t>& pixels, int& w, int& h) {
    IDirect3DSurface8* bb = NULL;
    HRESULT hr = dev->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &bb);
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
    IDirect3DSurface8* source = bb;
    IDirect3DSurface8* sys = NULL;
    D3DLOCKED_RECT lr;
    hr = bb->LockRect(&lr, NULL, D3DLOCK_READONLY);
    if (FAILED(hr)) {
        hr = dev->CreateImageSurface(desc.Width, desc.Height, desc.Format, &sys);
        if (SUCCEEDED(hr)) hr = dev->CopyRects(bb, NULL, 0, sys, NULL);
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

// The counts a game sees on its device, with a back buffer held and let go.
void ReportRefCounts(IDirect3DDevice8* dev, unsigned frame) {
    ULONG devAdd = dev->AddRef();
    ULONG devRelease = dev->Release();
    IDirect3DSurface8* bb = NULL;
    HRESULT bbHr = dev->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &bb);
    ULONG devWithBackBuffer = dev->AddRef();
    dev->Release();
    ULONG bbRelease = bb ? bb->Release() : 0;
    ULONG devAdd2 = dev->AddRef();
    ULONG devRelease2 = dev->Release();
    Say("refs frame %u device=%lu,%lu backbuffer hr=0x%lX device=%lu release=%lu device=%lu,%lu", frame, devAdd,
        devRelease, Hex(bbHr), devWithBackBuffer, bbRelease, devAdd2, devRelease2);
}

HRESULT QueryInterfaces(IDirect3D8* d3d, IDirect3DDevice8* dev) {
    QueryOne("d3d8", d3d, "IUnknown", IID_IUnknown);
    QueryOne("d3d8", d3d, "IDirect3D8", IID_IDirect3D8);
    QueryOne("d3d8", d3d, "IDirect3DDevice8", IID_IDirect3DDevice8);
    QueryOne("device", dev, "IUnknown", IID_IUnknown);
    QueryOne("device", dev, "IDirect3DDevice8", IID_IDirect3DDevice8);
    QueryOne("device", dev, "IDirect3D8", IID_IDirect3D8);
    return S_OK;
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
    HRESULT DrawFrame(unsigned frame) override { return DrawScene(dev_, frame, width_, height_); }
    bool LeaveTargetBound() override;
    HRESULT PresentFrame() override { return ::PresentFrame(dev_); }
    bool RecoverLostDevice() override;
    bool AfterPresent(unsigned frame) override;
    bool ReleaseFirstDevice() override { return ReleaseDevice(first_); }
    bool ReleaseRuntime() override;
    void Cleanup() override;

    bool MakeDevice(IDirect3DDevice8** dev);
    bool ReleaseDevice(IDirect3DDevice8*& dev);
    bool RestoreTarget();
    bool ReportOffscreen(unsigned frame);

    IDirect3D8* d3d_ = NULL;
    IDirect3DDevice8* dev_ = NULL;         // the device that renders
    IDirect3DDevice8* first_ = NULL;       // the first device, kept alive with --two-devices=concurrent
    IDirect3DSurface8* offscreen_ = NULL;  // --leave-target: the game's own render target
    D3DPRESENT_PARAMETERS pp_ = {};
};

bool Game::MakeDevice(IDirect3DDevice8** dev) {
    pp_ = MakePresentParams(d3d_, hwnd_, width_, height_, opts_.swapCopy);
    HRESULT hr = CreateGameDevice(d3d_, hwnd_, pp_, dev);
    if (FAILED(hr) || !*dev) return Fail("CreateDevice", FAILED(hr) ? hr : E_POINTER);
    Say("device created %dx%d", width_, height_);
    return true;
}

bool Game::ReleaseDevice(IDirect3DDevice8*& dev) {
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
// small viewport.
bool Game::LeaveTargetBound() {
    HRESULT hr = S_OK;
    if (!offscreen_) {
        hr = dev_->CreateRenderTarget(static_cast<UINT>(width_), static_cast<UINT>(height_), D3DFMT_X8R8G8B8,
                                      D3DMULTISAMPLE_NONE, FALSE, &offscreen_);
        if (FAILED(hr)) return Fail("CreateRenderTarget", hr);
    }
    hr = dev_->SetRenderTarget(offscreen_, NULL);  // the viewport becomes the whole target
    if (SUCCEEDED(hr)) hr = dev_->Clear(0, NULL, D3DCLEAR_TARGET, kSample9OffscreenColor, 1.0f, 0);
    if (FAILED(hr)) return Fail("SetRenderTarget/Clear (render target)", hr);
    int x = std::max(0, opts_.leaveTargetX - 8), y = std::max(0, opts_.leaveTargetY - 8);
    D3DVIEWPORT8 vp = {static_cast<DWORD>(x),
                       static_cast<DWORD>(y),
                       static_cast<DWORD>(std::max(1, std::min(24, width_ - x))),
                       static_cast<DWORD>(std::max(1, std::min(24, height_ - y))),
                       0.0f,
                       1.0f};
    hr = dev_->SetViewport(&vp);
    return SUCCEEDED(hr) || Fail("SetViewport", hr);
}

bool Game::RestoreTarget() {
    IDirect3DSurface8* bb = NULL;
    HRESULT hr = dev_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &bb);
    if (SUCCEEDED(hr)) {
        hr = dev_->SetRenderTarget(bb, NULL);
        bb->Release();
    }
    return SUCCEEDED(hr) || Fail("restoring the back buffer as render target", hr);
}

// Counts the pixels of the game's own target that are not the colour the
// game cleared it to.
bool Game::ReportOffscreen(unsigned frame) {
    IDirect3DSurface8* sys = NULL;
    HRESULT hr = dev_->CreateImageSurface(static_cast<UINT>(width_), static_cast<UINT>(height_), D3DFMT_X8R8G8B8, &sys);
    if (SUCCEEDED(hr)) hr = dev_->CopyRects(offscreen_, NULL, 0, sys, NULL);
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
    d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
    if (!d3d_) Say("error: Direct3DCreate8 returned NULL");
    return d3d_ != NULL;
}

bool Game::QueryInterfaces() {
    HRESULT hr = ::QueryInterfaces(d3d_, dev_);
    return SUCCEEDED(hr) || Fail("QueryInterface", hr);
}

bool Game::ReleaseRuntime() {
    ULONG refs = ReleaseAndReport(d3d_, "d3d8");
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
    typedef IDirect3D8*(WINAPI * Create)(UINT);
    IDirect3D8* d3d = reinterpret_cast<Create>(reinterpret_cast<void*>(entry))(D3D_SDK_VERSION);
    if (!d3d) {
        Say("error: Direct3DCreate8 of %s returned NULL", runtimeName);
        return false;
    }
    D3DPRESENT_PARAMETERS pp = MakePresentParams(d3d, hwnd, o.width, o.height, o.swapCopy);
    IDirect3DDevice8* dev = NULL;
    HRESULT hr = CreateGameDevice(d3d, hwnd, pp, &dev);
    if (FAILED(hr) || !dev) {
        Say("error: CreateDevice through %s failed hr=0x%lX", runtimeName, Hex(hr));
        d3d->Release();
        return false;
    }
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    for (unsigned f = 1; f <= o.benchFrames && SUCCEEDED(hr); ++f) {
        PumpMessages();
        LARGE_INTEGER t0, t1;
        QueryPerformanceCounter(&t0);
        hr = DrawScene(dev, f, o.width, o.height);
        if (SUCCEEDED(hr)) hr = PresentFrame(dev);
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
        Say("warning: %s left references device=%lu d3d8=%lu", runtimeName, devRefs, d3dRefs);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    SetSampleProgram("sample8");
    Sample9Options opts;
    std::string error;
    if (!ParseSample9Options(argc, argv, opts, error)) {
        Say("error: %s (--help lists the options)", error.c_str());
        return 2;
    }
    if (opts.help) {
        std::fputs(Sample9Usage(), stdout);
        std::fputs(
            "sample8 takes the same options except --present swapchain and --perf; --leave-target binds\n"
            "no scissor rectangle.\n",
            stdout);
        return 0;
    }
    if (opts.present != Sample9Options::PresentDevice || opts.perf) {
        Say("error: --present swapchain and --perf do not apply to Direct3D 8 (--help lists the options)");
        return 2;
    }
    if (opts.benchFrames > 0) return RunSample9Bench(opts, "d3d8.dll", "Direct3DCreate8", BenchRound);
    Game game(opts);
    return game.Run();
}
