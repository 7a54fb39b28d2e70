#include "CVKUdpSocket.h"

#include <winsock2.h>

#include <cstdlib>
#include <cstring>

#include "VKLog.h"

#ifndef SO_MAX_MSG_SIZE
#define SO_MAX_MSG_SIZE 0x2003
#endif

namespace {
const uintptr_t kNone = static_cast<uintptr_t>(INVALID_SOCKET);
bool g_started = false;  // Winsock started for the datagram sockets
const int kDefaultMaxMessage = 65507;

bool StartWinsock() {
    if (g_started) return true;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 0), &data) != 0) return false;
    g_started = true;
    return true;
}

SOCKET Handle(uintptr_t h) { return static_cast<SOCKET>(h); }
}  // namespace

CVKUdpSocket::CVKUdpSocket()
    : m_handle(kNone), m_maxMessageSize(kDefaultMaxMessage), m_resetIsError(1), m_error(0), m_dropped(0) {}

CVKUdpSocket::~CVKUdpSocket() { Close(); }

void CVKUdpSocket::FreeQueue(std::deque<Node>* queue) {
    for (Node& n : *queue) free(n.data);
    queue->clear();
}

bool CVKUdpSocket::Open() {
    Close();
    if (!StartWinsock()) return false;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) return false;
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        closesocket(s);
        return false;
    }
    int maxSize = 0;
    int len = sizeof maxSize;
    if (getsockopt(s, SOL_SOCKET, SO_MAX_MSG_SIZE, reinterpret_cast<char*>(&maxSize), &len) == 0 && maxSize > 0)
        m_maxMessageSize = maxSize > kDefaultMaxMessage ? kDefaultMaxMessage : maxSize;
    else
        m_maxMessageSize = kDefaultMaxMessage;
    int receiveBuffer = 0x20000;  // bursts of video datagrams survive between pumps
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer), sizeof receiveBuffer);
    m_handle = static_cast<uintptr_t>(s);
    return true;
}

void CVKUdpSocket::Close() {
    if (m_handle != kNone) closesocket(Handle(m_handle));
    m_handle = kNone;
    FreeQueue(&m_sendQueue);
    FreeQueue(&m_receiveQueue);
    m_error = 0;
}

uint32_t CVKUdpSocket::Resolve(const char* host) {
    if (!host || !*host) return kVKAddressNone;
    if (!StartWinsock()) return kVKAddressNone;
    unsigned long address = inet_addr(host);
    if (address != INADDR_NONE) return static_cast<uint32_t>(address);
    hostent* entry = gethostbyname(host);
    if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0]) return kVKAddressNone;
    uint32_t resolved;
    memcpy(&resolved, entry->h_addr_list[0], sizeof resolved);
    return resolved;
}

char* CVKUdpSocket::AddressToText(uint32_t address) {
    in_addr a;
    a.s_addr = address;
    const char* text = inet_ntoa(a);
    char* copy = static_cast<char*>(malloc(text ? strlen(text) + 1 : 1));
    if (copy) strcpy(copy, text ? text : "");
    return copy;
}

bool CVKUdpSocket::Bind(const char* host, unsigned short port) {
    if (m_handle == kNone) return false;
    uint32_t address = Resolve(host);
    if (address == kVKAddressNone) return false;
    sockaddr_in local;
    memset(&local, 0, sizeof local);
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = address;
    return bind(Handle(m_handle), reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
}

unsigned short CVKUdpSocket::GetLocalPort() {
    if (m_handle == kNone) return 0;
    sockaddr_in local;
    int len = sizeof local;
    if (getsockname(Handle(m_handle), reinterpret_cast<sockaddr*>(&local), &len) != 0) return 0;
    return ntohs(local.sin_port);
}

bool CVKUdpSocket::SendTo(uint32_t address, unsigned short port, unsigned char* data, int length) {
    if (address == kVKAddressNone || !data || length <= 0) {
        free(data);
        return false;
    }
    if (static_cast<int>(m_sendQueue.size()) >= kVKUdpMaxQueued) {
        // Nothing drains the queue: drop the new datagram rather than grow.
        free(data);
        m_dropped++;
        m_error = 1;
        return false;
    }
    m_sendQueue.push_back(Node{address, port, data, length});
    return true;
}

bool CVKUdpSocket::SendToHost(const char* host, unsigned short port, unsigned char* data, int length) {
    return SendTo(Resolve(host), port, data, length);
}

bool CVKUdpSocket::ReceiveFrom(uint32_t* address, unsigned short* port, unsigned char** data, int* length) {
    if (m_receiveQueue.empty()) return false;
    Node n = m_receiveQueue.front();
    m_receiveQueue.pop_front();
    if (address) *address = n.address;
    if (port) *port = n.port;
    if (data)
        *data = n.data;
    else
        free(n.data);
    if (length) *length = n.length;
    return true;
}

bool CVKUdpSocket::ReceiveFromHost(char** host, unsigned short* port, unsigned char** data, int* length) {
    uint32_t address = 0;
    if (!ReceiveFrom(&address, port, data, length)) return false;
    if (host) *host = AddressToText(address);
    return true;
}

bool CVKUdpSocket::FlushSendQueue() {
    if (m_handle == kNone) {
        FreeQueue(&m_sendQueue);
        return true;
    }
    for (int sent = 0; !m_sendQueue.empty() && sent < kVKUdpMaxQueued; ++sent) {
        Node& n = m_sendQueue.front();
        sockaddr_in to;
        memset(&to, 0, sizeof to);
        to.sin_family = AF_INET;
        to.sin_port = htons(n.port);
        to.sin_addr.s_addr = n.address;
        int r = sendto(Handle(m_handle), reinterpret_cast<const char*>(n.data), n.length, 0,
                       reinterpret_cast<sockaddr*>(&to), sizeof to);
        if (r == SOCKET_ERROR) {
            int error = WSAGetLastError();
            if (error == WSAEWOULDBLOCK || error == WSAEINPROGRESS) return false;
            // This datagram will never go: drop it so the rest can.
            m_error = 1;
            m_dropped++;
        }
        free(n.data);
        m_sendQueue.pop_front();
    }
    return m_sendQueue.empty();
}

bool CVKUdpSocket::DrainReceive() {
    if (m_handle == kNone) return true;
    // One receive buffer of the maximum message size, reused; each datagram
    // then gets a block of its own size.
    if (m_buffer.size() != static_cast<size_t>(m_maxMessageSize))
        m_buffer.resize(static_cast<size_t>(m_maxMessageSize));
    for (int received = 0; received < kVKUdpMaxPerPump; ++received) {
        sockaddr_in from;
        int fromLen = sizeof from;
        memset(&from, 0, sizeof from);
        int n = recvfrom(Handle(m_handle), reinterpret_cast<char*>(m_buffer.data()), m_maxMessageSize, 0,
                         reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n == SOCKET_ERROR) {
            int error = WSAGetLastError();
            if (error == WSAEWOULDBLOCK || error == WSAEINPROGRESS) return true;
            if ((error == WSAECONNRESET || error == WSAECONNREFUSED) && !m_resetIsError) continue;
            if (error == WSAEMSGSIZE) continue;  // too large for any message of ours
            m_error = 1;
            return false;
        }
        if (n <= 0) continue;
        unsigned char* data = static_cast<unsigned char*>(malloc(static_cast<size_t>(n)));
        if (!data) return false;
        memcpy(data, m_buffer.data(), static_cast<size_t>(n));
        if (static_cast<int>(m_receiveQueue.size()) >= kVKUdpMaxQueued) {
            // The owner does not keep up: the oldest datagram goes.
            free(m_receiveQueue.front().data);
            m_receiveQueue.pop_front();
            m_dropped++;
        }
        m_receiveQueue.push_back(Node{from.sin_addr.s_addr, ntohs(from.sin_port), data, n});
    }
    return true;
}

bool CVKUdpSocket::Pump() {
    bool drained = DrainReceive();
    bool flushed = FlushSendQueue();
    return drained && flushed;
}

int CVKUdpSocket::Wait(int seconds) {
    if (!m_receiveQueue.empty()) return 1;
    if (m_handle == kNone) return 0;
    fd_set readable, writable;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_SET(Handle(m_handle), &readable);
    if (!m_sendQueue.empty()) FD_SET(Handle(m_handle), &writable);
    timeval limit = {seconds, 0};
    int n = select(0, &readable, m_sendQueue.empty() ? nullptr : &writable, nullptr, seconds > 0 ? &limit : nullptr);
    return n > 0 ? n : 0;
}
