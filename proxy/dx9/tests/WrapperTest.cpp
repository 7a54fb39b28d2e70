// The wrappers never change what the game gets: reference counts as the
// runtime's without the HUD, swap chain 0 usable as the runtime allows, the
// game's Present flags and results, and nothing drawn that was not written.
// A real device (the game harness) with spies between wrapper and runtime.
#include <windows.h>
#include <d3d9.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "CVQCaptureRing.h"
#include "CVQCompositor9.h"
#include "CVQGameHarness.h"
#include "CVQHUD.h"
#include "CVKPixels.h"
#include "CVQSurface.h"
#include "Forward_IDirect3DDevice9.h"
#include "Forward_IDirect3DSurface9.h"
#include "Forward_IDirect3DSwapChain9.h"
#include "LogCapture.h"
#include "MemorySettings.h"
#include "ProxyState.h"
#include "VQFrameMath.h"
#include "myIDirect3DDevice9.h"
#include "myIDirect3DSwapChain9.h"

namespace {

bool KeyDownNever(uint32_t) { return false; }
bool g_hotKeyHeld = false;
bool HotKeyState(uint32_t vk) { return g_hotKeyHeld && VQHud() && vk == VQHud()->HotKey(); }

class WrapperTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_settings.Set("loginShowIntro", "1");
        VQSetKeyStateSource(KeyDownNever);
        ASSERT_EQ(1, m_game.Start(640, 480)) << "needs a display";
    }
    void TearDown() override { VQSetKeyStateSource(nullptr); }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) {
            m_game.DrawScene(i);
            m_game.Present();
        }
    }
    MemorySettings m_settings;
    CVQGameHarness m_game;
};

// Swap chain 0 whose Present answers "still drawing" when asked not to wait.
class BusySwapChain : public Forward_IDirect3DSwapChain9 {
public:
    explicit BusySwapChain(IDirect3DSwapChain9* real) : Forward_IDirect3DSwapChain9(real) {}
    HRESULT STDMETHODCALLTYPE Present(const RECT* s, const RECT* d, HWND w, const RGNDATA* r, DWORD flags) override {
        lastFlags = flags;
        ++presents;
        return (flags & D3DPRESENT_DONOTWAIT) ? D3DERR_WASSTILLDRAWING : m_real->Present(s, d, w, r, flags);
    }
    DWORD lastFlags = 0xFFFFFFFF;
    int presents = 0;
};

// A back buffer that reports another format than it has.
class RelabelledSurface : public Forward_IDirect3DSurface9 {
public:
    RelabelledSurface(IDirect3DSurface9* real, D3DFORMAT format) : Forward_IDirect3DSurface9(real), m_format(format) {
        Live().insert(this);
    }
    virtual ~RelabelledSurface() { Live().erase(this); }
    // The runtime's objects carry no C++ type information: spies are told by address.
    static std::set<IDirect3DSurface9*>& Live() {
        static std::set<IDirect3DSurface9*> live;
        return live;
    }
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* desc) override {
        HRESULT hr = m_real->GetDesc(desc);
        if (SUCCEEDED(hr)) desc->Format = m_format;
        return hr;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG count = m_real->Release();
        if (count == 0) delete this;
        return count;
    }

private:
    D3DFORMAT m_format;
};

IDirect3DSurface9* Unwrapped(IDirect3DSurface9* surface) {
    if (!RelabelledSurface::Live().count(surface)) return surface;
    return static_cast<RelabelledSurface*>(surface)->Real();
}

// A device whose back buffer claims a format (its surfaces are made in the
// real one), counting the HUD's copies onto the back buffer.
class RelabellingDevice : public Forward_IDirect3DDevice9 {
public:
    explicit RelabellingDevice(IDirect3DDevice9* real) : Forward_IDirect3DDevice9(real) {}
    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT chain, UINT index, D3DBACKBUFFER_TYPE type,
                                            IDirect3DSurface9** out) override {
        ++backBuffers;
        HRESULT hr = m_real->GetBackBuffer(chain, index, type, out);
        if (SUCCEEDED(hr) && *out) *out = new RelabelledSurface(*out, claimed);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE CreateOffscreenPlainSurface(UINT w, UINT h, D3DFORMAT format, D3DPOOL pool,
                                                          IDirect3DSurface9** out, HANDLE* shared) override {
        return m_real->CreateOffscreenPlainSurface(w, h, format == claimed ? D3DFMT_X8R8G8B8 : format, pool, out,
                                                   shared);
    }
    HRESULT STDMETHODCALLTYPE StretchRect(IDirect3DSurface9* src, const RECT* s, IDirect3DSurface9* dst, const RECT* d,
                                          D3DTEXTUREFILTERTYPE filter) override {
        ++copies;
        return m_real->StretchRect(Unwrapped(src), s, Unwrapped(dst), d, filter);
    }
    HRESULT STDMETHODCALLTYPE ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR colour) override {
        ++fills;
        return m_real->ColorFill(Unwrapped(surface), rect, colour);
    }
    D3DFORMAT claimed = D3DFMT_X8R8G8B8;
    int copies = 0;
    int fills = 0;
    int backBuffers = 0;
};

}  // namespace

TEST_F(WrapperTest, TheGameCountsItsOwnReferencesOnly) {
    IDirect3DDevice9* device = m_game.Device();
    IDirect3DDevice9* real = m_game.RealDevice();
    ULONG before = device->AddRef();
    EXPECT_EQ(before - 1, device->Release());

    Frames(3);  // the HUD is made and its windows get surfaces on the device
    ASSERT_TRUE(VQHud() != nullptr);
    void* logo = VQHud()->Logo()->GetSurface()->Handle();
    ASSERT_TRUE(logo != nullptr);
    EXPECT_EQ(2u, ProxyHudDeviceRefs(real));  // logo and dashboard
    EXPECT_EQ(before, device->AddRef());
    EXPECT_EQ(before - 1, device->Release());
    EXPECT_EQ(before + 2, real->AddRef());  // the runtime does count the HUD's
    real->Release();

    // A game that adds and drops a reference every frame leaves the HUD's
    // surfaces alone.
    for (int i = 0; i < 3; ++i) {
        device->AddRef();
        device->Release();
        Frames(1);
        EXPECT_EQ(logo, VQHud()->Logo()->GetSurface()->Handle());
    }

    // The game's last release ends the device, the HUD's surfaces with it.
    EXPECT_EQ(0u, m_game.ReleaseDevice());
    EXPECT_EQ(nullptr, VQHud());
    EXPECT_EQ(0u, ProxyHudDeviceRefs(real));
}

TEST_F(WrapperTest, SwapChainZeroIsUsableAfterItsReleases) {
    IDirect3DDevice9* device = m_game.Device();
    IDirect3DSwapChain9* runtime = nullptr;
    ASSERT_EQ(D3D_OK, m_game.RealDevice()->GetSwapChain(0, &runtime));

    IDirect3DSwapChain9 *a = nullptr, *b = nullptr;
    ASSERT_EQ(D3D_OK, device->GetSwapChain(0, &a));
    ASSERT_EQ(D3D_OK, device->GetSwapChain(0, &b));
    EXPECT_EQ(a, b);
    EXPECT_NE(static_cast<void*>(runtime), static_cast<void*>(a));
    // The runtime's count, as the game would see it without the wrapper.
    ULONG viaWrapper = a->AddRef();
    EXPECT_EQ(viaWrapper + 1, runtime->AddRef());
    runtime->Release();
    runtime->Release();
    EXPECT_EQ(viaWrapper - 2, a->Release());
    EXPECT_EQ(1u, a->Release());
    EXPECT_EQ(0u, b->Release());

    // Released to 0: the same pointer still works, and releases to 0 again.
    IDirect3DSurface9* backBuffer = nullptr;
    EXPECT_EQ(D3D_OK, a->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer));
    ASSERT_TRUE(backBuffer != nullptr);
    backBuffer->Release();
    EXPECT_EQ(0u, a->Release());
    m_game.DrawScene(1);
    EXPECT_EQ(D3D_OK, a->Present(nullptr, nullptr, nullptr, nullptr, 0));

    // Asked for again: the same object, counted from 1.
    IDirect3DSwapChain9* again = nullptr;
    ASSERT_EQ(D3D_OK, device->GetSwapChain(0, &again));
    EXPECT_EQ(a, again);
    EXPECT_EQ(2u, again->AddRef());
    EXPECT_EQ(1u, again->Release());
    EXPECT_EQ(0u, again->Release());
    EXPECT_EQ(0u, m_game.ReleaseDevice());
}

TEST_F(WrapperTest, SwapChainPresentKeepsTheGamesFlagsAndResult) {
    IDirect3DSwapChain9* runtime = nullptr;
    ASSERT_EQ(D3D_OK, m_game.RealDevice()->GetSwapChain(0, &runtime));
    BusySwapChain busy(runtime);
    myIDirect3DSwapChain9* wrapper = new myIDirect3DSwapChain9(&busy, m_game.RealDevice());

    m_game.DrawScene(1);
    EXPECT_EQ(D3DERR_WASSTILLDRAWING, wrapper->Present(nullptr, nullptr, nullptr, nullptr, D3DPRESENT_DONOTWAIT));
    EXPECT_EQ(static_cast<DWORD>(D3DPRESENT_DONOTWAIT), busy.lastFlags);
    EXPECT_EQ(D3D_OK, wrapper->Present(nullptr, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(0u, busy.lastFlags);
    EXPECT_EQ(2, busy.presents);
    delete wrapper;
    runtime->Release();
}

TEST_F(WrapperTest, NothingIsDrawnThatCouldNotBeWritten) {
    RelabellingDevice relabelling(m_game.RealDevice());
    myIDirect3DDevice9* current = g_proxy.device;
    myIDirect3DDevice9* wrapper = new myIDirect3DDevice9(&relabelling);
    g_proxy.device = wrapper;
    uint32_t colour = kVQPointerColorStart;

    // Ten-bit channels have no pixel layout: the windows' surfaces cannot be
    // filled, so they are not copied over the game.
    relabelling.claimed = D3DFMT_A2R10G10B10;
    CVQCompositor9::ComposeFrame(&relabelling, nullptr, &colour);
    ASSERT_TRUE(VQHud() != nullptr);
    EXPECT_EQ(0, VQHud()->Logo()->PrepareSurface());
    CVQCompositor9::ComposeFrame(&relabelling, nullptr, &colour);
    EXPECT_EQ(0, relabelling.copies);

    // The same windows over a 32-bit back buffer are drawn.
    VQHud()->ReleaseSurfaces();
    relabelling.claimed = D3DFMT_X8R8G8B8;
    CVQCompositor9::ComposeFrame(&relabelling, nullptr, &colour);
    EXPECT_EQ(2, relabelling.copies);  // logo and dashboard

    CVQCompositor9::DestroyHud();
    g_proxy.device = current;
    delete wrapper;
}

// A hidden HUD leaves the back buffer alone, frame after frame; the pointer
// of a held hot key and the windows shown again are drawn on it as before.
TEST_F(WrapperTest, AHiddenHudLeavesTheBackBufferAlone) {
    RelabellingDevice counting(m_game.RealDevice());
    myIDirect3DDevice9* current = g_proxy.device;
    myIDirect3DDevice9* wrapper = new myIDirect3DDevice9(&counting);
    g_proxy.device = wrapper;
    g_hotKeyHeld = false;
    VQSetKeyStateSource(HotKeyState);
    uint32_t colour = kVQPointerColorStart;

    CVQCompositor9::ComposeFrame(&counting, nullptr, &colour);  // makes the HUD, shown
    ASSERT_TRUE(VQHud() != nullptr);
    EXPECT_LE(1, counting.backBuffers);  // the HUD's start asks too
    EXPECT_EQ(2, counting.copies);       // logo and dashboard
    int handled = 0;
    const uint32_t hotKey = VQHud()->HotKey();
    VQHud()->OnKeyboardInput(WM_KEYDOWN, hotKey, 0x00520001, &handled);
    VQHud()->OnKeyboardInput(WM_KEYUP, hotKey, 0xC0520001u, &handled);
    ASSERT_FALSE(VQHud()->AnyWindowVisible());
    const int asked = counting.backBuffers;
    for (int frame = 0; frame < 5; ++frame) CVQCompositor9::ComposeFrame(&counting, nullptr, &colour);
    EXPECT_EQ(asked, counting.backBuffers);
    EXPECT_EQ(2, counting.copies);
    EXPECT_EQ(0, counting.fills);
    EXPECT_EQ(kVQPointerColorStart, colour);

    // Held, the hot key brings the pointer (three rows) over the hidden HUD.
    g_hotKeyHeld = true;
    VQHud()->OnKeyboardInput(WM_KEYDOWN, hotKey, 0x00520001, &handled);
    CVQCompositor9::ComposeFrame(&counting, nullptr, &colour);
    EXPECT_EQ(asked + 1, counting.backBuffers);
    EXPECT_EQ(2, counting.copies);
    EXPECT_EQ(3, counting.fills);
    EXPECT_NE(kVQPointerColorStart, colour);

    // Released, a lone press shows the windows again.
    g_hotKeyHeld = false;
    VQHud()->OnKeyboardInput(WM_KEYUP, hotKey, 0xC0520001u, &handled);
    ASSERT_TRUE(VQHud()->AnyWindowVisible());
    CVQCompositor9::ComposeFrame(&counting, nullptr, &colour);
    EXPECT_EQ(asked + 2, counting.backBuffers);
    EXPECT_GT(counting.copies, 2);

    CVQCompositor9::DestroyHud();
    VQSetKeyStateSource(KeyDownNever);
    g_proxy.device = current;
    delete wrapper;
}

namespace {
// Every pixel of the surface, read through a read-only lock, against the
// colour expected at each place (alpha left out: the format may have none).
int Mismatches(CVQSurface& surface, uint32_t (*expected)(uint32_t x, uint32_t y, uint32_t round), uint32_t round) {
    CVKPixels view;
    if (!surface.Lock(&view, D3DLOCK_READONLY)) return -1;
    int wrong = 0;
    for (uint32_t y = 0; y < surface.Height(); ++y)
        for (uint32_t x = 0; x < surface.Width(); ++x)
            wrong += (view.GetPixel(x, y) & 0xFFFFFF) != (expected(x, y, round) & 0xFFFFFF);
    surface.Unlock();
    return wrong;
}

uint32_t Whole(uint32_t x, uint32_t y, uint32_t round) { return 0xFF000000u | (round * 0x402010u + x * 3 + y * 0x500); }
// After a 16x8 picture over the last whole one: the corner is new, the rest kept.
uint32_t Corner(uint32_t x, uint32_t y, uint32_t round) { return x < 16 && y < 8 ? 0xFF00C0FFu : Whole(x, y, round); }
}  // namespace

TEST_F(WrapperTest, AWindowSurfaceHoldsEachPictureWholeAndOnTheBackBuffer) {
    CVQSurface surface;
    ASSERT_EQ(1, surface.Create(64, 32));
    uint32_t layout = CVKPixels::LayoutOfFormat(surface.Format());
    ASSERT_NE(0u, layout);

    // Whole pictures one after another, frames presented between them: each
    // replaces the last everywhere.
    CVKPixels picture;
    ASSERT_EQ(1, picture.Allocate(layout, 64, 32));
    for (uint32_t round = 0; round < 4; ++round) {
        for (uint32_t y = 0; y < 32; ++y)
            for (uint32_t x = 0; x < 64; ++x) picture.SetPixel(x, y, Whole(x, y, round));
        ASSERT_EQ(1, surface.CopyFrom(picture)) << round;
        EXPECT_EQ(0, Mismatches(surface, Whole, round)) << round;
        Frames(1);
    }

    // A smaller picture changes its corner only; the rest is what was there.
    CVKPixels corner;
    ASSERT_EQ(1, corner.Allocate(layout, 16, 8));
    corner.Fill(0xFF00C0FFu);
    ASSERT_EQ(1, surface.CopyFrom(corner));
    EXPECT_EQ(0, Mismatches(surface, Corner, 3));

    // The surface is a source the compositor can copy onto the back buffer.
    IDirect3DDevice9* device = m_game.RealDevice();
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(D3D_OK, device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer));
    D3DSURFACE_DESC desc;
    ASSERT_EQ(D3D_OK, backBuffer->GetDesc(&desc));
    RECT s = {0, 0, 64, 32};
    RECT d = {10, 20, 74, 52};
    EXPECT_EQ(D3D_OK, device->StretchRect(static_cast<IDirect3DSurface9*>(surface.Handle()), &s, backBuffer, &d,
                                          D3DTEXF_POINT));
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(D3D_OK, device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                          &copy, nullptr));
    EXPECT_EQ(D3D_OK, device->GetRenderTargetData(backBuffer, copy));
    D3DLOCKED_RECT locked;
    ASSERT_EQ(D3D_OK, copy->LockRect(&locked, nullptr, D3DLOCK_READONLY));
    CVKPixels seen(CVKPixels::LayoutOfFormat(desc.Format), desc.Width, desc.Height, locked.pBits,
                   locked.Pitch * static_cast<int32_t>(desc.Height), locked.Pitch, 0);
    EXPECT_EQ(0xFF00C0FFu & 0xFFFFFF, seen.GetPixel(10, 20) & 0xFFFFFF);
    EXPECT_EQ(Whole(63, 31, 3) & 0xFFFFFF, seen.GetPixel(73, 51) & 0xFFFFFF);
    copy->UnlockRect();
    copy->Release();
    backBuffer->Release();
}

namespace {
// A system-memory surface that knows whether it is locked.
class LockSpySurface : public Forward_IDirect3DSurface9 {
public:
    explicit LockSpySurface(IDirect3DSurface9* real) : Forward_IDirect3DSurface9(real) { Live().insert(this); }
    virtual ~LockSpySurface() { Live().erase(this); }
    static std::set<IDirect3DSurface9*>& Live() {
        static std::set<IDirect3DSurface9*> live;
        return live;
    }
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override {
        HRESULT hr = m_real->LockRect(locked, rect, flags);
        if (SUCCEEDED(hr)) isLocked = true;
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
};

// A device whose system-memory surfaces are spies and whose
// GetRenderTargetData refuses a locked destination, as the runtime's
// documentation has it (this runtime lets it pass).
class LockCheckingDevice : public Forward_IDirect3DDevice9 {
public:
    explicit LockCheckingDevice(IDirect3DDevice9* real) : Forward_IDirect3DDevice9(real) {}
    HRESULT STDMETHODCALLTYPE CreateOffscreenPlainSurface(UINT w, UINT h, D3DFORMAT format, D3DPOOL pool,
                                                          IDirect3DSurface9** out, HANDLE* shared) override {
        HRESULT hr = m_real->CreateOffscreenPlainSurface(w, h, format, pool, out, shared);
        if (SUCCEEDED(hr) && pool == D3DPOOL_SYSTEMMEM) *out = new LockSpySurface(*out);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetRenderTargetData(IDirect3DSurface9* target, IDirect3DSurface9* dest) override {
        if (LockSpySurface::Live().count(dest)) {
            LockSpySurface* spy = static_cast<LockSpySurface*>(dest);
            if (spy->isLocked) {
                ++refused;
                return D3DERR_INVALIDCALL;
            }
            dest = spy->Real();
        }
        return m_real->GetRenderTargetData(target, dest);
    }
    int refused = 0;
};
}  // namespace

// Copies come out of the ring a few frames after they were taken, in capture
// order, each with its stamp and the picture of its own frame, round after
// round through every slot: a slot's system-memory copy stays locked for a
// while after it was given back, and is free again before the slot's next
// copy is read into it. Released, the ring leaves nothing behind.
TEST_F(WrapperTest, CaptureRingGivesEveryCopyInOrderRoundAfterRound) {
    LogCapture log;
    Frames(1);
    IDirect3DDevice9* real = m_game.RealDevice();
    const ULONG hudRefs = ProxyHudDeviceRefs(real);
    LockCheckingDevice checking(real);
    myIDirect3DDevice9* current = g_proxy.device;
    myIDirect3DDevice9* wrapper = new myIDirect3DDevice9(&checking);
    g_proxy.device = wrapper;  // the ring makes and reads its copies through the spy
    CVQCaptureRing ring;
    std::vector<int64_t> taken, read;
    for (unsigned frame = 1; frame < 200 && read.size() < 4 * CVQCaptureRing::kSlots; frame++) {
        m_game.DrawScene(frame);
        if (ring.InFlight() < CVQCaptureRing::kSlots) {
            ASSERT_EQ(CVQCaptureRing::kCaptured, ring.Capture(frame));
            taken.push_back(frame);
        }
        real->Present(nullptr, nullptr, nullptr, nullptr);
        ring.Poll();
        CVKPixels pixels;
        int64_t stamp = 0;
        const int result = ring.LockOldest(&pixels, &stamp, 0);
        ASSERT_NE(CVQCaptureRing::kLockFailed, result) << "frame " << frame;
        if (result != CVQCaptureRing::kLocked) continue;
        read.push_back(stamp);
        // The scene's counter cells: cell i white when bit i of the frame is set.
        for (int bit = 0; bit < 5; bit++)
            EXPECT_EQ((stamp >> bit) & 1 ? 0xFFFFFFu : 0u, pixels.GetPixel(12 + 8 * bit, 12) & 0xFFFFFF)
                << "stamp " << stamp << " cell " << bit;
        ring.UnlockOldest();
    }
    EXPECT_EQ(0, ring.IsSynchronous());
    ASSERT_GE(read.size(), 4u * CVQCaptureRing::kSlots);
    EXPECT_EQ(std::vector<int64_t>(taken.begin(), taken.begin() + static_cast<ptrdiff_t>(read.size())), read);
    // Waiting for the device gives the copies still in flight.
    CVKPixels pixels;
    int64_t stamp = 0;
    for (size_t i = read.size(); i < taken.size(); i++) {
        ASSERT_EQ(CVQCaptureRing::kLocked, ring.LockOldest(&pixels, &stamp, 1));
        EXPECT_EQ(taken[i], stamp);
        ring.UnlockOldest();
    }
    EXPECT_EQ(0, checking.refused);
    ring.Release();
    for (IDirect3DSurface9* spy : LockSpySurface::Live()) EXPECT_FALSE(static_cast<LockSpySurface*>(spy)->isLocked);
    EXPECT_TRUE(LockSpySurface::Live().empty());  // every copy released
    g_proxy.device = current;
    delete wrapper;
    EXPECT_EQ(hudRefs, ProxyHudDeviceRefs(real));
    EXPECT_EQ(std::string::npos, log.text.find("Failed")) << log.text;
}
