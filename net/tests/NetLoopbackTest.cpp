// The Winsock classes against the local test service (started by
// run_loopback.sh, which passes its ports in the environment).
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "CVKHttp.h"
#include "CVKSocket.h"
#include "CVKUdpSocket.h"
#include "CVQChat.h"
#include "CVQVSClient.h"
#include "MemorySettings.h"
#include "VKSettings.h"

namespace {
int EnvPort(const char* name) {
    const char* v = getenv(name);
    return v ? atoi(v) : 0;
}

// Calls step until done() or the time is up (real time: the service runs
// on its own).
bool PumpUntil(const std::function<void()>& step, const std::function<bool()>& done, int ms = 5000) {
    for (int waited = 0; waited < ms; waited += 2) {
        step();
        if (done()) return true;
        Sleep(2);
    }
    return false;
}

// A sharer of 800x600 at 20 frames a second with 22,050 Hz mono sound,
// pointed at a video-sharing server on this machine (not yet logged in).
void OpenSharer(CVQShareVS& sharer, int port) {
    sharer.Open();
    sharer.SetServer("127.0.0.1", port);
    sharer.SetWidth(800);
    sharer.SetHeight(600);
    sharer.SetFrameRate(20);
    sharer.SetChannels(1);
    sharer.SetSamplesPerSec(22050);
    sharer.SetBitsPerSample(16);
}

class Loopback : public ::testing::Test {
protected:
    void SetUp() override {
        chatPort = EnvPort("NET_CHAT_PORT");
        vsPort = EnvPort("NET_VS_PORT");
        httpPort = EnvPort("NET_HTTP_PORT");
        ASSERT_NE(0, chatPort) << "run through run_loopback.sh";
        store.Set("serverAddr", "127.0.0.1");
        store.Set("serverPort", std::to_string(chatPort));
        store.Set("serverPortHTTP", std::to_string(httpPort));
        store.Set("serverPortVS", std::to_string(vsPort));
    }

    // Waits for the next message of that type, popping others.
    // other is pumped too, so what it queued goes out.
    static bool WaitFor(CVQChat& chat, int type, CVQChat* other = nullptr, int ms = 5000) {
        return PumpUntil(
            [&] {
                chat.Pump();
                if (other) other->Pump();
            },
            [&] {
                for (;;) {
                    int t = chat.PeekMessageType();
                    if (t == type) return true;
                    if (t == kChatNone) return false;
                    chat.PopMessage();
                }
            },
            ms);
    }

    int chatPort = 0, vsPort = 0, httpPort = 0;
    MemorySettings store;  // installed for the test's lifetime
};
}  // namespace

TEST_F(Loopback, SignInFriendsPresenceAndChat) {
    CVQChat anna, bo;
    anna.Connect(CVKString("127.0.0.1"), static_cast<unsigned short>(chatPort));
    ASSERT_EQ(1, anna.SendLogin("anna", "anna-pw", 0));
    ASSERT_TRUE(WaitFor(anna, kChatLoginOk));
    int ok = 0, port = 0;
    CVKString error, server;
    ASSERT_EQ(1, anna.GetLoginResult(&ok, &error, &server, &port));
    EXPECT_STREQ("127.0.0.1", server.Str());
    EXPECT_EQ(vsPort, port);
    ASSERT_TRUE(WaitFor(anna, kChatFriendsList));
    CVKPtrList groups;
    ASSERT_EQ(1, anna.GetFriendsList(&groups));
    ASSERT_EQ(2, groups.Count());
    FriendGroup* mates = static_cast<FriendGroup*>(groups.Get(0));
    EXPECT_STREQ("Mates", mates->name.Str());
    EXPECT_EQ(2, mates->offline.Count());
    FreeFriendGroups(&groups);
    anna.PopMessage();

    bo.Connect(CVKString("127.0.0.1"), static_cast<unsigned short>(chatPort));
    bo.SendLogin("bo", "bo-pw", 0);
    ASSERT_TRUE(WaitFor(bo, kChatLoginOk));
    ASSERT_TRUE(WaitFor(anna, kChatFriendStatus));
    CVKString name;
    int online = 0;
    ASSERT_EQ(1, anna.GetFriendStatus(&name, &online));
    EXPECT_STREQ("bo", name.Str());
    EXPECT_EQ(1, online);
    anna.PopMessage();

    CVKString boName("bo");
    CVKPtrList names;
    names.Insert(&boName);
    anna.SendStartChat(names);
    ASSERT_TRUE(WaitFor(bo, kChatSession, &anna));
    int session = 0;
    CVKPtrList members;
    ASSERT_EQ(1, bo.GetChatSession(&session, &members));
    EXPECT_EQ(2, members.Count());
    FreeStringList(&members);
    bo.PopMessage();
    bo.SendChatMessage(session, "bo", "hi anna");
    anna.SendChatMessage(session, "anna", "hello bo\nwith a line break");
    for (CVQChat* c : {&anna, &bo}) {
        std::vector<std::string> lines;
        ASSERT_TRUE(PumpUntil(
            [&] {
                anna.Pump();
                bo.Pump();
            },
            [&] {
                while (int t = c->PeekMessageType()) {
                    int s = 0;
                    CVKString sender, text;
                    if (t == kChatSessionMessage && c->GetChatMessage(&s, &sender, &text))
                        lines.push_back(std::string(sender.Str()) + ": " + text.Str());
                    c->PopMessage();
                }
                return lines.size() >= 2;
            }));
        std::sort(lines.begin(), lines.end());
        EXPECT_EQ("anna: hello bo with a line break", lines[0]);
        EXPECT_EQ("bo: hi anna", lines[1]);
    }

    // bo goes away: anna sees it as presence and as the end of the chat.
    bo.Disconnect();
    ASSERT_TRUE(WaitFor(anna, kChatFriendStatus));
    ASSERT_EQ(1, anna.GetFriendStatus(&name, &online));
    EXPECT_EQ(0, online);
    anna.Disconnect();
}

TEST_F(Loopback, ViewAndVoiceSignallingThroughTheChatServer) {
    CVQChat anna, cy;
    for (auto* c : {&anna, &cy}) c->Connect(CVKString("127.0.0.1"), static_cast<unsigned short>(chatPort));
    anna.SendLogin("anna", "anna-pw", 0);
    cy.SendLogin("cy", "cy-pw", 0);
    ASSERT_TRUE(WaitFor(anna, kChatLoginOk));
    ASSERT_TRUE(WaitFor(cy, kChatLoginOk));

    cy.SendViewDesktop("anna", 1);
    ASSERT_TRUE(WaitFor(anna, kChatShareDesktop, &cy));
    CVKString name, server;
    int start = 0, session = 0, port = 0;
    ASSERT_EQ(1, anna.GetShareDesktopRequest(&name, &start));
    EXPECT_STREQ("cy", name.Str());
    EXPECT_EQ(1, start);
    anna.PopMessage();
    anna.SendMyDesktopId("cy", 321, "127.0.0.1", vsPort);
    ASSERT_TRUE(WaitFor(cy, kChatDesktopId, &anna));
    ASSERT_EQ(1, cy.GetDesktopId(&name, &session, &server, &port));
    EXPECT_STREQ("anna", name.Str());
    EXPECT_EQ(321, session);
    EXPECT_EQ(vsPort, port);
    cy.PopMessage();

    anna.SendRequestVoice("cy", 1, 654, "127.0.0.1", vsPort);
    ASSERT_TRUE(WaitFor(cy, kChatVoice, &anna));
    ASSERT_EQ(1, cy.GetVoiceRequest(&name, &start, &session, &server, &port));
    EXPECT_STREQ("anna", name.Str());
    EXPECT_EQ(1, start);
    EXPECT_EQ(654, session);
    EXPECT_STREQ("127.0.0.1", server.Str());
    ASSERT_TRUE(WaitFor(anna, kChatRequestVoiceOk, &cy));
    anna.PopMessage();
    // Calling a friend who is not signed in fails with a reason.
    anna.SendRequestVoice("bo", 1, 654, "127.0.0.1", vsPort);
    ASSERT_TRUE(WaitFor(anna, kChatRequestVoiceFailed));
    CVKString reason;
    ASSERT_EQ(1, anna.GetVoiceRequestFailure(&name, &reason));
    EXPECT_STREQ("bo", name.Str());
    anna.Disconnect();
    cy.Disconnect();
}

TEST_F(Loopback, WrongPasswordIsRefused) {
    CVQChat chat;
    chat.Connect(CVKString("127.0.0.1"), static_cast<unsigned short>(chatPort));
    chat.SendLogin("anna", "wrong", 0);
    ASSERT_TRUE(WaitFor(chat, kChatLoginFailed));
    int ok = 1;
    CVKString error;
    chat.GetLoginResult(&ok, &error, nullptr, nullptr);
    EXPECT_EQ(0, ok);
    EXPECT_STRNE("", error.Str());
}

TEST_F(Loopback, RefusedConnectionIsReported) {
    // A port nobody listens on: bind one, note it, close it.
    WSADATA data;
    WSAStartup(MAKEWORD(2, 0), &data);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = inet_addr("127.0.0.1");
    ASSERT_EQ(0, bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a));
    int len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    unsigned short deadPort = ntohs(a.sin_port);
    closesocket(s);

    CVKManualClock clock;
    CVQChat chat(new CVKSocket(&clock));
    chat.Connect(CVKString("127.0.0.1"), deadPort);
    chat.SendLogin("anna", "anna-pw", 0);
    int type = 0, pumps = 0;
    ASSERT_TRUE(PumpUntil(
        [&] {
            chat.Pump();
            clock.Advance(250);
            ++pumps;
        },
        [&] { return (type = chat.PeekMessageType()) != kChatNone; }, 20000));
    EXPECT_EQ(kChatConnectionLost, type);
    EXPECT_EQ(kChatNone, chat.PeekMessageType());  // once
    // Three attempts 1 s apart in clock time: at least 8 pumps of 250 ms.
    EXPECT_GE(pumps, 8);
}

TEST_F(Loopback, PermissionsOverHttp) {
    CVKHttp http;
    http.ClearRequest();
    http.AddHeader(CVKString("User-Agent: Orvalo HUD v4.0.6.0"));
    http.SetUrl(CVKString((std::string("http://127.0.0.1/services/vqhud.4.0.6.0/setPermissions.php?un=anna&pw=anna-pw"
                                       "&handle=cy&contact=1&chat=1&video=1"))
                              .c_str()));
    http.SetMethod(CVKString("POST"));
    ASSERT_EQ(1, http.Send());
    ASSERT_TRUE(PumpUntil([&] { http.Pump(); }, [&] { return http.GetStatusCode() >= 0; }));
    EXPECT_EQ(200, http.GetStatusCode());
    http.ClearResponse();

    http.ClearRequest();
    http.AddHeader(CVKString("User-Agent: Orvalo HUD v4.0.6.0"));
    http.SetUrl(CVKString("http://127.0.0.1/services/vqhud.4.0.6.0/getPermissions.php?un=anna&pw=anna-pw"));
    http.SetMethod(CVKString("GET"));
    ASSERT_EQ(1, http.Send());
    ASSERT_TRUE(PumpUntil([&] { http.Pump(); }, [&] { return http.GetStatusCode() >= 0; }));
    ASSERT_EQ(200, http.GetStatusCode());
    const unsigned char* body = nullptr;
    int count = 0;
    ASSERT_EQ(1, http.GetResponseBody(&body, &count));
    EXPECT_EQ("player permissions\n1 1 0\nbo 1 1 1\ncy 1 1 1\n",
              std::string(reinterpret_cast<const char*>(body), count));
    http.ClearResponse();
    EXPECT_EQ(1, http.IsIdle());
}

namespace {
struct StreamResult {
    int sent = 0, delivered = 0, corrupt = 0;
};

// Shares count packets (sizes from 100 bytes to 3 datagrams) through the
// relay at port and checks what the viewer gets. Each packet waits up to
// waitMs for the viewer, so a busy machine does not overflow the viewer's
// receive buffer.
StreamResult Stream(int port, int count, int waitMs) {
    StreamResult r;
    CVQShareVS sharer;
    CVQViewVS viewer;
    sharer.Open();
    viewer.Open();
    sharer.SetServer("127.0.0.1", port);
    viewer.SetServer("127.0.0.1", port);
    sharer.SetWidth(640);
    sharer.SetHeight(480);
    sharer.SetFrameRate(4);
    sharer.SetChannels(2);
    sharer.SetSamplesPerSec(44100);
    sharer.SetBitsPerSample(16);
    sharer.Login("anna", "anna-pw");
    if (!PumpUntil([&] { sharer.Update(); }, [&] { return sharer.IsLoggedIn() != 0; })) return r;
    viewer.SetViewSession(sharer.GetSession());
    viewer.Login("bo", "bo-pw");
    if (!PumpUntil(
            [&] {
                viewer.Update();
                sharer.Update();
            },
            [&] { return viewer.IsLoggedIn() != 0; }))
        return r;
    // What a service sends right after a login (a hostile one floods) is
    // taken before the stream starts, so it cannot crowd the stream out of
    // the receive buffers.
    PumpUntil(
        [&] {
            viewer.Update();
            sharer.Update();
        },
        [] { return false; }, 500);
    EXPECT_EQ(640, viewer.GetWidth());
    EXPECT_EQ(16, viewer.GetBitsPerSample());

    std::map<int64_t, std::vector<unsigned char>> sent;
    auto take = [&] {
        unsigned char* data = nullptr;
        int length = 0;
        int64_t ts = 0;
        while (viewer.TakeVideoPacket(&data, &length, &ts) || viewer.TakeAudioPacket(&data, &length, &ts)) {
            auto it = sent.find(ts);
            if (it == sent.end() || it->second != std::vector<unsigned char>(data, data + length))
                r.corrupt++;
            else
                r.delivered++;
            VQPacketFree(data);
        }
    };
    unsigned seed = 12345;
    for (int i = 0; i < count; ++i) {
        int size = i % 10 == 0 ? 150000 : 100 + (i * 977) % 6000;
        std::vector<unsigned char> packet(static_cast<size_t>(size));
        for (unsigned char& b : packet) b = static_cast<unsigned char>((seed = seed * 1103515245u + 12345u) >> 16);
        int64_t ts = 1000 + i * 250;
        sent[ts] = packet;
        if (i % 2)
            sharer.SendAudioPacket(packet.data(), size, 0, ts);
        else
            sharer.SendVideoPacket(packet.data(), size, i % 10 == 0, ts);
        r.sent++;
        sharer.Update();
        PumpUntil(
            [&] {
                viewer.Update();
                take();
            },
            [&] { return r.delivered + r.corrupt >= r.sent; }, waitMs);
    }
    PumpUntil(
        [&] {
            sharer.Update();
            viewer.Update();
            take();
        },
        [&] { return r.delivered >= r.sent; }, 1500);
    sharer.Logout();
    sharer.Update();
    return r;
}
}  // namespace

TEST_F(Loopback, ShareRelayViewWithoutLoss) {
    StreamResult r = Stream(vsPort, 200, 3000);
    EXPECT_EQ(200, r.sent);
    EXPECT_EQ(200, r.delivered);
    EXPECT_EQ(0, r.corrupt);
}

TEST_F(Loopback, ShareRelayViewWithLossReorderingAndDuplicates) {
    int lossyPort = EnvPort("NET_VS_PORT_LOSSY");
    ASSERT_NE(0, lossyPort);
    StreamResult r = Stream(lossyPort, 200, 20);
    EXPECT_EQ(0, r.corrupt);
    // 5 % of datagrams are lost; a packet of 3 datagrams loses more often,
    // and a lost piece may hold back the packets behind it.
    EXPECT_GT(r.delivered, 120);
    EXPECT_LT(r.delivered, 200);
    printf("lossy relay: %d of %d packets delivered\n", r.delivered, r.sent);
}

TEST_F(Loopback, KeepAliveAndSessionResetWithAnInjectedClock) {
    for (const char* user : {"anna", "quiet"}) {
        CVKManualClock clock;
        clock.Set(1000000);
        CVQShareVS sharer(nullptr, &clock);
        OpenSharer(sharer, vsPort);
        std::string password = std::string(user) + "-pw";
        sharer.Login(user, password.c_str());
        ASSERT_TRUE(PumpUntil([&] { sharer.Update(); }, [&] { return sharer.IsLoggedIn() != 0; }));
        int session = sharer.GetSession();
        // 60 s of silence in steps of 11 s; the service answers each "ECHO"
        // unless the account is set to stay silent.
        for (int step = 0; step < 6; ++step) {
            clock.Advance(11000);
            sharer.Update();
            PumpUntil([&] { sharer.Update(); }, [&] { return sharer.GetUnansweredEchoes() == 0; }, 300);
        }
        if (std::string(user) == "anna") {
            EXPECT_EQ(1, sharer.IsLoggedIn());
            EXPECT_EQ(session, sharer.GetSession());
        } else {
            EXPECT_EQ(0, sharer.IsLoggedIn());
            EXPECT_EQ(0, sharer.GetSession());
        }
        sharer.Logout();
        sharer.Update();
    }
}

// A listener that logs out and closes its socket at once (a call hung up, a
// view window closed) still reaches the server: the sharer's viewers list
// empties. Before, the logout waited in the socket's queue and went with the
// socket, and the friend's call never saw its listener leave.
TEST_F(Loopback, ALogoutFollowedByCloseStillReachesTheServer) {
    CVQShareVS sharer;
    OpenSharer(sharer, vsPort);
    sharer.Login("anna", "anna-pw");
    ASSERT_TRUE(PumpUntil([&] { sharer.Update(); }, [&] { return sharer.IsLoggedIn() != 0; }));
    auto viewers = [&](int count) {
        return PumpUntil(
            [&] {
                sharer.RequestViewers();
                sharer.Update();
            },
            [&] { return sharer.GetViewers()->Count() == count; }, 3000);
    };
    for (int round = 0; round < 2; ++round) {
        CVQViewVS viewer;
        viewer.Open();
        viewer.SetServer("127.0.0.1", vsPort);
        viewer.SetViewSession(sharer.GetSession());
        viewer.Login("bo", "bo-pw");
        ASSERT_TRUE(PumpUntil([&] { viewer.Update(); }, [&] { return viewer.IsLoggedIn() != 0; }));
        ASSERT_TRUE(viewers(1)) << round;
        viewer.Logout();
        viewer.Close();
        EXPECT_TRUE(viewers(0)) << round;
    }
    sharer.Logout();
    sharer.Update();
}

// ---- against the hostile service: rude, but everything it sends is
// well-formed and must arrive.
namespace {
class Hostile : public Loopback {
protected:
    void SetUp() override {
        Loopback::SetUp();
        hostileChat = EnvPort("NET_CHAT_PORT_HOSTILE");
        hostileVs = EnvPort("NET_VS_PORT_HOSTILE");
        hostileHttp = EnvPort("NET_HTTP_PORT_HOSTILE");
        ASSERT_NE(0, hostileChat);
    }
    int hostileChat = 0, hostileVs = 0, hostileHttp = 0;
};
}  // namespace

TEST_F(Hostile, ChatBurstArrivesWhole) {
    CVQChat chat;
    chat.Connect(CVKString("127.0.0.1"), static_cast<unsigned short>(hostileChat));
    chat.SendLogin("anna", "anna-pw", 0);
    std::vector<int> types;
    std::vector<std::string> flood;
    CVKString a, b;
    int x = 0, y = 0, z = 0;
    // Read the way the HUD does: one Pump, then every queued message.
    ASSERT_TRUE(PumpUntil(
        [&] { chat.Pump(); },
        [&] {
            while (int type = chat.PeekMessageType()) {
                if (type == kChatSessionMessage && chat.GetChatMessage(&x, &a, &b) && std::string(a.Str()) == "flood") {
                    flood.push_back(b.Str());
                    chat.PopMessage();
                    continue;
                }
                types.push_back(type);
                switch (type) {
                case kChatLoginOk:
                    EXPECT_EQ(1, chat.GetLoginResult(&x, &a, &b, &y));
                    EXPECT_EQ(1, x);
                    EXPECT_STREQ("", b.Str());  // the short form: no server
                    EXPECT_EQ(0, y);
                    break;
                case kChatFriendsList: {
                    CVKPtrList groups;
                    EXPECT_EQ(types.size() == 2 ? 1 : 0, chat.GetFriendsList(&groups));  // the second one is hostile
                    if (groups.Count() == 3) {
                        FriendGroup* g = static_cast<FriendGroup*>(groups.Get(2));
                        EXPECT_STREQ("Amig\xe9s", g->name.Str());
                        EXPECT_EQ(1, g->online.Count());
                        EXPECT_STREQ("Zo\xeb", static_cast<CVKString*>(g->online.Get(0))->Str());
                    }
                    FreeFriendGroups(&groups);
                    break;
                }
                case kChatSession: {
                    CVKPtrList members;
                    EXPECT_EQ(0, chat.GetChatSession(&x, &members));  // count 99999999999
                    break;
                }
                case kChatDesktopId:
                    EXPECT_EQ(1, chat.GetDesktopId(&a, &x, &b, &y));
                    EXPECT_STREQ("Zo\xeb", a.Str());
                    EXPECT_EQ(-7, x);
                    EXPECT_EQ(0, y);  // 99999999 is no port
                    break;
                case kChatVoice:
                    EXPECT_EQ(1, chat.GetVoiceRequest(&a, &x, &y, &b, &z));
                    EXPECT_EQ(1, x);
                    EXPECT_EQ(2147483647, y);
                    EXPECT_EQ(0, z);
                    break;
                case kChatSessionMessage:
                    EXPECT_EQ(1, chat.GetChatMessage(&x, &a, &b));
                    EXPECT_STREQ("Zo\xeb", a.Str());
                    EXPECT_STREQ("ol\xe9", b.Str());
                    break;
                }
                chat.PopMessage();
                if (type == kChatLeaveChatOk) return true;
            }
            return false;
        },
        30000));
    const std::vector<int> expected = {kChatLoginOk,   kChatFriendsList, kChatSession,        kChatFriendsList,
                                       kChatDesktopId, kChatVoice,       kChatSessionMessage, kChatLeaveChatOk};
    EXPECT_EQ(expected, types);
    ASSERT_EQ(10000u, flood.size());
    for (size_t i = 0; i < flood.size(); ++i) ASSERT_EQ("line " + std::to_string(i), flood[i]);
    chat.Disconnect();
}

TEST_F(Hostile, RefusalFollowedByAResetIsShownBeforeTheLoss) {
    CVQChat chat;
    chat.Connect(CVKString("127.0.0.1"), static_cast<unsigned short>(hostileChat));
    chat.SendLogin("anna", "wrong", 0);
    // Slow pumps, so the refusal and the reset come in through one Pump.
    int type = 0;
    ASSERT_TRUE(PumpUntil(
        [&] {
            chat.Pump();
            Sleep(200);
        },
        [&] { return (type = chat.PeekMessageType()) != kChatNone; }, 10000));
    ASSERT_EQ(kChatLoginFailed, type);
    int ok = 1;
    CVKString reason;
    chat.GetLoginResult(&ok, &reason, nullptr, nullptr);
    EXPECT_EQ(0, ok);
    EXPECT_STREQ("Wrong user name or password", reason.Str());
    chat.PopMessage();
    EXPECT_EQ(kChatConnectionLost, chat.PeekMessageType());
}

TEST_F(Hostile, HttpBodyEndsWithTheConnectionOrAReset) {
    for (const char* tail : {"", "&reset=1"}) {
        CVKHttp http;
        http.AddHeader(CVKString("User-Agent: Orvalo HUD v4.0.6.0"));
        std::string url = "http://127.0.0.1:" + std::to_string(hostileHttp) +
                          "/services/vqhud.4.0.6.0/getPermissions.php?un=bo&pw=bo-pw" + tail;
        http.SetUrl(CVKString(url.c_str()));
        http.SetMethod(CVKString("GET"));
        ASSERT_EQ(1, http.Send());
        int pause = *tail ? 200 : 0;  // with the reset: bytes and reset in one Pump
        ASSERT_TRUE(PumpUntil(
            [&] {
                http.Pump();
                Sleep(pause);
            },
            [&] { return http.GetStatusCode() >= 0; }, 10000))
            << tail;
        EXPECT_EQ(200, http.GetStatusCode());
        const unsigned char* body = nullptr;
        int count = 0;
        ASSERT_EQ(1, http.GetResponseBody(&body, &count));
        EXPECT_EQ("player permissions\n0 0 0\n", std::string(reinterpret_cast<const char*>(body), count)) << tail;
        http.ClearResponse();
    }
}

TEST_F(Hostile, ShareRelayViewThroughARudeRelay) {
    ASSERT_NE(0, hostileVs);
    StreamResult r = Stream(hostileVs, 60, 3000);
    EXPECT_EQ(60, r.sent);
    EXPECT_EQ(60, r.delivered);
    EXPECT_EQ(0, r.corrupt);
}

TEST_F(Hostile, NewSessionZeroKeepsTheSessionAlive) {
    CVKManualClock clock;
    clock.Set(1000000);
    CVQShareVS sharer(nullptr, &clock);
    OpenSharer(sharer, hostileVs);
    sharer.Login("anna", "anna-pw");
    ASSERT_TRUE(PumpUntil([&] { sharer.Update(); }, [&] { return sharer.IsLoggedIn() != 0; }));
    EXPECT_NE(0, sharer.GetSession());
    sharer.RefreshSession();
    ASSERT_TRUE(PumpUntil([&] { sharer.Update(); }, [&] { return sharer.GetSession() == 0; }));
    // The relay only answers datagrams that name the session, 0 included.
    clock.Advance(11000);
    sharer.Update();
    EXPECT_EQ(1, sharer.GetUnansweredEchoes());
    EXPECT_TRUE(PumpUntil([&] { sharer.Update(); }, [&] { return sharer.GetUnansweredEchoes() == 0; }, 3000));
    EXPECT_EQ(1, sharer.IsLoggedIn());
    sharer.Logout();
    sharer.Update();
}
