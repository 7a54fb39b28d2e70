// The input roads into the HUD: the two hook procedures and the DirectInput
// proxy's exports, with a HUD that records what reaches it. Built once with
// each Direct3D frame (FRAME_LOG_PREFIX: the frame's log lines).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "CVQHUD.h"
#include "CVQMouseRelay9.h"
#include "CVQWindow.h"
#include "ProxyInput.h"
#include "VQFrameState.h"
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
        ProxyMouseRelay().Clear();
    }
    void TearDown() override {
        ProxyRemoveHooks();
        ProxyMouseRelay().Clear();
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
        return ProxyMouseHook(HC_ACTION, message, reinterpret_cast<LPARAM>(&info));
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
    g_frame.backBufferWidth = 800;
    g_frame.backBufferHeight = 600;
    MouseDI(WM_MOUSEMOVE, 0x40, -500, 0);
    EXPECT_EQ(VQPackPoint(0, 320), static_cast<uint32_t>(g_frame.pointerPosition));
    g_frame.pointerPosition = kPointerPositionAtLoad;
    MouseDI(WM_MOUSEMOVE, 0x40, 1000, 1000);
    EXPECT_EQ(VQPackPoint(799, 599), static_cast<uint32_t>(g_frame.pointerPosition));
    ASSERT_EQ(2u, hud->mice.size());
    EXPECT_EQ(VQPackPoint(799, 599), hud->mice[1].data);  // the HUD gets the new position
    EXPECT_EQ(0x40u, hud->mice[1].value);

    // Absolute positions pass unchanged and leave the pointer alone.
    MouseDI(WM_LBUTTONDOWN, 0x80, 33, 44);
    EXPECT_EQ(VQPackPoint(33, 44), hud->mice[2].data);
    EXPECT_EQ(VQPackPoint(799, 599), static_cast<uint32_t>(g_frame.pointerPosition));
    MouseDI(WM_MOUSEMOVE, 0x40, -9, -9);  // relative again: from the last relative position
    EXPECT_EQ(VQPackPoint(790, 590), static_cast<uint32_t>(g_frame.pointerPosition));

    // No back-buffer size yet: clamped at 0 only.
    g_frame.backBufferWidth = 0;
    g_frame.backBufferHeight = 0;
    MouseDI(WM_MOUSEMOVE, 0x40, 5000, 0);
    EXPECT_EQ(5790, VQPointX(static_cast<uint32_t>(g_frame.pointerPosition)));
}

TEST_F(InputTest, FirstDirectInputMouseEventSwitchesAwayFromTheHook) {
    MakeHud();
    ProxyInstallHooks();
    ASSERT_TRUE(g_frame.mouseHook != nullptr);
    MouseDI(WM_MOUSEMOVE, 0x80, 1, 1);
    EXPECT_EQ(FRAME_LOG_PREFIX "MouseProcDI() switching to dinput mouse: abs-coords\r\n", g_log);
    EXPECT_EQ(nullptr, g_frame.mouseHook);
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
    EXPECT_EQ(0, g_frame.directInputKeyboardActive);

    RecordingHud* hud = MakeHud();
    hud->pointer = true;
    EXPECT_EQ(0, Proxy_KeyboardProcDI(78, 0, 0, &out));
    EXPECT_EQ(1, out);
    EXPECT_EQ(0, g_frame.directInputKeyboardActive);  // a query is no input
    EXPECT_TRUE(hud->keys.empty());

    // Through the hook while DirectInput has not spoken: down and up by bit 31.
    hud->take = 1;
    EXPECT_EQ(1, ProxyKeyboardHook(HC_ACTION, 'A', 0x001E0001));
    ProxyKeyboardHook(HC_ACTION, 'A', static_cast<LPARAM>(0xC01E0001u));
    ASSERT_EQ(2u, hud->keys.size());
    EXPECT_EQ(static_cast<uint32_t>(WM_KEYDOWN), hud->keys[0].message);
    EXPECT_EQ(static_cast<uint32_t>(WM_KEYUP), hud->keys[1].message);
    EXPECT_EQ(0xC01E0001u, hud->keys[1].data);

    // A game that peeks before it takes: the peek passes the key on untouched,
    // and the HUD sees it once, when the game takes it.
    EXPECT_EQ(0, ProxyKeyboardHook(HC_NOREMOVE, VK_INSERT, 0x01520001));
    EXPECT_EQ(2u, hud->keys.size());
    EXPECT_EQ(1, ProxyKeyboardHook(HC_ACTION, VK_INSERT, 0x01520001));
    hud->keys.pop_back();

    // The first DirectInput keystroke takes over: the hook passes keys on from now on.
    out = 0;
    Proxy_KeyboardProcDI(WM_KEYDOWN, 'B', 0x00300001, &out);
    EXPECT_EQ(1, out);
    EXPECT_EQ(1, g_frame.directInputKeyboardActive);
    ProxyKeyboardHook(HC_ACTION, 'B', 0x00300001);
    EXPECT_EQ(3u, hud->keys.size());  // reached the HUD once
}

TEST_F(InputTest, WindowedClicksAreMappedToTheClientArea) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "InputTestWindow";
    RegisterClassA(&wc);
    HWND window =
        CreateWindowA("InputTestWindow", "", WS_POPUP, 8, 30, 200, 200, nullptr, nullptr, wc.hInstance, nullptr);
    if (!window) GTEST_SKIP() << "no display";
    RecordingHud* hud = MakeHud();
    g_frame.windowed = TRUE;
    g_frame.hudFocusWindow = window;  // hDeviceWindow unset: the focus window is the target
    MSLLHOOKSTRUCT info = {};
    info.pt.x = 100;
    info.pt.y = 100;
    hud->take = 1;
    EXPECT_EQ(1, ProxyMouseHook(HC_ACTION, WM_LBUTTONDOWN, reinterpret_cast<LPARAM>(&info)));
    ASSERT_EQ(1u, hud->mice.size());
    EXPECT_EQ(VQPackPoint(92, 70), hud->mice[0].data);
    // The structure is the whole hook chain's: the next hook sees the screen point.
    EXPECT_EQ(100, info.pt.x);
    EXPECT_EQ(100, info.pt.y);

    // Full screen: the screen point is the back-buffer point.
    g_frame.windowed = FALSE;
    info.pt.x = 100;
    info.pt.y = 100;
    hud->take = 0;
    ProxyMouseHook(HC_ACTION, WM_MOUSEMOVE, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(VQPackPoint(100, 100), hud->mice[1].data);
    DestroyWindow(window);
}

namespace {

// Holds the HUD lock on another thread, as the render thread does in Update,
// until let go (or 10 s, so a hook that waits for it fails instead of hanging).
class BusyHud {
public:
    BusyHud()
        : m_inside(CreateEventA(nullptr, TRUE, FALSE, nullptr)), m_letGo(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        m_thread = std::thread([this] {
            std::lock_guard<std::recursive_mutex> lock(ProxyHudLock());
            SetEvent(m_inside);
            WaitForSingleObject(m_letGo, 10000);
        });
        WaitForSingleObject(m_inside, 10000);
    }
    ~BusyHud() { LetGo(); }
    void LetGo() {
        SetEvent(m_letGo);
        if (m_thread.joinable()) m_thread.join();
    }

private:
    HANDLE m_inside, m_letGo;
    std::thread m_thread;
};

CVQWindow* AddWindow(CVQHUD* hud, int x, int y, int w, int h) {
    CVQWindow* window = new CVQWindow();
    window->Create(x, y, w, h, nullptr);
    hud->AddWindow(window);  // the HUD deletes it
    return window;
}

}  // namespace

TEST_F(InputTest, MouseHookNeverWaitsForABusyHud) {
    RecordingHud* hud = MakeHud();
    AddWindow(hud, 0, 0, 50, 50);                         // index 0, the logo: takes no click
    CVQWindow* panel = AddWindow(hud, 100, 100, 60, 40);  // takes clicks
    CVQWindow* hidden = AddWindow(hud, 300, 300, 60, 40);
    hidden->SetVisible(0);
    ProxyMouseRelay().Publish(hud);

    {
        BusyHud busy;
        DWORD start = GetTickCount();
        EXPECT_EQ(1, MouseHook(WM_LBUTTONDOWN, 120, 110));  // on the panel: withheld from the game
        EXPECT_EQ(0, MouseHook(WM_MOUSEMOVE, 121, 111));    // moves reach the game even over the HUD
        EXPECT_EQ(0, MouseHook(WM_MOUSEMOVE, 122, 112));
        EXPECT_EQ(1, MouseHook(WM_LBUTTONUP, 159, 139));
        EXPECT_EQ(0, MouseHook(WM_LBUTTONDOWN, 160, 110));  // right edge is outside
        EXPECT_EQ(0, MouseHook(WM_RBUTTONDOWN, 10, 10));    // the logo
        EXPECT_EQ(0, MouseHook(WM_RBUTTONDOWN, 310, 310));  // a hidden window
        EXPECT_LT(GetTickCount() - start, 2000u);
        EXPECT_TRUE(hud->mice.empty());  // nothing reached the HUD behind the busy thread's back
    }

    // The next holder of the HUD gets them in order, consecutive moves as the last one.
    MouseHook(WM_MOUSEMOVE, 1, 2);
    const uint32_t expected[][2] = {{WM_LBUTTONDOWN, VQPackPoint(120, 110)}, {WM_MOUSEMOVE, VQPackPoint(122, 112)},
                                    {WM_LBUTTONUP, VQPackPoint(159, 139)},   {WM_LBUTTONDOWN, VQPackPoint(160, 110)},
                                    {WM_RBUTTONDOWN, VQPackPoint(10, 10)},   {WM_RBUTTONDOWN, VQPackPoint(310, 310)},
                                    {WM_MOUSEMOVE, VQPackPoint(1, 2)}};
    ASSERT_EQ(7u, hud->mice.size());
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(expected[i][0], hud->mice[i].message) << i;
        EXPECT_EQ(expected[i][1], hud->mice[i].data) << i;
    }

    // A window holding the mouse (a caption dragged) takes every button, wherever.
    hud->SetCapture(panel);
    ProxyMouseRelay().Publish(hud);
    {
        BusyHud busy;
        EXPECT_EQ(1, MouseHook(WM_LBUTTONUP, 600, 400));
    }
    hud->SetCapture(nullptr);

    // Once the HUD is gone, a busy lock passes everything on.
    ProxyMouseRelay().Clear();
    BusyHud busy;
    EXPECT_EQ(0, MouseHook(WM_LBUTTONDOWN, 120, 110));
}

TEST_F(InputTest, MouseQueueIsBoundedAndKeepsTheOldest) {
    RecordingHud* hud = MakeHud();
    ProxyMouseRelay().Publish(hud);
    CVQMouseRelay9& relay = ProxyMouseRelay();
    for (int i = 0; i < CVQMouseRelay9::kMaxEvents; ++i) EXPECT_TRUE(relay.Queue(WM_LBUTTONDOWN, 0, i));
    EXPECT_FALSE(relay.Queue(WM_LBUTTONUP, 0, 999));
    relay.Deliver(hud);
    ASSERT_EQ(static_cast<size_t>(CVQMouseRelay9::kMaxEvents), hud->mice.size());
    EXPECT_EQ(0u, hud->mice.front().data);
    EXPECT_EQ(static_cast<uint32_t>(CVQMouseRelay9::kMaxEvents - 1), hud->mice.back().data);
}

TEST_F(InputTest, HookHandlesChangeUnderOneLock) {
    MakeHud();
    ProxyInstallHooks();
    ASSERT_TRUE(g_frame.mouseHook != nullptr);
    ASSERT_TRUE(g_frame.keyboardHook != nullptr);
    {
        // While hooks are being installed or removed, DirectInput's switch-over waits.
        std::unique_lock<std::mutex> installing(ProxyHookLock());
        std::thread dinput([this] { MouseDI(WM_MOUSEMOVE, 0x40, 1, 1); });
        Sleep(200);
        EXPECT_TRUE(g_frame.mouseHook != nullptr);
        installing.unlock();
        dinput.join();
    }
    EXPECT_EQ(nullptr, g_frame.mouseHook);
    EXPECT_EQ(1u, m_hud->mice.size());

    // Hooks installed again (a second Direct3DCreate9): the mouse stays with DirectInput.
    ProxyInstallHooks();
    EXPECT_EQ(nullptr, g_frame.mouseHook);
    EXPECT_TRUE(g_frame.keyboardHook != nullptr);

    // At the end of the process a hook lock that stays taken leaves the hooks alone.
    {
        std::unique_lock<std::mutex> taken(ProxyHookLock());
        std::thread exiting([] { ProxyRemoveHooksIfFree(); });
        exiting.join();
        EXPECT_TRUE(g_frame.keyboardHook != nullptr);
    }
    ProxyRemoveHooksIfFree();
    EXPECT_EQ(nullptr, g_frame.keyboardHook);
}

TEST_F(InputTest, PassiveProcessGivesTheHudNothing) {
    RecordingHud* hud = MakeHud();
    g_frame.passive = 1;
    hud->take = 1;
    EXPECT_EQ(0, ProxyKeyboardHook(HC_ACTION, 'A', 0x001E0001));
    EXPECT_EQ(0, MouseHook(WM_LBUTTONDOWN, 5, 5));
    int out = 7;
    EXPECT_EQ(0, Proxy_KeyboardProcDI(78, 0, 0, &out));
    EXPECT_EQ(0, Proxy_MouseProcDI(WM_MOUSEMOVE, 0x40, 0x00050005, &out));
    EXPECT_EQ(7, out);
    EXPECT_TRUE(hud->keys.empty());
    EXPECT_TRUE(hud->mice.empty());
    EXPECT_EQ(0, g_frame.directInputMouseActive);
    EXPECT_EQ(kPointerPositionAtLoad, g_frame.pointerPosition);
}
