#pragma once
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "IVKDatagramSocket.h"
#include "IVKStreamSocket.h"

// A stream socket the test drives: what the code sends is collected, what
// the "server" says is handed over at the next Pump.
class CFakeStreamSocket : public IVKStreamSocket {
public:
    std::string sent;                 // everything sent (after Pump while connected)
    std::string pendingSend;          // queued, not yet pumped out
    std::deque<std::string> inbound;  // one entry per Pump
    unsigned state = 0;
    bool connectSucceeds = true;
    bool closeAfterInbound = false;  // peer closes once inbound is empty
    // The connection is reset once inbound is empty. The state then shows
    // only the loss, but the bytes received before it are still held and
    // handed over by Receive: owners must take them.
    bool resetAfterInbound = false;
    int creates = 0, connects = 0, closes = 0;
    std::string host;
    unsigned short port = 0;
    std::string received;

    int Create() override {
        ++creates;
        Close();
        return 1;
    }
    CVKString GetErrorText() override { return CVKString(""); }
    void Close() override {
        ++closes;
        state = 0;
        pendingSend.clear();
        received.clear();
    }
    unsigned GetState() override { return state; }
    void Connect(const CVKString& h, unsigned short p) override {
        if (h.Length() == 0 || p == 0) return;
        ++connects;
        host = h.Str();
        port = p;
        state |= VKSOCK_CONNECTING;
    }
    int Send(const void* bytes, int count) override {
        if (count > 0) pendingSend.append(static_cast<const char*>(bytes), static_cast<size_t>(count));
        return 1;
    }
    void Receive(unsigned char** bytes, int* count) override {
        *bytes = static_cast<unsigned char*>(malloc(received.size() + 1));
        memcpy(*bytes, received.data(), received.size());
        *count = static_cast<int>(received.size());
        received.clear();
        state &= ~VKSOCK_DATA;
    }
    int Pump() override {
        state &= ~VKSOCK_ERROR;
        if (state & VKSOCK_CONNECTING) {
            state &= ~VKSOCK_CONNECTING;
            if (!connectSucceeds) return 0;
            state |= VKSOCK_CONNECTED;
        }
        if (!(state & VKSOCK_CONNECTED)) return 0;
        sent += pendingSend;
        pendingSend.clear();
        if (!inbound.empty()) {
            received += inbound.front();
            inbound.pop_front();
            if (!received.empty()) state |= VKSOCK_DATA;
        }
        if (inbound.empty() && closeAfterInbound) state &= ~(VKSOCK_CONNECTED | VKSOCK_CONNECTING);
        if (inbound.empty() && resetAfterInbound) state = VKSOCK_ERROR;
        return 1;
    }
};

// A datagram socket the test drives.
class CFakeDatagramSocket : public IVKDatagramSocket {
public:
    struct Datagram {
        uint32_t address;
        unsigned short port;
        std::string bytes;
    };
    std::vector<Datagram> sent;
    std::deque<Datagram> inbound;  // taken by DrainReceive
    std::deque<Datagram> queued;   // handed out by ReceiveFrom
    int maxMessageSize = 65507;
    bool open = false;

    bool Open() override { return open = true; }
    void Close() override {
        open = false;
        queued.clear();
    }
    bool SendTo(uint32_t address, unsigned short port, unsigned char* data, int length) override {
        if (address == kVKAddressNone) {
            free(data);
            return false;
        }
        sent.push_back(
            Datagram{address, port, std::string(reinterpret_cast<char*>(data), static_cast<size_t>(length))});
        free(data);
        return true;
    }
    bool ReceiveFrom(uint32_t* address, unsigned short* port, unsigned char** data, int* length) override {
        if (queued.empty()) return false;
        Datagram d = queued.front();
        queued.pop_front();
        *address = d.address;
        *port = d.port;
        *data = static_cast<unsigned char*>(malloc(d.bytes.size() + 1));
        memcpy(*data, d.bytes.data(), d.bytes.size());
        *length = static_cast<int>(d.bytes.size());
        return true;
    }
    bool FlushSendQueue() override { return true; }
    bool DrainReceive() override {
        while (!inbound.empty()) {
            queued.push_back(inbound.front());
            inbound.pop_front();
        }
        return true;
    }
    int GetMaxMessageSize() override { return maxMessageSize; }
    bool IsSendQueueEmpty() override { return true; }
    uint32_t Resolve(const char* host) override {
        return std::string(host) == "127.0.0.1" ? 0x0100007Fu : kVKAddressNone;
    }
};
