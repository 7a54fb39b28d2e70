#include "CVQChat.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "VKLog.h"
#include "VKNetText.h"
#ifdef _WIN32
#include "CVKSocket.h"
#endif

void FreeStringList(CVKPtrList* list) {
    if (!list) return;
    for (int i = 0; i < list->Count(); ++i) delete static_cast<CVKString*>(list->Get(i));
    list->Clear();
}

bool StringListContains(const CVKPtrList& list, const char* name) {
    for (int i = 0; i < list.Count(); ++i)
        if (static_cast<CVKString*>(list.Get(i))->Equals(name)) return true;
    return false;
}

void FreeFriendGroups(CVKPtrList* groups) {
    if (!groups) return;
    for (int i = 0; i < groups->Count(); ++i) {
        FriendGroup* group = static_cast<FriendGroup*>(groups->Get(i));
        FreeStringList(&group->online);
        FreeStringList(&group->offline);
        delete group;
    }
    groups->Clear();
}

CVQChat::CVQChat(IVKStreamSocket* socket)
    : m_socket(socket), m_connectRequested(0), m_prevLineFeed(false), m_pendingBytes(0), m_backlogStart(0) {
#ifdef _WIN32
    if (!m_socket) m_socket = new CVKSocket;
#endif
}

CVQChat::~CVQChat() {
    Disconnect();
    delete m_socket;
}

void CVQChat::CreateSocket() {
    if (m_socket) m_socket->Create();
}

void CVQChat::ResetSplitter() {
    m_current.clear();
    m_line.clear();
    m_prevLineFeed = false;
    m_pendingBytes = 0;
    m_backlog.clear();
    m_backlogStart = 0;
}

void CVQChat::Disconnect() {
    ResetSplitter();
    m_connectRequested = 0;
    if (m_socket) m_socket->Close();
    m_queue.clear();
}

void CVQChat::Connect(const CVKString& host, unsigned short port) {
    if (!m_socket) return;
    m_socket->Close();
    m_socket->Create();
    // Bytes of an earlier connection never join this one's messages.
    ResetSplitter();
    m_socket->Connect(host, port);
    m_connectRequested = 1;
}

size_t CVQChat::Feed(const unsigned char* bytes, size_t count, bool* tooLong) {
    for (size_t i = 0; i < count; ++i) {
        unsigned char c = bytes[i];
        if (c == '\r') {
            // Skipped, but it still counts as the previous byte.
            m_prevLineFeed = false;
        } else if (c == '\n') {
            if (m_prevLineFeed) {
                // The queue is full: this message waits until the owner pops.
                if (m_queue.size() >= kMaxQueued) return i;
                m_queue.push_back(std::move(m_current));
                m_current.clear();
            } else {
                m_current.push_back(std::move(m_line));
                m_line.clear();
            }
            m_prevLineFeed = true;
        } else {
            m_line.push_back(static_cast<char>(c));
            m_prevLineFeed = false;
        }
        if (m_current.empty() && m_line.empty() && c == '\n') {
            m_pendingBytes = 0;  // a message just ended
        } else if (++m_pendingBytes > kMaxMessageBytes) {
            if (tooLong) *tooLong = true;
            return i + 1;
        }
    }
    return count;
}

void CVQChat::DropConnection(const char* why) {
    LogMessage("CVQChat::Pump(): %s, connection dropped\r\n", why);
    // The connection shows as lost and is reported once, after the messages
    // already queued.
    ResetSplitter();
    if (m_socket) m_socket->Close();
}

void CVQChat::SplitBacklog() {
    if (m_backlogStart >= m_backlog.size()) return;
    bool tooLong = false;
    m_backlogStart += Feed(reinterpret_cast<const unsigned char*>(m_backlog.data()) + m_backlogStart,
                           m_backlog.size() - m_backlogStart, &tooLong);
    if (tooLong) {
        DropConnection("Message too long");
        return;
    }
    if (m_backlogStart >= m_backlog.size()) {
        m_backlog.clear();
        m_backlogStart = 0;
    } else if (m_backlogStart > m_backlog.size() / 2) {
        m_backlog.erase(0, m_backlogStart);
        m_backlogStart = 0;
    }
}

void CVQChat::Pump() {
    if (!m_socket) return;
    m_socket->Pump();
    // When the connection is lost, whatever it left is taken too (until the
    // loss is reported): the last message before a reset is often the one
    // that explains it.
    unsigned state = m_socket->GetState();
    if ((state & VKSOCK_DATA) || (m_connectRequested && !(state & (VKSOCK_CONNECTED | VKSOCK_CONNECTING)))) {
        unsigned char* bytes = nullptr;
        int count = 0;
        m_socket->Receive(&bytes, &count);
        if (bytes && count > 0) {
            if (m_backlog.size() - m_backlogStart + static_cast<size_t>(count) > kMaxBacklogBytes) {
                free(bytes);
                DropConnection("Too much unread");
                return;
            }
            m_backlog.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count));
        }
        free(bytes);
    }
    SplitBacklog();
}

namespace {
struct NameCode {
    const char* name;
    int code;
};
const NameCode kNames[] = {
    {"LOGIN OK", kChatLoginOk},
    {"LOGIN FAILED", kChatLoginFailed},
    {"FRIENDS LIST", kChatFriendsList},
    {"FRIEND CONNECTION STATUS", kChatFriendStatus},
    {"START CHAT FAILED", kChatStartChatFailed},
    {"CHAT SESSION", kChatSession},
    {"CHAT SESSION SEND FAILED", kChatSendFailed},
    {"CHAT SESSION MESSAGE", kChatSessionMessage},
    {"CHAT SESSION TERMINATED", kChatSessionTerminated},
    {"LEAVE CHAT OK", kChatLeaveChatOk},
    {"VIEW DESKTOP OK", kChatViewDesktopOk},
    {"DESKTOP ID", kChatDesktopId},
    {"SHARE DESKTOP", kChatShareDesktop},
    {"REQUEST VOICE OK", kChatRequestVoiceOk},
    {"REQUEST VOICE FAILED", kChatRequestVoiceFailed},
    {"VOICE", kChatVoice},
};

// A port received from the server: 1 to 65535, anything else is 0.
int PortValue(const std::string& line) {
    int port = VKParseInt(line.c_str());
    return port >= 1 && port <= 65535 ? port : 0;
}
}  // namespace

int CVQChat::PeekMessageType() {
    if (m_queue.empty()) {
        if (m_connectRequested && m_socket && !(m_socket->GetState() & (VKSOCK_CONNECTED | VKSOCK_CONNECTING))) {
            m_connectRequested = 0;
            return kChatConnectionLost;
        }
        return kChatNone;
    }
    const Message& m = m_queue.front();
    if (m.empty()) return kChatUnknown;
    for (const NameCode& n : kNames)
        if (m[0] == n.name) return n.code;
    return kChatUnknown;
}

void CVQChat::PopMessage() {
    if (m_queue.empty()) return;
    m_queue.pop_front();
    // Messages held back while the queue was full move up.
    SplitBacklog();
}

const CVQChat::Message* CVQChat::Front(const char* name, size_t minLines) const {
    if (m_queue.empty()) return nullptr;
    const Message& m = m_queue.front();
    if (m.size() < minLines || m.empty() || m[0] != name) return nullptr;
    return &m;
}

int CVQChat::GetLoginResult(int* success, CVKString* error, CVKString* server, int* port) {
    const Message* m = Front("LOGIN OK", 1);
    if (m) {
        if (success) *success = 1;
        if (error) error->Set("");
        bool full = m->size() >= 4;
        if (server) server->Set(full ? (*m)[2].c_str() : "");
        if (port) *port = full ? PortValue((*m)[3]) : 0;
        return 1;
    }
    m = Front("LOGIN FAILED", 1);
    if (!m) return 0;
    if (success) *success = 0;
    if (error) error->Set(m->size() >= 2 ? (*m)[1].c_str() : "");
    if (server) server->Set("");
    if (port) *port = 0;
    return 1;
}

int CVQChat::GetFriendsList(CVKPtrList* groups) {
    const Message* m = Front("FRIENDS LIST", 2);
    if (!m || !groups) return 0;
    const Message& lines = *m;
    size_t at = 1;
    // Every count is checked against the lines left before anything is read,
    // so a hostile count can neither overrun the message nor allocate much.
    auto readCount = [&](int* out) -> bool {
        if (at >= lines.size()) return false;
        int n = VKParseInt(lines[at++].c_str());
        if (n < 0 || static_cast<size_t>(n) > lines.size() - at) return false;
        *out = n;
        return true;
    };
    auto readNames = [&](int n, CVKPtrList* into) {
        for (int i = 0; i < n; ++i) into->Insert(new CVKString(lines[at++].c_str()));
    };
    CVKPtrList result;
    int groupCount = 0;
    bool ok = readCount(&groupCount);
    for (int g = 0; ok && g < groupCount; ++g) {
        if (at >= lines.size()) {
            ok = false;
            break;
        }
        FriendGroup* group = new FriendGroup;
        result.Insert(group);
        group->name.Set(lines[at++].c_str());
        int n = 0;
        if (!readCount(&n)) {
            ok = false;
            break;
        }
        readNames(n, &group->online);
        if (!readCount(&n)) {
            ok = false;
            break;
        }
        readNames(n, &group->offline);
    }
    if (!ok) {
        FreeFriendGroups(&result);
        return 0;
    }
    for (int i = 0; i < result.Count(); ++i) groups->Insert(result.Get(i));
    return 1;
}

int CVQChat::GetFriendStatus(CVKString* name, int* online) {
    const Message* m = Front("FRIEND CONNECTION STATUS", 3);
    if (!m) return 0;
    if (name) name->Set((*m)[1].c_str());
    if (online) *online = (*m)[2] == "Logon" ? 1 : 0;
    return 1;
}

int CVQChat::GetStartChatFailure(CVKString* reason) {
    const Message* m = Front("START CHAT FAILED", 1);
    if (!m) return 0;
    if (reason) reason->Set(m->size() >= 2 ? (*m)[1].c_str() : "");
    return 1;
}

int CVQChat::GetChatSession(int* session, CVKPtrList* members) {
    const Message* m = Front("CHAT SESSION", 3);
    if (!m) return 0;
    int count = VKParseInt((*m)[2].c_str());
    if (count < 0 || static_cast<size_t>(count) > m->size() - 3) return 0;
    if (session) *session = VKParseInt((*m)[1].c_str());
    if (members)
        for (int i = 0; i < count; ++i) members->Insert(new CVKString((*m)[3 + i].c_str()));
    return 1;
}

int CVQChat::GetSendFailure(int* session, CVKString* reason) {
    const Message* m = Front("CHAT SESSION SEND FAILED", 2);
    if (!m) return 0;
    if (session) *session = VKParseInt((*m)[1].c_str());
    if (reason) reason->Set(m->size() >= 3 ? (*m)[2].c_str() : "");
    return 1;
}

int CVQChat::GetChatMessage(int* session, CVKString* sender, CVKString* text) {
    const Message* m = Front("CHAT SESSION MESSAGE", 4);
    if (!m) return 0;
    if (session) *session = VKParseInt((*m)[1].c_str());
    if (sender) sender->Set((*m)[2].c_str());
    if (text) text->Set((*m)[3].c_str());
    return 1;
}

int CVQChat::GetTerminatedSession(int* session) {
    const Message* m = Front("CHAT SESSION TERMINATED", 2);
    if (!m) return 0;
    if (session) *session = VKParseInt((*m)[1].c_str());
    return 1;
}

int CVQChat::GetShareDesktopRequest(CVKString* name, int* start) {
    const Message* m = Front("SHARE DESKTOP", 3);
    if (!m) return 0;
    const std::string& word = (*m)[2];
    if (word != "Start" && word != "Stop") return 0;
    if (name) name->Set((*m)[1].c_str());
    if (start) *start = word == "Start" ? 1 : 0;
    return 1;
}

int CVQChat::GetDesktopId(CVKString* name, int* session, CVKString* server, int* port) {
    const Message* m = Front("DESKTOP ID", 5);
    if (!m) return 0;
    if (name) name->Set((*m)[1].c_str());
    if (session) *session = VKParseInt((*m)[2].c_str());
    if (server) server->Set((*m)[3].c_str());
    if (port) *port = PortValue((*m)[4]);
    return 1;
}

int CVQChat::GetVoiceRequestFailure(CVKString* name, CVKString* reason) {
    const Message* m = Front("REQUEST VOICE FAILED", 2);
    if (!m) return 0;
    if (name) name->Set((*m)[1].c_str());
    if (reason) reason->Set(m->size() >= 3 ? (*m)[2].c_str() : "");
    return 1;
}

int CVQChat::GetVoiceRequest(CVKString* name, int* start, int* session, CVKString* server, int* port) {
    const Message* m = Front("VOICE", 6);
    if (!m) return 0;
    if (name) name->Set((*m)[1].c_str());
    if (start) *start = (*m)[2] == "Start" ? 1 : 0;
    if (session) *session = VKParseInt((*m)[3].c_str());
    if (server) server->Set((*m)[4].c_str());
    if (port) *port = PortValue((*m)[5]);
    return 1;
}

// ---- senders ----

namespace {
std::string Num(long long value) {
    char text[32];
    snprintf(text, sizeof text, "%lld", value);
    return text;
}

// Appends one field line; false when the field cannot be one line.
bool AddField(std::string* text, const char* field) {
    if (!VKIsLineField(field)) return false;
    text->append(field);
    text->push_back('\n');
    return true;
}
}  // namespace

int CVQChat::SendText(const std::string& text) {
    if (!m_socket) return 0;
    return m_socket->Send(text.data(), static_cast<int>(text.size()));
}

int CVQChat::SendLogin(const char* user, const char* password, int number) {
    std::string text = "LOGIN\nVERSION 2\n";
    if (!AddField(&text, user) || !AddField(&text, password)) {
        LogMessage("CVQChat::SendLogin(): Refused an empty user name or password, or one with a line break\r\n");
        return 0;
    }
    text += Num(number) + "\n\n";
    return SendText(text);
}

int CVQChat::SendStartChat(const CVKPtrList& names) {
    std::string text = "START CHAT\n" + Num(names.Count()) + "\n";
    for (int i = 0; i < names.Count(); ++i) {
        const CVKString* name = static_cast<const CVKString*>(names.Get(i));
        if (!name || !AddField(&text, name->Get())) {
            LogMessage("CVQChat::SendStartChat(): Refused a user name\r\n");
            return 0;
        }
    }
    text.push_back('\n');
    return SendText(text);
}

int CVQChat::SendChatMessage(int session, const char* sender, const char* text) {
    if (!text || !*text) return 0;
    std::string out = "CHAT SESSION SEND\n" + Num(session) + "\n";
    if (!AddField(&out, sender)) {
        LogMessage("CVQChat::SendChatMessage(): Refused the sender name\r\n");
        return 0;
    }
    // Typed text keeps its words: line breaks become blanks.
    out += VKFlattenLine(text) + "\n\n";
    return SendText(out);
}

int CVQChat::SendViewDesktop(const char* friendName, int start) {
    std::string text = "VIEW DESKTOP\n";
    if (!AddField(&text, friendName)) return 0;
    text += start ? "Start\n\n" : "Stop\n\n";
    return SendText(text);
}

int CVQChat::SendMyDesktopId(const char* friendName, int session, const char* server, int port) {
    std::string text = "MY DESKTOP ID\n";
    if (!AddField(&text, friendName)) return 0;
    text += Num(session) + "\n";
    if (!AddField(&text, server)) return 0;
    text += Num(port) + "\n\n";
    return SendText(text);
}

int CVQChat::SendLeaveChat(int session, const char* user) {
    std::string text = "LEAVE CHAT\n" + Num(session) + "\n";
    if (!AddField(&text, user)) return 0;
    text.push_back('\n');
    return SendText(text);
}

int CVQChat::SendRequestVoice(const char* friendName, int start, int session, const char* server, int port) {
    std::string text = "REQUEST VOICE\n";
    if (!AddField(&text, friendName)) return 0;
    text += start ? "Start\n" : "Stop\n";
    text += Num(session) + "\n";
    // A stop must reach the friend even before the sharing server is known:
    // the friend does not read the address of a stop, but the line may not
    // be empty.
    if (!start && !VKIsLineField(server)) server = "0.0.0.0";
    if (!AddField(&text, server)) return 0;
    text += Num(port) + "\n\n";
    return SendText(text);
}
