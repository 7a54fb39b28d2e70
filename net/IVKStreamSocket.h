#pragma once
#include "CVKString.h"

// State bits of a stream socket.
enum {
    VKSOCK_CONNECTING = 0x01,    // a connect was started and has not finished
    VKSOCK_SEND_PENDING = 0x02,  // the send buffer holds bytes
    VKSOCK_DATA = 0x04,          // received bytes wait to be taken
    VKSOCK_ERROR = 0x08,         // the last operation saw an error
    VKSOCK_CONNECTED = 0x10,
};

// A non-blocking TCP client connection pumped by its owner. CVKSocket is the
// Winsock one; tests use in-memory fakes so the protocol code above it runs
// anywhere.
class IVKStreamSocket {
public:
    virtual ~IVKStreamSocket() {}
    virtual int Create() = 0;
    virtual CVKString GetErrorText() = 0;
    virtual void Close() = 0;
    virtual unsigned GetState() = 0;
    virtual void Connect(const CVKString& host, unsigned short port) = 0;
    // Queues bytes for the next Pump. 0 when they were refused (buffer full:
    // the connection is then dropped and shows as lost).
    virtual int Send(const void* bytes, int count) = 0;
    // Hands over everything received (malloc'ed, the caller frees it); an
    // empty allocation and 0 when nothing came.
    virtual void Receive(unsigned char** bytes, int* count) = 0;
    virtual int Pump() = 0;
};

// Bounds shared by every stream socket: an owner that does not take its bytes,
// or a peer that does not read, costs at most this much memory.
static const int kVKSocketMaxSendBuffer = 4 * 1024 * 1024;
static const int kVKSocketMaxReceiveBuffer = 16 * 1024 * 1024;
