// The input roads into the HUD: the two hook procedures and the DirectInput
// proxy's exports, with a HUD that records what reaches it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CVQHUD.h"
#include "ProxyInput.h"
#include "ProxyState.h"
#include "VKLog.h"
#include "VQFrameMath.h"
#include "VQResource.h"

namespace {

struct Event {
    uint32_t message, value, data;
};

class RecordingHud : public CVQHUD {
public:
    int OnKeyboardInput(uint32_t message, uint32_t key, uint32_t keyData, int* handled) override {
        keys.push_back({message, key, keyData});
        *handled = take;
        return 0;
    }
    int OnMouseInput(uint32_t message, uint32_t data, uint32_t position, int* handled) override {
        mice.push_back({message, data, position});
        *handled = take;
        return 0;
    }
    bool IsPointerVisible() override { return pointer; }
    std::vector<Event> keys, mice;
    int take = 0;
    bool pointer = true;
};

std::string g_log;
void Capture(const char* text, int length, void*) { g_log.append(text, length); }

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        VQSetResourceModule(GetModuleHandleA(nullptr));
        ProxyResetState(GetModuleHandleA(nullptr));
        g_log.clear();
        VKSetLogHook(Capture, nullptr);
    }
    void TearDown() override {
        ProxyRemoveHooks();
        g_proxy.hud = nullptr;
        delete m_hud;
        VKSetLogHook(nullptr, nullptr);
    }
    RecordingHud* MakeHud() {
        m_hud = new RecordingHud();
        g_proxy.hud = m_hud;
        return m_hud;
    }
    int MouseDI(uint32_t message, uint32_t flags, int dx, int dy) {
        int handled = 0;
        Proxy_MouseProcDI(message, flags, VQPackPoint(dx, dy), &handled);
        return handled;
    }
    RecordingHud* m_hud = nullptr;
};

}  // namespace

TEST_F(InputTest, RelativeMouseMovesThePointerWithinTheBackBuffer) {
    RecordingHud* hud = MakeHud();
    g_proxy.storedPresentParameters.BackBufferWidth = 800;
    g_proxy.storedPresentParameters.BackBufferHeight = 600;
    MouseDI(WM_MOUSEMOVE, 0x40, -500, 0);
    EXPECT_EQ(VQPackPoint(0, 320), static_cast<uint32_t>(g_proxy.pointerPosition));
    g_proxy.pointerPosition = kPointerPositionAtLoad;
    MouseDI(WM_MOUSEMOVE, 0x40, 1000, 1000);
    EXPECT_EQ(VQPackPoint(799, 599), static_cast<uint32_t>(g_proxy.pointerPosition));
    ASSERT_EQ(2u, hud->mice.size());
    EXPECT_EQ(VQPackPoint(799, 599), hud->mice[1].data);  // the HUD gets the new position
    EXPECT_EQ(0x40u, hud->mice[1].value);

    // Absolute positions pass unchanged and leave the pointer alone.
    MouseDI(WM_LBUTTONDOWN, 0x80, 33, 44);
    EXPECT_EQ(VQPackPoint(33, 44), hud->mice[2].data);
    EXPECT_EQ(VQPackPoint(799, 599), static_cast<uint32_t>(g_proxy.pointerPosition));
    MouseDI(WM_MOUSEMOVE, 0x40, -9, -9);  // relative again: from the last relative position
    EXPECT_EQ(VQPackPoint(790, 590), static_cast<uint32_t>(g_proxy.pointerPosition));

    // No back-buffer size yet: clamped at 0 only.
    g_proxy.storedPresentParameters.BackBufferWidth = 0;
    g_proxy.storedPresentParameters.BackBufferHeight = 0;
    MouseDI(WM_MOUSEMOVE, 0x40, 5000, 0);
    EXPECT_EQ(5790, VQPointX(static_cast<uint32_t>(g_proxy.pointerPosition)));
}

TEST_F(InputTest, FirstDirectInputMouseEventSwitchesAwayFromTheHook) {
    MakeHud();
    ProxyInstallHooks();
    ASSERT_TRUE(g_proxy.mouseHook != nullptr);
    MouseDI(WM_MOUSEMOVE, 0x80, 1, 1);
    EXPECT_EQ("Proxydx9: MouseProcDI() switching to dinput mouse: abs-coords\r\n", g_log);
    EXPECT_EQ(nullptr, g_proxy.mouseHook);
    g_log.clear();
    MouseDI(WM_MOUSEMOVE, 0x40, 1, 1);
    EXPECT_EQ("", g_log);

    // From now on the mouse hook gives the HUD nothing, so no event is seen twice.
    MSLLHOOKSTRUCT info = {};
    size_t before = m_hud->mice.size();
    ProxyMouseHook(HC_ACTION, WM_LBUTTONDOWN, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(before, m_hud->mice.size());
}

TEST_F(InputTest, KeyboardQueryAndHandOver) {
    int out = 5;
    EXPECT_EQ(0, Proxy_KeyboardProcDI(78, 0, 0, &out));  // no HUD: untouched
    EXPECT_EQ(5, out);
    EXPECT_EQ(0, g_proxy.directInputKeyboardActive);

    RecordingHud* hud = MakeHud();
    hud->pointer = true;
    EXPECT_EQ(0, Proxy_KeyboardProcDI(78, 0, 0, &out));
    EXPECT_EQ(1, out);
    EXPECT_EQ(0, g_proxy.directInputKeyboardActive);  // a query is no input
    EXPECT_TRUE(hud->keys.empty());

    // Through the hook while DirectInput has not spoken: down and up by bit 31.
    hud->take = 1;
    EXPECT_EQ(1, ProxyKeyboardHook(HC_ACTION, 'A', 0x001E0001));
    ProxyKeyboardHook(HC_ACTION, 'A', static_cast<LPARAM>(0xC01E0001u));
    ASSERT_EQ(2u, hud->keys.size());
    EXPECT_EQ(static_cast<uint32_t>(WM_KEYDOWN), hud->keys[0].message);
    EXPECT_EQ(static_cast<uint32_t>(WM_KEYUP), hud->keys[1].message);
    EXPECT_EQ(0xC01E0001u, hud->keys[1].data);

    // The first DirectInput keystroke takes over: the hook passes keys on from now on.
    out = 0;
    Proxy_KeyboardProcDI(WM_KEYDOWN, 'B', 0x00300001, &out);
    EXPECT_EQ(1, out);
    EXPECT_EQ(1, g_proxy.directInputKeyboardActive);
    ProxyKeyboardHook(HC_ACTION, 'B', 0x00300001);
    EXPECT_EQ(3u, hud->keys.size());  // reached the HUD once
}

TEST_F(InputTest, WindowedClicksAreMappedToTheClientArea) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "InputTestWindow";
    RegisterClassA(&wc);
    HWND window = CreateWindowA("InputTestWindow", "", WS_POPUP, 8, 30, 200, 200, nullptr, nullptr, wc.hInstance, nullptr);
    if (!window) GTEST_SKIP() << "no display";
    RecordingHud* hud = MakeHud();
    g_proxy.storedPresentParameters.Windowed = TRUE;
    g_proxy.hudFocusWindow = window;  // hDeviceWindow unset: the focus window is the target
    MSLLHOOKSTRUCT info = {};
    info.pt.x = 100;
    info.pt.y = 100;
    hud->take = 1;
    EXPECT_EQ(1, ProxyMouseHook(HC_ACTION, WM_LBUTTONDOWN, reinterpret_cast<LPARAM>(&info)));
    ASSERT_EQ(1u, hud->mice.size());
    EXPECT_EQ(VQPackPoint(92, 70), hud->mice[0].data);

    // Full screen: the screen point is the back-buffer point.
    g_proxy.storedPresentParameters.Windowed = FALSE;
    info.pt.x = 100;
    info.pt.y = 100;
    hud->take = 0;
    ProxyMouseHook(HC_ACTION, WM_MOUSEMOVE, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(VQPackPoint(100, 100), hud->mice[1].data);
    DestroyWindow(window);
}
