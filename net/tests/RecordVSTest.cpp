#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "CVQDecodeVS.h"
#include "CVQRecordVS.h"
#include "FakeSockets.h"
#include "FakeSurface.h"
#include "LogCapture.h"
#include "MediaTestUtil.h"
#include "MemorySettings.h"
#include "SoundSignal.h"
#include "VKClock.h"

namespace {
uint32_t g_now = 1000;
uint32_t Clock() { return g_now; }
const uint32_t kServer = 0x0100007Fu;
const unsigned short kPort = 13580;
const std::string kLoginOk = "LOGIN OK\nx\n7\n320\n240\n4\n2\n44100\n2\n12\n\n";

// A share recorder over a fake socket, logged in at its first frame, and a
// view session that receives every datagram the share sends.
class RecordVSTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteSignalFile(2, 80));
        VKSetClock(Clock);
        ResizeFakeBackBuffer(22, 320, 240);
        FakeBackBuffer& b = TheFakeBackBuffer();
        b.eventQueries = true;
        b.doneDelay = 1;
        b.failLock = false;
        b.failInfo = false;
        clock.Set(1000000);
        client = new CVQShareVS(shareSocket, &clock);
        recorder = new CVQRecordVS(client);
        client->Open();
        client->SetServer("127.0.0.1", kPort);
        client->Login("anna", "pw");
        shareSocket->inbound.push_back({kServer, kPort, kLoginOk});
        view.Open();
        view.Connect("bo", "pw", 7, "127.0.0.1", kPort);
        viewSocket->inbound.push_back({kServer, kPort, kLoginOk});
    }
    void TearDown() override {
        delete recorder;
        VKSetClock(nullptr);
    }
    // One frame of the game: a counter picture, the share's frame step, the
    // relay, the viewer's frame step.
    void Frame() {
        FakeBackBuffer& b = TheFakeBackBuffer();
        b.frame++;
        DrawCounterPicture(b.pixels.data(), static_cast<int>(b.width), static_cast<int>(b.height),
                           static_cast<int>(b.pitch), counter++);
        recorder->ProcessFrame();
        for (auto& d : shareSocket->sent) {
            if (d.bytes.find("FRAME\nS\n") != std::string::npos) inputPackets++;
            viewSocket->inbound.push_back({kServer, kPort, d.bytes});
        }
        shareSocket->sent.clear();
        view.Update();
    }

    MemorySettings settings;
    CVKManualClock clock;  // stands still: no keep-alive silence
    CFakeDatagramSocket* shareSocket = new CFakeDatagramSocket;
    CFakeDatagramSocket* viewSocket = new CFakeDatagramSocket;
    CVQShareVS* client = nullptr;
    CVQRecordVS* recorder = nullptr;
    CVQDecodeVS view{viewSocket, &clock};
    uint32_t counter = 0;
    int inputPackets = 0;
};
}  // namespace

// A share of the counter picture and the signal device's tone, run past a
// minute of sound (the capture device delivers faster than real time):
// pictures reach the viewer in order, and sound packet times keep rising past
// the point where a 32-bit clock went negative and viewers dropped all sound.
TEST_F(RecordVSTest, ShareRunsPastAMinuteAndTheViewerFollows) {
    // With the worker past a minute; without it (the render thread codes) a few seconds.
    for (const char* threads : {"1", "0"}) {
        settings.Set("shareThreads", threads);
        const int64_t until = threads[0] == '1' ? 62000 : 8000;
        LogCapture log;
        // The picture shows 16 bits of the counter: each round starts again
        // from 0, so a slow round cannot wrap it past 65535.
        counter = 0;
        Frame();  // logs in (first round) or starts the next share
        std::vector<uint32_t> counters;
        int64_t soundBytes = 0;
        int spins = 0;
        for (; spins < 60000 && recorder->GetStats().lastAudioTime < until; spins++) {
            Frame();
            if (spins == 20) {
                recorder->OnInputEvent(WM_KEYDOWN, 'A', 0x001E0001);
                recorder->OnInputEvent(WM_KEYUP, 'A', 0xC01E0001);
            }
            uint8_t* data = nullptr;
            int size = 0;
            int64_t time = 0;
            if (view.TakePicture(&data, &size, &time)) {
                ASSERT_EQ(320 * 240 * 4, size);
                counters.push_back(ReadCounter(reinterpret_cast<uint32_t*>(data), 320, 240));
            }
            if (view.TakeAudio(&data, &size, &time)) soundBytes += size;
            if (spins % 4 == 0) Sleep(1);
        }
        ASSERT_EQ(1, recorder->IsRecording()) << threads;
        const CVQRecordVS::Stats stats = recorder->GetStats();
        EXPECT_GE(stats.lastAudioTime, until) << threads;
        // One picture per quarter second of sound, or fewer when behind.
        EXPECT_GE(stats.pictures, until / 250 / 2) << threads;
        EXPECT_LE(stats.pictures, stats.lastAudioTime / 250 + 2) << threads;
        recorder->EndRecording();
        EXPECT_EQ(1, log.Count("Start sharing(le):\r\n"));
        EXPECT_EQ(1, log.Count("Threading: " + std::string(threads) + "\r\n"));
        EXPECT_EQ(1, log.Count("End sharing(le)\r\n"));
        EXPECT_EQ(0, log.Count("Couldn't decode"));

        const CVQDecodeVS::Stats& seen = view.GetStats();
        EXPECT_EQ(0, seen.soundOutOfOrder) << threads;
        EXPECT_GE(seen.lastSoundTime, until - 2000) << threads;
        EXPECT_GT(soundBytes, 44100LL * 4 * (until - 5000) / 1000) << threads;
        ASSERT_GE(counters.size(), static_cast<size_t>(until / 250 / 2)) << threads;
        for (size_t i = 1; i < counters.size(); i++) ASSERT_GT(counters[i], counters[i - 1]) << i;
        EXPECT_GE(inputPackets, 1) << threads;
        // The share client stays logged in: the next frame shares again.
        Frame();
        EXPECT_EQ(1, recorder->IsRecording());
        recorder->EndRecording();
        inputPackets = 0;
        view.Open();  // a fresh view session for the second round
        view.Connect("bo", "pw", 7, "127.0.0.1", kPort);
        viewSocket->inbound.push_back({kServer, kPort, kLoginOk});
    }
}

// A share that cannot start is tried again once a second, not on every
// frame; a change of the back buffer ends the share, which restarts with the
// new size at the next frame.
TEST_F(RecordVSTest, FailedStartsAreRetriedOnceASecondAndSizeChangesRestart) {
    settings.Set("shareThreads", "0");
    LogCapture log;
    TheFakeBackBuffer().failInfo = true;
    for (int i = 0; i < 50; i++) Frame();
    EXPECT_EQ(0, recorder->IsRecording());
    EXPECT_EQ(1, log.Count("CVQRecordVS::BeginRecording(): Failed to get back buffer\r\n"));
    TheFakeBackBuffer().failInfo = false;
    Frame();
    EXPECT_EQ(0, recorder->IsRecording());
    g_now += 1000;
    Frame();
    ASSERT_EQ(1, recorder->IsRecording());

    for (int i = 0; i < 200 && recorder->GetStats().pictures < 3; i++) {
        Frame();
        Sleep(2);
    }
    ASSERT_GE(recorder->GetStats().pictures, 3);
    ResizeFakeBackBuffer(22, 400, 300);
    for (int i = 0; i < 400 && recorder->IsRecording() && !log.Count("size/format change"); i++) {
        Frame();
        Sleep(2);
    }
    EXPECT_EQ(1,
              log.Count("CVQRecordVS::CaptureBackBuffer(): Back buffer size/format change (w:400, h:300, f:22)\r\n"));
    Frame();
    ASSERT_EQ(1, recorder->IsRecording());
    EXPECT_EQ(400, recorder->GetVideoWidth());
    EXPECT_EQ(300, recorder->GetVideoHeight());
    EXPECT_EQ(2, log.Count("Start sharing(le):\r\n"));
}
