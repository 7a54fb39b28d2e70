// Voice calls of the HUD against the local test service (started by
// run_social.sh): the call state machine on a clock the test moves, the
// incoming-call box, the sound of both parties through the relay (as bytes,
// then through the codecs), and the 3- and 15-second work of the HUD's share. The
// friend "bo" is scripted with the protocol clients; the HUD's playback goes
// to a fake sound sink, and a friend's stream hands out the bytes of its
// packets as sound.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "CVQChat.h"
#include "CVQDashboard.h"
#include "CVQDecodeVS.h"
#include "CVQFFmpegFrameEncoder.h"
#include "CVQHUD.h"
#include "CVQHUD_Voice.h"
#include "CVQMsgBox.h"
#include "CVQPacketCache.h"
#include "CVQVSClient.h"
#include "FakeFrame.h"
#include "FakeSoundSink.h"
#include "HudServiceTest.h"
#include "LogCapture.h"
#include "VQCodecIds.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {
// A friend's voice as heard by the HUD: a viewer of the friend's stream whose
// sound is the packets' bytes as they came.
class PassThroughVoice : public IVQVoiceStream {
public:
    int Open() override { return m_client.Open(); }
    void Close() override { m_client.Close(); }
    void Update() override {
        m_client.Update();
        if (!m_sound.empty()) return;
        unsigned char* data = nullptr;
        int length = 0;
        int64_t stamp = 0;
        if (m_client.TakeAudioPacket(&data, &length, &stamp)) {
            m_sound.assign(reinterpret_cast<char*>(data), static_cast<size_t>(length));
            m_stamp = stamp;
            VQPacketFree(data);
            m_waiting = true;
        }
    }
    void Connect(const char* user, const char* password, int session, const char* host, int port) override {
        m_client.SetViewSession(session);
        m_client.SetServer(host, port);
        m_client.Login(user, password);
        connected = session;
    }
    void Logout() override { m_client.Logout(); }
    int TakeAudio(const uint8_t** data, int* size, int64_t* timestamp) override {
        if (!m_waiting) return 0;
        m_waiting = false;
        ++taken;
        m_given = m_sound;
        m_sound.clear();
        *data = reinterpret_cast<const uint8_t*>(m_given.data());
        *size = static_cast<int>(m_given.size());
        *timestamp = m_stamp;
        return 1;
    }
    int GetSamplesPerSec() override { return m_client.GetSamplesPerSec(); }
    int GetChannels() override { return m_client.GetChannels(); }
    int GetBitsPerSample() override { return m_client.GetBitsPerSample(); }
    void SetAudioChannel(int channel) override { m_channel = channel; }
    int GetAudioChannel() override { return m_channel; }

    CVQViewVS* Client() { return &m_client; }
    int connected = 0;
    int taken = 0;  // pieces of sound handed out

private:
    CVQViewVS m_client;
    std::string m_sound, m_given;
    int64_t m_stamp = 0;
    bool m_waiting = false;
    int m_channel = -1;
};

IVQVoiceStream* MakePassThrough() { return new PassThroughVoice(); }
IVQVoiceStream* MakeNothing() { return nullptr; }

// The HUD's sound output measures its pauses on the test's clock.
CVKManualClock* g_clock = nullptr;
uint32_t TestMillis() { return static_cast<uint32_t>(g_clock->Millis()); }

class HudVoice : public HudServiceTest {
protected:
    void SetUp() override {
        HudServiceTest::SetUp();
        if (HasFatalFailure()) return;
        hud->Audio()->Stop();
        hud->Audio()->SetSink(&sink);
        ASSERT_EQ(1, hud->Audio()->Start());
        voice = hud->Voice();
        voice->SetClock(&clock);
        voice->SetStreamFactory(MakePassThrough);
        g_clock = &clock;
        hud->Audio()->SetClock(TestMillis);
        clock.Set(1000000);
    }

    void SignInBoth() {
        bo.Connect(CVKString("127.0.0.1"), static_cast<unsigned short>(chatPort));
        ASSERT_EQ(1, bo.SendLogin("bo", "bo-pw", 1));
        hud->Chat()->SignIn("anna", "anna-pw");
        ASSERT_TRUE(Until([&] { return hud->Dashboard()->IsSignedIn(); }));
        ASSERT_TRUE(BoGets(kChatLoginOk));
    }
    // One frame of the HUD and of bo's clients. The HUD's sound requests are
    // carried out before the test looks at the sink.
    void Step() {
        hud->Update();
        ASSERT_EQ(1, hud->Audio()->Flush());
        bo.Pump();
        boVoice.Update();
        boEar.Update();
    }
    bool Until(const std::function<bool()>& done, int ms = 10000) {
        return PumpUntil([&] { Step(); }, done, ms);
    }
    // bo's chat client has a message of that type (others before it are dropped).
    bool BoGets(int type) {
        return Until([&] { return NextIs(bo, type); });
    }
    // bo's own voice stream logged in to the relay (mono 22,050 Hz, 16 bits).
    void BoStreams(const std::string& host, int port) {
        ASSERT_EQ(1, boVoice.Open());
        boVoice.SetServer(host.c_str(), port);
        boVoice.SetWidth(800);
        boVoice.SetHeight(600);
        boVoice.SetFrameRate(20);
        boVoice.SetChannels(1);
        boVoice.SetSamplesPerSec(22050);
        boVoice.SetBitsPerSample(16);
        boVoice.AddOption(CVKString("VOICE"));
        ASSERT_EQ(1, boVoice.Login("bo", "bo-pw"));
        ASSERT_TRUE(Until([&] { return boVoice.IsLoggedIn() != 0; }));
    }
    // Both signed in, anna calls bo and is in the call; bo's chat client has
    // the request: the relay's host and port, and anna's voice session.
    void AnnaCallsBo(CVKString* host, int* session, int* port);
    // Moves the clock on by whole seconds, a frame at each.
    void Advance(int seconds) {
        for (int i = 0; i < seconds; ++i) {
            clock.Advance(1000);
            Step();
        }
    }
    std::vector<CVQMsgBox*> Boxes() {
        std::vector<CVQMsgBox*> found;
        for (int i = 0; i < hud->Windows().Count(); ++i) {
            CVQWindow* w = static_cast<CVQWindow*>(hud->Windows().Get(i));
            if (w->Kind() == CVQFrmWnd::kMessageBox) found.push_back(static_cast<CVQMsgBox*>(w));
        }
        return found;
    }

    FakeSoundSink sink;
    CVKManualClock clock;
    CVQHUD_Voice* voice = nullptr;
    CVQChat bo;
    CVQShareVS boVoice;
    CVQViewVS boEar;
};

CVKPtrList* Names(std::initializer_list<const char*> names) {
    CVKPtrList* list = new CVKPtrList();
    for (const char* n : names) list->Insert(new CVKString(n));
    return list;
}
void FreeNames(CVKPtrList* list) {
    FreeStringList(list);
    delete list;
}

void HudVoice::AnnaCallsBo(CVKString* host, int* session, int* port) {
    SignInBoth();
    CVKPtrList* names = Names({"bo"});
    voice->Call(*names);
    FreeNames(names);
    ASSERT_TRUE(Until([&] { return voice->GetState() == CVQHUD_Voice::kInCall; }));
    ASSERT_TRUE(BoGets(kChatVoice));
    CVKString name;
    int start = 0;
    ASSERT_EQ(1, bo.GetVoiceRequest(&name, &start, session, host, port));
}
}  // namespace

TEST(VoiceTime, AudioTimeStampsAreSixtyFourBit) {
    // 2048 stereo 16-bit samples a packet at 44.1 kHz: the 32-bit product of
    // packets, bytes and 1000 wraps after about 12 s; these stay exact.
    EXPECT_EQ(46439, CVQVoiceVS::PacketTime(1000, 8192, 2, 2, 44100));
    // An hour of such packets ends within one packet of 3,600,000 ms.
    const int64_t hour = CVQVoiceVS::PacketTime(int64_t(44100) * 3600 / 2048, 8192, 2, 2, 44100);
    EXPECT_LE(hour, 3600000);
    EXPECT_GT(hour, 3600000 - 47);
    EXPECT_EQ(0, CVQVoiceVS::PacketTime(5, 8192, 0, 2, 44100));
}

TEST_F(HudVoice, CallAnsweredBothHearEachOtherAndTheCallEndsWhenNobodyListens) {
    LogCapture log;
    SignInBoth();
    CVKPtrList* names = Names({"bo"});
    voice->Call(*names);
    FreeNames(names);
    EXPECT_EQ(CVQHUD_Voice::kCalling, voice->GetState());
    EXPECT_EQ("NCU C WS\n", voice->StateLine());

    // anna's voice stream logs in; then bo is asked, with its session.
    ASSERT_TRUE(Until([&] { return voice->GetState() == CVQHUD_Voice::kInCall; }));
    const int annaSession = voice->GetVoiceSession();
    ASSERT_GT(annaSession, 0);
    ASSERT_TRUE(BoGets(kChatVoice));
    CVKString name, host;
    int start = 0, session = 0, port = 0;
    ASSERT_EQ(1, bo.GetVoiceRequest(&name, &start, &session, &host, &port));
    bo.PopMessage();
    EXPECT_STREQ("anna", name.Str());
    EXPECT_EQ(1, start);
    EXPECT_EQ(annaSession, session);
    EXPECT_EQ(EnvPort("NET_VS_PORT"), port);

    // bo listens to anna and answers with a stream of its own.
    ASSERT_EQ(1, boEar.Open());
    boEar.SetServer(host.Str(), port);
    boEar.SetViewSession(annaSession);
    ASSERT_EQ(1, boEar.Login("bo", "bo-pw"));
    BoStreams(host.Str(), port);
    ASSERT_EQ(1, bo.SendRequestVoice("anna", 1, boVoice.GetSession(), host.Str(), port));
    ASSERT_TRUE(Until([&] { return voice->Pipeline()->RemoteVoices()->Count() == 1; }));
    EXPECT_EQ(0, voice->CalledFriends().Count());
    PassThroughVoice* heard = static_cast<PassThroughVoice*>(voice->Pipeline()->RemoteVoices()->Get(0));
    EXPECT_EQ(boVoice.GetSession(), heard->connected);

    // bo's sound is played on a channel of bo's format: 0x1111 samples but
    // for 32767, -32768 and -32767 (at full scale) and 32766 (not quite).
    ASSERT_TRUE(Until([&] { return heard->Client()->IsLoggedIn() != 0; }));
    std::string pcm(882, '\x11');
    const char* const kLoud[4] = {"\xff\x7f", "\x00\x80", "\x01\x80", "\xfe\x7f"};
    for (int i = 0; i < 4; ++i) pcm.replace(static_cast<size_t>(100 + 50 * i), 2, kLoud[i], 2);
    ASSERT_EQ(1, boVoice.SendAudioPacket(reinterpret_cast<const unsigned char*>(pcm.data()), 882, 1, 0));
    ASSERT_TRUE(Until([&] { return !sink.devices.empty() && !sink.Last()->played.empty(); }));
    EXPECT_EQ(pcm, sink.Last()->played[0]);
    EXPECT_EQ(22050u, sink.Last()->format.nSamplesPerSec);
    EXPECT_EQ(1, sink.Last()->format.nChannels);
    EXPECT_EQ(16, sink.Last()->format.wBitsPerSample);

    // anna's voice reaches bo, in order.
    ASSERT_TRUE(voice->Pipeline()->IsInCall()) << "the voice device or encoder did not start";
    int64_t last = -1;
    int packets = 0;
    ASSERT_TRUE(Until([&] {
        unsigned char* data = nullptr;
        int length = 0;
        int64_t stamp = 0;
        while (boEar.TakeAudioPacket(&data, &length, &stamp)) {
            EXPECT_GT(stamp, last);
            last = stamp;
            ++packets;
            VQPacketFree(data);
        }
        return packets >= 3;
    }));

    // bo listens: the 15-second check keeps the call.
    Advance(3);
    ASSERT_TRUE(Until([&] { return voice->Pipeline()->Client()->GetViewers()->Count() == 1; }));
    Advance(13);
    EXPECT_EQ(CVQHUD_Voice::kInCall, voice->GetState());

    // bo stops listening: the next check finds nobody and hangs up.
    boEar.Logout();
    Advance(3);
    ASSERT_TRUE(Until([&] { return voice->Pipeline()->Client()->GetViewers()->Count() == 0; }));
    Advance(12);
    EXPECT_EQ(CVQHUD_Voice::kIdle, voice->GetState());
    EXPECT_EQ("NCU NC NS\n", voice->StateLine());
    EXPECT_EQ(0, voice->Pipeline()->RemoteVoices()->Count());
    EXPECT_FALSE(sink.Last()->open) << "the friend's channel closes with the call";
    EXPECT_EQ(0, voice->GetVoiceSession());
    Step();
    EXPECT_FALSE(voice->Pipeline()->IsInCall());
    // Of bo's sound, the one piece went to playback: its peak is -32768's,
    // three of its samples are at full scale.
    EXPECT_EQ(1, log.Count("Heard bo: 882 bytes of sound to playback, peak 32768, 3 samples at full scale\r\n"))
        << log.text;
}

// bo is heard while no output device opens: one piece every 100 ms of the
// test's clock, and the device is asked once a second, not for every piece;
// its refusal is logged once. Once a device opens, bo is heard.
TEST_F(HudVoice, AFriendsSoundAsksARefusingDeviceOnceASecond) {
    LogCapture log;
    CVKString host;
    int session = 0, port = 0;
    ASSERT_NO_FATAL_FAILURE(AnnaCallsBo(&host, &session, &port));
    BoStreams(host.Str(), port);
    ASSERT_EQ(1, bo.SendRequestVoice("anna", 1, boVoice.GetSession(), host.Str(), port));
    ASSERT_TRUE(Until([&] { return voice->Pipeline()->RemoteVoices()->Count() == 1; }));
    PassThroughVoice* heard = static_cast<PassThroughVoice*>(voice->Pipeline()->RemoteVoices()->Get(0));
    ASSERT_TRUE(Until([&] { return heard->Client()->IsLoggedIn() != 0; }));

    const std::string pcm(882, '\x11');
    auto piece = [&](int i) {
        ASSERT_EQ(1, boVoice.SendAudioPacket(reinterpret_cast<const unsigned char*>(pcm.data()), 882, 1, i * 20));
        ASSERT_TRUE(Until([&] { return heard->taken == i + 1; }));
        clock.Advance(100);
    };
    sink.refuseOpen = MMSYSERR_NODRIVER;
    std::vector<int64_t> asked;
    for (int i = 0; i < 40; ++i) {
        const int opens = sink.opens;
        const int64_t now = clock.Millis();
        piece(i);
        if (sink.opens != opens) asked.push_back(now);
    }
    ASSERT_EQ(4u, asked.size()) << "40 pieces in 4 s";
    for (size_t i = 1; i < asked.size(); ++i) EXPECT_EQ(1000, asked[i] - asked[i - 1]);
    EXPECT_EQ(1, log.Count("CVQHUD_Audio::OpenChannel(): Can't open WAVE Out Device (6)\r\n")) << log.text;

    sink.refuseOpen = MMSYSERR_NOERROR;
    for (int i = 40; i < 50; ++i) piece(i);
    ASSERT_EQ(1u, sink.devices.size()) << "the device back within a second";
    EXPECT_EQ(5, sink.opens);
    ASSERT_FALSE(sink.Last()->played.empty());
    EXPECT_EQ(pcm, sink.Last()->played.back());
    voice->HangUp();
}

TEST_F(HudVoice, IncomingCallBoxAnswersAndRefusals) {
    SignInBoth();
    const std::string host = "127.0.0.1";
    const int port = EnvPort("NET_VS_PORT");
    BoStreams(host, port);
    ASSERT_EQ(1, bo.SendRequestVoice("anna", 1, boVoice.GetSession(), host.c_str(), port));
    ASSERT_TRUE(Until([&] { return !Boxes().empty(); }));
    // bo asks again: still one box, one waiting call.
    ASSERT_EQ(1, bo.SendRequestVoice("anna", 1, boVoice.GetSession(), host.c_str(), port));
    ASSERT_EQ(1, bo.SendRequestVoice("anna", 0, boVoice.GetSession(), host.c_str(), port));  // "Stop": nothing
    for (int i = 0; i < 20; ++i) Step();
    ASSERT_EQ(1u, Boxes().size());
    CVQMsgBox* box = Boxes()[0];
    EXPECT_STREQ("Incoming call from:\nbo", box->GetMessageText());
    EXPECT_EQ(CVQMsgBox::kConfirmation, box->GetBoxKind());
    EXPECT_STREQ(CVQHUD_Voice::kBoxTag, box->GetTag());
    EXPECT_EQ(1, voice->IncomingCalls().Count());
    EXPECT_EQ("CU NC NS\n", voice->StateLine());

    // Closing the box refuses: nothing waits any more, nothing started.
    box->Close();
    EXPECT_EQ(0, voice->IncomingCalls().Count());
    EXPECT_EQ(CVQHUD_Voice::kIdle, voice->GetState());
    EXPECT_EQ(0, voice->Pipeline()->RemoteVoices()->Count());

    // Called again and answered: anna streams and tells bo her session.
    ASSERT_EQ(1, bo.SendRequestVoice("anna", 1, boVoice.GetSession(), host.c_str(), port));
    ASSERT_TRUE(Until([&] { return voice->IncomingCalls().Count() == 1 && Boxes().size() == 1; }));
    Boxes()[0]->Answer(CVQMsgBox::kOk);
    EXPECT_EQ(CVQHUD_Voice::kAnswering, voice->GetState());
    EXPECT_EQ(1, voice->AcceptedCalls().Count());
    EXPECT_EQ(1, voice->Pipeline()->RemoteVoices()->Count());
    ASSERT_TRUE(Until([&] { return voice->GetState() == CVQHUD_Voice::kInCall; }));
    EXPECT_EQ(0, voice->AcceptedCalls().Count());
    ASSERT_TRUE(BoGets(kChatVoice));
    CVKString name, vsHost;
    int start = 0, session = 0, vsPort = 0;
    ASSERT_EQ(1, bo.GetVoiceRequest(&name, &start, &session, &vsHost, &vsPort));
    EXPECT_EQ(voice->GetVoiceSession(), session);

    voice->HangUp();
    EXPECT_EQ(CVQHUD_Voice::kIdle, voice->GetState());
    EXPECT_EQ(0, voice->Pipeline()->RemoteVoices()->Count());
}

TEST_F(HudVoice, AHostileServerCannotPileUpCallBoxesAndAMissingDecoderIsReported) {
    LogCapture log;
    for (int i = 0; i < 12; ++i) voice->OnVoice(("caller" + std::to_string(i)).c_str(), 100 + i, "127.0.0.1", 1);
    EXPECT_EQ(CVQHUD_Voice::kMaxIncomingCalls, voice->IncomingCalls().Count());
    EXPECT_EQ(static_cast<size_t>(CVQHUD_Voice::kMaxIncomingCalls), Boxes().size());
    EXPECT_EQ(12 - CVQHUD_Voice::kMaxIncomingCalls, log.Count("Too many calls waiting"));
    // Every box answered by closing: no call stays pending.
    for (CVQMsgBox* box : Boxes()) box->Close();
    EXPECT_EQ(0, voice->IncomingCalls().Count());

    // No decoder for the friend's stream: said so, nothing else happens.
    voice->SetStreamFactory(MakeNothing);
    voice->OnVoice("caller0", 5, "127.0.0.1", 1);
    ASSERT_EQ(1u, Boxes().size());
    Boxes()[0]->Answer(CVQMsgBox::kOk);
    std::vector<CVQMsgBox*> boxes = Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_STREQ("Error creating voice decoder", boxes[0]->GetMessageText());
    EXPECT_EQ(0, voice->Pipeline()->RemoteVoices()->Count());
    voice->HangUp();
}

TEST_F(HudVoice, ACallNobodyAnswersEndsAtTheFifteenSecondCheck) {
    SignInBoth();
    CVKPtrList* names = Names({"quiet"});  // offline: never answers
    voice->Call(*names);
    FreeNames(names);
    ASSERT_TRUE(Until([&] { return voice->GetState() == CVQHUD_Voice::kInCall; }));
    Advance(14);
    EXPECT_EQ(CVQHUD_Voice::kInCall, voice->GetState());
    Advance(1);
    EXPECT_EQ(CVQHUD_Voice::kIdle, voice->GetState());
    EXPECT_EQ(0, voice->CalledFriends().Count());

    // Hung up while its stream is still logging in: the stream never starts.
    names = Names({"bo"});
    voice->Call(*names);
    FreeNames(names);
    EXPECT_EQ(CVQHUD_Voice::kCalling, voice->GetState());
    voice->HangUp();
    EXPECT_EQ(0, voice->Pipeline()->Client()->IsActive());
    for (int i = 0; i < 100; ++i) {
        Step();
        Sleep(2);
    }
    EXPECT_EQ(0, voice->GetVoiceSession());
    EXPECT_FALSE(voice->Pipeline()->IsInCall());
    EXPECT_EQ(CVQHUD_Voice::kIdle, voice->GetState());
}

TEST_F(HudVoice, AVoiceDeviceThatFailsIsTriedOncePerSecondNotEveryFrame) {
    store.Set("shareVoiceDevice", "99");  // no such device
    SignInBoth();
    LogCapture log;
    CVKPtrList* names = Names({"quiet"});
    voice->Call(*names);
    FreeNames(names);
    ASSERT_TRUE(Until([&] { return voice->GetState() == CVQHUD_Voice::kInCall; }));
    for (int i = 0; i < 50; ++i) Step();
    const char* failure = "CVQVoiceVS::BeginCall(): Failed to start the voice device";
    EXPECT_EQ(1, log.Count(failure));
    clock.Advance(999);
    for (int i = 0; i < 10; ++i) Step();
    EXPECT_EQ(1, log.Count(failure));
    clock.Advance(1);
    for (int i = 0; i < 10; ++i) Step();
    EXPECT_EQ(2, log.Count(failure));
    EXPECT_FALSE(voice->Pipeline()->IsInCall());
    voice->HangUp();
}

namespace {
// Compressed sound of a 441 Hz tone (period 50 samples at 22,050 Hz, mono),
// sent on bo's voice stream as bo's voice pipeline would send it.
void SendTone(CVQShareVS* stream, CVQFFmpegFrameEncoder* encoder, int64_t* packets, int count) {
    const int frameBytes = encoder->GetAudioFrameBytes();
    std::vector<int16_t> pcm(static_cast<size_t>(frameBytes / 2));
    AVPacket* packet = av_packet_alloc();
    for (int n = 0; n < count; ++n) {
        for (size_t i = 0; i < pcm.size(); ++i) {
            const int64_t t = *packets * static_cast<int64_t>(pcm.size()) + static_cast<int64_t>(i);
            pcm[i] = static_cast<int16_t>(8000.0 * sin(2.0 * 3.14159265358979 * static_cast<double>(t % 50) / 50.0));
        }
        encoder->SetInputAudio(reinterpret_cast<const uint8_t*>(pcm.data()));
        ASSERT_EQ(1, encoder->EncodeAudioPacket(packet));
        if (packet->size > 0)
            stream->SendAudioPacket(packet->data, packet->size, packet->flags,
                                    CVQVoiceVS::PacketTime(*packets, frameBytes, 1, 2, 22050));
        ++*packets;
    }
    av_packet_free(&packet);
}

// Sign changes per 50 samples of the second half of the sound (past the
// codec's start-up).
double CrossingsPerPeriod(const std::string& bytes) {
    const int16_t* s = reinterpret_cast<const int16_t*>(bytes.data());
    const size_t n = bytes.size() / 2;
    int crossings = 0;
    for (size_t i = n / 2 + 1; i < n; ++i)
        if ((s[i - 1] < 0) != (s[i] < 0)) ++crossings;
    return crossings * 50.0 / static_cast<double>(n - n / 2);
}
}  // namespace

// Both parties with the real codecs: anna's HUD hears bo's tone through its
// view session's decoder, and bo decodes anna's voice.
TEST_F(HudVoice, BothPartiesHearEachOtherThroughTheCodecs) {
    LogCapture log;
    voice->SetStreamFactory(VQMakeVoiceStream);
    CVKString host;
    int session = 0, port = 0;
    ASSERT_NO_FATAL_FAILURE(AnnaCallsBo(&host, &session, &port));
    bo.PopMessage();

    // bo listens with a view session of its own, and answers with its stream.
    CVQDecodeVS boHears;
    ASSERT_EQ(1, boHears.Open());
    boHears.Connect("bo", "bo-pw", session, host.Str(), port);
    BoStreams(host.Str(), port);
    ASSERT_EQ(1, bo.SendRequestVoice("anna", 1, boVoice.GetSession(), host.Str(), port));
    ASSERT_TRUE(Until([&] { return voice->Pipeline()->RemoteVoices()->Count() == 1; }));
    IVQVoiceStream* heard = static_cast<IVQVoiceStream*>(voice->Pipeline()->RemoteVoices()->Get(0));
    ASSERT_TRUE(Until([&] { return heard->GetSamplesPerSec() == 22050; }));

    CVQFFmpegFrameEncoder encoder;
    encoder.EnableVideo(0);
    encoder.EnableAudio(1);
    encoder.SetAudioCodec(kVQCodecWMAV2, 64000);
    encoder.SetAudioFormat(1, 22050, 16);
    encoder.SetFrameRate(4);
    ASSERT_EQ(1, encoder.OpenEncoder());
    int64_t packets = 0;
    std::string played;
    int64_t boHeardBytes = 0;
    ASSERT_TRUE(Until(
        [&] {
            if (packets < 40) SendTone(&boVoice, &encoder, &packets, 2);
            boHears.Update();
            uint8_t* data = nullptr;
            int size = 0;
            int64_t stamp = 0;
            if (boHears.TakeAudio(&data, &size, &stamp)) boHeardBytes += size;
            sink.FinishAll();
            played.clear();
            for (FakeSoundSink::Device* d : sink.devices)
                for (const std::string& piece : d->played) played += piece;
            return played.size() >= 22050 && boHeardBytes >= 4096;
        },
        20000))
        << "played " << played.size() << ", bo heard " << boHeardBytes;
    // The tone arrives as a tone: two sign changes a period.
    EXPECT_NEAR(2.0, CrossingsPerPeriod(played), 0.2);
    voice->HangUp();
    boHears.Logout();
    // The hang-up sums up what bo's voice gave the playback: at least what the
    // sink played, at the tone's level (8000, give or take the codec) and
    // never at full scale; bo's stream names bo in its own line, once.
    const size_t at = log.text.find("Heard bo: ");
    ASSERT_NE(std::string::npos, at) << log.text;
    long long bytes = 0;
    int peak = 0;
    long long fullScale = -1;
    ASSERT_EQ(3, sscanf(log.text.c_str() + at,
                        "Heard bo: %lld bytes of sound to playback, peak %d, %lld samples at full scale", &bytes, &peak,
                        &fullScale));
    EXPECT_GE(bytes, static_cast<long long>(played.size()));
    EXPECT_GT(peak, 6000);
    EXPECT_LT(peak, 10000);
    EXPECT_EQ(0, fullScale);
    EXPECT_EQ(1, log.Count("View of bo: pictures 0, sound packets "));
}

// The HUD's own share on the test's clock: an invitation-only share ends at
// the first 15-second check without viewers; one the player asked for stays,
// and its viewers list is asked for every 3 seconds.
TEST_F(HudVoice, ShareWithoutViewersEndsAtTheFifteenSecondCheckUnlessAskedFor) {
    FakeFrame::SetBackBuffer(22, 640, 480);  // 32-bit
    hud->SetClock(&clock);
    SignInBoth();
    CVQShareVS* share = hud->ShareClient();
    hud->QueueShareInvitation("bo");
    ASSERT_TRUE(Until([&] { return share->IsLoggedIn() && hud->PendingInvitations().Count() == 0; }));
    Advance(14);
    EXPECT_TRUE(share->IsLoggedIn());
    Advance(1);
    EXPECT_FALSE(share->IsActive()) << "no viewer came: the share ends";

    hud->SetShareRequested(1);
    ASSERT_TRUE(Until([&] { return share->IsLoggedIn() != 0; }));
    const int session = share->GetSession();
    ASSERT_EQ(1, boEar.Open());
    boEar.SetServer("127.0.0.1", EnvPort("NET_VS_PORT"));
    boEar.SetViewSession(session);
    ASSERT_EQ(1, boEar.Login("bo", "bo-pw"));
    ASSERT_TRUE(Until([&] { return boEar.IsLoggedIn() != 0; }));
    Advance(3);
    ASSERT_TRUE(Until([&] { return share->GetViewers()->Count() == 1; }));
    Advance(30);
    EXPECT_TRUE(share->IsLoggedIn()) << "asked for, and watched";
    // The player no longer asks; bo still watches, then leaves.
    hud->SetShareRequested(0);
    Advance(15);
    EXPECT_TRUE(share->IsLoggedIn());
    boEar.Logout();
    Advance(3);
    ASSERT_TRUE(Until([&] { return share->GetViewers()->Count() == 0; }));
    Advance(12);
    EXPECT_FALSE(share->IsActive());
}
