#include "CVQHUD_Chat.h"

#include <windows.h>

#include <cstdlib>
#include <string>

#include "CVQChatWnd.h"
#include "CVQDashboard.h"
#include "CVQHUD.h"
#include "CVQHUD_Misc.h"
#include "CVQListContacts.h"
#include "CVQMsgBox.h"
#include "CVQTextBox.h"
#include "VKGameNumber.h"
#include "VKLog.h"
#include "VKNetEndpoints.h"

namespace {
int CountChatWindows(CVQHUD* hud) {
    int n = 0;
    for (int i = 0; i < hud->Windows().Count(); ++i)
        if (static_cast<CVQWindow*>(hud->Windows().Get(i))->Kind() == CVQFrmWnd::kChat) ++n;
    return n;
}
}  // namespace

CVQHUD_Chat::CVQHUD_Chat(IVKStreamSocket* socket) : m_client(socket), m_serverPort(13578) {}

CVQHUD_Chat::~CVQHUD_Chat() { RemoveAllChats(); }

void CVQHUD_Chat::Initialise() {
    RemoveAllChats();
    m_client.CreateSocket();
}

ChatSession* CVQHUD_Chat::Chat(int index) const {
    if (index < 0 || index >= m_chats.Count()) return nullptr;
    return static_cast<ChatSession*>(m_chats.Get(index));
}

ChatSession* CVQHUD_Chat::FindSession(int session) const {
    for (int i = 0; i < m_chats.Count(); ++i)
        if (Chat(i)->session == session) return Chat(i);
    return nullptr;
}

ChatSession* CVQHUD_Chat::ChatOfWindow(CVQChatWnd* window) const {
    for (int i = 0; i < m_chats.Count(); ++i)
        if (Chat(i)->window == window) return Chat(i);
    return nullptr;
}

void CVQHUD_Chat::Forget(ChatSession* chat) {
    m_chats.Remove(chat);
    FreeStringList(&chat->members);
    FreeStringList(&chat->displayNames);
    delete chat;
}

void CVQHUD_Chat::RemoveAllChats() {
    while (m_chats.Count()) Forget(Chat(0));
}

void CVQHUD_Chat::ForgetWindow(CVQChatWnd* window) {
    while (ChatSession* chat = ChatOfWindow(window)) Forget(chat);
}

CVKString CVQHUD_Chat::GetServerAddress() { return m_serverAddress; }
int CVQHUD_Chat::GetServerPort() { return m_serverPort; }

void CVQHUD_Chat::SignIn(const char* user, const char* password) {
    m_serverAddress = VKChatServerHost();
    m_serverPort = VKChatServerPort();
    m_client.Connect(m_serverAddress, static_cast<unsigned short>(m_serverPort));
    // The game is named by the folder this library was loaded from.
    CVKString number = VKGameNumberOfThisLibrary();
    m_client.SendLogin(user, password, atoi(number.Str()));
    if (CVQHUD* hud = VQHud()) {
        hud->SetUser(user);
        hud->SetPassword(password);
    }
}

void CVQHUD_Chat::SignOut() {
    CVQHUD* hud = VQHud();
    if (hud) {
        // Each chat window closes itself (and leaves its chat).
        CVKPtrList windows;
        for (int i = 0; i < hud->Windows().Count(); ++i) {
            CVQWindow* w = static_cast<CVQWindow*>(hud->Windows().Get(i));
            if (w->Kind() == CVQFrmWnd::kChat) windows.Insert(w);
        }
        for (int i = 0; i < windows.Count(); ++i)
            static_cast<CVQFrmWnd*>(static_cast<CVQWindow*>(windows.Get(i)))->Close();
        hud->CloseAllViews();
    }
    m_client.Disconnect();
    if (hud) {
        hud->StopShare();
        hud->Dashboard()->SetSignedIn(0);
    }
}

void CVQHUD_Chat::StartChat() {
    CVQHUD* hud = VQHud();
    if (!hud) return;
    CVKPtrList* names = hud->Dashboard()->Contacts()->GetSelected();
    m_client.SendStartChat(*names);
    FreeStringList(names);
    delete names;
}

void CVQHUD_Chat::SendChatText(CVQChatWnd* window, const char* text) {
    ChatSession* chat = ChatOfWindow(window);
    if (!chat) {
        if (window) window->AddLine("Noone here!");
        return;
    }
    CVQHUD* hud = VQHud();
    m_client.SendChatMessage(chat->session, hud ? hud->GetUser() : "", text);
}

void CVQHUD_Chat::LeaveChat(CVQChatWnd* window) {
    CVQHUD* hud = VQHud();
    while (ChatSession* chat = ChatOfWindow(window)) {
        m_client.SendLeaveChat(chat->session, hud ? hud->GetUser() : "");
        Forget(chat);
    }
}

void CVQHUD_Chat::AnnounceShare(const char* friendName, int session, const char* host, int port) {
    m_client.SendMyDesktopId(friendName, session, host, port);
}

void CVQHUD_Chat::RequestView(const char* friendName, int start) { m_client.SendViewDesktop(friendName, start); }

void CVQHUD_Chat::RequestVoice(const char* friendName, int start) {
    CVQHUD* hud = VQHud();
    if (!hud) return;
    // The own voice stream's session (0 while it is not logged in).
    m_client.SendRequestVoice(friendName, start, hud->Voice()->GetVoiceSession(), hud->GetShareServerHost(),
                              hud->GetShareServerPort());
}

void CVQHUD_Chat::SetChatTitle(ChatSession* chat) {
    std::string title = "Chat: ";
    for (int i = 0; i < chat->displayNames.Count(); ++i) {
        if (i) title += ", ";
        title += static_cast<CVKString*>(chat->displayNames.Get(i))->Str();
    }
    if (chat->window) chat->window->SetTitle(title.c_str());
}

void CVQHUD_Chat::OnChatSession() {
    CVQHUD* hud = VQHud();
    int session = 0;
    CVKPtrList members;
    if (!hud || !m_client.GetChatSession(&session, &members)) return;
    ChatSession* chat = FindSession(session);
    if (!chat) {
        if (CountChatWindows(hud) >= kMaxChatWindows) {
            LogMessage("CVQHUD_Chat::Update(): Too many chat windows, chat %d not shown\r\n", session);
            FreeStringList(&members);
            return;
        }
        chat = new ChatSession();
        chat->session = session;
        for (int i = 0; i < members.Count(); ++i) {
            chat->members.Insert(new CVKString(*static_cast<CVKString*>(members.Get(i))));
            chat->displayNames.Insert(new CVKString(*static_cast<CVKString*>(members.Get(i))));
        }
        CVQChatWnd* window = new CVQChatWnd();
        if (!window->CreateFrame(116, 382, 340, 160)) {
            delete window;
            FreeStringList(&chat->members);
            FreeStringList(&chat->displayNames);
            delete chat;
            FreeStringList(&members);
            return;
        }
        chat->window = window;
        m_chats.Insert(chat);
        // A chat that opens while the HUD is hidden stays hidden.
        const bool shown = hud->Dashboard()->IsVisible(0);
        window->SetVisible(shown ? 1 : 0);
        hud->AddWindow(window);
        if (shown) hud->SetFocusWindow(window->TextBox(), true);
        hud->UpdateActiveStates();
    } else {
        for (int i = chat->members.Count() - 1; i >= 0; --i) {
            CVKString* old = static_cast<CVKString*>(chat->members.Get(i));
            if (StringListContains(members, old->Str())) continue;
            std::string line = std::string(old->Str()) + " left.";
            chat->window->AddLine(line.c_str());
            delete old;
            chat->members.RemoveAt(i);
            delete static_cast<CVKString*>(chat->displayNames.Get(i));
            chat->displayNames.RemoveAt(i);
        }
        for (int i = 0; i < members.Count(); ++i) {
            CVKString* name = static_cast<CVKString*>(members.Get(i));
            if (StringListContains(chat->members, name->Str())) continue;
            chat->members.Insert(new CVKString(*name));
            chat->displayNames.Insert(new CVKString(*name));
            std::string line = std::string(name->Str()) + " joined.";
            chat->window->AddLine(line.c_str());
        }
    }
    SetChatTitle(chat);
    FreeStringList(&members);
}

void CVQHUD_Chat::OnChatMessage() {
    int session = 0;
    CVKString sender, text;
    if (!m_client.GetChatMessage(&session, &sender, &text)) return;
    ChatSession* chat = FindSession(session);
    if (!chat || !chat->window) return;
    std::string line = std::string(sender.Str()) + ": " + text.Str();
    chat->window->AddLine(line.c_str());
    CVQHUD* hud = VQHud();
    if (hud && !chat->window->IsVisible(0)) hud->Logo()->Flash(10000);
}

void CVQHUD_Chat::OnTerminated() {
    int session = 0;
    if (!m_client.GetTerminatedSession(&session)) return;
    ChatSession* chat = FindSession(session);
    if (!chat) return;
    CVQHUD* hud = VQHud();
    const char* own = hud ? hud->GetUser() : "";
    CVQChatWnd* window = chat->window;
    for (int i = 0; i < chat->members.Count(); ++i) {
        CVKString* name = static_cast<CVKString*>(chat->members.Get(i));
        if (name->Equals(own)) continue;
        std::string line = std::string(name->Str()) + " left.";
        if (window) window->AddLine(line.c_str());
    }
    Forget(chat);
    if (window) window->SetTitle("(Inactive chat)");
}

void CVQHUD_Chat::OnFriendsList() {
    CVQHUD* hud = VQHud();
    CVKPtrList groups;
    if (!hud || !m_client.GetFriendsList(&groups)) return;
    hud->Misc()->LoadPermissions();
    CVQListContacts* list = hud->Dashboard()->Contacts();
    // A list sent again replaces the one shown.
    list->Clear();
    for (int g = 0; g < groups.Count(); ++g) {
        FriendGroup* group = static_cast<FriendGroup*>(groups.Get(g));
        // Contact and chat allowed, video not: box 1 is chat, box 2 video, box 3 contact.
        for (int i = 0; i < group->online.Count(); ++i) {
            const char* name = static_cast<CVKString*>(group->online.Get(i))->Str();
            list->AddContact(group->name.Str(), name, name, 0, 1, 0, 1);
        }
        for (int i = 0; i < group->offline.Count(); ++i) {
            const char* name = static_cast<CVKString*>(group->offline.Get(i))->Str();
            list->AddContact(group->name.Str(), name, name, 1, 1, 0, 1);
        }
    }
    FreeFriendGroups(&groups);
}

void CVQHUD_Chat::OnConnectionLost() {
    RemoveAllChats();
    SignOut();
    CVQHUD* hud = VQHud();
    ShowMessage("You were disconnected!", hud ? hud->Dashboard() : nullptr, 1);
}

void CVQHUD_Chat::Update() {
    m_client.Pump();
    CVQHUD* hud = VQHud();
    if (!hud) return;
    for (int handled = 0; handled < kMaxMessagesPerFrame; ++handled) {
        const int type = m_client.PeekMessageType();
        if (type == kChatNone) break;
        switch (type) {
        case kChatLoginOk: {
            int success = 0, port = 0;
            CVKString error, server;
            if (m_client.GetLoginResult(&success, &error, &server, &port)) {
                hud->Dashboard()->SetSignedIn(1);
                hud->ReloadShareServer(server.Str());
                // A short answer names no port: the one we have stays.
                if (port > 0 && port <= 65535) hud->SetShareServerPort(port);
            }
            break;
        }
        case kChatLoginFailed: {
            int success = 0, port = 0;
            CVKString error, server;
            if (m_client.GetLoginResult(&success, &error, &server, &port)) {
                std::string text = "Login failed: ";
                text += error.Length() ? error.Str()
                                       : "Please check your username and password,\nand make sure Caps Lock is off";
                ShowMessage(text.c_str(), hud->Dashboard(), 2);
            }
            break;
        }
        case kChatStartChatFailed: {
            CVKString reason;
            if (m_client.GetStartChatFailure(&reason)) ShowMessage(reason.Str(), hud->Dashboard(), 1);
            break;
        }
        case kChatSession: OnChatSession(); break;
        case kChatSessionMessage: OnChatMessage(); break;
        case kChatSessionTerminated: OnTerminated(); break;
        case kChatFriendsList: OnFriendsList(); break;
        case kChatFriendStatus: {
            CVKString name;
            int online = 0;
            if (m_client.GetFriendStatus(&name, &online))
                hud->Dashboard()->Contacts()->SetStatus(name.Str(), online ? 0 : 1);
            break;
        }
        case kChatShareDesktop: {
            CVKString name;
            int start = 0;
            if (m_client.GetShareDesktopRequest(&name, &start)) hud->InviteIfRequested(name.Str(), start);
            break;
        }
        case kChatDesktopId: {
            CVKString name, server;
            int session = 0, port = 0;
            if (m_client.GetDesktopId(&name, &session, &server, &port))
                hud->ConnectView(name.Str(), session, server.Str(), port);
            break;
        }
        case kChatVoice: {
            CVKString name, server;
            int start = 0, session = 0, port = 0;
            // "Stop" changes nothing: a call ends by its listeners' check or its logout.
            if (m_client.GetVoiceRequest(&name, &start, &session, &server, &port) && start)
                hud->Voice()->OnVoice(name.Str(), session, server.Str(), port);
            break;
        }
        case kChatConnectionLost:
            // Reported once, after every message that came before it.
            OnConnectionLost();
            return;
        default: break;  // read by nobody: popped unread
        }
        m_client.PopMessage();
    }
}
