#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "CVKRECDecoder.h"
#include "CVQRecordSE.h"
#include "FakeSurface.h"
#include "LogCapture.h"
#include "MediaTestUtil.h"
#include "MemorySettings.h"
#include "SoundSignal.h"
#include "VKLog.h"
#include "VQRecFormat.h"

namespace {
std::string OutputFolder() {
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    std::string folder = std::string(cwd) + "\\recse_out\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void DrawFrame(uint32_t counter) {
    FakeBackBuffer& b = TheFakeBackBuffer();
    DrawCounterPicture(b.pixels.data(), static_cast<int>(b.width), static_cast<int>(b.height),
                       static_cast<int>(b.pitch), counter);
}

class RecordSETest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteSignalFile(2, 60));
        m_settings.Set("recorderFolder", OutputFolder());
        ResizeFakeBackBuffer(22, 320, 64);
        FakeBackBuffer& b = TheFakeBackBuffer();
        b.eventQueries = true;
        b.doneDelay = 0;
        b.failLock = false;
    }
    MemorySettings m_settings;
};

struct RecContents {
    std::vector<char> order;
    std::vector<int64_t> times;
    std::vector<uint32_t> counters;
    std::vector<int> worstError;
    std::vector<int16_t> sound;
    std::vector<uint32_t> audioSizes;
    int decodeFailures = 0;
};

RecContents ReadRecording(const char* path, CVKRECDecoder* d) {
    RecContents c;
    if (!d->Open(path)) return c;
    AVPacket* packet = av_packet_alloc();
    std::vector<uint8_t> expected(static_cast<size_t>(d->width) * d->height * 4);
    for (char tag; (tag = d->ReadTag()) != 0;) {
        c.order.push_back(tag);
        if (tag == 'A') {
            const uint8_t* data;
            uint32_t size;
            if (!d->ReadSampleAudio(&data, &size)) break;
            c.audioSizes.push_back(size);
            const int16_t* samples = reinterpret_cast<const int16_t*>(data);
            c.sound.insert(c.sound.end(), samples, samples + size / 2);
        } else if (tag == 'V') {
            int64_t ts;
            if (!d->ReadSampleVideo(packet, &ts)) break;
            c.times.push_back(ts);
            const uint32_t* pixels = reinterpret_cast<const uint32_t*>(d->DecodeVideoSample(packet));
            if (!pixels) {
                c.decodeFailures++;
                continue;
            }
            const uint32_t counter = ReadCounter(pixels, static_cast<int>(d->width), static_cast<int>(d->height));
            c.counters.push_back(counter);
            DrawCounterPicture(expected.data(), static_cast<int>(d->width), static_cast<int>(d->height),
                               static_cast<int>(d->width) * 4, counter);
            const uint32_t* want = reinterpret_cast<const uint32_t*>(expected.data());
            int worst = 0;
            for (size_t i = 0; i < static_cast<size_t>(d->width) * d->height; i++)
                for (int shift = 0; shift < 24; shift += 8) {
                    const int e = abs(static_cast<int>((want[i] >> shift) & 0xFF) -
                                      static_cast<int>((pixels[i] >> shift) & 0xFF));
                    if (e > worst) worst = e;
                }
            c.worstError.push_back(worst);
        }
    }
    av_packet_free(&packet);
    return c;
}
}  // namespace

// Records a few dozen frames of a counter picture with the signal device's
// tone and reads the file back: pictures, their times and the sound.
TEST_F(RecordSETest, RoundTripThroughTheReader) {
    LogCapture log;
    std::string path, diPath;
    CVQRecordSE::Stats stats;
    {
        CVQRecordSE recorder;
        ASSERT_EQ(1, recorder.BeginRecording());
        ASSERT_EQ(1, recorder.IsRecording());
        path = recorder.GetPath();
        uint32_t frame = 0;
        for (int spins = 0; recorder.GetStats().recorded < 40 && spins < 20000; spins++) {
            DrawFrame(frame++);
            recorder.ProcessFrame();
            if (frame == 10) {
                recorder.OnInputEvent(WM_KEYDOWN, 'A', 0x001E0001);
                recorder.OnInputEvent(WM_KEYUP, 'A', 0xC01E0001);
            }
            Sleep(1);
        }
        recorder.EndRecording();
        stats = recorder.GetStats();
        EXPECT_EQ(0, recorder.IsRecording());
    }
    EXPECT_GE(stats.recorded, 40u);
    EXPECT_NE(std::string::npos, log.text.find("Start recording:\r\n"));
    EXPECT_NE(std::string::npos, log.text.find("FileName: " + path + "\r\n"));
    EXPECT_NE(std::string::npos, log.text.find("Framerate@"));
    EXPECT_NE(std::string::npos, log.text.find("End recording\r\n"));
    // The timing line gives this recording's own milliseconds, just before the end.
    char timing[96];
    snprintf(timing, sizeof timing, "Timing: sau=%d cap=%d enc=%d sav=%d\r\nEnd recording\r\n",
             static_cast<int>(stats.soundMicros / 1000), static_cast<int>(stats.captureMicros / 1000),
             static_cast<int>(stats.encodeMicros / 1000), static_cast<int>(stats.saveMicros / 1000));
    EXPECT_NE(std::string::npos, log.text.find(timing)) << log.text;

    CVKRECDecoder d;
    RecContents c = ReadRecording(path.c_str(), &d);
    ASSERT_FALSE(c.order.empty());
    EXPECT_EQ(22u, d.backBufferFormat);
    EXPECT_EQ(320u, d.width);
    EXPECT_EQ(64u, d.height);
    EXPECT_EQ(16, d.bitsPerSample);
    EXPECT_EQ(VQRecAudioBufferBytes(d.bitsPerSample, d.channels, static_cast<int>(d.sampleRate)), d.audioBufferBytes);
    EXPECT_EQ('A', c.order.front());
    EXPECT_EQ(stats.recorded, c.times.size());
    EXPECT_EQ(0, c.decodeFailures);
    // Each picture's time is the sound written before it.
    int64_t audioBefore = 0;
    size_t video = 0;
    for (char tag : c.order) {
        if (tag == 'A')
            audioBefore++;
        else
            EXPECT_EQ(VQRecTimestamp(audioBefore, d.audioBufferBytes, d.sampleRate * d.channels * d.bitsPerSample / 8),
                      c.times[video++]);
    }
    for (uint32_t size : c.audioSizes) EXPECT_EQ(d.audioBufferBytes, size);
    for (size_t i = 1; i < c.counters.size(); i++) EXPECT_GT(c.counters[i], c.counters[i - 1]) << i;
    for (size_t i = 0; i < c.worstError.size(); i++) EXPECT_LE(c.worstError[i], 12) << i;
    ASSERT_EQ(static_cast<size_t>(d.channels), 2u);
    EXPECT_EQ(static_cast<int64_t>(c.sound.size() / 2), CountSignalFrames(c.sound, 2));
    d.Close();

    diPath = path.substr(0, path.size() - 4) + ".di";
    FILE* di = fopen(diPath.c_str(), "rb");
    ASSERT_NE(nullptr, di);
    char text[256] = {};
    fread(text, 1, sizeof text - 1, di);
    fclose(di);
    EXPECT_NE(nullptr, strstr(text, "\",\"0\",\"c30\",\""));
    EXPECT_NE(nullptr, strstr(text, "\",\"1\",\"c30\""));
    remove(path.c_str());
    remove(diPath.c_str());
}

TEST_F(RecordSETest, HeaderCarriesTheCodedSize) {
    struct Case {
        uint32_t w, h;
        const char* method;
        const char* factor;
        uint32_t wantW, wantH;
    } cases[] = {
        {1366, 768, "1", "1", 1364, 768}, {1600, 1200, "0", "1", 800, 600},  // automatic: halved from 1280 x 960 up
        {1024, 768, "0", "3", 1024, 768},                                    // automatic below that: whole
        {220, 100, "1", "3", 72, 33},    // 73 would be odd: HuffYUV needs an even width
        {640, 480, "1", "0", 640, 480},  // a factor below 1 counts as 1
        {640, 480, "1", "abc", 640, 480},
    };
    for (const Case& k : cases) {
        ResizeFakeBackBuffer(22, k.w, k.h);
        m_settings.Set("recorderImageReduceMethod", k.method);
        m_settings.Set("recorderImageReduceFactor", k.factor);
        CVQRecordSE recorder;
        ASSERT_EQ(1, recorder.BeginRecording()) << k.w;
        const std::string path = recorder.GetPath();
        recorder.EndRecording();
        CVKRECDecoder d;
        ASSERT_EQ(1, d.Open(path.c_str())) << k.w;
        EXPECT_EQ(k.wantW, d.width) << k.w << " " << k.factor;
        EXPECT_EQ(k.wantH, d.height) << k.w << " " << k.factor;
        d.Close();
        remove(path.c_str());
        remove((path.substr(0, path.size() - 4) + ".di").c_str());
    }
}

// A back buffer that changes format ends the recording; the file stays whole.
TEST_F(RecordSETest, BackBufferChangeEndsWithAValidFile) {
    LogCapture log;
    CVQRecordSE recorder;
    ASSERT_EQ(1, recorder.BeginRecording());
    const std::string path = recorder.GetPath();
    uint32_t frame = 0;
    for (int spins = 0; recorder.GetStats().recorded < 5 && spins < 5000; spins++) {
        DrawFrame(frame++);
        recorder.ProcessFrame();
        Sleep(1);
    }
    ResizeFakeBackBuffer(21, 320, 64);
    for (int spins = 0; recorder.IsRecording() && spins < 5000; spins++) {
        recorder.ProcessFrame();
        Sleep(1);
    }
    EXPECT_EQ(0, recorder.IsRecording());
    EXPECT_NE(
        std::string::npos,
        log.text.find("CVQRecordSE::CaptureBackBuffer(): Back buffer size/format change (w:320, h:64, f:21)\r\n"));
    CVKRECDecoder d;
    RecContents c = ReadRecording(path.c_str(), &d);
    EXPECT_GE(c.times.size(), 5u);
    EXPECT_EQ(0, c.decodeFailures);
    EXPECT_EQ(d.GetFileSize(), d.GetPosition());  // read to the very end: the last record is whole
    d.Close();
    remove(path.c_str());
    remove((path.substr(0, path.size() - 4) + ".di").c_str());
}

TEST_F(RecordSETest, FailedStartsLeaveNothingBehind) {
    LogCapture log;
    CVQRecordSE recorder;
    ResizeFakeBackBuffer(31, 320, 64);  // D3DFMT_A2B10G10R10: not recordable
    EXPECT_EQ(0, recorder.BeginRecording());
    EXPECT_NE(std::string::npos, log.text.find("CVQRecordSE::BeginRecording(): Failed to create video encoder\r\n"));
    EXPECT_EQ(0, recorder.IsRecording());

    TheFakeBackBuffer().failInfo = true;
    EXPECT_EQ(0, recorder.BeginRecording());
    EXPECT_NE(std::string::npos, log.text.find("CVQRecordSE::BeginRecording(): Failed to get back buffer\r\n"));
    TheFakeBackBuffer().failInfo = false;

    ResizeFakeBackBuffer(22, 320, 64);
    m_settings.Set("recorderFolder", OutputFolder() + "no_such_folder\\");
    EXPECT_EQ(0, recorder.BeginRecording());
    EXPECT_EQ(0, recorder.IsRecording());
    recorder.ProcessFrame();  // nothing runs
    EXPECT_EQ(0u, recorder.GetStats().offered);

    // The recorder still works after the failures.
    m_settings.Set("recorderFolder", OutputFolder());
    ASSERT_EQ(1, recorder.BeginRecording());
    const std::string path = recorder.GetPath();
    recorder.EndRecording();
    remove(path.c_str());
    remove((path.substr(0, path.size() - 4) + ".di").c_str());
}

// Without the encoder thread the frames are coded on the caller's thread.
TEST_F(RecordSETest, WithoutThreadsEveryTakenFrameIsRecorded) {
    m_settings.Set("recorderThreads", "0");
    CVQRecordSE recorder;
    ASSERT_EQ(1, recorder.BeginRecording());
    const std::string path = recorder.GetPath();
    uint32_t frame = 0;
    for (int spins = 0; recorder.GetStats().recorded < 10 && spins < 5000; spins++) {
        DrawFrame(frame++);
        recorder.ProcessFrame();
        Sleep(1);
    }
    recorder.EndRecording();
    CVQRecordSE::Stats stats = recorder.GetStats();
    EXPECT_EQ(0u, stats.skippedBusy);
    CVKRECDecoder d;
    RecContents c = ReadRecording(path.c_str(), &d);
    EXPECT_EQ(stats.recorded, c.times.size());
    d.Close();
    remove(path.c_str());
    remove((path.substr(0, path.size() - 4) + ".di").c_str());
}

namespace {
// Runs frames of a counter picture on the test's frame clock and notes the
// counters of the frames whose back buffer went into the capture ring.
struct FrameRun {
    uint32_t next = 0;
    std::vector<uint32_t> captured;
    void Frames(CVQRecordSE& recorder, int n) {
        FakeBackBuffer& b = TheFakeBackBuffer();
        for (int i = 0; i < n; i++) {
            b.frame++;
            DrawFrame(next);
            const int copies = b.ringCopies;
            recorder.ProcessFrame();
            if (b.ringCopies > copies) captured.push_back(next);
            next++;
            Sleep(1);
        }
    }
};

// Every captured picture is in the file once, in capture order, each right
// after the sound it was captured with.
void ExpectCapturedPictures(const std::string& path, const std::vector<uint32_t>& captured) {
    CVKRECDecoder d;
    RecContents c = ReadRecording(path.c_str(), &d);
    EXPECT_EQ(0, c.decodeFailures);
    EXPECT_EQ(captured, c.counters);
    int64_t audioBefore = 0;
    size_t video = 0;
    for (char tag : c.order) {
        if (tag == 'A') {
            audioBefore++;
        } else if (video < c.times.size()) {
            EXPECT_EQ(VQRecTimestamp(audioBefore, d.audioBufferBytes, d.sampleRate * d.channels * d.bitsPerSample / 8),
                      c.times[video++]);
        }
    }
    for (size_t i = 1; i < c.times.size(); i++) EXPECT_GT(c.times[i], c.times[i - 1]) << i;
    for (size_t i = 0; i < c.worstError.size(); i++) EXPECT_LE(c.worstError[i], 12) << i;
    d.Close();
    remove(path.c_str());
    remove((path.substr(0, path.size() - 4) + ".di").c_str());
}
}  // namespace

// Copies the device finishes one or two frames late reach the file in
// capture order, with the pictures and stamps of their capture, and none is
// lost at the end of the recording.
TEST_F(RecordSETest, LateCopiesKeepCaptureOrderAndStamps) {
    for (int threads = 0; threads <= 1; threads++)
        for (int delay = 1; delay <= 2; delay++) {
            SCOPED_TRACE(testing::Message() << "threads " << threads << " delay " << delay);
            m_settings.Set("recorderThreads", threads ? "1" : "0");
            TheFakeBackBuffer().doneDelay = delay;
            CVQRecordSE recorder;
            ASSERT_EQ(1, recorder.BeginRecording());
            const std::string path = recorder.GetPath();
            FrameRun run;
            for (int spins = 0; run.captured.size() < 20 && spins < 100; spins++) run.Frames(recorder, 50);
            recorder.EndRecording();
            const CVQRecordSE::Stats stats = recorder.GetStats();
            EXPECT_GE(run.captured.size(), 20u);
            EXPECT_EQ(run.captured.size(), stats.recorded);
            ExpectCapturedPictures(path, run.captured);
        }
}

// A large picture keeps the encoder thread busy while the render thread goes
// on without pausing: pictures wait in the queue behind the one being coded,
// and every one reaches the file in capture order, right after the sound it
// was captured with (which the encoder thread writes too).
TEST_F(RecordSETest, PicturesQueuedBehindABusyEncoderKeepOrderAndStamps) {
    ResizeFakeBackBuffer(22, 1280, 720);
    TheFakeBackBuffer().doneDelay = 1;
    CVQRecordSE recorder;
    ASSERT_EQ(1, recorder.BeginRecording());
    const std::string path = recorder.GetPath();
    FakeBackBuffer& b = TheFakeBackBuffer();
    std::vector<uint32_t> captured;
    for (uint32_t next = 0; captured.size() < 30 && next < 20000; next++) {
        b.frame++;
        DrawFrame(next);
        const int copies = b.ringCopies;
        recorder.ProcessFrame();
        if (b.ringCopies > copies) captured.push_back(next);
    }
    recorder.EndRecording();
    EXPECT_GE(captured.size(), 30u);
    EXPECT_EQ(captured.size(), recorder.GetStats().recorded);
    ExpectCapturedPictures(path, captured);
}

// While every slot is in flight a frame is skipped, not queued; the copies
// already taken are still written.
TEST_F(RecordSETest, FrameSkippedWhileEverySlotIsInFlight) {
    m_settings.Set("recorderThreads", "0");
    TheFakeBackBuffer().doneDelay = 1000000;  // the device never reports a copy done
    CVQRecordSE recorder;
    ASSERT_EQ(1, recorder.BeginRecording());
    const std::string path = recorder.GetPath();
    FrameRun run;
    for (int spins = 0; recorder.GetStats().skippedBusy < 5 && spins < 100; spins++) run.Frames(recorder, 50);
    CVQRecordSE::Stats stats = recorder.GetStats();
    // Every slot in flight; fewer only when the test device delivered all its
    // buffers of sound before the ring was full (a busy machine).
    EXPECT_GE(run.captured.size(), 1u);
    EXPECT_LE(run.captured.size(), static_cast<size_t>(CVQCaptureRing::kSlots));
    EXPECT_GE(stats.skippedBusy, 5u);
    EXPECT_EQ(0u, stats.recorded);
    recorder.EndRecording();
    EXPECT_EQ(run.captured.size(), recorder.GetStats().recorded);
    ExpectCapturedPictures(path, run.captured);
}

// A device reset releases the ring after its copies were written; the
// recording goes on with a ring made again.
TEST_F(RecordSETest, RingReleasedBeforeResetAndRecordingGoesOn) {
    TheFakeBackBuffer().doneDelay = 2;
    CVQRecordSE recorder;
    ASSERT_EQ(1, recorder.BeginRecording());
    const std::string path = recorder.GetPath();
    FrameRun run;
    for (int spins = 0; run.captured.size() < 10 && spins < 100; spins++) run.Frames(recorder, 20);
    const int made = TheFakeBackBuffer().ringMade;
    recorder.ReleaseSurface();
    EXPECT_FALSE(TheFakeBackBuffer().ringAlive);
    EXPECT_EQ(0, TheFakeBackBuffer().locked);
    EXPECT_EQ(1, recorder.IsRecording());
    const size_t before = run.captured.size();
    for (int spins = 0; run.captured.size() < before + 10 && spins < 100; spins++) run.Frames(recorder, 20);
    EXPECT_EQ(made + 1, TheFakeBackBuffer().ringMade);
    recorder.EndRecording();
    EXPECT_EQ(run.captured.size(), recorder.GetStats().recorded);
    ExpectCapturedPictures(path, run.captured);
}

// Without completion queries each copy is finished when taken and handed on
// in the same frame, as the synchronous capture always did.
TEST_F(RecordSETest, WithoutEventQueriesCopiesAreHandedOnAtOnce) {
    m_settings.Set("recorderThreads", "0");
    TheFakeBackBuffer().eventQueries = false;
    TheFakeBackBuffer().doneDelay = 1000000;  // would never finish if it were polled
    CVQRecordSE recorder;
    ASSERT_EQ(1, recorder.BeginRecording());
    const std::string path = recorder.GetPath();
    FrameRun run;
    for (int spins = 0; run.captured.size() < 10 && spins < 100; spins++) {
        run.Frames(recorder, 1);
        EXPECT_EQ(run.captured.size(), recorder.GetStats().recorded);
    }
    recorder.EndRecording();
    ExpectCapturedPictures(path, run.captured);
}

// A copy that cannot be read ends the recording; the file stays whole.
TEST_F(RecordSETest, UnreadableCopyEndsTheRecording) {
    LogCapture log;
    CVQRecordSE recorder;
    ASSERT_EQ(1, recorder.BeginRecording());
    const std::string path = recorder.GetPath();
    FrameRun run;
    for (int spins = 0; recorder.GetStats().recorded < 3 && spins < 100; spins++) run.Frames(recorder, 10);
    TheFakeBackBuffer().failLock = true;
    for (int spins = 0; recorder.IsRecording() && spins < 100; spins++) run.Frames(recorder, 10);
    TheFakeBackBuffer().failLock = false;
    EXPECT_EQ(0, recorder.IsRecording());
    EXPECT_NE(std::string::npos,
              log.text.find("CVQRecordSE::CaptureBackBuffer(): Failed to LockRect() copy buffer\r\n"));
    EXPECT_NE(std::string::npos, log.text.find("End recording\r\n"));
    CVKRECDecoder d;
    RecContents c = ReadRecording(path.c_str(), &d);
    EXPECT_GE(c.times.size(), 3u);
    EXPECT_EQ(d.GetFileSize(), d.GetPosition());
    d.Close();
    remove(path.c_str());
    remove((path.substr(0, path.size() - 4) + ".di").c_str());
}
