#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "CVQVSClient.h"
#include "FakeSockets.h"

namespace {
const uint32_t kServer = 0x0100007Fu;
const unsigned short kPort = 13580;
const std::string kLoginOk = "LOGIN OK\nx\n7\n640\n480\n4\n2\n44100\n2\n12\n\n";

template <class Client>
struct Fixture {
    CFakeDatagramSocket* socket = new CFakeDatagramSocket;
    CVKManualClock clock;
    Client client{socket, &clock};
    Fixture() {
        clock.Set(1000000);
        client.Open();
        client.SetServer("127.0.0.1", kPort);
    }
    void FromServer(const std::string& bytes, uint32_t address = kServer, unsigned short port = kPort) {
        socket->inbound.push_back({address, port, bytes});
    }
    std::vector<std::string> Sent() {
        std::vector<std::string> out;
        for (auto& d : socket->sent) out.push_back(d.bytes);
        socket->sent.clear();
        return out;
    }
    void LogIn() {
        client.Login("anna", "pw");
        FromServer(kLoginOk);
        client.Update();
        Sent();
    }
};
typedef Fixture<CVQShareVS> Share;
typedef Fixture<CVQViewVS> View;

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }
}  // namespace

TEST(CVQVSClient, ShareLoginBytesAndFiveAttempts) {
    Share s;
    s.client.SetWidth(800);
    s.client.SetHeight(600);
    s.client.SetFrameRate(20);
    s.client.SetChannels(1);
    s.client.SetSamplesPerSec(22050);
    s.client.SetBitsPerSample(16);
    s.client.SetGameNumber("42");
    s.client.AddOption(CVKString("AudioBitrate=32000"));
    s.client.AddOption(CVKString("VOICE"));
    ASSERT_EQ(1, s.client.Login("anna", "pw"));
    EXPECT_EQ(0, s.client.Login("anna", "pw"));  // already active
    std::vector<std::string> sent = s.Sent();
    ASSERT_EQ(1u, sent.size());
    const std::string& login = sent[0];
    ASSERT_TRUE(StartsWith(login, "LOGIN\nVERSION 1\nanna\npw\nSHARE\n")) << login;
    size_t nonceEnd = login.find('\n', 31);
    EXPECT_EQ("\n800\n600\n20\n1\n22050\n2\n42\n2\nAudioBitrate=32000\nVOICE\n\n", login.substr(nonceEnd));
    for (int second = 1; second <= 40; ++second) {
        s.clock.Advance(1000);
        s.client.Update();
    }
    int retries = 0;
    for (const std::string& d : s.Sent())
        if (StartsWith(d, "LOGIN\n")) {
            EXPECT_EQ(login, d);  // the same nonce
            ++retries;
        }
    EXPECT_EQ(4, retries);  // 1 direct + 4 retries, the last retry dropped
    EXPECT_EQ(0, s.client.IsActive());
}

TEST(CVQVSClient, LoginFieldsAreChecked) {
    View v;
    EXPECT_EQ(0, v.client.Login("", "pw"));
    EXPECT_EQ(0, v.client.Login("anna", ""));
    EXPECT_EQ(0, v.client.Login("anna\n\nLOGOUT", "pw"));
    EXPECT_TRUE(v.Sent().empty());
    v.client.SetViewSession(31);
    ASSERT_EQ(1, v.client.Login("anna", "pw"));
    std::string login = v.Sent()[0];
    EXPECT_TRUE(StartsWith(login, "LOGIN\nVERSION 1\nanna\npw\nVIEW\n"));
    EXPECT_EQ("\n31\n\n", login.substr(login.find('\n', 30)));
}

TEST(CVQVSClient, LoginOkChecksStreamParameters) {
    Share good;
    good.LogIn();
    EXPECT_EQ(1, good.client.IsLoggedIn());
    EXPECT_EQ(7, good.client.GetSession());
    EXPECT_EQ(16, good.client.GetBitsPerSample());
    EXPECT_STREQ("12", good.client.GetGameNumber().Str());
    const char* bad[] = {
        "LOGIN OK\nx\n7\n640\n480\n4\n2\n44100\n3\n12\n\n",
        "LOGIN OK\nx\n7\n640\n480\n4\n2\n7999\n2\n12\n\n",
        "LOGIN OK\nx\n7\n0\n480\n4\n2\n44100\n2\n12\n\n",
        "LOGIN OK\nx\n7\n99999\n99999\n4\n2\n44100\n2\n12\n\n",
        "LOGIN OK\nx\n7\n640\n480\n4\n2\n44100\n1073741824\n12\n\n",
    };
    for (const char* bytes : bad) {
        Share s;
        s.client.Login("anna", "pw");
        s.Sent();
        s.FromServer(bytes);
        s.client.Update();
        EXPECT_EQ(0, s.client.IsLoggedIn()) << bytes;
        std::vector<std::string> sent = s.Sent();
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ("LOGOUT\n\n", sent[0]);
    }
    Share shortOk;
    shortOk.client.Login("anna", "pw");
    shortOk.FromServer("LOGIN OK\nx\n7\n640\n480\n4\n2\n44100\n2\n\n");  // 9 lines
    shortOk.client.Update();
    EXPECT_EQ(0, shortOk.client.IsLoggedIn());
}

TEST(CVQVSClient, SessionPrefixFiltersDatagrams) {
    Share s;
    s.LogIn();
    s.FromServer("SESSION\n7\n\nECHO\n\n");
    s.FromServer("SESSION\n8\n\nECHO\n\n");
    s.FromServer("ECHO\n\n", kServer, kPort + 1);  // another source
    s.client.Update();
    std::vector<std::string> sent = s.Sent();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ("SESSION\n7\n\nECHO REPLY\n\n", sent[0]);
}

TEST(CVQVSClient, ViewersNewSessionAndSessionInvalid) {
    Share s;
    s.LogIn();
    s.FromServer("VIEWERS\n2\nbo\ncy\n\n");
    s.client.Update();
    ASSERT_EQ(2, s.client.GetViewers()->Count());
    s.FromServer("VIEWERS\n5\nbo\n\nVIEWERS\n-1\n\nVIEWERS\n2147483647\n\n");
    s.client.Update();
    EXPECT_EQ(2, s.client.GetViewers()->Count());
    s.client.RefreshSession();
    s.client.Update();
    EXPECT_EQ("SESSION\n7\n\nREFRESH SESSION\n\n", s.Sent().back());
    s.FromServer("NEW SESSION\n9\n\n");
    s.client.Update();
    EXPECT_EQ(9, s.client.GetSession());
    s.client.RequestViewers();
    s.client.Update();
    EXPECT_EQ("SESSION\n9\n\nREQUEST VIEWERS\n\n", s.Sent().back());
    s.FromServer("SESSION INVALID\n8\n\n");
    s.client.Update();
    EXPECT_EQ(1, s.client.IsLoggedIn());
    s.FromServer("SESSION INVALID\n9\ngone\n\n");
    s.client.Update();
    EXPECT_EQ(0, s.client.IsLoggedIn());
    EXPECT_STREQ("gone", s.client.GetErrorText().Str());
}

TEST(CVQVSClient, NewSessionZeroIsNamedInEveryDatagram) {
    Share s;
    s.LogIn();
    s.FromServer("SESSION\n7\n\nNEW SESSION\n0\n\n");
    s.client.Update();
    EXPECT_EQ(0, s.client.GetSession());
    EXPECT_EQ(1, s.client.IsLoggedIn());
    s.client.RequestViewers();
    s.client.Update();
    EXPECT_EQ("SESSION\n0\n\nREQUEST VIEWERS\n\n", s.Sent().back());
    // A negative number ends the session: nothing more goes out with a prefix.
    s.FromServer("SESSION\n0\n\nNEW SESSION\n-3\n\n");
    s.client.Update();
    EXPECT_EQ(0, s.client.IsLoggedIn());
    s.client.RequestViewers();
    s.client.Update();
    EXPECT_TRUE(s.Sent().empty());
}

TEST(CVQVSClient, HostileServerMessages) {
    // Carriage-return line ends, a short "LOGIN OK" (ignored) before the
    // full one, hostile numbers and names between well-formed messages.
    View v;
    v.client.Login("bo", "pw");
    v.Sent();
    v.FromServer("LOGIN OK\rx\r7\r640\r\r");
    v.client.Update();
    EXPECT_EQ(0, v.client.IsLoggedIn());
    v.FromServer("LOGIN OK\r\nx\r\n7\r\n640\r\n480\r\n4\r\n2\r\n44100\r\n2\r\n12\r\n\r\n");
    v.client.Update();
    ASSERT_EQ(1, v.client.IsLoggedIn());
    EXPECT_EQ(7, v.client.GetSession());
    v.FromServer(
        "SESSION\r7\r\r"
        "VIEWERS\r-1\r\rVIEWERS\r99999999999\rbo\r\r"
        "SESSION INVALID\r-7\r\rSESSION INVALID\r99999999999\r\r"
        "FRAME\rv\r-5\r4\r1\r4\rabcd\r\r"
        "FRAME\rv\r0\r99999999999\r1\r4\rabcd\r\r"
        "FRAME\rv\r0\r4\r-99999999999\r4\rabcd\r\r"
        "FRAME\rv\r0\r4\r3\r4\rwxyz\r\r"
        "VIEWERS\r1\rZo\xeb\r\r"
        "ECHO\r\r");
    v.client.Update();
    EXPECT_EQ(1, v.client.IsLoggedIn());
    unsigned char* data = nullptr;
    int length = 0;
    int64_t ts = 0;
    ASSERT_EQ(1, v.client.TakeVideoPacket(&data, &length, &ts));
    EXPECT_EQ("wxyz", std::string(reinterpret_cast<char*>(data), static_cast<size_t>(length)));
    EXPECT_EQ(3, ts);
    VQPacketFree(data);
    EXPECT_EQ(0, v.client.GetCache()->GetPacketCount());
    // The parse stopped at the non-ASCII name: the "ECHO" behind it is lost
    // with it, nothing before it.
    EXPECT_EQ(0, v.client.GetEchoesOwed());
}

TEST(CVQVSClient, TinyPiecesCostABoundedShareOfAFrame) {
    View v;
    v.LogIn();
    // Datagrams full of one-byte pieces of one packet.
    std::string datagram = "SESSION\n7\n\n";
    int pieces = 0;
    while (datagram.size() < 60000) {
        datagram += "FRAME\nv\n" + std::to_string(pieces) + "\n1000000\n5\n1\nx\n\n";
        ++pieces;
    }
    const int datagrams = 50;
    for (int i = 0; i < datagrams; ++i) v.FromServer(datagram);
    v.client.Update();
    // The budget was spent after a few datagrams; the rest wait.
    int handled = datagrams - static_cast<int>(v.socket->queued.size());
    EXPECT_LE(handled, CVQVSClient::kMaxFramesPerUpdate / pieces + 1);
    EXPECT_GE(handled, 1);
    EXPECT_LE(v.client.GetCache()->GetHeldBytes(), CVQPacketCache::kMaxPiecesPerPacket);
    for (int i = 0; i < datagrams && !v.socket->queued.empty(); ++i) v.client.Update();
    EXPECT_TRUE(v.socket->queued.empty());
    // A control message behind the flood is still handled.
    v.FromServer("SESSION\n7\n\nECHO\n\n");
    v.client.Update();
    std::vector<std::string> sent = v.Sent();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ("SESSION\n7\n\nECHO REPLY\n\n", sent.back());
}

TEST(CVQVSClient, ServerLogoutIsAnsweredOnce) {
    Share s;
    s.LogIn();
    s.FromServer("SESSION\n7\n\nLOGOUT\n\n");
    s.client.Update();
    std::vector<std::string> sent = s.Sent();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ("SESSION\n7\n\nLOGOUT OK\n\n", sent[0]);
    EXPECT_EQ(0, s.client.IsLoggedIn());
    for (int i = 0; i < 5; ++i) s.client.Update();
    EXPECT_TRUE(s.Sent().empty());
}

TEST(CVQVSClient, KeepAliveResetsTheSessionAndANewLoginStartsAfresh) {
    Share s;
    s.LogIn();
    int echoes = 0;
    for (int second = 1; second <= 60 && s.client.IsLoggedIn(); ++second) {
        s.clock.Advance(1000);
        s.client.Update();
        for (const std::string& d : s.Sent())
            if (d == "SESSION\n7\n\nECHO\n\n") ++echoes;
    }
    EXPECT_EQ(0, s.client.IsLoggedIn());
    EXPECT_EQ(3, echoes);
    EXPECT_GE(s.client.GetUnansweredEchoes(), 3);
    // Logging in again must not inherit the unanswered count.
    s.LogIn();
    EXPECT_EQ(0, s.client.GetUnansweredEchoes());
    s.clock.Advance(11000);
    s.client.Update();
    EXPECT_EQ(1, s.client.IsLoggedIn());
    // An answer keeps the session.
    s.FromServer("SESSION\n7\n\nECHO REPLY\n\n");
    s.client.Update();
    EXPECT_EQ(0, s.client.GetUnansweredEchoes());
}

// The system clock's seconds are the C library's: seconds since 1970, not
// the time since some other start, and whole seconds cut off as time() cuts them.
TEST(CVQVSClient, SystemClockSecondsAreTheCLibrarysSeconds) {
    for (int round = 0; round < 1000; ++round) {
        const int64_t before = static_cast<int64_t>(time(nullptr));
        const int64_t seconds = VKSystemClock()->Seconds();
        const int64_t after = static_cast<int64_t>(time(nullptr));
        ASSERT_LE(before, seconds);
        ASSERT_LE(seconds, after);
    }
    const int64_t start = VKSystemClock()->Millis();
    EXPECT_LE(start, VKSystemClock()->Millis());
}

TEST(CVQVSClient, LargePacketIsSplitAcrossDatagrams) {
    Share s;
    s.LogIn();
    std::vector<unsigned char> packet(100000);
    for (size_t i = 0; i < packet.size(); ++i) packet[i] = static_cast<unsigned char>(i * 7);
    ASSERT_EQ(1, s.client.SendVideoPacket(packet.data(), 100000, 1, 250));
    s.client.Update();
    std::vector<std::string> sent = s.Sent();
    ASSERT_EQ(2u, sent.size());
    const std::string prefix = "SESSION\n7\n\nFRAME\nV\n";
    ASSERT_TRUE(StartsWith(sent[0], prefix + "0\n100000\n250\n"));
    int first = 65507 - (11 + 48);
    EXPECT_TRUE(StartsWith(sent[1],
                           prefix + std::to_string(first) + "\n100000\n250\n" + std::to_string(100000 - first) + "\n"));
    for (const std::string& d : sent) EXPECT_LE(d.size(), 65507u);

    // Every piece fits even with the longest numbers.
    s.socket->maxMessageSize = 200;
    ASSERT_EQ(1, s.client.SendAudioPacket(packet.data(), 5000, 0, INT64_MAX));
    s.client.Update();
    for (const std::string& d : s.Sent()) EXPECT_LE(d.size(), 200u);
    // A datagram size with no room at all fails instead of looping.
    s.socket->maxMessageSize = 40;
    EXPECT_EQ(0, s.client.SendAudioPacket(packet.data(), 10, 0, 1));
}

TEST(CVQVSClient, ViewerReassemblesWhatTheSharerSent) {
    Share s;
    s.LogIn();
    View v;
    v.LogIn();
    std::vector<unsigned char> video(150000), audio(3000);
    for (size_t i = 0; i < video.size(); ++i) video[i] = static_cast<unsigned char>(i * 31 + 7);
    for (size_t i = 0; i < audio.size(); ++i) audio[i] = static_cast<unsigned char>(0x80 + i % 128);
    s.client.SendVideoPacket(video.data(), static_cast<int>(video.size()), 1, 100);
    s.client.SendAudioPacket(audio.data(), static_cast<int>(audio.size()), 0, 100);
    s.client.SendOtherPacket(audio.data(), 10, 1, 100);
    s.client.Update();
    std::vector<std::string> sent = s.Sent();
    // Delivered in reverse order and twice.
    for (int round = 0; round < 2; ++round)
        for (auto it = sent.rbegin(); it != sent.rend(); ++it) v.FromServer(*it);
    v.client.Update();
    unsigned char* data = nullptr;
    int length = 0;
    int64_t ts = 0;
    int videos = 0, audios = 0;
    for (int i = 0; i < 6; ++i) {
        if (v.client.TakeVideoPacket(&data, &length, &ts)) {
            EXPECT_EQ(std::string(video.begin(), video.end()), std::string(reinterpret_cast<char*>(data), length));
            VQPacketFree(data);
            ++videos;
        }
        if (v.client.TakeAudioPacket(&data, &length, &ts)) {
            EXPECT_EQ(std::string(audio.begin(), audio.end()), std::string(reinterpret_cast<char*>(data), length));
            VQPacketFree(data);
            ++audios;
        }
    }
    EXPECT_EQ(1, videos);
    EXPECT_EQ(1, audios);
}

TEST(CVQVSClient, ViewerDropsHostileFrames) {
    View v;
    v.LogIn();
    const char* hostile[] = {
        "FRAME\nV\n5\n8\n1\n4\nabcd\n\n",  // offset + length beyond the total
        "FRAME\nV\n-1\n8\n1\n4\nabcd\n\n",          "FRAME\nV\n0\n0\n1\n4\nabcd\n\n",
        "FRAME\nV\n0\n8\n-1\n4\nabcd\n\n",
        "FRAME\nX\n0\n4\n1\n4\nabcd\n\n",  // unknown kind
        "FRAME\nV\n0\n99999999999\n1\n4\nabcd\n\n", "FRAME\nV\n4294967296\n8\n1\n4\nabcd\n\n",
    };
    for (const char* bytes : hostile) v.FromServer(std::string("SESSION\n7\n\n") + bytes);
    v.client.Update();
    EXPECT_EQ(0, v.client.GetCache()->GetPacketCount());
}

TEST(CVQVSClient, FloodIsHandledAFewDatagramsPerUpdate) {
    View v;
    v.LogIn();
    for (int i = 0; i < 1000; ++i) v.FromServer("ECHO\n\n");
    v.client.Update();
    EXPECT_EQ(1000u - CVQVSClient::kMaxDatagramsPerUpdate, v.socket->queued.size());
}

TEST(CVQVSClient, LateLoginOkDoesNotLogInAgain) {
    Share s;
    s.client.Login("anna", "pw");
    s.client.Logout();
    s.FromServer(kLoginOk);
    s.client.Update();
    EXPECT_EQ(0, s.client.IsLoggedIn());
    EXPECT_EQ(0, s.client.IsActive());
}

TEST(CVQVSClient, WorkerAppendsWhileTheRenderThreadUpdates) {
    Share s;
    s.LogIn();
    std::vector<unsigned char> packet(70000, 0x5a);
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        for (int i = 0; i < 300; ++i) s.client.SendVideoPacket(packet.data(), 1000 + i * 200, i % 5 == 0, i);
        stop = true;
    });
    int updates = 0;
    while (!stop) {
        s.client.RequestViewers();
        s.client.Update();
        ++updates;
    }
    worker.join();
    s.client.Update();
    size_t bytes = 0;
    for (auto& d : s.socket->sent) bytes += d.bytes.size();
    EXPECT_GT(bytes, 300u * 1000u);
    EXPECT_EQ(1, s.client.IsLoggedIn());
}
