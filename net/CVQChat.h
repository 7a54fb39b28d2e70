#pragma once
#include <deque>
#include <string>
#include <vector>

#include "CVKPtrList.h"
#include "CVKString.h"
#include "IVKStreamSocket.h"

// Codes of PeekMessageType.
enum ChatMessageType {
    kChatNone = 0,
    kChatLoginOk = 1,
    kChatLoginFailed = 2,
    kChatStartChatFailed = 3,
    kChatSession = 4,
    kChatSessionTerminated = 5,
    kChatLeaveChatOk = 6,
    kChatSendFailed = 9,
    kChatSessionMessage = 10,
    kChatFriendsList = 13,
    kChatFriendStatus = 14,
    kChatViewDesktopOk = 16,
    kChatShareDesktop = 18,
    kChatDesktopId = 19,
    kChatRequestVoiceOk = 20,
    kChatRequestVoiceFailed = 21,
    kChatVoice = 22,
    kChatUnknown = 254,
    kChatConnectionLost = 255,
};

// One group of GetFriendsList: the caller owns it, its lists and their strings
// (FreeFriendGroups frees a whole result).
struct FriendGroup {
    CVKString name;
    CVKPtrList online;   // CVKString*
    CVKPtrList offline;  // CVKString*
};
void FreeFriendGroups(CVKPtrList* groups);
// Frees the CVKString* items of a list and empties it.
void FreeStringList(CVKPtrList* list);
// Whether a list of CVKString* holds name (as CVKString::Equals compares).
bool StringListContains(const CVKPtrList& list, const char* name);

// Client of the chat and presence server: a line-based protocol over one TCP
// connection. Messages are lines ended by a line feed; an empty line ends a
// message. The owner calls Pump once per frame, then reads messages in order
// (PeekMessageType, the matching reader, PopMessage) until 0 comes back.
class CVQChat {
public:
    // socket: the connection to use (owned); null takes a Winsock CVKSocket
    // (Windows builds).
    explicit CVQChat(IVKStreamSocket* socket = nullptr);
    CVQChat(const CVQChat&) = delete;
    CVQChat& operator=(const CVQChat&) = delete;
    virtual ~CVQChat();

    virtual void CreateSocket();
    virtual void Disconnect();
    virtual void Connect(const CVKString& host, unsigned short port);
    virtual void Pump();

    virtual int PeekMessageType();
    virtual int GetLoginResult(int* success, CVKString* error, CVKString* server, int* port);
    virtual int GetFriendsList(CVKPtrList* groups);
    virtual int GetFriendStatus(CVKString* name, int* online);
    virtual int GetStartChatFailure(CVKString* reason);
    virtual int GetChatSession(int* session, CVKPtrList* members);
    virtual int GetSendFailure(int* session, CVKString* reason);
    virtual int GetChatMessage(int* session, CVKString* sender, CVKString* text);
    virtual int GetTerminatedSession(int* session);
    virtual int GetShareDesktopRequest(CVKString* name, int* start);
    virtual int GetDesktopId(CVKString* name, int* session, CVKString* server, int* port);
    virtual int GetVoiceRequestFailure(CVKString* name, CVKString* reason);
    virtual int GetVoiceRequest(CVKString* name, int* start, int* session, CVKString* server, int* port);
    virtual void PopMessage();

    // Senders return 1 when the message was queued, 0 when a field was
    // refused (empty where a line is needed, or holding a line break).
    virtual int SendLogin(const char* user, const char* password, int number);
    virtual int SendStartChat(const CVKPtrList& names);  // CVKString* items
    virtual int SendChatMessage(int session, const char* sender, const char* text);
    virtual int SendViewDesktop(const char* friendName, int start);
    virtual int SendMyDesktopId(const char* friendName, int session, const char* server, int port);
    virtual int SendLeaveChat(int session, const char* user);
    // A stop goes out even without a usable server address ("0.0.0.0"
    // stands in for it); a start needs one.
    virtual int SendRequestVoice(const char* friendName, int start, int session, const char* server, int port);

    // Splits bytes into messages until the queue is full; returns how many
    // bytes were taken. *tooLong is set when the unfinished message grew
    // past its bound.
    size_t Feed(const unsigned char* bytes, size_t count, bool* tooLong);
    size_t QueuedCount() const { return m_queue.size(); }
    IVKStreamSocket* Socket() { return m_socket; }

    // Largest unfinished message: a longer one drops the connection.
    static constexpr size_t kMaxMessageBytes = 4 * 1024 * 1024;
    // Longest queue. Further complete messages wait, unsplit, until the owner
    // pops; more than kMaxBacklogBytes waiting drops the connection.
    static constexpr size_t kMaxQueued = 4096;
    static constexpr size_t kMaxBacklogBytes = 16 * 1024 * 1024;

private:
    typedef std::vector<std::string> Message;
    const Message* Front(const char* name, size_t minLines) const;
    int SendText(const std::string& text);
    void ResetSplitter();
    void SplitBacklog();
    void DropConnection(const char* why);

    IVKStreamSocket* m_socket;
    std::deque<Message> m_queue;
    int m_connectRequested;
    // Splitter state, kept across pumps so every byte is looked at once.
    Message m_current;
    std::string m_line;
    bool m_prevLineFeed;
    size_t m_pendingBytes;
    // Received bytes not yet split (from m_backlogStart on).
    std::string m_backlog;
    size_t m_backlogStart;
};
