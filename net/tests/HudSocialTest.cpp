// The HUD's chat and permissions components against the local test service
// (started by run_social.sh, which passes its ports in the environment and
// checks the request bytes the service received).
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "CVQChat.h"
#include "CVQChatWnd.h"
#include "CVQCheckBox.h"
#include "CVQDashboard.h"
#include "CVQHUD.h"
#include "CVQHUD_Chat.h"
#include "CVQListContacts.h"
#include "CVQMsgBox.h"
#include "CVQTextBox.h"
#include "HudServiceTest.h"
#include "LogCapture.h"

namespace {
class HudSocial : public HudServiceTest {
protected:
    // A friend's own client, signed in.
    void SignIn(CVQChat& client, const char* user, const char* password) {
        client.Connect(CVKString("127.0.0.1"), static_cast<unsigned short>(chatPort));
        ASSERT_EQ(1, client.SendLogin(user, password, 1));
        ASSERT_TRUE(WaitFor(client, kChatLoginOk));
    }
    // Pumps the HUD and the clients until the client has a message of that type.
    bool WaitFor(CVQChat& client, int type) {
        return PumpUntil(
            [&] {
                client.Pump();
                if (hud) hud->Update();
            },
            [&] { return NextIs(client, type); }, 8000);
    }
    bool Until(const std::function<bool()>& done, std::vector<CVQChat*> others = {}) {
        return PumpUntil(
            [&] {
                hud->Update();
                for (CVQChat* c : others) c->Pump();
            },
            done, 8000);
    }
    std::vector<CVQWindow*> WindowsOfKind(int kind) {
        std::vector<CVQWindow*> found;
        for (int i = 0; i < hud->Windows().Count(); ++i) {
            CVQWindow* w = static_cast<CVQWindow*>(hud->Windows().Get(i));
            if (w->Kind() == kind) found.push_back(w);
        }
        return found;
    }
    CVQChatWnd* OnlyChat() {
        std::vector<CVQWindow*> chats = WindowsOfKind(CVQFrmWnd::kChat);
        return chats.size() == 1 ? static_cast<CVQChatWnd*>(chats[0]) : nullptr;
    }
    int Row(const char* name) {
        CVQListContacts* list = hud->Dashboard()->Contacts();
        for (int i = 0; i < list->ContactCount(); ++i)
            if (list->Contact(i)->name.Equals(name)) return i;
        return -1;
    }
    void Type(CVQChatWnd* window, const char* text) {
        window->TextBox()->SetText(text);
        int handled = 0;
        window->OnNotify(0, nullptr, window->TextBox(), &handled);
    }
};

std::vector<std::string> Lines(CVQChatWnd* window) {
    std::vector<std::string> lines;
    for (int i = 0; i < window->LineCount(); ++i) lines.push_back(window->Line(i));
    return lines;
}
}  // namespace

TEST_F(HudSocial, FriendsPermissionsAndAChatFromStartToEnd) {
    CVQChat bo, cy;
    SignIn(bo, "bo", "bo-pw");
    SignIn(cy, "cy", "cy-pw");
    hud->Chat()->SignIn("anna", "anna-pw");
    EXPECT_STREQ("anna", hud->GetUser());
    CVQListContacts* list = hud->Dashboard()->Contacts();
    // Signed in, the friends listed, then their permissions read from the web server.
    ASSERT_TRUE(Until([&] {
        return hud->Dashboard()->IsSignedIn() && list->ContactCount() == 3 && Row("cy") >= 0 &&
               list->Contact(Row("cy"))->boxes[0].GetState() == 2;
    })) << "contacts: "
        << list->ContactCount();
    EXPECT_EQ(2, list->GroupCount());
    EXPECT_EQ(0, list->Contact(Row("bo"))->status);     // online
    EXPECT_EQ(1, list->Contact(Row("quiet"))->status);  // offline
    // anna's defaults 1 1 0: contact and chat allowed, video refused.
    EXPECT_EQ(1, hud->Dashboard()->DefaultBox(0)->GetState());
    EXPECT_EQ(1, hud->Dashboard()->DefaultBox(1)->GetState());
    EXPECT_EQ(2, hud->Dashboard()->DefaultBox(2)->GetState());
    // cy 1 0 0: contact (box 3) allowed, chat (box 1) and video (box 2) refused.
    CVQContact* cyRow = list->Contact(Row("cy"));
    EXPECT_EQ(1, cyRow->boxes[2].GetState());
    EXPECT_EQ(2, cyRow->boxes[0].GetState());
    EXPECT_EQ(2, cyRow->boxes[1].GetState());
    // The columns whose default has a state of its own are not the friend's to change.
    EXPECT_TRUE(cyRow->boxes[2].IsDisabled());

    // With the video default cleared, bo's video is refused by its box:
    // saved through the web server.
    list->EnableColumn(2, 1);
    list->ToggleBox(Row("bo"), 1);
    EXPECT_EQ(2, list->Contact(Row("bo"))->boxes[1].GetState());

    // A chat with bo and cy.
    list->SetSelected("bo", 1);
    list->SetSelected("cy", 1);
    hud->Chat()->StartChat();
    ASSERT_TRUE(Until([&] { return OnlyChat() != nullptr; }, {&bo, &cy}));
    CVQChatWnd* window = OnlyChat();
    EXPECT_STREQ("Chat: anna, bo, cy", window->GetTitle());
    EXPECT_TRUE(window->IsVisible(0));
    EXPECT_EQ(window->TextBox(), hud->FocusWindow());
    ASSERT_EQ(1, hud->Chat()->ChatCount());
    const int session = hud->Chat()->Chat(0)->session;

    ASSERT_EQ(1, bo.SendChatMessage(session, "bo", "hello anna"));
    ASSERT_TRUE(Until([&] { return window->LineCount() == 1; }, {&bo, &cy}));
    Type(window, "hi & all");
    // bo hears its own line first (the server echoes to every member).
    int s = 0;
    CVKString sender, text;
    for (int seen = 0; seen < 2 && !sender.Equals("anna"); ++seen) {
        if (seen) bo.PopMessage();
        ASSERT_TRUE(WaitFor(bo, kChatSessionMessage));
        ASSERT_TRUE(bo.GetChatMessage(&s, &sender, &text));
    }
    EXPECT_STREQ("anna", sender.Str());
    EXPECT_STREQ("hi & all", text.Str());
    EXPECT_STREQ("", window->TextBox()->GetText());

    // Members leaving, then the end of the chat.
    ASSERT_EQ(1, cy.SendLeaveChat(session, "cy"));
    ASSERT_TRUE(Until([&] { return std::string(window->GetTitle()) == "Chat: anna, bo"; }, {&bo, &cy}));
    ASSERT_EQ(1, bo.SendLeaveChat(session, "bo"));
    ASSERT_TRUE(Until([&] { return std::string(window->GetTitle()) == "(Inactive chat)"; }, {&bo, &cy}));
    EXPECT_EQ(0, hud->Chat()->ChatCount());
    Type(window, "anyone?");
    EXPECT_EQ((std::vector<std::string>{"bo: hello anna", "anna: hi & all", "cy left.", "bo left.", "Noone here!"}),
              Lines(window));

    // Closing the window of an ended chat sends nothing and deletes it.
    window->Close();
    hud->Update();
    EXPECT_EQ(nullptr, OnlyChat());
}

TEST_F(HudSocial, ChatWindowsAServerOpensAreCapped) {
    CVQChat bo;
    SignIn(bo, "bo", "bo-pw");
    hud->Chat()->SignIn("anna", "anna-pw");
    CVQListContacts* list = hud->Dashboard()->Contacts();
    ASSERT_TRUE(Until([&] { return Row("bo") >= 0; }));
    list->SetSelected("bo", 1);
    LogCapture log;
    const int asked = CVQHUD_Chat::kMaxChatWindows + 4;
    for (int i = 0; i < asked; ++i) hud->Chat()->StartChat();
    ASSERT_TRUE(Until([&] { return log.Count("Too many chat windows") == 4; }, {&bo}));
    EXPECT_EQ(static_cast<size_t>(CVQHUD_Chat::kMaxChatWindows), WindowsOfKind(CVQFrmWnd::kChat).size());
    EXPECT_EQ(CVQHUD_Chat::kMaxChatWindows, hud->Chat()->ChatCount());
}

TEST_F(HudSocial, PermissionRequestsOfANameThatNeedsEncoding) {
    // The account and its password hold "&", "#", "%", "+" and blanks.
    hud->Chat()->SignIn("ed&d #1", "p%w+&x =");
    CVQListContacts* list = hud->Dashboard()->Contacts();
    ASSERT_TRUE(Until([&] { return list->ContactCount() == 2 && hud->Dashboard()->DefaultBox(0)->GetState() == 2; }));
    // Its stored defaults 0 2 1: refused, no setting, allowed.
    EXPECT_EQ(0, hud->Dashboard()->DefaultBox(1)->GetState());
    EXPECT_EQ(1, hud->Dashboard()->DefaultBox(2)->GetState());
    // A friend whose handle needs encoding too; the answer's line for it is read back.
    const int row = Row("f g#h");
    ASSERT_GE(row, 0);
    list->EnableColumn(0, 1);
    list->ToggleBox(row, 2);  // contact (box 3) refused
    ASSERT_TRUE(Until([&] { return hud->Misc()->Http()->IsIdle() != 0; }));
    // The defaults: a box in its third state goes out as "2".
    hud->Dashboard()->DefaultBox(0)->SetState(0);
    int handled = 0;
    hud->Dashboard()->OnNotify(0, nullptr, hud->Dashboard()->DefaultBox(0), &handled);
    ASSERT_TRUE(Until([&] { return hud->Misc()->Http()->IsIdle() != 0; }));
    EXPECT_FALSE(list->Contact(row)->boxes[2].IsDisabled());
}

TEST_F(HudSocial, LostConnectionSignsOutAndSaysSo) {
    CVQChat bo;
    SignIn(bo, "bo", "bo-pw");
    hud->Chat()->SignIn("anna", "anna-pw");
    CVQListContacts* list = hud->Dashboard()->Contacts();
    ASSERT_TRUE(Until([&] { return hud->Dashboard()->IsSignedIn() && Row("bo") >= 0; }));
    list->SetSelected("bo", 1);
    hud->Chat()->StartChat();
    ASSERT_TRUE(Until([&] { return OnlyChat() != nullptr; }, {&bo}));

    // anna signs in elsewhere: the service drops this connection.
    CVQChat elsewhere;
    SignIn(elsewhere, "anna", "anna-pw");
    ASSERT_TRUE(Until([&] { return !WindowsOfKind(CVQFrmWnd::kMessageBox).empty(); }, {&bo, &elsewhere}));
    std::vector<CVQWindow*> boxes = WindowsOfKind(CVQFrmWnd::kMessageBox);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_STREQ("You were disconnected!", static_cast<CVQMsgBox*>(boxes[0])->GetMessageText());
    EXPECT_FALSE(hud->Dashboard()->IsSignedIn());
    EXPECT_EQ(0, hud->Chat()->ChatCount());
    EXPECT_EQ(nullptr, OnlyChat());  // the chat windows closed with the sign-out
    EXPECT_EQ(0, list->ContactCount());
    // Reported once only.
    for (int i = 0; i < 20; ++i) hud->Update();
    EXPECT_EQ(1u, WindowsOfKind(CVQFrmWnd::kMessageBox).size());
}
