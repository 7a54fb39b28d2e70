#pragma once
#include <cstdint>

// A non-blocking UDP socket with queues on both sides, pumped by its owner.
// CVKUdpSocket is the Winsock one; tests use in-memory fakes. Addresses are
// IPv4 in network byte order, 0xFFFFFFFF ("none") when unresolvable; ports in
// host order.
class IVKDatagramSocket {
public:
    virtual ~IVKDatagramSocket() {}
    virtual bool Open() = 0;
    virtual void Close() = 0;
    // Queues a datagram; the queue takes the malloc'ed data (also on failure).
    virtual bool SendTo(uint32_t address, unsigned short port, unsigned char* data, int length) = 0;
    // The oldest received datagram; the caller frees the data with free().
    virtual bool ReceiveFrom(uint32_t* address, unsigned short* port, unsigned char** data, int* length) = 0;
    virtual bool FlushSendQueue() = 0;
    virtual bool DrainReceive() = 0;
    virtual int GetMaxMessageSize() = 0;
    virtual bool IsSendQueueEmpty() = 0;
    virtual uint32_t Resolve(const char* host) = 0;
};

static const uint32_t kVKAddressNone = 0xFFFFFFFFu;
// Bounds of both queues and of the work of one pump: a flooding source or an
// unreachable destination costs bounded memory and time per frame.
static const int kVKUdpMaxQueued = 1024;
static const int kVKUdpMaxPerPump = 256;
