// The Direct3D 8 wrappers over a real device: the game's counts and objects
// are its own, the HUD reaches the back buffer without touching the game's
// render target, viewport or render states, a Reset while recording works,
// and surfaces whose format has no pixel layout are never filled.
#include <windows.h>
#include <d3d8.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "CVKPixels.h"
#include "CVQCaptureRing.h"
#include "CVQCompositor8.h"
#include "CVQGameHarness.h"
#include "CVQHUD.h"
#include "CVQSurface.h"
#include "Forward_IDirect3DDevice8.h"
#include "Forward_IDirect3DSurface8.h"
#include "LogCapture.h"
#include "MemorySettings.h"
#include "ProxyState8.h"
#include "VQFrameMath.h"
#include "myIDirect3DDevice8.h"

namespace {

bool g_hotKeyDown = false;
bool KeyState(uint32_t vk) { return g_hotKeyDown && vk == 45; }

class WrapperTest8 : public ::testing::Test {
protected:
    void SetUp() override {
        m_settings.Set("loginShowIntro", "1");
        g_hotKeyDown = false;
        VQSetKeyStateSource(KeyState);
        ASSERT_EQ(1, m_game.Start(640, 480)) << "needs a display";
    }
    void TearDown() override {
        m_game.Stop();
        VQSetKeyStateSource(nullptr);
    }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) {
            m_game.DrawScene(m_frame++);
            m_game.Present();
        }
    }
    // The colour of one pixel of a surface the device can copy from.
    uint32_t PixelOf(IDirect3DSurface8* surface, int x, int y) {
        IDirect3DDevice8* device = m_game.RealDevice();
        D3DSURFACE_DESC desc;
        surface->GetDesc(&desc);
        IDirect3DSurface8* copy = nullptr;
        if (FAILED(device->CreateImageSurface(desc.Width, desc.Height, desc.Format, &copy))) return 0;
        uint32_t colour = 0;
        D3DLOCKED_RECT locked;
        if (SUCCEEDED(device->CopyRects(surface, nullptr, 0, copy, nullptr)) &&
            SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            colour = static_cast<const uint32_t*>(locked.pBits)[y * locked.Pitch / 4 + x] | 0xFF000000u;
            copy->UnlockRect();
        }
        copy->Release();
        return colour;
    }
    MemorySettings m_settings;
    CVQGameHarness m_game;
    unsigned m_frame = 1;
};

TEST_F(WrapperTest8, TheGameCountsItsOwnReferencesAndGetsItsWrapper) {
    IDirect3DDevice8* device = m_game.Device();
    IDirect3DDevice8* real = m_game.RealDevice();
    ULONG before = device->AddRef();
    EXPECT_EQ(before - 1, device->Release());

    Frames(3);  // the HUD is made and its windows get surfaces on the device
    ASSERT_TRUE(VQHud() != nullptr);
    EXPECT_EQ(2u, ProxyHudDeviceRefs(real));  // logo and dashboard
    EXPECT_EQ(before, device->AddRef());
    EXPECT_EQ(before - 1, device->Release());
    EXPECT_EQ(before + 2, real->AddRef());  // the runtime does count the HUD's
    real->Release();

    // QueryInterface answers with the wrapper for what it implements.
    void* out = nullptr;
    ASSERT_EQ(S_OK, device->QueryInterface(IID_IDirect3DDevice8, &out));
    EXPECT_EQ(static_cast<void*>(device), out);
    device->Release();
    ASSERT_EQ(S_OK, device->QueryInterface(IID_IUnknown, &out));
    EXPECT_EQ(static_cast<void*>(device), out);
    device->Release();
    out = &out;
    EXPECT_NE(S_OK, device->QueryInterface(IID_IDirect3D8, &out));
    EXPECT_EQ(nullptr, out);

    // The game's last release ends the device, the HUD's surfaces with it.
    EXPECT_EQ(0u, m_game.ReleaseDevice());
    EXPECT_EQ(nullptr, VQHud());
    EXPECT_EQ(0u, ProxyHudDeviceRefs(real));
}

TEST_F(WrapperTest8, PointerAndWindowsLandOnTheBackBufferWhateverTheGameLeftBound) {
    IDirect3DDevice8* real = m_game.RealDevice();
    Frames(2);
    ASSERT_TRUE(VQHud() != nullptr);
    int handled = 0;
    VQHud()->OnMouseInput(0x200, 0, VQPackPoint(600, 420), &handled);
    g_hotKeyDown = true;  // the pointer shows while the hot key is held

    // The game ends its frame with its own render target and a small viewport.
    IDirect3DSurface8* backBuffer = nullptr;
    ASSERT_EQ(D3D_OK, real->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer));
    IDirect3DSurface8* target = nullptr;
    ASSERT_EQ(D3D_OK, real->CreateRenderTarget(640, 480, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, FALSE, &target));
    m_game.DrawScene(m_frame++);
    ASSERT_EQ(D3D_OK, real->SetRenderTarget(target, nullptr));
    ASSERT_EQ(D3D_OK, real->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF123456, 1.0f, 0));
    D3DVIEWPORT8 viewport = {590, 410, 24, 24, 0.0f, 1.0f};
    ASSERT_EQ(D3D_OK, real->SetViewport(&viewport));
    DWORD lighting = 0;
    real->GetRenderState(D3DRS_LIGHTING, &lighting);

    uint32_t colour = 0xFF404040;
    CVQCompositor8::ComposeFrame(real, &colour);
    EXPECT_EQ(0xFF444444u, colour);  // one step of the pulse

    // The pointer's three rows and the dashboard's face are on the back buffer...
    EXPECT_EQ(0xFF404040u, PixelOf(backBuffer, 600, 420));
    EXPECT_EQ(0xFF404040u, PixelOf(backBuffer, 602, 420));
    EXPECT_EQ(0xFF404040u, PixelOf(backBuffer, 601, 421));
    EXPECT_EQ(0xFF404040u, PixelOf(backBuffer, 600, 422));
    EXPECT_NE(0xFF404040u, PixelOf(backBuffer, 601, 422));
    EXPECT_EQ(0xFFCDE8FFu, PixelOf(backBuffer, 300, 150));
    // ...and the game's target, viewport and states are as the game left them.
    EXPECT_EQ(0xFF123456u, PixelOf(target, 600, 420));
    EXPECT_EQ(0xFF123456u, PixelOf(target, 300, 150));
    IDirect3DSurface8* bound = nullptr;
    ASSERT_EQ(D3D_OK, real->GetRenderTarget(&bound));
    EXPECT_EQ(target, bound);
    bound->Release();
    D3DVIEWPORT8 now = {};
    real->GetViewport(&now);
    EXPECT_EQ(590u, now.X);
    EXPECT_EQ(24u, now.Width);
    DWORD lightingNow = 1;
    real->GetRenderState(D3DRS_LIGHTING, &lightingNow);
    EXPECT_EQ(lighting, lightingNow);

    real->SetRenderTarget(backBuffer, nullptr);
    target->Release();
    backBuffer->Release();
}

// A device that counts the composition point's calls on the back buffer.
class BackBufferCountingDevice8 : public Forward_IDirect3DDevice8 {
public:
    explicit BackBufferCountingDevice8(IDirect3DDevice8* real) : Forward_IDirect3DDevice8(real) {}
    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface8** out) override {
        ++backBuffers;
        return m_real->GetBackBuffer(index, type, out);
    }
    HRESULT STDMETHODCALLTYPE CopyRects(IDirect3DSurface8* src, const RECT* rects, UINT count, IDirect3DSurface8* dst,
                                        const POINT* points) override {
        ++copies;
        return m_real->CopyRects(src, rects, count, dst, points);
    }
    int backBuffers = 0;
    int copies = 0;
};

// A hidden HUD leaves the back buffer alone, frame after frame, and the game's
// pixels stay as drawn; the pointer of a held hot key and the windows shown
// again are drawn on it as before.
TEST_F(WrapperTest8, AHiddenHudLeavesTheBackBufferAlone) {
    IDirect3DDevice8* real = m_game.RealDevice();
    BackBufferCountingDevice8 counting(real);
    myIDirect3DDevice8* current = g_proxy8.device;
    myIDirect3DDevice8* wrapper = new myIDirect3DDevice8(&counting);
    g_proxy8.device = wrapper;  // the HUD makes its surfaces through the counter
    uint32_t colour = kVQPointerColorStart;

    m_game.DrawScene(m_frame++);
    CVQCompositor8::ComposeFrame(&counting, &colour);  // makes the HUD, shown
    ASSERT_TRUE(VQHud() != nullptr);
    EXPECT_LE(1, counting.backBuffers);
    EXPECT_EQ(2, counting.copies);  // logo and dashboard
    int handled = 0;
    const uint32_t hotKey = VQHud()->HotKey();
    VQHud()->OnKeyboardInput(WM_KEYDOWN, hotKey, 0x00520001, &handled);
    VQHud()->OnKeyboardInput(WM_KEYUP, hotKey, 0xC0520001u, &handled);
    ASSERT_FALSE(VQHud()->AnyWindowVisible());
    IDirect3DSurface8* backBuffer = nullptr;
    ASSERT_EQ(D3D_OK, real->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer));
    const int asked = counting.backBuffers;
    for (int frame = 0; frame < 5; ++frame) {
        m_game.DrawScene(m_frame++);
        CVQCompositor8::ComposeFrame(&counting, &colour);
    }
    EXPECT_EQ(asked, counting.backBuffers);
    EXPECT_EQ(2, counting.copies);
    EXPECT_EQ(kVQPointerColorStart, colour);
    EXPECT_NE(0xFFCDE8FFu, PixelOf(backBuffer, 300, 150));  // the game's frame, no dashboard

    // Held, the hot key brings the pointer (three rows, one copy) over the hidden HUD.
    g_hotKeyDown = true;
    VQHud()->OnKeyboardInput(WM_KEYDOWN, hotKey, 0x00520001, &handled);
    CVQCompositor8::ComposeFrame(&counting, &colour);
    EXPECT_EQ(asked + 1, counting.backBuffers);
    EXPECT_EQ(3, counting.copies);
    EXPECT_NE(kVQPointerColorStart, colour);

    // Released, a lone press shows the windows again.
    g_hotKeyDown = false;
    VQHud()->OnKeyboardInput(WM_KEYUP, hotKey, 0xC0520001u, &handled);
    ASSERT_TRUE(VQHud()->AnyWindowVisible());
    m_game.DrawScene(m_frame++);
    CVQCompositor8::ComposeFrame(&counting, &colour);
    EXPECT_EQ(asked + 2, counting.backBuffers);
    EXPECT_GT(counting.copies, 3);
    EXPECT_EQ(0xFFCDE8FFu, PixelOf(backBuffer, 300, 150));

    backBuffer->Release();
    CVQCompositor8::DestroyHud();
    g_proxy8.device = current;
    delete wrapper;
}

TEST_F(WrapperTest8, ResetWhileRecordingKeepsTheGameAndTheHud) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    lstrcatA(folder, "wrapper8-reset\\");
    CreateDirectoryA(folder, nullptr);
    m_settings.Set("recorderFolder", folder);
    m_settings.Set("recorderType", "0");
    LogCapture log;
    Frames(3);
    ASSERT_TRUE(VQHud() != nullptr);
    ASSERT_EQ(1, VQHud()->CurrentRecorder()->BeginRecording());
    for (int i = 0; i < 8; ++i) {
        Frames(1);
        Sleep(20);  // a few frames reach the capture ring
    }

    // The ring's default-pool copies would make the runtime refuse the Reset.
    D3DPRESENT_PARAMETERS pp = g_proxy8.storedPresentParameters;
    pp.BackBufferWidth = 800;
    pp.BackBufferHeight = 600;
    EXPECT_EQ(D3D_OK, m_game.Device()->Reset(&pp));
    EXPECT_EQ(800u, g_proxy8.storedPresentParameters.BackBufferWidth);
    ASSERT_TRUE(VQHud() != nullptr);
    for (int i = 0; i < 4; ++i) {
        Frames(1);
        Sleep(20);
    }
    IDirect3DSurface8* backBuffer = nullptr;
    ASSERT_EQ(D3D_OK, m_game.RealDevice()->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer));
    m_game.DrawScene(m_frame++);
    uint32_t colour = kVQPointerColorStart;
    CVQCompositor8::ComposeFrame(m_game.RealDevice(), &colour);
    EXPECT_EQ(0xFFCDE8FFu, PixelOf(backBuffer, 300, 150));  // the HUD over the game after the Reset
    backBuffer->Release();
    VQHud()->CurrentRecorder()->EndRecording();
    EXPECT_EQ(std::string::npos, log.text.find("Failed")) << log.text;
}

TEST_F(WrapperTest8, CaptureRingReadsACopyOnlyAfterThreePresentsAndKeepsItsFrame) {
    Frames(1);
    CVQCaptureRing ring;
    m_game.DrawScene(5);  // counter cells 0 and 2 white, cell 1 black
    ASSERT_EQ(CVQCaptureRing::kCaptured, ring.Capture(55));
    EXPECT_EQ(0, ring.IsSynchronous());  // render targets under this runtime
    CVKPixels pixels;
    int64_t stamp = 0;
    EXPECT_EQ(CVQCaptureRing::kNothingReady, ring.LockOldest(&pixels, &stamp, 0));
    m_game.Present();
    EXPECT_EQ(CVQCaptureRing::kNothingReady, ring.LockOldest(&pixels, &stamp, 0));  // its read starts
    m_game.DrawScene(6);                                                            // cell 0 black from here on
    m_game.Present();
    EXPECT_EQ(CVQCaptureRing::kNothingReady, ring.LockOldest(&pixels, &stamp, 0));
    m_game.Present();
    ASSERT_EQ(CVQCaptureRing::kLocked, ring.LockOldest(&pixels, &stamp, 0));
    EXPECT_EQ(55, stamp);
    EXPECT_EQ(640u, pixels.Width());
    EXPECT_EQ(0xFFFFFFFFu, pixels.GetPixel(12, 12));  // frame 5's, not what the back buffer holds now
    EXPECT_EQ(0xFF000000u, pixels.GetPixel(20, 12));
    EXPECT_EQ(0xFFFFFFFFu, pixels.GetPixel(28, 12));
    ring.UnlockOldest();
    EXPECT_EQ(0, ring.InFlight());

    // Asked to copy at once: system-memory copies, readable straight away.
    CVQCaptureRing::SetForceSynchronous(1);
    ring.Release();
    m_game.DrawScene(5);
    ASSERT_EQ(CVQCaptureRing::kCaptured, ring.Capture(66));
    EXPECT_EQ(1, ring.IsSynchronous());
    ASSERT_EQ(CVQCaptureRing::kLocked, ring.LockOldest(&pixels, &stamp, 0));
    EXPECT_EQ(0xFFFFFFFFu, pixels.GetPixel(12, 12));
    ring.UnlockOldest();
    CVQCaptureRing::SetForceSynchronous(0);
    ring.Release();
    EXPECT_EQ(2u, ProxyHudDeviceRefs(m_game.RealDevice()));  // the ring's copies are gone, the HUD's windows stay
}

// A system-memory surface that knows whether it is locked and when it was
// last copied into (in presents of the current device).
class LockSpySurface8 : public Forward_IDirect3DSurface8 {
public:
    explicit LockSpySurface8(IDirect3DSurface8* real) : Forward_IDirect3DSurface8(real) { Live().insert(this); }
    virtual ~LockSpySurface8() { Live().erase(this); }
    // The runtime's objects carry no C++ type information: spies are told by address.
    static std::set<IDirect3DSurface8*>& Live() {
        static std::set<IDirect3DSurface8*> live;
        return live;
    }
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override {
        HRESULT hr = m_real->LockRect(locked, rect, flags);
        if (SUCCEEDED(hr)) {
            isLocked = true;
            fewestPresentsBeforeLock = std::min(fewestPresentsBeforeLock, g_proxy8.presentCount - copiedAt);
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE UnlockRect() override {
        isLocked = false;
        return m_real->UnlockRect();
    }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG count = m_real->Release();
        if (count == 0) delete this;
        return count;
    }
    bool isLocked = false;
    LONG copiedAt = 0;
    static LONG fewestPresentsBeforeLock;
};
LONG LockSpySurface8::fewestPresentsBeforeLock = 1000;

// A device whose system-memory surfaces are spies and whose CopyRects refuses
// a locked destination, as the runtime's documentation has it for a locked
// surface (this runtime lets it pass).
class LockCheckingDevice8 : public Forward_IDirect3DDevice8 {
public:
    explicit LockCheckingDevice8(IDirect3DDevice8* real) : Forward_IDirect3DDevice8(real) {}
    HRESULT STDMETHODCALLTYPE CreateImageSurface(UINT w, UINT h, D3DFORMAT format, IDirect3DSurface8** out) override {
        HRESULT hr = m_real->CreateImageSurface(w, h, format, out);
        if (SUCCEEDED(hr)) *out = new LockSpySurface8(*out);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE CopyRects(IDirect3DSurface8* src, const RECT* rects, UINT count, IDirect3DSurface8* dst,
                                        const POINT* points) override {
        if (LockSpySurface8::Live().count(src)) src = static_cast<LockSpySurface8*>(src)->Real();
        if (LockSpySurface8::Live().count(dst)) {
            LockSpySurface8* spy = static_cast<LockSpySurface8*>(dst);
            if (spy->isLocked) {
                ++refused;
                return D3DERR_INVALIDCALL;
            }
            spy->copiedAt = g_proxy8.presentCount;
            dst = spy->Real();
        }
        return m_real->CopyRects(src, rects, count, dst, points);
    }
    int refused = 0;
};

// A recorder that takes a copy and hands one on every frame finds a free
// slot each time;
// copies come out of the ring a few frames after they were taken, in capture
// order, each with its stamp and the picture of its own frame, round after
// round through every slot. No system-memory copy is locked on the frame its
// read was queued (the lock would wait for the device), a slot's copy stays
// locked for a while after it was given back and is free again before the
// slot is read into again, and the ring leaves nothing behind.
TEST_F(WrapperTest8, CaptureRingGivesEveryCopyInOrderRoundAfterRound) {
    LogCapture log;
    Frames(1);
    IDirect3DDevice8* real = m_game.RealDevice();
    const ULONG hudRefs = ProxyHudDeviceRefs(real);
    LockCheckingDevice8 checking(real);
    myIDirect3DDevice8* current = g_proxy8.device;
    myIDirect3DDevice8* wrapper = new myIDirect3DDevice8(&checking);
    g_proxy8.device = wrapper;  // the ring makes and reads its copies through the spy
    LockSpySurface8::fewestPresentsBeforeLock = 1000;
    CVQCaptureRing ring;
    std::vector<int64_t> taken, read;
    for (unsigned frame = 1; frame < 200 && read.size() < 8 * CVQCaptureRing::kSlots; frame++) {
        m_game.DrawScene(frame);
        // In the recorder's order: the oldest copy handed on, the others moved on, a new copy.
        // From frame 20 on, every third frame hands nothing on (the encoder's queue is full).
        const bool queueFull = frame >= 20 && frame % 3 == 0;
        CVKPixels pixels;
        int64_t stamp = 0;
        const int result = queueFull ? +CVQCaptureRing::kNothingReady : ring.LockOldest(&pixels, &stamp, 0);
        ASSERT_NE(CVQCaptureRing::kLockFailed, result) << "frame " << frame;
        if (result == CVQCaptureRing::kLocked) {
            read.push_back(stamp);
            // The scene's counter cells: cell i white when bit i of the frame is set.
            for (int bit = 0; bit < 5; bit++)
                EXPECT_EQ((stamp >> bit) & 1 ? 0xFFFFFFu : 0u, pixels.GetPixel(12 + 8 * bit, 12) & 0xFFFFFF)
                    << "stamp " << stamp << " cell " << bit;
            ring.UnlockOldest();
        }
        ring.Poll();
        if (frame < 20) {
            ASSERT_LT(ring.InFlight(), +CVQCaptureRing::kSlots) << "frame " << frame;
        }
        if (ring.InFlight() < CVQCaptureRing::kSlots) {
            ASSERT_EQ(CVQCaptureRing::kCaptured, ring.Capture(frame));
            taken.push_back(frame);
        }
        real->Present(nullptr, nullptr, nullptr, nullptr);
        InterlockedIncrement(&g_proxy8.presentCount);  // as the wrapper's Present counts it
    }
    EXPECT_EQ(0, ring.IsSynchronous());
    ASSERT_GE(read.size(), 8u * CVQCaptureRing::kSlots);
    EXPECT_EQ(std::vector<int64_t>(taken.begin(), taken.begin() + static_cast<ptrdiff_t>(read.size())), read);
    EXPECT_GE(LockSpySurface8::fewestPresentsBeforeLock, 1);
    // Waiting for the device gives the copies still in flight, in order.
    CVKPixels pixels;
    int64_t stamp = 0;
    for (size_t i = read.size(); i < taken.size(); i++) {
        ASSERT_EQ(CVQCaptureRing::kLocked, ring.LockOldest(&pixels, &stamp, 1));
        EXPECT_EQ(taken[i], stamp);
        EXPECT_EQ(taken[i] & 1 ? 0xFFFFFFu : 0u, pixels.GetPixel(12, 12) & 0xFFFFFF) << "stamp " << stamp;
        ring.UnlockOldest();
    }
    EXPECT_EQ(0, ring.InFlight());
    EXPECT_EQ(0, checking.refused);
    ring.Release();
    for (IDirect3DSurface8* spy : LockSpySurface8::Live()) EXPECT_FALSE(static_cast<LockSpySurface8*>(spy)->isLocked);
    EXPECT_TRUE(LockSpySurface8::Live().empty());  // every copy released
    g_proxy8.device = current;
    delete wrapper;
    EXPECT_EQ(hudRefs, ProxyHudDeviceRefs(real));
    EXPECT_EQ(std::string::npos, log.text.find("Failed")) << log.text;
}

// A device that runs out of room for render targets after the first.
class RenderTargetRefusingDevice8 : public Forward_IDirect3DDevice8 {
public:
    explicit RenderTargetRefusingDevice8(IDirect3DDevice8* real) : Forward_IDirect3DDevice8(real) {}
    HRESULT STDMETHODCALLTYPE CreateRenderTarget(UINT w, UINT h, D3DFORMAT format, D3DMULTISAMPLE_TYPE multisample,
                                                 BOOL lockable, IDirect3DSurface8** out) override {
        if (++asked > 1) return D3DERR_OUTOFVIDEOMEMORY;
        return m_real->CreateRenderTarget(w, h, format, multisample, lockable, out);
    }
    int asked = 0;
};

// Without render targets for its copies the ring copies synchronously, says
// so once, gives each copy on the frame it was taken and leaves nothing of
// the slots it could make behind.
TEST_F(WrapperTest8, CaptureRingWithoutRenderTargetsCopiesSynchronouslyAndSaysSoOnce) {
    LogCapture log;
    Frames(1);
    IDirect3DDevice8* real = m_game.RealDevice();
    const ULONG hudRefs = ProxyHudDeviceRefs(real);
    RenderTargetRefusingDevice8 refusing(real);
    myIDirect3DDevice8* current = g_proxy8.device;
    myIDirect3DDevice8* wrapper = new myIDirect3DDevice8(&refusing);
    g_proxy8.device = wrapper;
    CVQCaptureRing ring;
    for (unsigned frame : {5u, 6u, 9u}) {
        if (frame == 9) ring.Release();  // made again: still refused, not said again
        m_game.DrawScene(frame);
        ASSERT_EQ(CVQCaptureRing::kCaptured, ring.Capture(frame * 10));
        EXPECT_EQ(1, ring.IsSynchronous());
        CVKPixels pixels;
        int64_t stamp = 0;
        ASSERT_EQ(CVQCaptureRing::kLocked, ring.LockOldest(&pixels, &stamp, 0));
        EXPECT_EQ(frame * 10, stamp);
        EXPECT_EQ(frame & 1 ? 0xFFFFFFu : 0u, pixels.GetPixel(12, 12) & 0xFFFFFF) << frame;
        EXPECT_EQ(frame & 2 ? 0xFFFFFFu : 0u, pixels.GetPixel(20, 12) & 0xFFFFFF) << frame;
        ring.UnlockOldest();
        real->Present(nullptr, nullptr, nullptr, nullptr);
    }
    ring.Release();
    g_proxy8.device = current;
    delete wrapper;
    EXPECT_EQ(hudRefs, ProxyHudDeviceRefs(real));
    EXPECT_EQ(1, log.Count("copied synchronously")) << log.text;
    EXPECT_EQ(std::string::npos, log.text.find("Failed")) << log.text;
}

TEST_F(WrapperTest8, AdditionalSwapChainsAreForwardedSilentlyAndShowNoHud) {
    LogCapture log;
    D3DPRESENT_PARAMETERS pp = g_proxy8.storedPresentParameters;
    IDirect3DSwapChain8* chain = nullptr;
    ASSERT_EQ(D3D_OK, m_game.Device()->CreateAdditionalSwapChain(&pp, &chain));
    m_game.DrawScene(1);
    EXPECT_EQ(D3D_OK, chain->Present(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(nullptr, VQHud());  // only the device's Present makes and draws the HUD
    EXPECT_EQ("", log.text);
    chain->Release();
}

// Reaches the surface's fields to claim another format than it was made in.
class RelabelledSurface : public CVQSurface {
public:
    void Relabel(uint32_t format) { m_format = format; }
};

TEST_F(WrapperTest8, SurfacesInFormatsWithoutPixelLayoutAreNeverFilled) {
    Frames(1);
    RelabelledSurface surface;
    ASSERT_EQ(1, surface.Create(16, 4));
    CVKPixels marked;
    ASSERT_EQ(1, surface.Lock(&marked, 0));
    marked.Fill(0xFF010203);
    ASSERT_EQ(1, surface.Unlock());

    CVKPixels canvas;
    ASSERT_EQ(1, canvas.Allocate(64, 16, 4));
    canvas.Fill(0xFFFFFFFF);
    surface.Relabel(D3DFMT_A2B10G10R10);
    EXPECT_EQ(0, surface.CopyFrom(canvas));
    surface.Relabel(D3DFMT_X8R8G8B8);
    CVKPixels after;
    ASSERT_EQ(1, surface.Lock(&after, D3DLOCK_READONLY));
    EXPECT_EQ(0xFF010203u, after.GetPixel(5, 2) | 0xFF000000u);
    surface.Unlock();
    EXPECT_EQ(1, surface.CopyFrom(canvas));
}

}  // namespace
