#include "CVQVSClient.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "CVKDatagramParser.h"
#include "VKLog.h"
#include "VKNetText.h"
#ifdef _WIN32
#include "CVKUdpSocket.h"
#endif

namespace {
const int kLoginAttempts = 5;
const int64_t kLoginRetrySeconds = 5;
const int64_t kSilenceSeconds = 10;
const int kMaxUnansweredEchoes = 2;
// More "ECHO" messages than this between two turns are answered this often.
const int kMaxEchoesOwed = 16;

std::string Num(long long value) {
    char text[32];
    snprintf(text, sizeof text, "%lld", value);
    return text;
}
}  // namespace

CVQVSClient::CVQVSClient(IVKDatagramSocket* socket, IVKClock* clock)
    : m_open(0),
      m_socket(socket),
      m_clock(clock ? clock : VKSystemClock()),
      m_serverAddress(kVKAddressNone),
      m_serverPort(0),
      m_session(0),
      m_echoesOwed(0),
      m_logoutRequested(0),
      m_loggedIn(0),
      m_loginAttemptsLeft(0),
      m_lastLoginTime(0),
      m_lastHeard(0),
      m_unansweredEchoes(0),
      m_width(0),
      m_height(0),
      m_frameRate(0),
      m_channels(0),
      m_samplesPerSec(0),
      m_bitsPerSample(0) {
#ifdef _WIN32
    if (!m_socket) m_socket = new CVKUdpSocket;
#endif
}

CVQVSClient::~CVQVSClient() {
    ClearViewers();
    if (m_socket) m_socket->Close();
    delete m_socket;
}

int CVQVSClient::Open() {
    Guard guard(m_lock);
    Close();
    if (!m_socket || !m_socket->Open()) return 0;
    m_open = 1;
    return 1;
}

void CVQVSClient::Close() {
    Guard guard(m_lock);
    if (m_socket) m_socket->Close();
    m_outgoing.clear();
    // A closed client is neither logged in nor trying to be.
    ResetSession();
    m_loginAttemptsLeft = 0;
    m_open = 0;
}

void CVQVSClient::SetServer(const char* host, int port) {
    Guard guard(m_lock);
    m_serverHost.Set(host);
    m_serverPort = port >= 1 && port <= 65535 ? port : 0;
    m_serverAddress = m_socket && host && *host ? m_socket->Resolve(host) : kVKAddressNone;
}

void CVQVSClient::ClearViewers() {
    for (int i = 0; i < m_viewers.Count(); ++i) delete static_cast<CVKString*>(m_viewers.Get(i));
    m_viewers.Clear();
}

void CVQVSClient::ResetSession() {
    m_session = 0;
    m_loggedIn = 0;
    m_sessionPrefix.clear();
    ClearViewers();
}

// Session 0 given by the server is a session like any other and is named in
// every datagram; only a reset session (ResetSession) has no prefix.
void CVQVSClient::BuildSessionPrefix() { m_sessionPrefix = "SESSION\n" + Num(m_session) + "\n\n"; }

void CVQVSClient::Append(const void* bytes, size_t length) {
    if (m_outgoing.empty()) m_outgoing = m_sessionPrefix;
    m_outgoing.append(static_cast<const char*>(bytes), length);
}

void CVQVSClient::SendDirect(const std::string& text) {
    if (!m_socket || text.empty()) return;
    unsigned char* data = static_cast<unsigned char*>(malloc(text.size()));
    if (!data) return;
    memcpy(data, text.data(), text.size());
    m_socket->SendTo(m_serverAddress, static_cast<unsigned short>(m_serverPort), data, static_cast<int>(text.size()));
}

void CVQVSClient::FlushOutgoing() {
    if (!IsActive()) {
        m_outgoing.clear();
        return;
    }
    if (m_outgoing.size() > m_sessionPrefix.size()) {
        SendDirect(m_outgoing);
        m_outgoing.clear();
    }
}

void CVQVSClient::StartDatagram() {
    m_outgoing.clear();
    if (m_loggedIn) {
        m_outgoing = m_sessionPrefix;
        SendControl();
    }
}

void CVQVSClient::SendControl() {
    for (; m_echoesOwed > 0; --m_echoesOwed) Append(std::string("ECHO REPLY\n\n"));
    if (m_logoutRequested) {
        // The answer goes out at once, in the session that is ending: once the
        // session is reset the client is inactive and would drop it.
        Append(std::string("LOGOUT OK\n\n"));
        SendDirect(m_outgoing);
        m_outgoing.clear();
        ResetSession();
        m_logoutRequested = 0;
    }
    int64_t now = m_clock->Seconds();
    if (now <= m_lastHeard + kSilenceSeconds) return;
    if (m_unansweredEchoes > kMaxUnansweredEchoes) {
        ResetSession();
        return;
    }
    m_unansweredEchoes++;
    m_lastHeard = now;
    Append(std::string("ECHO\n\n"));
}

void CVQVSClient::Logout() {
    Guard guard(m_lock);
    if (m_open && m_socket) {
        SendDirect("LOGOUT\n\n");
        // Sent now, not at the next Update: a client is often closed right
        // after its logout (a call hung up, a view closed), and closing the
        // socket drops what it still queues; the server would go on counting
        // a listener that is gone.
        m_socket->FlushSendQueue();
    }
    ResetSession();
    m_loginAttemptsLeft = 0;
}

int CVQVSClient::NextNonce() {
    static uint32_t state = 0;
    if (!state) state = static_cast<uint32_t>(VKSystemClock()->Millis()) | 1u;
    state = state * 1664525u + 1013904223u;
    return static_cast<int>((state >> 4) % 10000000u);
}

int CVQVSClient::SendLogin(const char* user, const char* password, const std::string& tail) {
    Guard guard(m_lock);
    if (!m_open || IsActive()) return 0;
    if (!VKIsLineField(user) || !VKIsLineField(password)) {
        LogMessage("CVQVSClient::Login(): Refused an empty user name or password, or one with a line break\r\n");
        return 0;
    }
    m_loginText = std::string("LOGIN\nVERSION 1\n") + user + "\n" + password + "\n" + tail;
    SendDirect(m_loginText);
    m_loginAttemptsLeft = kLoginAttempts;
    m_lastLoginTime = m_clock->Seconds();
    // A new login starts a new keep-alive count.
    m_unansweredEchoes = 0;
    m_lastHeard = m_lastLoginTime;
    return 1;
}

int CVQVSClient::Update() {
    Guard guard(m_lock);
    if (!m_open) return 0;
    m_socket->DrainReceive();
    ProcessIncoming();
    int64_t now = m_clock->Seconds();
    if (!m_loggedIn && m_loginAttemptsLeft > 0 && now >= m_lastLoginTime + kLoginRetrySeconds) {
        StartDatagram();
        Append(m_loginText);
        m_loginAttemptsLeft--;
        m_lastLoginTime = now;
    }
    SendControl();
    FlushOutgoing();
    return m_socket->FlushSendQueue() ? 1 : 0;
}

void CVQVSClient::ProcessIncoming() {
    int frames = 0;
    for (int handled = 0; handled < kMaxDatagramsPerUpdate && frames < kMaxFramesPerUpdate; ++handled) {
        uint32_t address = 0;
        unsigned short port = 0;
        unsigned char* data = nullptr;
        int length = 0;
        if (!m_socket->ReceiveFrom(&address, &port, &data, &length)) break;
        if (address != m_serverAddress || port != m_serverPort || !data || length <= 0) {
            free(data);
            continue;
        }
        m_lastHeard = m_clock->Seconds();
        CVKDatagramParser parser(data, static_cast<size_t>(length));
        for (int i = 0; i < parser.GetMessageCount(); ++i) {
            int lines = parser.GetLineCount(i);
            if (lines == 0) break;
            const char* name = parser.GetLine(i, 0);
            if (!strcmp(name, "SESSION")) {
                if (lines >= 2 && VKParseInt(parser.GetLine(i, 1)) != m_session) break;
            } else if (!strcmp(name, "ECHO")) {
                if (m_echoesOwed < kMaxEchoesOwed) m_echoesOwed++;
            } else if (!strcmp(name, "ECHO REPLY")) {
                m_unansweredEchoes = 0;
            } else if (!strcmp(name, "FRAME")) {
                ++frames;
                OnFrame(parser, i);
            } else if (!strcmp(name, "LOGOUT")) {
                m_logoutRequested = 1;
            } else if (!strcmp(name, "LOGIN OK")) {
                // Only an answer to a login still being tried (or a repeat
                // of the one accepted): a late answer after Logout or after
                // the client gave up does not log it in again.
                if (lines >= 10 && (m_loginAttemptsLeft > 0 || m_loggedIn)) OnLoginOk(parser, i);
            } else if (!strcmp(name, "LOGIN FAILED")) {
                m_errorText.Set(lines >= 3 ? parser.GetLine(i, 2) : "");
            } else if (!strcmp(name, "SESSION INVALID")) {
                if (lines >= 2 && VKParseInt(parser.GetLine(i, 1)) == m_session) {
                    ResetSession();
                    m_errorText.Set(lines >= 3 ? parser.GetLine(i, 2) : "");
                }
            } else if (!strcmp(name, "NEW SESSION")) {
                if (lines >= 2) {
                    int session = VKParseInt(parser.GetLine(i, 1));
                    if (session < 0) {
                        ResetSession();
                    } else {
                        m_session = session;
                        BuildSessionPrefix();
                    }
                }
            } else if (!strcmp(name, "VIEWERS")) {
                if (lines >= 2) {
                    int count = VKParseInt(parser.GetLine(i, 1));
                    if (count >= 0 && count <= lines - 2) {
                        ClearViewers();
                        for (int v = 0; v < count; ++v) m_viewers.Insert(new CVKString(parser.GetLine(i, 2 + v)));
                    }
                }
            }
        }
        free(data);
    }
}

void CVQVSClient::OnLoginOk(const CVKDatagramParser& parser, int message) {
    int session = VKParseInt(parser.GetLine(message, 2));
    m_session = session > 0 ? session : 0;
    BuildSessionPrefix();
    m_loginAttemptsLeft = 0;
    m_width = VKParseInt(parser.GetLine(message, 3));
    m_height = VKParseInt(parser.GetLine(message, 4));
    m_frameRate = VKParseInt(parser.GetLine(message, 5));
    m_channels = VKParseInt(parser.GetLine(message, 6));
    m_samplesPerSec = VKParseInt(parser.GetLine(message, 7));
    int bytesPerSample = VKParseInt(parser.GetLine(message, 8));
    m_bitsPerSample = bytesPerSample == 1 || bytesPerSample == 2 ? bytesPerSample * 8 : 0;
    m_gameNumber.Set(parser.GetLine(message, 9));
    bool ok = m_width > 0 && m_width <= kMaxPictureSide && m_height > 0 && m_height <= kMaxPictureSide &&
              m_frameRate > 0 && m_frameRate <= 1000 && m_samplesPerSec >= 8000 && m_samplesPerSec <= 100000 &&
              (m_channels == 1 || m_channels == 2) && (m_bitsPerSample == 8 || m_bitsPerSample == 16);
    if (!ok) {
        LogMessage("CVQVSClient::OnLoginOk(): Stream parameters out of range, logging out\r\n");
        Logout();
        return;
    }
    m_loggedIn = 1;
    m_logoutRequested = 0;
    m_unansweredEchoes = 0;
    m_lastHeard = m_clock->Seconds();
}

// ---- sharer ----

CVQShareVS::CVQShareVS(IVKDatagramSocket* socket, IVKClock* clock) : CVQVSClient(socket, clock) {}

CVQShareVS::~CVQShareVS() { ClearOptions(); }

void CVQShareVS::AddOption(const CVKString& option) {
    Guard guard(m_lock);
    m_options.Insert(new CVKString(option));
}

void CVQShareVS::ClearOptions() {
    Guard guard(m_lock);
    for (int i = 0; i < m_options.Count(); ++i) delete static_cast<CVKString*>(m_options.Get(i));
    m_options.Clear();
}

int CVQShareVS::Login(const char* user, const char* password) {
    Guard guard(m_lock);
    const char* game = m_gameNumber.Length() ? m_gameNumber.Str() : "0";
    if (!VKIsLineField(game)) return 0;
    std::string tail = "SHARE\n" + Num(NextNonce()) + "\n" + Num(m_width) + "\n" + Num(m_height) + "\n" +
                       Num(m_frameRate) + "\n" + Num(m_channels) + "\n" + Num(m_samplesPerSec) + "\n" +
                       Num(m_bitsPerSample / 8) + "\n" + game + "\n" + Num(m_options.Count()) + "\n";
    for (int i = 0; i < m_options.Count(); ++i) {
        const char* option = static_cast<CVKString*>(m_options.Get(i))->Get();
        if (!VKIsLineField(option)) {
            LogMessage("CVQShareVS::Login(): Refused an option\r\n");
            return 0;
        }
        tail += std::string(option) + "\n";
    }
    tail += "\n";
    return SendLogin(user, password, tail);
}

void CVQShareVS::RequestViewers() {
    Guard guard(m_lock);
    if (m_loggedIn) Append(std::string("REQUEST VIEWERS\n\n"));
}

void CVQShareVS::RefreshSession() {
    Guard guard(m_lock);
    if (m_loggedIn) Append(std::string("REFRESH SESSION\n\n"));
}

int CVQShareVS::SendVideoPacket(const unsigned char* data, int size, int flags, int64_t timestamp) {
    return SendPacket(data, size, flags, timestamp, 0);
}

int CVQShareVS::SendAudioPacket(const unsigned char* data, int size, int flags, int64_t timestamp) {
    return SendPacket(data, size, flags, timestamp, 1);
}

int CVQShareVS::SendOtherPacket(const unsigned char* data, int size, int flags, int64_t timestamp) {
    return SendPacket(data, size, flags, timestamp, 2);
}

int CVQShareVS::SendPacket(const unsigned char* data, int size, int flags, int64_t timestamp, int kind) {
    Guard guard(m_lock);
    if (!m_loggedIn || !m_socket || !data || size <= 0 || kind < 0 || kind > 2) return 0;
    if (size > CVQPacketCache::kMaxPacketSize) {
        LogMessage("CVQShareVS::SendPacket(): Packet of %d bytes too large\r\n", size);
        return 0;
    }
    static const char kLetters[3][2] = {{'v', 'V'}, {'a', 'A'}, {'s', 'S'}};
    char letter = kLetters[kind][flags & 1];
    if (m_outgoing.empty()) StartDatagram();
    const int64_t maxSize = m_socket->GetMaxMessageSize();
    bool fresh = false;
    int offset = 0;
    while (offset < size) {
        char header[128];
        // The header's text with a piece length of 10 digits: the most it
        // can take, so a datagram never grows past the maximum size.
        int reserve = snprintf(header, sizeof header, "FRAME\n%c\n%d\n%d\n%" PRId64 "\n%010d\n", letter, offset, size,
                               timestamp, 0) +
                      2;
        if (reserve < 48) reserve = 48;
        int64_t room = maxSize - (static_cast<int64_t>(m_outgoing.size()) + reserve);
        int64_t piece = room < size - offset ? room : size - offset;
        if (piece > 0) {
            int n = snprintf(header, sizeof header, "FRAME\n%c\n%d\n%d\n%" PRId64 "\n%d\n", letter, offset, size,
                             timestamp, static_cast<int>(piece));
            Append(header, static_cast<size_t>(n));
            Append(data + offset, static_cast<size_t>(piece));
            Append("\n\n", 2);
            offset += static_cast<int>(piece);
            if (offset >= size) break;
        } else if (fresh) {
            LogMessage("CVQShareVS::SendPacket(): Datagram size %d leaves no room for data\r\n",
                       static_cast<int>(maxSize));
            return 0;
        }
        FlushOutgoing();
        StartDatagram();
        fresh = piece <= 0;
    }
    return 1;
}

// ---- viewer ----

CVQViewVS::CVQViewVS(IVKDatagramSocket* socket, IVKClock* clock)
    : CVQVSClient(socket, clock),
      m_viewSession(0),
      m_currentKind(0),
      m_currentTimestamp(0),
      m_currentData(nullptr),
      m_currentLength(0) {
    m_cache.SetCapacity(10);
}

CVQViewVS::~CVQViewVS() { FreeCurrent(); }

void CVQViewVS::FreeCurrent() {
    if (m_currentData) VQPacketFree(m_currentData);
    m_currentData = nullptr;
    m_currentLength = 0;
    m_currentKind = 0;
}

void CVQViewVS::Close() {
    Guard guard(m_lock);
    CVQVSClient::Close();
    m_cache.Clear();
    FreeCurrent();
}

int CVQViewVS::Update() {
    Guard guard(m_lock);
    if (!m_open) return 0;
    StartDatagram();
    return CVQVSClient::Update();
}

int CVQViewVS::Login(const char* user, const char* password) {
    Guard guard(m_lock);
    return SendLogin(user, password, "VIEW\n" + Num(NextNonce()) + "\n" + Num(m_viewSession) + "\n\n");
}

void CVQViewVS::OnFrame(const CVKDatagramParser& parser, int message) {
    if (parser.GetLineCount(message) < 7) return;
    char kind = parser.GetLine(message, 1)[0];
    if (kind != 'A' && kind != 'V' && kind != 'a' && kind != 'v') return;
    int64_t offset = VKParseInt64(parser.GetLine(message, 2));
    int64_t total = VKParseInt64(parser.GetLine(message, 3));
    int64_t timestamp = VKParseInt64(parser.GetLine(message, 4));
    int64_t length = VKParseInt64(parser.GetLine(message, 5));
    if (total < 1 || total > CVQPacketCache::kMaxPacketSize || offset < 0 || offset >= total || timestamp < 0 ||
        length <= 0 || length > total || offset + length > total || length != parser.GetLineLength(message, 6))
        return;
    m_cache.AddChunk(kind, static_cast<int>(offset), static_cast<int>(total), timestamp, parser.GetLine(message, 6),
                     static_cast<int>(length));
}

int CVQViewVS::TakePacket(bool audio, unsigned char** data, int* length, int64_t* timestamp) {
    Guard guard(m_lock);
    while (!m_currentData) {
        char kind = 0;
        int64_t ts = 0;
        unsigned char* block = nullptr;
        int size = 0;
        if (!m_cache.TakePacket(&kind, &ts, &block, &size)) return 0;
        if (kind == 'A' || kind == 'a' || kind == 'V' || kind == 'v') {
            m_currentKind = kind;
            m_currentTimestamp = ts;
            m_currentData = block;
            m_currentLength = size;
        } else {
            VQPacketFree(block);
        }
    }
    bool isAudio = m_currentKind == 'A' || m_currentKind == 'a';
    if (isAudio != audio) return 0;
    if (data)
        *data = m_currentData;
    else
        VQPacketFree(m_currentData);
    if (length) *length = m_currentLength;
    if (timestamp) *timestamp = m_currentTimestamp;
    m_currentData = nullptr;
    m_currentLength = 0;
    m_currentKind = 0;
    return 1;
}

int CVQViewVS::TakeAudioPacket(unsigned char** data, int* length, int64_t* timestamp) {
    return TakePacket(true, data, length, timestamp);
}

int CVQViewVS::TakeVideoPacket(unsigned char** data, int* length, int64_t* timestamp) {
    return TakePacket(false, data, length, timestamp);
}
