// The HUD's controls and message boxes inside frames of a running HUD (an
// in-memory frame, settings and key state): what keys and clicks do, what
// the owner is told, and the faults a hostile or empty list must not hit.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "CVQButton.h"
#include "CVQCheckBox.h"
#include "CVQDashboard.h"
#include "CVQHUD.h"
#include "CVQImgButton.h"
#include "CVQListContacts.h"
#include "CVQMsgBox.h"
#include "CVQScrollBarV.h"
#include "CVQTextBox.h"
#include "MemorySettings.h"
#include "VKClock.h"
#include "VQResource.h"

namespace {

std::set<uint32_t> g_down;
bool KeyState(uint32_t vk) { return g_down.count(vk) != 0; }
uint32_t g_now = 1000;
uint32_t Clock() { return g_now; }
const uint32_t kInsert = 45;

uint32_t Pack(int x, int y) {
    return (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) | static_cast<uint16_t>(x);
}

// A frame that writes down what its controls and boxes tell it.
class Listener : public CVQFrmWnd {
public:
    int OnNotify(int code, void* data, CVQWindow* sender, int* handled) override {
        if (code == 0) {
            ++used;
            lastSender = sender;
        } else if (code == 78) {
            CVQMsgBox* box = static_cast<CVQMsgBox*>(sender);
            ++answers;
            userData = data;
            tag = box->GetTag() ? box->GetTag() : "(null)";
            answerData = box->GetData() ? box->GetData() : "";
            typed = box->GetInputText();
            result = box->GetResult();
        }
        return CVQFrmWnd::OnNotify(code, data, sender, handled);
    }
    int used = 0;
    CVQWindow* lastSender = nullptr;
    int answers = 0;
    void* userData = nullptr;
    std::string tag, answerData, typed;
    int result = -1;
};

class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        VQSetKeyStateSource(KeyState);
        VKSetClock(Clock);
        VQSetResourceModule(GetModuleHandleA(nullptr));
        g_down.clear();
        store.Set("serverAddr", "127.0.0.1");
        store.Set("serverPortHTTP", "9");
        hud = new CVQHUD();
        hud->Init();
        frame = new Listener();
        frame->CreateFrame(100, 100, 420, 260);
        hud->AddWindow(frame);
    }
    void TearDown() override {
        delete hud;
        VQSetKeyStateSource(nullptr);
        VKSetClock(nullptr);
    }
    int Key(uint32_t vk, uint32_t message = WM_KEYDOWN) {
        int handled = 0;
        hud->OnKeyboardInput(message, vk, message == WM_KEYUP ? 0xC0000001u : 1u, &handled);
        return handled;
    }
    int Click(int x, int y) {
        int handled = 0;
        hud->OnMouseInput(WM_LBUTTONDOWN, 0, Pack(x, y), &handled);
        int ignored = 0;
        hud->OnMouseInput(WM_LBUTTONUP, 0, Pack(x, y), &ignored);
        return handled;
    }
    template <class T>
    T* Add(T* control, int x, int y, int w, int h) {
        control->Create(x, y, w, h, frame);
        frame->AddChild(control);
        return control;
    }
    CVQMsgBox* TopBox() {
        for (int i = hud->Windows().Count() - 1; i >= 0; --i) {
            CVQWindow* w = static_cast<CVQWindow*>(hud->Windows().Get(i));
            if (w->Kind() == CVQFrmWnd::kMessageBox) return static_cast<CVQMsgBox*>(w);
        }
        return nullptr;
    }
    int Boxes() {
        int n = 0;
        for (int i = 0; i < hud->Windows().Count(); ++i)
            n += static_cast<CVQWindow*>(hud->Windows().Get(i))->Kind() == CVQFrmWnd::kMessageBox;
        return n;
    }

    MemorySettings store;
    CVQHUD* hud = nullptr;
    Listener* frame = nullptr;
};

}  // namespace

TEST_F(Controls, CheckBoxStepsWrapsAndADisabledBoxStaysPut) {
    CVQCheckBox* box = Add(new CVQCheckBox(), 10, 30, 17, 13);
    EXPECT_EQ(17, box->Width());  // the size of the shared picture
    EXPECT_EQ(13, box->Height());
    // Two states with wrap: 1 steps to 0.
    box->SetState(1);
    box->Step();
    EXPECT_EQ(0, box->GetState());
    box->SetState(-1);
    EXPECT_EQ(1, box->GetState());
    // Three states without wrap never return to 0 by stepping.
    box->SetTriState(1);
    box->SetWrap(0);
    box->SetState(2);
    box->Step();
    EXPECT_EQ(1, box->GetState());
    box->Step();
    EXPECT_EQ(2, box->GetState());
    box->SetState(0);
    EXPECT_EQ(2, box->GetState());

    // A click steps it, takes the focus and tells the frame; Space too.
    box->SetState(1);
    EXPECT_TRUE(Click(112, 132));
    EXPECT_EQ(2, box->GetState());
    EXPECT_EQ(box, hud->FocusWindow());
    EXPECT_EQ(1, frame->used);
    EXPECT_TRUE(Key(VK_SPACE));
    EXPECT_EQ(1, box->GetState());
    EXPECT_EQ(2, frame->used);

    // Disabled: neither a click nor Space changes it or tells anyone.
    box->SetDisabled(1);
    EXPECT_TRUE(Key(VK_SPACE));
    EXPECT_TRUE(Click(112, 132));
    EXPECT_EQ(1, box->GetState());
    EXPECT_EQ(2, frame->used);
    // Drawn in the disabled look; the frame copies it.
    box->PrepareSurface();
    EXPECT_TRUE(box->GetGraphics()->IsDirty());
}

TEST_F(Controls, ScrollBarHoldsItsPositionInsideTheRange) {
    CVQScrollBarV* bar = Add(new CVQScrollBarV(), 200, 20, 15, 100);
    EXPECT_EQ(100, bar->GetRange());
    EXPECT_EQ(10, bar->GetPage());
    bar->SetPosition(95);
    EXPECT_EQ(90, bar->GetPosition());
    bar->SetPosition(-3);
    EXPECT_EQ(0, bar->GetPosition());
    bar->SetPosition(0x7FFFFFF0);  // no overflow on the way
    EXPECT_EQ(90, bar->GetPosition());
    bar->SetRange(5);
    EXPECT_EQ(0, bar->GetPosition());
    bar->SetPosition(3);
    EXPECT_EQ(0, bar->GetPosition());

    // Values below 1 count as 1: no division by zero when drawing.
    bar->SetRange(0);
    EXPECT_EQ(1, bar->GetRange());
    bar->SetPage(-4);
    EXPECT_EQ(1, bar->GetPage());
    EXPECT_EQ(0, bar->GetPosition());
    bar->PrepareSurface();

    // Keys and clicks move it and tell the frame.
    bar->SetRange(100);
    bar->SetPage(10);
    bar->SetPosition(50);
    hud->SetFocusWindow(bar, false);
    EXPECT_TRUE(Key(VK_UP));
    EXPECT_EQ(38, bar->GetPosition());
    EXPECT_TRUE(Key(VK_DOWN));
    EXPECT_EQ(50, bar->GetPosition());
    // Track 76 pixels: the thumb starts at 12 + 76 * 50 / 100 = 50 and is 7 long.
    EXPECT_EQ(50, bar->ThumbTop());
    EXPECT_EQ(7, bar->ThumbLength());
    Click(100 + 205, 100 + 20 + 5);  // top arrow
    EXPECT_EQ(38, bar->GetPosition());
    Click(100 + 205, 100 + 20 + 95);  // bottom arrow
    EXPECT_EQ(50, bar->GetPosition());
    Click(100 + 205, 100 + 20 + 20);  // above the thumb: a page up
    EXPECT_EQ(40, bar->GetPosition());
    Click(100 + 205, 100 + 20 + 80);  // below it: a page down
    EXPECT_EQ(50, bar->GetPosition());
    EXPECT_EQ(6, frame->used);

    // A bar shorter than its two arrows has no track and no thumb.
    CVQScrollBarV* stub = Add(new CVQScrollBarV(), 250, 20, 15, 10);
    EXPECT_EQ(0, stub->TrackLength());
    EXPECT_EQ(0, stub->ThumbLength());
    EXPECT_EQ(1, stub->PrepareSurface());
}

TEST_F(Controls, TextBoxTypesLeavesCombinationsAloneAndNotifiesOnEnter) {
    CVQTextBox* box = Add(new CVQTextBox("hi"), 10, 30, 200, 18);
    Click(115, 135);
    ASSERT_EQ(box, hud->FocusWindow());
    EXPECT_TRUE(box->IsFocused());
    EXPECT_TRUE(Key('A'));
    EXPECT_STREQ("hia", box->GetText());
    EXPECT_TRUE(Key(VK_BACK));
    EXPECT_TRUE(Key(VK_DELETE));
    EXPECT_STREQ("h", box->GetText());

    // With the hot key or Ctrl held the key is not the box's.
    g_down.insert(kInsert);
    EXPECT_FALSE(Key('A'));
    g_down.clear();
    g_down.insert(VK_CONTROL);
    EXPECT_FALSE(Key('A'));
    g_down.clear();
    EXPECT_STREQ("h", box->GetText());

    // Enter tells the frame; Tab reaches the frame (focus moves on).
    EXPECT_TRUE(Key(VK_RETURN));
    EXPECT_EQ(1, frame->used);
    EXPECT_EQ(box, frame->lastSender);
    CVQButton* next = Add(new CVQButton(), 10, 60, 72, 18);
    hud->SetFocusWindow(box, false);
    EXPECT_TRUE(Key(VK_TAB));
    EXPECT_EQ(next, hud->FocusWindow());

    // The caret blinks: drawn again only after 500 ms.
    hud->SetFocusWindow(box, false);
    box->PrepareSurface();
    box->GetGraphics()->SetDirty(0);
    g_now += 100;
    box->PrepareSurface();
    EXPECT_FALSE(box->GetGraphics()->IsDirty());
    g_now += 450;
    box->PrepareSurface();
    EXPECT_TRUE(box->GetGraphics()->IsDirty());

    // A box takes a bounded text.
    box->SetText(std::string(CVQTextBox::kMaxText, 'x').c_str());
    Key('A');
    EXPECT_EQ(CVQTextBox::kMaxText, strlen(box->GetText()));
}

TEST_F(Controls, ButtonsTakeClicksAndADisabledPictureButtonLetsThemFall) {
    CVQButton* button = Add(new CVQButton(), 10, 30, 72, 18);
    EXPECT_STREQ("Button", button->GetCaption());
    EXPECT_TRUE(Click(115, 135));
    EXPECT_EQ(button, hud->FocusWindow());
    EXPECT_TRUE(button->IsFocused());
    EXPECT_TRUE(Key(VK_RETURN));  // Enter is a click
    EXPECT_EQ(2, frame->used);

    CVQImgButton* picture = Add(new CVQImgButton(), 100, 30, 34, 40);
    EXPECT_TRUE(picture->SetImages(4099, 4100, 0xFFCDE8FF));
    picture->SetDisabled(1);
    // The click is the frame's (handled), not the button's.
    EXPECT_TRUE(Click(210, 140));
    EXPECT_EQ(2, frame->used);
    EXPECT_NE(picture, hud->FocusWindow());
    picture->SetDisabled(0);
    EXPECT_TRUE(Click(210, 140));
    EXPECT_EQ(3, frame->used);
    EXPECT_EQ(picture, frame->lastSender);
    EXPECT_TRUE(picture->IsFocused());

    // Hover follows the pointer over the frame's children.
    int handled = 0;
    hud->OnMouseInput(WM_MOUSEMOVE, 0, Pack(210, 140), &handled);
    EXPECT_TRUE(picture->IsHovered());
    hud->OnMouseInput(WM_MOUSEMOVE, 0, Pack(300, 250), &handled);
    EXPECT_FALSE(picture->IsHovered());
}

namespace {
std::string Names(CVKPtrList* list) {
    std::string s;
    for (int i = 0; i < list->Count(); ++i) s += std::string(static_cast<CVKString*>(list->Get(i))->Str()) + ";";
    for (int i = 0; i < list->Count(); ++i) delete static_cast<CVKString*>(list->Get(i));
    delete list;
    return s;
}
}  // namespace

TEST_F(Controls, ContactListGroupsRemovalAndSelection) {
    CVQListContacts* list = Add(new CVQListContacts(), 2, 20, 290, 170);
    CVQScrollBarV* bar = Add(new CVQScrollBarV(), 292, 20, 8, 170);
    list->AttachScrollBar(bar);
    list->AddContact("Mates", "bo", "bo", 0, 1, 1, 1);
    list->AddContact("Work", "quiet", "quiet", 1, 1, 1, 1);
    list->AddContact("Mates", "cy", "cy", 0, 1, 1, 1);
    list->AddContact("Work", "bo", "bo", 0, 1, 1, 1);
    ASSERT_EQ(2, list->GroupCount());
    EXPECT_EQ(2 * 20 + 4 * 12, bar->GetRange());
    // Rows follow their groups: Mates bo, cy; Work quiet, bo.
    EXPECT_STREQ("cy", list->Contact(1)->name.Str());
    EXPECT_EQ(1, list->Contact(2)->group);
    EXPECT_EQ(12, list->RowTop(0));
    EXPECT_EQ(24, list->RowTop(1));
    EXPECT_EQ(24 + 24 + 12 + 12, list->RowTop(3));  // second row under the second group's name

    // The same friend in two groups is selected once.
    list->SetSelected("bo", 1);
    list->SetSelected("cy", 1);
    EXPECT_EQ("bo;cy;", Names(list->GetSelected()));

    // Removing the only member of a group removes the group and renumbers the others.
    list->RemoveContact("bo");  // the first "bo" only
    list->RemoveContact("cy");
    ASSERT_EQ(1, list->GroupCount());
    EXPECT_STREQ("Work", list->GroupName(0));
    EXPECT_EQ(0, list->Contact(0)->group);
    EXPECT_EQ(0, list->Contact(1)->group);
    EXPECT_EQ(20 + 2 * 12, bar->GetRange());
    list->PrepareSurface();
}

TEST_F(Controls, ContactListKeysNeverTouchAMissingRow) {
    CVQListContacts* list = Add(new CVQListContacts(), 2, 20, 290, 170);
    hud->SetFocusWindow(list, false);
    // Empty: every key is taken, nothing happens.
    for (uint32_t key : {VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, VK_SPACE}) EXPECT_TRUE(Key(key));
    EXPECT_EQ(0, list->CursorRow());

    list->AddContact("Mates", "bo", "bo", 0, 1, 1, 1);
    list->AddContact("Mates", "cy", "cy", 0, 1, 1, 1);
    list->AddContact("Mates", "di", "di", 0, 1, 1, 1);
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_EQ(2, list->CursorRow());
    list->RemoveContact("di");
    EXPECT_EQ(1, list->CursorRow());  // clamped to the rows left
    EXPECT_TRUE(Key(VK_SPACE));
    EXPECT_EQ(1, list->Contact(1)->selected);
    list->Clear();
    EXPECT_TRUE(Key(VK_SPACE));
    EXPECT_TRUE(Key(VK_UP));
    list->PrepareSurface();

    // Left and Right skip disabled boxes (column 1 is box 1, the chat column).
    list->AddContact("Mates", "bo", "bo", 0, 1, 1, 1);
    list->EnableColumn(1, 0);
    EXPECT_TRUE(list->Contact(0)->boxes[0].IsDisabled());
    Key(VK_RIGHT);
    EXPECT_EQ(2, list->CursorColumn());
    Key(VK_LEFT);
    EXPECT_EQ(0, list->CursorColumn());
    Key(VK_LEFT);
    EXPECT_EQ(3, list->CursorColumn());
    Key(VK_RIGHT);
    EXPECT_EQ(0, list->CursorColumn());
}

TEST_F(Controls, PermissionToggleSavesFlagsInContactChatVideoOrder) {
    CVQListContacts* list = Add(new CVQListContacts(), 2, 20, 390, 170);
    // Box 1 chat, box 2 video, box 3 contact: contact and chat allowed, video not.
    list->AddContact("Mates", "bo x", "bo x", 0, 1, 0, 1);
    list->AddContact("Work", "bo x", "bo x", 0, 1, 0, 1);
    hud->SetUser("an&na");
    hud->SetPassword("p#w%");
    // A click on box 2 (video) of the first row: video becomes allowed.
    const int t = list->RowTop(0);
    EXPECT_TRUE(Click(100 + 2 + CVQContact::kBoxX[1] + 3, 100 + 20 + t + 3));
    EXPECT_EQ(1, list->Contact(0)->boxes[1].GetState());
    EXPECT_EQ(1, list->Contact(1)->boxes[1].GetState());  // every row of the friend
    EXPECT_EQ(2, list->CursorColumn());
    EXPECT_EQ(list, hud->FocusWindow());
    const std::string url = hud->Misc()->LastUrl().Str();
    EXPECT_NE(std::string::npos,
              url.find("setPermissions.php?un=an%26na&pw=p%23w%25&handle=bo%20x&contact=1&chat=1&video=1"))
        << url;

    // Space on box 1 (chat) refuses chat; the video refusal also takes the
    // friend off the running share.
    Key(VK_LEFT);
    EXPECT_TRUE(Key(VK_SPACE));
    EXPECT_NE(std::string::npos, std::string(hud->Misc()->LastUrl().Str()).find("&contact=1&chat=0&video=1"));
    Key(VK_RIGHT);
    Key(VK_SPACE);
    EXPECT_NE(std::string::npos, std::string(hud->Misc()->LastUrl().Str()).find("&contact=1&chat=0&video=0"));
    ASSERT_EQ(1, hud->SentInvitations().Count());
    EXPECT_TRUE(static_cast<CVKString*>(hud->SentInvitations().Get(0))->Equals("bo x"));
    // A disabled box is not stepped, but the flags still go out.
    list->EnableColumn(0, 0);
    Key(VK_RIGHT);
    EXPECT_EQ(0, list->CursorColumn());  // box 3 skipped
}

TEST_F(Controls, MessageBoxGeometry) {
    ASSERT_EQ(1, AskConfirm("one\ntwo\nthree\nfour\nfive", frame, "tag", "data", 5, nullptr));
    CVQMsgBox* box = TopBox();
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(350, box->Width());
    EXPECT_EQ(186, box->Height());
    EXPECT_STREQ("Message", box->GetTitle());
    EXPECT_EQ(101, box->OkButton()->GetX());
    EXPECT_EQ(156, box->OkButton()->GetY());
    EXPECT_EQ(177, box->CancelButton()->GetX());
    EXPECT_EQ(156, box->CancelButton()->GetY());
    // Centred over the frame: 100 + (420 - 350) / 2, 100 + (260 - 130) / 2.
    EXPECT_EQ(135, box->GetX());
    EXPECT_EQ(165, box->GetY());
    EXPECT_EQ(box->OkButton(), hud->FocusWindow());

    ASSERT_EQ(1, ShowMessage("alone", nullptr, 1));
    box = TopBox();
    EXPECT_EQ(140, box->GetX());
    EXPECT_EQ(140, box->GetY());
    EXPECT_EQ(130, box->Height());
    EXPECT_EQ(139, box->OkButton()->GetX());
    EXPECT_EQ(nullptr, box->CancelButton());

    ASSERT_EQ(1, AskText("name?", frame, "ask", 2));
    box = TopBox();
    EXPECT_EQ(164, box->Height());
    EXPECT_EQ(50, box->TextField()->GetX());
    EXPECT_EQ(114, box->TextField()->GetY());
    EXPECT_EQ(139, box->OkButton()->GetX());
    EXPECT_EQ(136, box->OkButton()->GetY());
    EXPECT_EQ(box->TextField(), hud->FocusWindow());

    // A negative or huge line count gives a box of bounded size.
    ASSERT_EQ(1, ShowMessage("x", nullptr, -5));
    EXPECT_EQ(130, TopBox()->Height());
    ASSERT_EQ(1, ShowMessage("x", nullptr, 1 << 30));
    EXPECT_EQ(116 + 14 * CVQMsgBox::kMaxLines, TopBox()->Height());
}

TEST_F(Controls, MessageBoxKeysAndAnswers) {
    int cookie = 0;
    // "C" cancels a confirmation: the owner hears of it, without data.
    AskConfirm("Sure?", frame, "msgSure", "yes-data", 1, &cookie);
    EXPECT_TRUE(Key('C'));
    EXPECT_EQ(1, frame->answers);
    EXPECT_EQ(CVQMsgBox::kCancel, frame->result);
    EXPECT_EQ("msgSure", frame->tag);
    EXPECT_EQ("", frame->answerData);
    EXPECT_EQ(&cookie, frame->userData);
    EXPECT_EQ(0, Boxes());

    // "O" is OK, and keeps the data.
    AskConfirm("Sure?", frame, "msgSure", "yes-data", 1, &cookie);
    EXPECT_TRUE(Key('O'));
    EXPECT_EQ(CVQMsgBox::kOk, frame->result);
    EXPECT_EQ("yes-data", frame->answerData);

    // In a text box "C" is a letter; Enter answers with the text.
    AskText("Title?", frame, "msgTitle", 1);
    EXPECT_TRUE(Key('C'));
    EXPECT_EQ(2, frame->answers);
    EXPECT_TRUE(Key(VK_RETURN));
    EXPECT_EQ(3, frame->answers);
    EXPECT_EQ(CVQMsgBox::kOk, frame->result);
    EXPECT_EQ("c", frame->typed);
    EXPECT_EQ("msgTitle", frame->answerData);

    // Closed any other way, a box answers Cancel.
    AskConfirm("Call?", frame, "msgIncomingCall", "bo", 2, nullptr);
    EXPECT_TRUE(Key(VK_ESCAPE));
    EXPECT_EQ(4, frame->answers);
    EXPECT_EQ(CVQMsgBox::kCancel, frame->result);
    EXPECT_EQ("", frame->answerData);

    // Without an owner nobody is told, and nothing breaks.
    ShowMessage("note", nullptr, 1);
    EXPECT_TRUE(Key(VK_SPACE));
    EXPECT_EQ(4, frame->answers);
    EXPECT_EQ(0, Boxes());
    hud->Update();
}

TEST_F(Controls, BoxesCloseWithTheirOwnerAndAreCapped) {
    Listener* other = new Listener();
    other->CreateFrame(10, 10, 200, 100);
    hud->AddWindow(other);
    AskConfirm("a", other, "t", "d", 1, nullptr);
    AskConfirm("b", other, "t", "d", 1, nullptr);
    ShowMessage("c", frame, 1);
    EXPECT_EQ(3, Boxes());
    other->Close();  // its boxes go with it; a window on its way out is told nothing
    EXPECT_EQ(1, Boxes());
    EXPECT_EQ(0, other->answers);
    hud->Update();  // deleted; the remaining box must not point at it
    EXPECT_EQ(frame, TopBox()->Owner());

    // A window deleted outright takes its boxes too.
    Listener* gone = new Listener();
    gone->CreateFrame(10, 10, 200, 100);
    hud->AddWindow(gone);
    AskConfirm("x", gone, "t", "d", 1, nullptr);
    EXPECT_EQ(2, Boxes());
    delete gone;
    EXPECT_EQ(1, Boxes());
    hud->Update();

    // No more than kMaxOpen at once.
    int opened = 0;
    for (int i = 0; i < CVQMsgBox::kMaxOpen + 5; ++i) opened += ShowMessage("flood", nullptr, 1);
    EXPECT_EQ(CVQMsgBox::kMaxOpen - 1, opened);
    EXPECT_EQ(CVQMsgBox::kMaxOpen, Boxes());
}
