#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "CVKHttp.h"
#include "FakeSockets.h"
#include "LogCapture.h"
#include "VKLog.h"

namespace {
struct Http {
    CFakeStreamSocket* socket = new CFakeStreamSocket;
    CVKManualClock clock;
    CVKHttp http{socket, &clock};
    Http() {
        http.SetUrl(CVKString("http://127.0.0.1:8080/services/x.php?un=a"));
        http.AddHeader(CVKString("User-Agent: Orvalo HUD v4.0.6.0"));
    }
    std::string Body() {
        const unsigned char* bytes = nullptr;
        int count = 0;
        if (!http.GetResponseBody(&bytes, &count)) return "<none>";
        return std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count));
    }
};

const std::string kResponse = "HTTP/1.1 200 OK\r\nContent-length: 5\r\nX: y\r\n\r\nhello";
}  // namespace

TEST(CVKHttp, RequestBytesAndUrl) {
    Http h;
    EXPECT_STREQ("127.0.0.1:8080", h.http.GetHost().Str());
    EXPECT_STREQ("/services/x.php?un=a", h.http.GetPath().Str());
    ASSERT_EQ(1, h.http.Send());
    EXPECT_EQ(0, h.http.IsIdle());
    h.http.Pump();
    EXPECT_EQ("127.0.0.1", h.socket->host);
    EXPECT_EQ(8080, h.socket->port);
    EXPECT_EQ(
        "GET /services/x.php?un=a HTTP/1.1\r\nHost: 127.0.0.1:8080\r\nUser-Agent: Orvalo HUD v4.0.6.0\r\n"
        "Content-Length: 0\r\n\r\n",
        h.socket->sent);

    // A URL without a path, or without the scheme, changes nothing.
    h.http.SetUrl(CVKString("http://other"));
    h.http.SetUrl(CVKString("ftp://other/x"));
    EXPECT_STREQ("127.0.0.1:8080", h.http.GetHost().Str());
}

TEST(CVKHttp, RequestFieldsWithLineBreaksAreRefused) {
    Http h;
    h.http.SetPath(CVKString("/x HTTP/1.1\r\nEvil: 1"));
    EXPECT_EQ(0, h.http.Send());
    h.http.SetPath(CVKString("/ok"));
    h.http.AddHeader(CVKString("A: b\r\nC: d"));
    EXPECT_EQ(0, h.http.Send());
    EXPECT_EQ(1, h.http.IsIdle());
}

TEST(CVKHttp, ResponseOneByteAtATime) {
    Http h;
    h.http.Send();
    h.http.Pump();
    for (size_t i = 0; i < kResponse.size(); ++i) {
        EXPECT_EQ(-1, h.http.GetStatusCode()) << i;
        h.socket->inbound.push_back(kResponse.substr(i, 1));
        h.http.Pump();
    }
    EXPECT_EQ(200, h.http.GetStatusCode());
    EXPECT_EQ("hello", h.Body());
    EXPECT_EQ(1, h.http.IsIdle());
    h.http.ClearResponse();
    EXPECT_EQ(-1, h.http.GetStatusCode());
}

TEST(CVKHttp, ResponseWithoutLengthEndsWithTheConnection) {
    Http h;
    h.http.Send();
    h.http.Pump();
    h.socket->inbound.push_back("HTTP/1.0 404 Not Found\r\n\r\nno");
    h.socket->inbound.push_back(" such page");
    h.http.Pump();
    EXPECT_EQ(-1, h.http.GetStatusCode());
    h.socket->closeAfterInbound = true;
    h.http.Pump();
    EXPECT_EQ(404, h.http.GetStatusCode());
    EXPECT_EQ("no such page", h.Body());
}

TEST(CVKHttp, BodyEndedByAResetIsKept) {
    for (const char* response : {"HTTP/1.1 200 OK\r\n\r\nplayer permissions\n",
                                 "HTTP/1.1 200 OK\r\nContent-Length: 19\r\n\r\nplayer permissions\n"}) {
        Http h;
        h.http.Send();
        h.http.Pump();
        h.socket->inbound.push_back(std::string(response, strlen(response) - 8));
        h.socket->inbound.push_back(std::string(response + strlen(response) - 8));
        h.socket->resetAfterInbound = true;
        h.http.Pump();
        h.http.Pump();  // the rest and the reset together
        EXPECT_EQ(200, h.http.GetStatusCode()) << response;
        EXPECT_EQ("player permissions\n", h.Body());
        EXPECT_EQ(1, h.socket->connects);  // not asked again
    }
}

TEST(CVKHttp, GarbageAndHostileLengthsDropTheResponse) {
    const char* hostile[] = {
        "SMTP ready\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\nx",
        "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\nx",
        "HTTP/1.1 200 OK\r\nContent-Length: 2147483647\r\n\r\nx",
    };
    for (const char* bytes : hostile) {
        Http h;
        h.http.Send();
        h.http.Pump();
        h.socket->inbound.push_back(bytes);
        h.http.Pump();
        h.http.Pump();
        EXPECT_EQ(-1, h.http.GetStatusCode()) << bytes;
        EXPECT_EQ(1, h.http.IsIdle()) << bytes;
        EXPECT_EQ(0, h.http.GetOutstanding());
    }
}

TEST(CVKHttp, EndlessHeaderIsBounded) {
    Http h;
    h.http.Send();
    h.http.Pump();
    h.socket->inbound.push_back("HTTP/1.1 200 OK\r\nX: ");
    for (int i = 0; i < 20; ++i) h.socket->inbound.push_back(std::string(8192, 'a'));
    for (int i = 0; i < 25; ++i) h.http.Pump();
    EXPECT_EQ(1, h.http.IsIdle());
    EXPECT_EQ(-1, h.http.GetStatusCode());
}

TEST(CVKHttp, TwoResponsesInOneSegmentAndStrayBytes) {
    Http h;
    h.http.Send();
    h.http.Pump();  // connected: the second request goes on the same connection
    h.http.Send();
    EXPECT_EQ(2, h.http.GetOutstanding());
    h.socket->inbound.push_back(kResponse + "HTTP/1.1 201 Created\r\nContent-Length: 3\r\n\r\nbye");
    h.http.Pump();
    EXPECT_EQ(200, h.http.GetStatusCode());
    EXPECT_EQ("hello", h.Body());
    EXPECT_EQ(0, h.http.IsIdle());
    h.http.ClearResponse();
    EXPECT_EQ(201, h.http.GetStatusCode());
    EXPECT_EQ("bye", h.Body());
    EXPECT_EQ(1, h.http.IsIdle());
    h.http.ClearResponse();

    // Bytes behind the only awaited response are no part of the next one.
    h.http.Send();
    h.socket->inbound.push_back(kResponse + "HTTP/1.1 500 Stale\r\n\r\n");
    h.http.Pump();
    EXPECT_EQ(200, h.http.GetStatusCode());
    h.http.ClearResponse();
    h.http.Send();
    h.socket->inbound.push_back("HTTP/1.1 204 No Content\r\nContent-Length: 0\r\n\r\n");
    h.http.Pump();
    EXPECT_EQ(204, h.http.GetStatusCode());
}

TEST(CVKHttp, ClosedMidResponseReconnectsWithoutOldBytes) {
    Http h;
    h.http.Send();
    h.http.Send();  // two outstanding; only the last goes out again
    h.http.Pump();
    h.socket->closeAfterInbound = true;
    h.socket->inbound.push_back("HTTP/1.1 500 Half\r\nContent-Length: 100\r\n\r\npart");
    h.http.Pump();
    EXPECT_EQ(-1, h.http.GetStatusCode());
    h.socket->closeAfterInbound = false;
    h.clock.Advance(1000);
    h.http.Pump();  // reconnects and sends again
    EXPECT_EQ(2, h.socket->connects);
    EXPECT_EQ(1, h.http.GetOutstanding());
    h.socket->inbound.push_back(kResponse);
    h.http.Pump();
    EXPECT_EQ(200, h.http.GetStatusCode());
    EXPECT_EQ("hello", h.Body());
    EXPECT_EQ(1, h.http.IsIdle());
}

TEST(CVKHttp, UnreachableServerIsRetriedAtABoundedRate) {
    Http h;
    h.socket->connectSucceeds = false;
    h.http.Send();
    for (int i = 0; i < 100; ++i) h.http.Pump();
    EXPECT_EQ(1, h.socket->connects);  // no new connection within the delay
    for (int i = 0; i < 10; ++i) {
        h.clock.Advance(CVKHttp::kRetryDelayMs);
        h.http.Pump();
    }
    EXPECT_EQ(CVKHttp::kMaxConnectAttempts, h.socket->connects);
    EXPECT_EQ(1, h.http.IsIdle());
    EXPECT_EQ(-1, h.http.GetStatusCode());
}

TEST(CVKHttp, StatusLineVariants) {
    struct Case {
        const char* status;
        int code;
    } cases[] = {{"HTTP/1.0 302 Found", 302}, {"HTTP/1.2 200 OK", 0}};
    for (const Case& k : cases) {
        Http h;
        h.http.Send();
        h.socket->inbound.push_back(std::string(k.status) + "\r\nContent-Length: 0\r\n\r\n");
        h.http.Pump();
        EXPECT_EQ(k.code, h.http.GetStatusCode()) << k.status;
    }
}

TEST(CVKHttp, NonAsciiHeaderBytesAreDroppedAndLoggedOnce) {
    LogCapture log;
    for (int round = 0; round < 2; ++round) {
        Http h;
        h.http.Send();
        h.socket->inbound.push_back("HTTP/1.1 200 OK\r\nX-N\xe9me: v\r\nContent-Length: 1\r\n\r\nz");
        h.http.Pump();
        ASSERT_EQ(200, h.http.GetStatusCode());
        EXPECT_EQ("X-Nme: v", h.http.GetResponseHeaders()[1]);
    }
    EXPECT_EQ(1, log.Count("Non-ASCII"));
}
