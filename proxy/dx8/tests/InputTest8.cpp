// The input roads into the HUD in the Direct3D 8 frame: the hook procedures and the DirectInput
// proxy's exports, with a HUD that records what reaches it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "CVQHUD.h"
#include "CVQMouseRelay9.h"
#include "CVQWindow.h"
#include "ProxyInput8.h"
#include "ProxyState8.h"
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

class InputTest8 : public ::testing::Test {
protected:
    void SetUp() override {
        VQSetResourceModule(GetModuleHandleA(nullptr));
        Proxy8ResetState(GetModuleHandleA(nullptr));
        g_log.clear();
        VKSetLogHook(Capture, nullptr);
        Proxy8MouseRelay().Clear();
    }
    void TearDown() override {
        Proxy8RemoveHooks();
        Proxy8MouseRelay().Clear();
        delete m_hud;  // no longer the HUD of the process
        VKSetLogHook(nullptr, nullptr);
    }
    RecordingHud* MakeHud() {
        m_hud = new RecordingHud();  // the HUD of the process while it lives
        return m_hud;
    }
    LRESULT MouseHook(uint32_t message, int x, int y) {
        MSLLHOOKSTRUCT info = {};
        info.pt.x = x;
        info.pt.y = y;
        return Proxy8MouseHook(HC_ACTION, message, reinterpret_cast<LPARAM>(&info));
    }
    int MouseDI(uint32_t message, uint32_t flags, int dx, int dy) {
        int handled = 0;
        Proxy8_MouseProcDI(message, flags, VQPackPoint(dx, dy), &handled);
        return handled;
    }
    RecordingHud* m_hud = nullptr;
};

}  // namespace

TEST_F(InputTest8, RelativeMouseMovesThePointerWithinTheBackBuffer) {
    RecordingHud* hud = MakeHud();
    g_proxy8.storedPresentParameters.BackBufferWidth = 800;
    g_proxy8.storedPresentParameters.BackBufferHeight = 600;
    MouseDI(WM_MOUSEMOVE, 0x40, -500, 0);
    EXPECT_EQ(VQPackPoint(0, 320), static_cast<uint32_t>(g_proxy8.pointerPosition));
    g_proxy8.pointerPosition = kProxy8PointerPositionAtLoad;
    MouseDI(WM_MOUSEMOVE, 0x40, 1000, 1000);
    EXPECT_EQ(VQPackPoint(799, 599), static_cast<uint32_t>(g_proxy8.pointerPosition));
    ASSERT_EQ(2u, hud->mice.size());
    EXPECT_EQ(VQPackPoint(799, 599), hud->mice[1].data);  // the HUD gets the new position
    EXPECT_EQ(0x40u, hud->mice[1].value);

    // Absolute positions pass unchanged and leave the pointer alone.
    MouseDI(WM_LBUTTONDOWN, 0x80, 33, 44);
    EXPECT_EQ(VQPackPoint(33, 44), hud->mice[2].data);
    EXPECT_EQ(VQPackPoint(799, 599), static_cast<uint32_t>(g_proxy8.pointerPosition));
    MouseDI(WM_MOUSEMOVE, 0x40, -9, -9);  // relative again: from the last relative position
    EXPECT_EQ(VQPackPoint(790, 590), static_cast<uint32_t>(g_proxy8.pointerPosition));

    // No back-buffer size yet: clamped at 0 only.
    g_proxy8.storedPresentParameters.BackBufferWidth = 0;
    g_proxy8.storedPresentParameters.BackBufferHeight = 0;
    MouseDI(WM_MOUSEMOVE, 0x40, 5000, 0);
    EXPECT_EQ(5790, VQPointX(static_cast<uint32_t>(g_proxy8.pointerPosition)));
}

TEST_F(InputTest8, FirstDirectInputMouseEventSwitchesAwayFromTheHook) {
    MakeHud();
    Proxy8InstallHooks();
    ASSERT_TRUE(g_proxy8.mouseHook != nullptr);
    MouseDI(WM_MOUSEMOVE, 0x80, 1, 1);
    EXPECT_EQ("Proxydx8: MouseProcDI() switching to dinput mouse: abs-coords\r\n", g_log);
    EXPECT_EQ(nullptr, g_proxy8.mouseHook);
    g_log.clear();
    MouseDI(WM_MOUSEMOVE, 0x40, 1, 1);
    EXPECT_EQ("", g_log);

    // From now on the mouse hook gives the HUD nothing, so no event is seen twice.
    MSLLHOOKSTRUCT info = {};
    size_t before = m_hud->mice.size();
    Proxy8MouseHook(HC_ACTION, WM_LBUTTONDOWN, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(before, m_hud->mice.size());
}

TEST_F(InputTest8, KeyboardQueryAndHandOver) {
    int out = 5;
    EXPECT_EQ(0, Proxy8_KeyboardProcDI(78, 0, 0, &out));  // no HUD: untouched
    EXPECT_EQ(5, out);
    EXPECT_EQ(0, g_proxy8.directInputKeyboardActive);

    RecordingHud* hud = MakeHud();
    hud->pointer = true;
    EXPECT_EQ(0, Proxy8_KeyboardProcDI(78, 0, 0, &out));
    EXPECT_EQ(1, out);
    EXPECT_EQ(0, g_proxy8.directInputKeyboardActive);  // a query is no input
    EXPECT_TRUE(hud->keys.empty());

    // Through the hook while DirectInput has not spoken: down and up by bit 31.
    hud->take = 1;
    EXPECT_EQ(1, Proxy8KeyboardHook(HC_ACTION, 'A', 0x001E0001));
    Proxy8KeyboardHook(HC_ACTION, 'A', static_cast<LPARAM>(0xC01E0001u));
    ASSERT_EQ(2u, hud->keys.size());
    EXPECT_EQ(static_cast<uint32_t>(WM_KEYDOWN), hud->keys[0].message);
    EXPECT_EQ(static_cast<uint32_t>(WM_KEYUP), hud->keys[1].message);
    EXPECT_EQ(0xC01E0001u, hud->keys[1].data);

    // The first DirectInput keystroke takes over: the hook passes keys on from now on.
    out = 0;
    Proxy8_KeyboardProcDI(WM_KEYDOWN, 'B', 0x00300001, &out);
    EXPECT_EQ(1, out);
    EXPECT_EQ(1, g_proxy8.directInputKeyboardActive);
    Proxy8KeyboardHook(HC_ACTION, 'B', 0x00300001);
    EXPECT_EQ(3u, hud->keys.size());  // reached the HUD once
}
