#include "CVKSocket.h"

#include <winsock2.h>

#include <cstdlib>
#include <cstring>

#include "VKLog.h"

namespace {
const uintptr_t kNone = static_cast<uintptr_t>(INVALID_SOCKET);
bool g_started = false;  // Winsock started for the stream sockets

bool StartWinsock() {
    if (g_started) return true;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 0), &data) != 0) return false;  // tried again at the next use
    g_started = true;
    return true;
}

bool IsFatal(int error) {
    switch (error) {
    case WSAENETDOWN:
    case WSAENETRESET:
    case WSAECONNABORTED:
    case WSAECONNRESET:
    case WSAENOTCONN:
    case WSAESHUTDOWN:
    case WSAETIMEDOUT:
    case WSANOTINITIALISED: return true;
    default: return false;
    }
}

SOCKET Handle(uintptr_t h) { return static_cast<SOCKET>(h); }
}  // namespace

CVKSocket::CVKSocket(IVKClock* clock)
    : m_handle(kNone),
      m_lastError(0),
      m_port(0),
      m_state(0),
      m_clock(clock ? clock : VKSystemClock()),
      m_attemptsLeft(0),
      m_retryAtMs(0),
      m_waitingRetry(false) {}

CVKSocket::~CVKSocket() { Close(); }

void CVKSocket::RecordError(int error) {
    m_lastError = error;
    m_errorText.Set("Unknown error");
}

int CVKSocket::Create() {
    Close();
    if (!StartWinsock()) {
        RecordError(WSAGetLastError());
        return 0;
    }
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        RecordError(WSAGetLastError());
        return 0;
    }
    u_long nonBlocking = 1;
    linger lin;
    lin.l_onoff = 1;
    lin.l_linger = 0;  // a close resets the connection at once
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0 ||
        setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&lin), sizeof lin) != 0) {
        RecordError(WSAGetLastError());
        closesocket(s);
        return 0;
    }
    m_handle = static_cast<uintptr_t>(s);
    return 1;
}

CVKString CVKSocket::GetErrorText() { return m_errorText; }

void CVKSocket::Close() {
    if (m_handle != kNone) closesocket(Handle(m_handle));
    m_handle = kNone;
    m_state = 0;
    m_lastError = 0;
    m_errorText.Set("");
    m_send.clear();
    m_receive.clear();
    m_host.Set("");
    m_port = 0;
    m_attemptsLeft = 0;
    m_waitingRetry = false;
}

void CVKSocket::Lost() {
    if (m_handle != kNone) closesocket(Handle(m_handle));
    m_handle = kNone;
    m_state &= ~(VKSOCK_CONNECTING | VKSOCK_CONNECTED);
    m_waitingRetry = false;
}

// Starts one connect attempt to the stored host and port.
bool CVKSocket::StartConnect() {
    if (!StartWinsock()) {
        ConnectFailed(WSANOTINITIALISED);
        return false;
    }
    if (m_handle == kNone) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (s == INVALID_SOCKET) {
            ConnectFailed(WSAGetLastError());
            return false;
        }
        u_long nonBlocking = 1;
        linger lin;
        lin.l_onoff = 1;
        lin.l_linger = 0;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&lin), sizeof lin);
        m_handle = static_cast<uintptr_t>(s);
    }
    sockaddr_in address;
    memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(m_port));
    address.sin_addr.s_addr = inet_addr(m_host.Str());
    if (address.sin_addr.s_addr == INADDR_NONE) {
        hostent* entry = gethostbyname(m_host.Str());
        if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0]) {
            int error = WSAGetLastError();
            RecordError(error ? error : WSAHOST_NOT_FOUND);
            if (error != WSAEINPROGRESS) {
                m_state &= ~VKSOCK_CONNECTING;
                m_state |= VKSOCK_ERROR;
            }
            return false;
        }
        memcpy(&address.sin_addr, entry->h_addr_list[0], sizeof address.sin_addr);
    }
    m_attemptsLeft--;
    m_state |= VKSOCK_CONNECTING;
    if (connect(Handle(m_handle), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        // Connected at once (loopback may do that).
        m_state &= ~VKSOCK_CONNECTING;
        m_state |= VKSOCK_CONNECTED;
        return true;
    }
    int error = WSAGetLastError();
    RecordError(error);
    switch (error) {
    case WSAEINVAL:
    case WSAEWOULDBLOCK:
    case WSAEALREADY: return true;  // finishing in the background
    case WSAEISCONN:
        m_state &= ~VKSOCK_CONNECTING;
        m_state |= VKSOCK_CONNECTED;
        return true;
    default: ConnectFailed(error); return false;
    }
}

// A failed attempt: another one later while attempts are left, else the
// socket gives up and shows as not connected.
void CVKSocket::ConnectFailed(int error) {
    RecordError(error);
    m_state |= VKSOCK_ERROR;
    if (m_handle != kNone) closesocket(Handle(m_handle));
    m_handle = kNone;
    if (m_attemptsLeft > 0) {
        m_waitingRetry = true;
        m_retryAtMs = m_clock->Millis() + kRetryDelayMs;
        m_state |= VKSOCK_CONNECTING;
    } else {
        LogMessage("CVKSocket::Connect(): Could not connect to %s:%u (error %d)\r\n", m_host.Str(), m_port, error);
        m_waitingRetry = false;
        m_state &= ~(VKSOCK_CONNECTING | VKSOCK_CONNECTED);
    }
}

void CVKSocket::Connect(const CVKString& host, unsigned short port) {
    if (host.Length() == 0 || port == 0) return;
    m_host = host;
    m_port = port;
    m_attemptsLeft = kConnectAttempts;
    m_waitingRetry = false;
    StartConnect();
}

int CVKSocket::Send(const void* bytes, int count) {
    if (!bytes || count <= 0) return 1;
    if (m_send.size() + static_cast<size_t>(count) > static_cast<size_t>(kVKSocketMaxSendBuffer)) {
        LogMessage("CVKSocket::Send(): Send buffer full, connection dropped\r\n");
        m_send.clear();
        m_state &= ~VKSOCK_SEND_PENDING;
        m_state |= VKSOCK_ERROR;
        Lost();
        return 0;
    }
    m_send.append(static_cast<const char*>(bytes), static_cast<size_t>(count));
    m_state |= VKSOCK_SEND_PENDING;
    return 1;
}

void CVKSocket::Receive(unsigned char** bytes, int* count) {
    size_t n = m_receive.size();
    unsigned char* out = static_cast<unsigned char*>(malloc(n ? n : 1));
    if (out && n) memcpy(out, m_receive.data(), n);
    if (bytes)
        *bytes = out;
    else
        free(out);
    if (count) *count = out ? static_cast<int>(n) : 0;
    m_receive.clear();
    m_state &= ~VKSOCK_DATA;
}

void CVKSocket::CheckFatal() {
    int error = WSAGetLastError();
    WSASetLastError(0);
    if (error == 0 || error == WSAEWOULDBLOCK) return;
    RecordError(error);
    if (IsFatal(error)) {
        Lost();
        // Bytes that arrived before the reset are still the owner's: the
        // last message before a reset is often the one that explains it.
        m_state = m_receive.empty() ? 0 : VKSOCK_DATA;
    }
    m_state |= VKSOCK_ERROR;
}

// Reads until the platform has nothing more; false when the peer closed.
bool CVKSocket::ReadAll() {
    char buffer[0x4000];
    for (;;) {
        int n = recv(Handle(m_handle), buffer, sizeof buffer, 0);
        if (n > 0) {
            if (m_receive.size() + static_cast<size_t>(n) > static_cast<size_t>(kVKSocketMaxReceiveBuffer)) {
                LogMessage("CVKSocket::Pump(): Receive buffer full, connection dropped\r\n");
                m_state |= VKSOCK_ERROR;
                Lost();
                return false;
            }
            m_receive.append(buffer, static_cast<size_t>(n));
            m_state |= VKSOCK_DATA;
            continue;
        }
        if (n == 0) {
            Lost();
            return false;
        }
        return true;
    }
}

int CVKSocket::Pump() {
    m_state &= ~VKSOCK_ERROR;
    if (!(m_state & (VKSOCK_CONNECTING | VKSOCK_CONNECTED))) return 0;
    if (m_state & VKSOCK_CONNECTING) {
        if (m_waitingRetry) {
            if (m_clock->Millis() < m_retryAtMs) return 0;
            m_waitingRetry = false;
            if (!StartConnect()) return 0;
        }
        if (m_state & VKSOCK_CONNECTING) {
            // Has the connect finished? Writable: up; in the except set or
            // with a pending socket error: failed.
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(Handle(m_handle), &writable);
            FD_SET(Handle(m_handle), &failed);
            timeval zero = {0, 0};
            int n = select(0, nullptr, &writable, &failed, &zero);
            if (n < 0) {
                ConnectFailed(WSAGetLastError());
                return 0;
            }
            int soError = 0;
            int len = sizeof soError;
            getsockopt(Handle(m_handle), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &len);
            if (FD_ISSET(Handle(m_handle), &failed) || soError != 0) {
                ConnectFailed(soError ? soError : WSAECONNREFUSED);
                return 0;
            }
            if (!FD_ISSET(Handle(m_handle), &writable)) return 0;
            m_state &= ~VKSOCK_CONNECTING;
            m_state |= VKSOCK_CONNECTED;
        }
    }
    if (m_handle == kNone) return 0;
    ReadAll();
    CheckFatal();
    while (!m_send.empty() && (m_state & VKSOCK_CONNECTED) && m_handle != kNone) {
        int chunk = m_send.size() > 0x10000 ? 0x10000 : static_cast<int>(m_send.size());
        int n = send(Handle(m_handle), m_send.data(), chunk, 0);
        if (n > 0) {
            m_send.erase(0, static_cast<size_t>(n));
            continue;
        }
        if (n == 0) Lost();
        break;
    }
    CheckFatal();
    if (m_send.empty()) m_state &= ~VKSOCK_SEND_PENDING;
    return 1;
}
