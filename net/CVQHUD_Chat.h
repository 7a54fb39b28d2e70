#pragma once
#include "CVKPtrList.h"
#include "CVKString.h"
#include "CVQChat.h"

class CVQChatWnd;

// One running chat: its session number, its members (user names and the
// names shown, in the same order) and its window (owned by the HUD's
// window list; it may outlive the chat).
struct ChatSession {
    int session = 0;
    CVKPtrList members;       // CVKString*, owned
    CVKPtrList displayNames;  // CVKString*, owned
    CVQChatWnd* window = nullptr;
};

// The HUD's side of the chat server: signing in, the friends list and
// presence, text chats in chat windows, and the chat-server side of viewing.
// Ticked once per frame by the HUD.
class CVQHUD_Chat {
public:
    // socket (owned) may be null: a Winsock socket is taken.
    explicit CVQHUD_Chat(IVKStreamSocket* socket = nullptr);
    CVQHUD_Chat(const CVQHUD_Chat&) = delete;
    CVQHUD_Chat& operator=(const CVQHUD_Chat&) = delete;
    virtual ~CVQHUD_Chat();

    // Forgets every chat and makes the socket.
    virtual void Initialise();
    virtual void RemoveAllChats();
    virtual void Update();
    virtual void SignIn(const char* user, const char* password);
    virtual void SignOut();
    // "START CHAT" with the friends selected in the dashboard's list.
    virtual void StartChat();
    virtual void SendChatText(CVQChatWnd* window, const char* text);
    virtual void LeaveChat(CVQChatWnd* window);
    virtual CVKString GetServerAddress();
    virtual int GetServerPort();
    virtual void AnnounceShare(const char* friendName, int session, const char* host, int port);
    virtual void RequestView(const char* friendName, int start);
    virtual void RequestVoice(const char* friendName, int start);

    // A chat window is being deleted: its chats are forgotten (nothing is sent).
    void ForgetWindow(CVQChatWnd* window);
    CVQChat* Client() { return &m_client; }
    int ChatCount() const { return m_chats.Count(); }
    ChatSession* Chat(int index) const;
    ChatSession* FindSession(int session) const;

    // Chat windows open at once; a server cannot open more.
    static constexpr int kMaxChatWindows = 16;
    // Messages handled in one frame; the rest wait for the next ones.
    static constexpr int kMaxMessagesPerFrame = 256;

private:
    ChatSession* ChatOfWindow(CVQChatWnd* window) const;
    void Forget(ChatSession* chat);
    void OnChatSession();
    void OnChatMessage();
    void OnTerminated();
    void OnFriendsList();
    void OnConnectionLost();
    void SetChatTitle(ChatSession* chat);

    CVQChat m_client;
    CVKPtrList m_chats;  // ChatSession*, owned
    CVKString m_serverAddress;
    int m_serverPort;
};
