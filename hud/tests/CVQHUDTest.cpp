// The HUD controller and its windows: showing and hiding, focus, hit tests,
// dragging, closing and the hot-key combinations, with an in-memory frame,
// settings and key state.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "CVQButton.h"
#include "CVQFrmWnd.h"
#include "CVQHUD.h"
#include "FakeFrame.h"
#include "MemorySettings.h"
#include "VKClock.h"
#include "VKSettings.h"
#include "VQResource.h"

namespace {

std::set<uint32_t> g_down;
bool KeyState(uint32_t vk) { return g_down.count(vk) != 0; }
int g_hotKeyAsks = 0;
bool CountedKeyState(uint32_t vk) {
    if (vk == 45) ++g_hotKeyAsks;
    return g_down.count(vk) != 0;
}
uint32_t g_now = 1000;
uint32_t Clock() { return g_now; }

uint32_t Pack(int x, int y) {
    return (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) | static_cast<uint16_t>(x);
}

const uint32_t kInsert = 45;

class HudTest : public ::testing::Test {
protected:
    void SetUp() override {
        VQSetKeyStateSource(KeyState);
        VKSetClock(Clock);
        VQSetResourceModule(GetModuleHandleA(nullptr));
        g_down.clear();
        g_now = 1000;
    }
    void TearDown() override {
        delete m_hud;
        VQSetKeyStateSource(nullptr);
        VKSetClock(nullptr);
        FakeFrame::SetCreateFails(false);
    }
    void Start() {
        m_hud = new CVQHUD();
        m_hud->Init();
    }
    int Key(uint32_t message, uint32_t vk, bool repeat = false) {
        int handled = 0;
        uint32_t data = (message == WM_KEYUP ? 0xC0000001u : 0x00000001u) | (repeat ? 1u << 30 : 0);
        m_hud->OnKeyboardInput(message, vk, data, &handled);
        if (message == WM_KEYDOWN)
            g_down.insert(vk);
        else
            g_down.erase(vk);
        return handled;
    }
    int Press(uint32_t vk) {
        int handled = Key(WM_KEYDOWN, vk);
        Key(WM_KEYUP, vk);
        return handled;
    }
    int Mouse(uint32_t message, int x, int y) {
        int handled = 0;
        m_hud->OnMouseInput(message, 0, Pack(x, y), &handled);
        return handled;
    }
    CVQFrmWnd* AddFrame(int x, int y, int w, int h, int kind = CVQFrmWnd::kPlain) {
        CVQFrmWnd* frame = new CVQFrmWnd();
        frame->SetKind(kind);
        frame->CreateFrame(x, y, w, h);
        m_hud->AddWindow(frame);
        return frame;
    }
    bool InList(CVQWindow* w) { return m_hud->Windows().IndexOf(w) >= 0; }

    MemorySettings m_store;
    CVQHUD* m_hud = nullptr;
};

}  // namespace

TEST_F(HudTest, StartsWithLogoAndDashboardAtTheirPlaces) {
    Start();
    ASSERT_EQ(2, m_hud->Windows().Count());
    CVQWindow* logo = static_cast<CVQWindow*>(m_hud->Windows().Get(0));
    CVQWindow* dash = static_cast<CVQWindow*>(m_hud->Windows().Get(1));
    EXPECT_EQ(m_hud->Logo(), logo);
    EXPECT_EQ(m_hud->Dashboard(), dash);
    EXPECT_EQ(10, logo->GetX());
    EXPECT_EQ(10, logo->GetY());
    EXPECT_EQ(106, logo->Width());
    EXPECT_EQ(34, logo->Height());
    EXPECT_EQ(116, dash->GetX());
    EXPECT_EQ(50, dash->GetY());
    EXPECT_EQ(400, dash->Width());
    EXPECT_EQ(312, dash->Height());
    EXPECT_TRUE(logo->IsVisible());
    EXPECT_TRUE(dash->IsVisible());
    EXPECT_FALSE(m_hud->IsPointerVisible());  // nothing has the focus yet

    // The logo shows itself for ten seconds, then only when shown.
    g_now += 9999;
    EXPECT_TRUE(logo->IsVisible());
    g_now += 2;
    EXPECT_FALSE(logo->IsVisible());
}

TEST_F(HudTest, HiddenAtStartWhenTheIntroIsOff) {
    m_store.Set("loginShowIntro", "0");
    Start();
    EXPECT_FALSE(m_hud->Logo()->IsVisible());
    EXPECT_FALSE(m_hud->Dashboard()->IsVisible());
}

// The pointer check runs every frame. A costly key-state source (the
// system's) is asked for the hot key only once the HUD's input saw the key
// go down, then on every check until it says the key is up; the pointer
// shows exactly while it says the key is held. A cheap source is asked on
// every check.
TEST_F(HudTest, ACostlyKeyStateIsAskedOnlyAfterTheHotKeyWentDown) {
    VQSetKeyStateSource(CountedKeyState, true);
    g_hotKeyAsks = 0;
    Start();
    ASSERT_EQ(nullptr, m_hud->FocusWindow());
    for (int frame = 0; frame < 50; ++frame) EXPECT_FALSE(m_hud->IsPointerVisible());
    EXPECT_EQ(0, g_hotKeyAsks);
    // Held where the HUD's input never saw it go down: not asked.
    g_down.insert(kInsert);
    EXPECT_FALSE(m_hud->IsPointerVisible());
    EXPECT_EQ(0, g_hotKeyAsks);
    g_down.clear();

    // Pressed: asked on every check while held.
    Key(WM_KEYDOWN, kInsert);
    for (int frame = 0; frame < 3; ++frame) EXPECT_TRUE(m_hud->IsPointerVisible());
    EXPECT_EQ(3, g_hotKeyAsks);
    // Up before its key-up message came (or with no message at all): the
    // source says so once, and is left alone from then on.
    g_down.erase(kInsert);
    EXPECT_FALSE(m_hud->IsPointerVisible());
    EXPECT_FALSE(m_hud->IsPointerVisible());
    EXPECT_EQ(4, g_hotKeyAsks);

    // A repeat counts as a press; the release hides the HUD (a lone press)
    // and the next check asks once more.
    Key(WM_KEYDOWN, kInsert, true);
    EXPECT_TRUE(m_hud->IsPointerVisible());
    EXPECT_EQ(5, g_hotKeyAsks);
    Key(WM_KEYUP, kInsert);
    ASSERT_FALSE(m_hud->Dashboard()->IsVisible());
    EXPECT_FALSE(m_hud->IsPointerVisible());
    EXPECT_FALSE(m_hud->IsPointerVisible());
    EXPECT_EQ(6, g_hotKeyAsks);

    // A cheap source is asked on every check.
    VQSetKeyStateSource(CountedKeyState, false);
    for (int frame = 0; frame < 4; ++frame) EXPECT_FALSE(m_hud->IsPointerVisible());
    EXPECT_EQ(10, g_hotKeyAsks);
    EXPECT_FALSE(VQKeyStateIsCostly());
    VQSetKeyStateSource(nullptr);
    EXPECT_TRUE(VQKeyStateIsCostly());  // the system's own
}

TEST_F(HudTest, LonePressOfTheHotKeyTogglesEverything) {
    Start();
    CVQFrmWnd* chat = AddFrame(300, 300, 100, 50, CVQFrmWnd::kChat);
    EXPECT_TRUE(Key(WM_KEYDOWN, kInsert));
    EXPECT_TRUE(Key(WM_KEYDOWN, kInsert, true) == 0);  // repeats are not a new press
    EXPECT_TRUE(Key(WM_KEYUP, kInsert));
    EXPECT_FALSE(m_hud->Dashboard()->IsVisible());
    EXPECT_FALSE(m_hud->Logo()->IsVisible());
    EXPECT_FALSE(chat->IsVisible());

    Press(kInsert);
    EXPECT_TRUE(m_hud->Dashboard()->IsVisible());
    EXPECT_TRUE(chat->IsVisible());
    EXPECT_TRUE(m_hud->Logo()->IsVisible());
    // Nothing had the focus: the dashboard took it and handed it to its page.
    EXPECT_EQ(m_hud->Dashboard()->IntroSignInButton(), m_hud->FocusWindow());
    EXPECT_TRUE(m_hud->IsPointerVisible());

    // A combination in between is no lone press: C flips the chat windows only.
    Key(WM_KEYDOWN, kInsert);
    EXPECT_TRUE(Key(WM_KEYDOWN, 'C'));
    Key(WM_KEYUP, 'C');
    EXPECT_FALSE(Key(WM_KEYUP, kInsert));
    EXPECT_FALSE(chat->IsVisible());
    EXPECT_TRUE(m_hud->Dashboard()->IsVisible());
}

namespace {
// Notes what reaches the after-input hooks, and the state the HUD left by then.
class HookedHud : public CVQHUD {
public:
    struct Seen {
        uint32_t message, value;
        int handled;
        bool focused;
    };
    int AfterKeyboardInput(uint32_t message, uint32_t key, uint32_t, int* handled) override {
        keys.push_back({message, key, *handled, FocusWindow() != nullptr});
        return 0;
    }
    int AfterMouseInput(uint32_t message, uint32_t, uint32_t position, int* handled) override {
        mouse.push_back({message, position, *handled, FocusWindow() != nullptr});
        return 0;
    }
    std::vector<Seen> keys, mouse;
};
}  // namespace

TEST_F(HudTest, AfterInputHooksComeLastOnTheWholeWay) {
    HookedHud* hud = new HookedHud();
    m_hud = hud;
    m_hud->Init();
    // A key for the game: both events, untaken.
    Press('A');
    ASSERT_EQ(2u, hud->keys.size());
    EXPECT_EQ(uint32_t(WM_KEYDOWN), hud->keys[0].message);
    EXPECT_EQ(uint32_t(WM_KEYUP), hud->keys[1].message);
    EXPECT_EQ('A', hud->keys[0].value);
    EXPECT_EQ(0, hud->keys[0].handled);
    // The hot key's presses, the toggle and the combinations end early: no
    // hook. Only the release that toggled nothing goes the whole way.
    hud->keys.clear();
    Press(kInsert);
    Key(WM_KEYDOWN, kInsert);
    Press('C');
    Key(WM_KEYUP, kInsert);
    int insertUps = 0;
    for (const HookedHud::Seen& seen : hud->keys) {
        EXPECT_FALSE(seen.value == kInsert && seen.message == WM_KEYDOWN);
        EXPECT_FALSE(seen.value == 'C' && seen.message == WM_KEYDOWN);
        insertUps += seen.value == kInsert && seen.message == WM_KEYUP;
    }
    EXPECT_EQ(1, insertUps);
    hud->keys.clear();
    // A key the focused window took: the hook still comes, after it.
    Press(kInsert);
    ASSERT_NE(nullptr, m_hud->FocusWindow());
    EXPECT_TRUE(Press('N'));
    ASSERT_FALSE(hud->keys.empty());
    EXPECT_EQ(1, hud->keys[0].handled);

    // A click on a window is the window's alone; one outside removes the
    // focus before the hook sees it.
    EXPECT_TRUE(Mouse(WM_LBUTTONDOWN, 300, 200));
    Mouse(WM_LBUTTONUP, 300, 200);
    EXPECT_TRUE(hud->mouse.empty());
    EXPECT_FALSE(Mouse(WM_LBUTTONDOWN, 700, 500));
    ASSERT_EQ(1u, hud->mouse.size());
    EXPECT_EQ(uint32_t(WM_LBUTTONDOWN), hud->mouse[0].message);
    EXPECT_EQ(Pack(700, 500), hud->mouse[0].value);
    EXPECT_EQ(0, hud->mouse[0].handled);
    EXPECT_FALSE(hud->mouse[0].focused);
}

TEST_F(HudTest, ConfiguredHotKey) {
    m_store.Set("hotkey", "112");  // F1
    Start();
    EXPECT_FALSE(Press(kInsert));
    EXPECT_TRUE(m_hud->Dashboard()->IsVisible());
    EXPECT_TRUE(Press(112));
    EXPECT_FALSE(m_hud->Dashboard()->IsVisible());
}

TEST_F(HudTest, ClicksOnWindowsAreTakenElsewhereTheyReachTheGame) {
    Start();
    m_hud->SetFocusWindow(m_hud->Dashboard(), false);
    EXPECT_TRUE(Mouse(WM_LBUTTONDOWN, 300, 200));  // on the dashboard
    EXPECT_TRUE(Mouse(WM_LBUTTONUP, 300, 200));
    EXPECT_FALSE(Mouse(WM_MOUSEMOVE, 300, 200));  // moves pass to the game
    EXPECT_FALSE(Mouse(WM_LBUTTONDOWN, 20, 22));  // the logo is never hit
    EXPECT_EQ(20, m_hud->PointerX());
    EXPECT_EQ(22, m_hud->PointerY());
    EXPECT_EQ(nullptr, m_hud->FocusWindow());  // and a click beside the windows drops the focus
    EXPECT_FALSE(Mouse(WM_LBUTTONDOWN, 600, 400));
    EXPECT_FALSE(Mouse(WM_RBUTTONDOWN, 516, 200));  // the right edge is outside
    EXPECT_TRUE(Mouse(WM_RBUTTONDOWN, 515, 200));
}

TEST_F(HudTest, CloseBoxAndCaptionDrag) {
    Start();
    CVQFrmWnd* frame = AddFrame(100, 50, 200, 100);
    EXPECT_TRUE(Mouse(WM_LBUTTONDOWN, 250, 80));  // inside, on no child: taken, no drag
    EXPECT_FALSE(frame->IsDragging());
    Mouse(WM_LBUTTONUP, 250, 80);

    EXPECT_TRUE(Mouse(WM_LBUTTONDOWN, 250, 55));  // caption: drag starts, window on top with the focus
    EXPECT_TRUE(frame->IsDragging());
    EXPECT_EQ(frame, m_hud->Windows().Get(m_hud->Windows().Count() - 1));
    EXPECT_EQ(frame, m_hud->FocusWindow());
    EXPECT_TRUE(frame->IsActive());
    Mouse(WM_MOUSEMOVE, 260, 65);
    EXPECT_EQ(110, frame->GetX());
    EXPECT_EQ(60, frame->GetY());
    Mouse(WM_MOUSEMOVE, 700, 400);  // the drag follows the pointer off the window
    Mouse(WM_LBUTTONUP, 700, 400);  // and ends on a release anywhere
    EXPECT_FALSE(frame->IsDragging());
    EXPECT_EQ(550, frame->GetX());
    Mouse(WM_MOUSEMOVE, 100, 100);
    EXPECT_EQ(550, frame->GetX());

    // The close box: top-right corner.
    EXPECT_EQ(395, frame->GetY());
    EXPECT_TRUE(Mouse(WM_LBUTTONDOWN, 550 + 196, 395 + 2));
    EXPECT_FALSE(InList(frame));
    EXPECT_NE(frame, m_hud->FocusWindow());
    m_hud->Update();  // deleted at the frame's safe point
}

namespace {
// A control that counts how often it is deleted.
class Counted : public CVQWindow {
public:
    explicit Counted(int* deletions) : m_deletions(deletions) {}
    ~Counted() override { ++*m_deletions; }

private:
    int* m_deletions;
};

// A control that closes its own frame from inside a handler, then still uses itself.
class SelfClosing : public Counted {
public:
    using Counted::Counted;
    int OnMouse(uint32_t message, uint32_t, uint32_t, int* handled) override {
        if (message == WM_LBUTTONDOWN) {
            static_cast<CVQFrmWnd*>(GetParent())->Close();
            *handled = 1;
            touched = GetX();  // still valid: deletion waits for the safe point
        }
        return 0;
    }
    int touched = -1;
};

class CountedFrame : public CVQFrmWnd {
public:
    explicit CountedFrame(int* deletions) : m_deletions(deletions) {}
    ~CountedFrame() override { ++*m_deletions; }

private:
    int* m_deletions;
};

template <class T>
T* AddChildTo(CVQFrmWnd* frame, int x, int y, int* deletions) {
    T* child = new T(deletions);
    child->Create(x, y, 30, 20, frame);
    frame->AddChild(child);
    return child;
}
}  // namespace

TEST_F(HudTest, WindowClosedFromItsOwnHandlerLivesUntilTheSafePoint) {
    Start();
    int deletions = 0;
    CVQFrmWnd* frame = AddFrame(100, 100, 200, 100);
    SelfClosing* child = AddChildTo<SelfClosing>(frame, 10, 30, &deletions);
    Mouse(WM_LBUTTONDOWN, 120, 140);
    EXPECT_EQ(10, child->touched);
    EXPECT_FALSE(InList(frame));
    EXPECT_EQ(0, deletions);
    m_hud->Update();  // the frame goes, and its child with it: once
    EXPECT_EQ(1, deletions);
    delete m_hud;
    m_hud = nullptr;
    EXPECT_EQ(1, deletions);
}

TEST_F(HudTest, FrameDeletesItsChildrenAndTheHudKeepsNoPointerToThem) {
    Start();
    int deletions = 0;
    CVQFrmWnd* frame = AddFrame(100, 100, 200, 100);
    Counted* focused = AddChildTo<Counted>(frame, 10, 30, &deletions);
    AddChildTo<Counted>(frame, 50, 30, &deletions);
    AddChildTo<Counted>(frame, 90, 30, &deletions);
    Counted* kept = AddChildTo<Counted>(frame, 130, 30, &deletions);
    frame->Children().Remove(kept);  // taken out: the taker deletes it
    m_hud->SetFocusWindow(focused, false);
    Mouse(WM_MOUSEMOVE, 155, 135);  // the pointer over the second child: it is the hover window
    ASSERT_NE(nullptr, m_hud->HoverWindow());

    frame->Close();
    m_hud->Update();
    EXPECT_EQ(3, deletions);
    EXPECT_EQ(nullptr, m_hud->HoverWindow());
    EXPECT_NE(static_cast<CVQWindow*>(focused), m_hud->FocusWindow());
    delete kept;
    EXPECT_EQ(4, deletions);

    // The frames left at shutdown and the dashboard (a member) delete theirs too.
    CVQFrmWnd* open = AddFrame(10, 10, 200, 100);
    AddChildTo<Counted>(open, 10, 30, &deletions);
    AddChildTo<Counted>(m_hud->Dashboard(), 10, 60, &deletions);
    m_hud->Shutdown();
    EXPECT_EQ(5, deletions);
    delete m_hud;
    m_hud = nullptr;
    EXPECT_EQ(6, deletions);
}

TEST_F(HudTest, WindowDeletedByItsOwnerLeavesTheHudsLists) {
    Start();
    // A frame that is itself the child of another, closed in the same frame
    // as its parent: the parent deletes it, the safe point must not again.
    int deletions = 0;
    CVQFrmWnd* outer = AddFrame(100, 100, 200, 100);
    CountedFrame* inner = AddChildTo<CountedFrame>(outer, 10, 20, &deletions);
    AddChildTo<Counted>(inner, 5, 5, &deletions);
    m_hud->DeleteLater(outer);
    m_hud->DeleteLater(inner);
    m_hud->Update();
    EXPECT_EQ(2, deletions);

    // A listed window deleted directly is no longer drawn or hit.
    CVQFrmWnd* listed = AddFrame(10, 10, 50, 40);
    m_hud->SetFocusWindow(listed, false);
    delete listed;
    EXPECT_FALSE(InList(listed));
    EXPECT_EQ(nullptr, m_hud->FocusWindow());
    EXPECT_FALSE(Mouse(WM_LBUTTONDOWN, 20, 20));
}

TEST_F(HudTest, HotKeyArrowsMoveAndWAndEscClose) {
    Start();
    CVQFrmWnd* frame = AddFrame(100, 50, 200, 100);
    m_hud->SetFocusWindow(frame, false);
    Key(WM_KEYDOWN, kInsert);
    EXPECT_TRUE(Press(VK_LEFT));
    EXPECT_TRUE(Press(VK_DOWN));
    EXPECT_FALSE(Key(WM_KEYUP, kInsert));  // no toggle after a combination
    EXPECT_EQ(90, frame->GetX());
    EXPECT_EQ(60, frame->GetY());
    EXPECT_TRUE(m_hud->Dashboard()->IsVisible());
    EXPECT_FALSE(Press(VK_LEFT));  // without the hot key: the game's
    EXPECT_EQ(90, frame->GetX());

    EXPECT_TRUE(Press(VK_ESCAPE));
    EXPECT_FALSE(InList(frame));
    m_hud->Update();

    CVQFrmWnd* second = AddFrame(100, 50, 200, 100);
    m_hud->SetFocusWindow(second, false);
    EXPECT_FALSE(Press('W'));
    Key(WM_KEYDOWN, kInsert);
    EXPECT_TRUE(Press('W'));
    Key(WM_KEYUP, kInsert);
    EXPECT_FALSE(InList(second));
    // The dashboard only hides when closed.
    m_hud->SetFocusWindow(m_hud->Dashboard(), false);
    EXPECT_TRUE(Press(VK_ESCAPE));
    EXPECT_TRUE(InList(m_hud->Dashboard()));
    EXPECT_FALSE(m_hud->Dashboard()->IsVisible());
}

TEST_F(HudTest, TabCyclesTheFocusAmongChildren) {
    Start();
    CVQFrmWnd* frame = AddFrame(100, 50, 200, 100);
    CVQWindow* children[3];
    for (int i = 0; i < 3; ++i) {
        children[i] = new CVQWindow();
        children[i]->Create(10 + 40 * i, 20, 30, 20, frame);
        frame->AddChild(children[i]);
    }
    m_hud->SetFocusWindow(frame, false);
    EXPECT_TRUE(Press(VK_TAB));
    EXPECT_EQ(children[0], m_hud->FocusWindow());
    Press(VK_TAB);
    EXPECT_EQ(children[1], m_hud->FocusWindow());
    Press(VK_TAB);
    Press(VK_TAB);
    EXPECT_EQ(children[0], m_hud->FocusWindow());  // wraps
    g_down.insert(VK_SHIFT);
    Press(VK_TAB);
    EXPECT_EQ(children[2], m_hud->FocusWindow());  // backwards
    g_down.erase(VK_SHIFT);
    g_down.insert(VK_CONTROL);
    EXPECT_FALSE(Press(VK_TAB));  // Ctrl+Tab belongs to the game
    g_down.erase(VK_CONTROL);
}

TEST_F(HudTest, HotKeyTabRotatesTheWindowFocus) {
    Start();
    CVQFrmWnd* a = AddFrame(300, 300, 100, 50);
    EXPECT_EQ(a, m_hud->Windows().Get(2));
    Key(WM_KEYDOWN, kInsert);
    EXPECT_TRUE(Press(VK_TAB));
    Key(WM_KEYUP, kInsert);
    ASSERT_NE(nullptr, m_hud->FocusWindow());
    // The focused window is the topmost and drawn active; the others are not.
    // (A dashboard that gains the focus hands it on to its page's control.)
    CVQWindow* top = static_cast<CVQWindow*>(m_hud->Windows().Get(m_hud->Windows().Count() - 1));
    CVQWindow* focus = m_hud->FocusWindow();
    EXPECT_TRUE(focus == top || focus->GetParent() == top);
    EXPECT_TRUE(top->IsActive());
    EXPECT_TRUE(m_hud->Dashboard()->IsVisible());
    EXPECT_EQ(m_hud->Logo(), m_hud->Windows().Get(0));  // the logo stays first
}

TEST_F(HudTest, SurfaceRefreshedOnlyWhenTheCanvasChanged) {
    Start();
    CVQFrmWnd* frame = AddFrame(10, 10, 50, 40);
    int before = FakeFrame::CopiesMade();
    EXPECT_EQ(1, frame->PrepareSurface());
    EXPECT_EQ(before + 1, FakeFrame::CopiesMade());
    EXPECT_EQ(1, frame->PrepareSurface());  // unchanged: no copy
    EXPECT_EQ(before + 1, FakeFrame::CopiesMade());

    // A surface that cannot be made leaves the canvas dirty, so the next frame tries again.
    frame->SetTitle("changed");
    frame->ReleaseSurface();
    FakeFrame::SetCreateFails(true);
    EXPECT_EQ(0, frame->PrepareSurface());
    EXPECT_TRUE(frame->GetGraphics()->IsDirty());
    FakeFrame::SetCreateFails(false);
    EXPECT_EQ(1, frame->PrepareSurface());
    EXPECT_FALSE(frame->GetGraphics()->IsDirty());

    // The device's Release drops every surface; they come back on demand.
    m_hud->ReleaseSurfaces();
    EXPECT_EQ(nullptr, frame->GetSurface()->Handle());
    EXPECT_EQ(1, frame->PrepareSurface());
    EXPECT_NE(nullptr, frame->GetSurface()->Handle());
}

TEST_F(HudTest, ShutdownDeletesOwnedWindowsAndKeepsMembers) {
    Start();
    AddFrame(10, 10, 50, 40);
    AddFrame(20, 20, 50, 40);
    m_hud->Shutdown();
    EXPECT_EQ(0, m_hud->Windows().Count());
    m_hud->Init();  // Init can be repeated
    EXPECT_EQ(2, m_hud->Windows().Count());
}
