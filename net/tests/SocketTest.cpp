// The Winsock classes on their own, against listeners this test opens on
// 127.0.0.1.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "CVKSocket.h"
#include "CVKUdpSocket.h"

namespace {
struct Winsock {
    Winsock() {
        WSADATA d;
        WSAStartup(MAKEWORD(2, 0), &d);
    }
} g_winsock;

// A TCP listener on a free port.
struct Listener {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    unsigned short port = 0;
    Listener() {
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = inet_addr("127.0.0.1");
        bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(s, 4);
        int len = sizeof a;
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~Listener() { closesocket(s); }
    SOCKET Accept() { return accept(s, nullptr, nullptr); }
};

bool PumpUntil(CVKSocket& socket, unsigned bits, int ms = 3000) {
    for (int i = 0; i < ms; ++i) {
        socket.Pump();
        if (socket.GetState() & bits) return true;
        Sleep(1);
    }
    return false;
}

std::string ReadSome(SOCKET s, size_t want) {
    std::string out;
    char buffer[4096];
    while (out.size() < want) {
        int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        out.append(buffer, static_cast<size_t>(n));
    }
    return out;
}
}  // namespace

TEST(CVKSocket, ConnectSendReceiveAndPeerClose) {
    Listener server;
    CVKSocket client;
    ASSERT_EQ(1, client.Create());
    client.Connect(CVKString(""), server.port);  // ignored
    client.Connect(CVKString("127.0.0.1"), 0);   // ignored
    EXPECT_EQ(0u, client.GetState());
    client.Connect(CVKString("127.0.0.1"), server.port);
    client.Send("queued before the connection is up\n", 35);
    EXPECT_TRUE(client.GetState() & VKSOCK_SEND_PENDING);
    ASSERT_TRUE(PumpUntil(client, VKSOCK_CONNECTED));
    SOCKET peer = server.Accept();
    ASSERT_NE(INVALID_SOCKET, peer);
    PumpUntil(client, 0, 50);
    EXPECT_EQ("queued before the connection is up\n", ReadSome(peer, 35));
    EXPECT_FALSE(client.GetState() & VKSOCK_SEND_PENDING);

    unsigned char* bytes = nullptr;
    int count = -1;
    client.Receive(&bytes, &count);  // nothing yet
    EXPECT_EQ(0, count);
    free(bytes);
    send(peer, "reply", 5, 0);
    ASSERT_TRUE(PumpUntil(client, VKSOCK_DATA));
    client.Receive(&bytes, &count);
    EXPECT_EQ("reply", std::string(reinterpret_cast<char*>(bytes), static_cast<size_t>(count)));
    free(bytes);

    closesocket(peer);
    for (int i = 0; i < 3000 && (client.GetState() & VKSOCK_CONNECTED); ++i) {
        client.Pump();
        Sleep(1);
    }
    EXPECT_EQ(0u, client.GetState() & (VKSOCK_CONNECTED | VKSOCK_CONNECTING));
    // Sending on the closed connection is queued and harmless.
    EXPECT_EQ(1, client.Send("late", 4));
    client.Pump();
    client.Pump();
}

TEST(CVKSocket, BytesReceivedBeforeAResetAreKept) {
    Listener server;
    CVKSocket client;
    ASSERT_EQ(1, client.Create());
    client.Connect(CVKString("127.0.0.1"), server.port);
    ASSERT_TRUE(PumpUntil(client, VKSOCK_CONNECTED));
    SOCKET peer = server.Accept();
    ASSERT_NE(INVALID_SOCKET, peer);
    const std::string last = "LOGIN FAILED\nno\n\n";
    send(peer, last.data(), static_cast<int>(last.size()), 0);
    linger abort = {1, 0};
    setsockopt(peer, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
    closesocket(peer);  // a reset, not a close
    Sleep(300);         // the bytes and the reset both wait for one Pump
    client.Pump();
    EXPECT_EQ(0u, client.GetState() & (VKSOCK_CONNECTED | VKSOCK_CONNECTING));
    ASSERT_TRUE(client.GetState() & VKSOCK_DATA);
    unsigned char* bytes = nullptr;
    int count = 0;
    client.Receive(&bytes, &count);
    EXPECT_EQ(last, std::string(reinterpret_cast<char*>(bytes), static_cast<size_t>(count)));
    free(bytes);
    EXPECT_EQ(0u, client.GetState());
}

TEST(CVKSocket, RefusedConnectGivesUpAfterBoundedRetries) {
    unsigned short port;
    {
        Listener gone;
        port = gone.port;
    }
    CVKManualClock clock;
    CVKSocket client(&clock);
    client.Create();
    client.Connect(CVKString("127.0.0.1"), port);
    int pumps = 0;
    for (; pumps < 5000 && (client.GetState() & (VKSOCK_CONNECTING | VKSOCK_CONNECTED)); ++pumps) {
        client.Pump();
        clock.Advance(100);
        Sleep(1);
    }
    EXPECT_EQ(0u, client.GetState() & (VKSOCK_CONNECTING | VKSOCK_CONNECTED));
    EXPECT_NE(0, client.GetLastError());
    EXPECT_GE(pumps, 2 * CVKSocket::kRetryDelayMs / 100);  // waited between attempts
}

TEST(CVKSocket, UnresolvableHostIsNotConnecting) {
    CVKSocket client;
    client.Create();
    client.Connect(CVKString("no-such-host.invalid"), 80);
    EXPECT_EQ(0u, client.GetState() & VKSOCK_CONNECTING);
    EXPECT_TRUE(client.GetState() & VKSOCK_ERROR);
}

TEST(CVKSocket, OversizedSendBufferDropsTheConnection) {
    Listener server;
    CVKSocket client;
    client.Create();
    client.Connect(CVKString("127.0.0.1"), server.port);
    std::string block(1024 * 1024, 'x');
    int accepted = 0;
    for (int i = 0; i < 8; ++i) accepted += client.Send(block.data(), static_cast<int>(block.size()));
    EXPECT_LT(accepted, 8);
    EXPECT_EQ(0u, client.GetState() & (VKSOCK_CONNECTING | VKSOCK_CONNECTED));
}

TEST(CVKUdpSocket, SendReceiveAndQueues) {
    CVKUdpSocket a, b;
    ASSERT_TRUE(a.Open());
    ASSERT_TRUE(b.Open());
    ASSERT_TRUE(b.Bind("127.0.0.1", 0));
    EXPECT_GT(a.GetMaxMessageSize(), 1000);
    unsigned char* none = static_cast<unsigned char*>(malloc(4));
    EXPECT_FALSE(a.SendTo(kVKAddressNone, 1, none, 4));  // unresolvable: refused, freed
    EXPECT_TRUE(a.IsSendQueueEmpty());
    EXPECT_EQ(kVKAddressNone, a.Resolve("no-such-host.invalid"));

    for (int i = 0; i < 3; ++i) {
        unsigned char* data = static_cast<unsigned char*>(malloc(3));
        memcpy(data, "ab", 2);
        data[2] = static_cast<unsigned char>('0' + i);
        ASSERT_TRUE(a.SendToHost("127.0.0.1", b.GetLocalPort(), data, 3));
    }
    EXPECT_TRUE(a.FlushSendQueue());
    int got = 0;
    for (int i = 0; i < 1000 && got < 3; ++i) {
        b.Pump();
        char* host = nullptr;
        unsigned short port = 0;
        unsigned char* data = nullptr;
        int length = 0;
        while (b.ReceiveFromHost(&host, &port, &data, &length)) {
            EXPECT_STREQ("127.0.0.1", host);
            EXPECT_EQ(3, length);
            EXPECT_EQ('0' + got, data[2]);  // in order
            ++got;
            free(host);
            free(data);
        }
        Sleep(1);
    }
    EXPECT_EQ(3, got);
}

TEST(CVKUdpSocket, ResetErrorsAndUnsendableDatagrams) {
    unsigned short deadPort;
    {
        CVKUdpSocket gone;
        gone.Open();
        gone.Bind("127.0.0.1", 0);
        deadPort = gone.GetLocalPort();
    }
    CVKUdpSocket a;
    ASSERT_TRUE(a.Open());
    a.Bind("127.0.0.1", 0);
    EXPECT_EQ(1, a.GetResetIsError());
    // A datagram larger than any message cannot be sent: it is dropped and
    // the ones behind it still go.
    int big = a.GetMaxMessageSize() + 100;
    ASSERT_TRUE(a.SendTo(a.Resolve("127.0.0.1"), a.GetLocalPort(), static_cast<unsigned char*>(calloc(1, big)), big));
    unsigned char* small = static_cast<unsigned char*>(malloc(2));
    memcpy(small, "ok", 2);
    ASSERT_TRUE(a.SendTo(a.Resolve("127.0.0.1"), a.GetLocalPort(), small, 2));
    EXPECT_TRUE(a.FlushSendQueue());
    EXPECT_TRUE(a.HasError());
    a.ClearError();
    bool received = false;
    for (int i = 0; i < 500 && !received; ++i) {
        a.DrainReceive();
        unsigned char* data = nullptr;
        uint32_t address;
        unsigned short port;
        int length;
        while (a.ReceiveFrom(&address, &port, &data, &length)) {
            received = received || (length == 2 && !memcmp(data, "ok", 2));
            free(data);
        }
        Sleep(1);
    }
    EXPECT_TRUE(received);

    // Port unreachable: an error when reset-is-error is set (the platform
    // may or may not report it on loopback, so only the skipped case is
    // checked strictly).
    a.SetResetIsError(0);
    unsigned char* probe = static_cast<unsigned char*>(malloc(1));
    probe[0] = 'x';
    a.SendTo(a.Resolve("127.0.0.1"), deadPort, probe, 1);
    a.FlushSendQueue();
    Sleep(20);
    EXPECT_TRUE(a.DrainReceive());
    EXPECT_FALSE(a.HasError());
}
