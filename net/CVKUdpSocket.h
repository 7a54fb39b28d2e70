#pragma once
#include <cstdint>
#include <deque>
#include <vector>

#include "IVKDatagramSocket.h"

// UDP socket over Winsock with a queue of datagrams to send and a queue of
// received ones (Windows builds only). Both queues are bounded; a datagram
// that the platform refuses for a reason other than "would block" is dropped
// so it cannot hold up the ones behind it.
class CVKUdpSocket : public IVKDatagramSocket {
public:
    CVKUdpSocket();
    CVKUdpSocket(const CVKUdpSocket&) = delete;
    CVKUdpSocket& operator=(const CVKUdpSocket&) = delete;
    ~CVKUdpSocket() override;

    bool Open() override;
    void Close() override;
    bool Bind(const char* host, unsigned short port);
    bool SendTo(uint32_t address, unsigned short port, unsigned char* data, int length) override;
    bool SendToHost(const char* host, unsigned short port, unsigned char* data, int length);
    bool ReceiveFrom(uint32_t* address, unsigned short* port, unsigned char** data, int* length) override;
    // The sender as newly allocated dotted text (free()).
    bool ReceiveFromHost(char** host, unsigned short* port, unsigned char** data, int* length);
    bool Pump();
    bool FlushSendQueue() override;
    bool DrainReceive() override;
    int Wait(int seconds);
    int WaitUntilReady() { return Wait(0); }
    int GetMaxMessageSize() override { return m_maxMessageSize; }
    unsigned char GetResetIsError() const { return m_resetIsError; }
    void SetResetIsError(unsigned char value) { m_resetIsError = value; }
    uint32_t Resolve(const char* host) override;
    static char* AddressToText(uint32_t address);
    bool HasError() const { return m_error != 0; }
    void ClearError() { m_error = 0; }
    bool IsSendQueueEmpty() override { return m_sendQueue.empty(); }

    // The bound port (host order), 0 when not bound.
    unsigned short GetLocalPort();
    int GetDroppedCount() const { return m_dropped; }

private:
    struct Node {
        uint32_t address;
        unsigned short port;
        unsigned char* data;
        int length;
    };
    static void FreeQueue(std::deque<Node>* queue);

    uintptr_t m_handle;
    int m_maxMessageSize;
    std::deque<Node> m_sendQueue;
    std::deque<Node> m_receiveQueue;
    unsigned char m_resetIsError;
    unsigned char m_error;
    int m_dropped;
    std::vector<unsigned char> m_buffer;
};
