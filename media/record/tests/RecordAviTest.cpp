// The AVI recorder against a back buffer in memory and the test capture
// device: files read back with the codec library (streams, frame and sample
// counts, pictures), file parts, pacing and failed starts.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <string>
#include <vector>

extern "C" {
#include <libavcodec/codec_id.h>
}

#include "CVQRecordAvi.h"
#include "FakeSurface.h"
#include "LogCapture.h"
#include "MediaTestUtil.h"
#include "MemorySettings.h"
#include "VKClock.h"

namespace {
uint32_t g_now = 100000;
uint32_t Clock() { return g_now; }

std::string OutputFolder() {
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    std::string folder = std::string(cwd) + "\\recavi_out\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The stored picture's pixel (x, y) from the top, as 0x00RRGGBB.
uint32_t StoredPixel(const std::vector<uint8_t>& frame, int width, int height, int x, int y) {
    const size_t row = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    const uint8_t* p = &frame[(static_cast<size_t>(height) - 1 - y) * row + 3 * static_cast<size_t>(x)];
    return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}

class RecordAviTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_settings.Set("recorderFolder", OutputFolder());
        ResizeFakeBackBuffer(22, 128, 96);
        FakeBackBuffer& b = TheFakeBackBuffer();
        b.failInfo = b.failCopy = b.failLock = false;
        g_now = 100000;
        VKSetClock(Clock);
    }
    void TearDown() override { VKSetClock(nullptr); }

    void Draw(uint32_t counter) {
        FakeBackBuffer& b = TheFakeBackBuffer();
        DrawCounterPicture(b.pixels.data(), static_cast<int>(b.width), static_cast<int>(b.height),
                           static_cast<int>(b.pitch), counter);
    }
    // Presents frames 17 ms apart on the recorder's clock (about 60 per
    // second) until `done` says so or the device gave nothing for long.
    template <class Done>
    void Present(CVQRecordAvi& recorder, Done done) {
        for (int spins = 0; !done() && spins < 20000 && recorder.IsRecording(); spins++) {
            Draw(m_frame++);
            recorder.ProcessFrame();
            g_now += 17;
            Sleep(1);
        }
    }
    MemorySettings m_settings;
    uint32_t m_frame = 0;
};
}  // namespace

// A recording read back by the codec library: one uncompressed video stream
// at half size and one 22050 Hz stereo PCM stream, one picture per 1/30 s of
// sound, the pictures the game's (every second pixel of every second row).
TEST_F(RecordAviTest, FileReadsBackWithBothStreams) {
    LogCapture log;
    std::string path;
    CVQRecordAvi::Stats stats;
    {
        CVQRecordAvi recorder;
        ASSERT_EQ(1, recorder.BeginRecording());
        EXPECT_EQ(1, recorder.IsRecording());
        path = recorder.GetPath();
        Present(recorder, [&] { return recorder.GetStats().framesWritten >= 40; });
        recorder.EndRecording();
        EXPECT_EQ(0, recorder.IsRecording());
        stats = recorder.GetStats();
    }
    EXPECT_NE(std::string::npos, log.text.find("Start recording:\r\nBack Buffer: format 0x16 width 128 height 96\r\n"
                                               "File Name: " +
                                               path + "\r\n"));
    EXPECT_NE(std::string::npos, log.text.find("End recording\r\n"));
    EXPECT_EQ(1, log.Count("Framerate@"));
    EXPECT_EQ("_0000.avi", path.substr(path.size() - 9));
    ASSERT_GE(stats.framesWritten, 40u) << log.text;
    EXPECT_EQ(stats.framesWritten, stats.audioBuffers);

    const std::vector<ContainerStream> streams = ReadContainerFile(path);
    ASSERT_EQ(2u, streams.size());
    const ContainerStream& video = streams[0];
    const ContainerStream& audio = streams[1];
    EXPECT_EQ(AV_CODEC_ID_RAWVIDEO, video.codecId);
    EXPECT_EQ(64, video.width);
    EXPECT_EQ(48, video.height);
    EXPECT_EQ(static_cast<int>(stats.framesWritten), video.packets);
    EXPECT_EQ(AV_CODEC_ID_PCM_S16LE, audio.codecId);
    EXPECT_EQ(22050, audio.sampleRate);
    EXPECT_EQ(2, audio.channels);
    size_t soundBytes = 0;
    for (const auto& d : audio.data) soundBytes += d.size();
    EXPECT_EQ(static_cast<size_t>(stats.audioBuffers) * 2940, soundBytes);
    ASSERT_FALSE(audio.times.empty());
    EXPECT_EQ(0, audio.times.front());

    // Each stored picture is a game frame reduced: its counter cells and
    // background match the full-size picture at twice the coordinates.
    std::vector<uint32_t> full(128 * 96);
    std::vector<uint32_t> previous;
    int repeats = 0;
    for (size_t i = 0; i < video.data.size(); i++) {
        const std::vector<uint8_t>& frame = video.data[i];
        ASSERT_EQ(static_cast<size_t>(64 * 3 * 48), frame.size()) << i;
        for (int y = 0; y < 96; y++)
            for (int x = 0; x < 128; x++)
                full[static_cast<size_t>(y) * 128 + x] = 0xFF000000u | StoredPixel(frame, 64, 48, x / 2, y / 2);
        const uint32_t counter = ReadCounter(full.data(), 128, 96);
        EXPECT_LT(counter, m_frame) << i;
        if (full == previous) repeats++;
        previous = full;
        for (int y : {30, 60, 90})
            for (int x : {0, 40, 126})
                EXPECT_EQ(PictureBackground(x, y) & 0xFFFFFF, StoredPixel(frame, 64, 48, x / 2, y / 2)) << i;
    }
    EXPECT_EQ(static_cast<int>(stats.framesWritten - stats.picturesCopied), repeats);
    remove(path.c_str());
}

// Past the split size a new part starts after 90 frames; its positions start
// again at 0 and its name carries the next part number.
TEST_F(RecordAviTest, SplitStartsTheNextPartAtZero) {
    LogCapture log;
    std::string first, second;
    {
        CVQRecordAvi recorder;
        recorder.SetSplitBytes(100000);  // 90 pictures of 64x48 are about 830,000 bytes
        ASSERT_EQ(1, recorder.BeginRecording());
        first = recorder.GetPath();
        Present(recorder, [&] { return recorder.GetPart() == 1 && recorder.GetStats().framesWritten >= 120; });
        EXPECT_EQ(1, recorder.GetPart());
        second = recorder.GetPath();
        recorder.EndRecording();
    }
    ASSERT_EQ(first.size(), second.size());
    EXPECT_EQ(first.substr(0, first.size() - 9) + "_0001.avi", second);
    EXPECT_EQ(2, log.Count("Start recording:\r\n"));
    EXPECT_EQ(2, log.Count("End recording\r\n"));

    const std::vector<ContainerStream> part1 = ReadContainerFile(first);
    const std::vector<ContainerStream> part2 = ReadContainerFile(second);
    ASSERT_EQ(2u, part1.size());
    ASSERT_EQ(2u, part2.size());
    EXPECT_GE(part1[0].packets, 90);
    EXPECT_LT(part1[0].packets, 90 + 30);
    size_t bytes1 = 0;
    for (const auto& d : part1[1].data) bytes1 += d.size();
    EXPECT_EQ(static_cast<size_t>(part1[0].packets) * 2940, bytes1);
    ASSERT_GT(part2[0].packets, 0);
    ASSERT_FALSE(part2[1].times.empty());
    EXPECT_EQ(0, part2[0].times.front());
    EXPECT_EQ(0, part2[1].times.front());  // the sound of part 2 starts at 0 again
    size_t bytes2 = 0;
    for (const auto& d : part2[1].data) bytes2 += d.size();
    EXPECT_EQ(static_cast<size_t>(part2[0].packets) * 2940, bytes2);
    // A second recording starts its positions at 0 too.
    remove(first.c_str());
    remove(second.c_str());
}

// A game presenting 60 times per second is looked at no more than every
// 33 ms; the file holds one picture per sound buffer.
TEST_F(RecordAviTest, SixtyFramesPerSecondAreLookedAtThirtyTimes) {
    CVQRecordAvi recorder;
    ASSERT_EQ(1, recorder.BeginRecording());
    const std::string path = recorder.GetPath();
    const uint32_t start = g_now;
    Present(recorder, [&] { return g_now - start >= 3000; });
    recorder.EndRecording();
    const CVQRecordAvi::Stats s = recorder.GetStats();
    EXPECT_LE(s.framesLookedAt, 3000u / 33 + 1);
    EXPECT_GE(s.framesLookedAt, 3000u / 34 - 1);
    EXPECT_EQ(s.framesWritten, s.audioBuffers);

    // A second recording in the same recorder starts its sound at 0 again.
    ASSERT_EQ(1, recorder.BeginRecording());
    const std::string again = recorder.GetPath();
    Present(recorder, [&] { return recorder.GetStats().framesWritten >= 10; });
    recorder.EndRecording();
    if (again != path) {
        const std::vector<ContainerStream> streams = ReadContainerFile(again);
        ASSERT_EQ(2u, streams.size());
        ASSERT_FALSE(streams[1].times.empty());
        EXPECT_EQ(0, streams[1].times.front());
        remove(again.c_str());
    }
    remove(path.c_str());
}

// Starts that cannot work report 0 at once, leave no file and no device
// open, and leak nothing when repeated; the recorder works afterwards.
TEST_F(RecordAviTest, FailedStartsReportFailureAndLeaveNothing) {
    LogCapture log;
    CVQRecordAvi recorder;

    ResizeFakeBackBuffer(20, 128, 96);  // D3DFMT_R8G8B8: not recorded
    EXPECT_EQ(0, recorder.BeginRecording());
    EXPECT_EQ(0, recorder.IsRecording());
    EXPECT_EQ(1, log.Count("CVQRecordAvi::BeginMovieCapture(): Unsupported backbuffer pixel format (0x14)\r\n"));

    ResizeFakeBackBuffer(22, 1920, 1080);
    TheFakeBackBuffer().failInfo = true;
    EXPECT_EQ(0, recorder.BeginRecording());
    EXPECT_EQ(1, log.Count("CVQRecordAvi::BeginMovieCapture(): Failed to get back buffer\r\n"));
    TheFakeBackBuffer().failInfo = false;

    // Folder missing, then no sound device: each made a buffer (and the
    // second a file) before it failed. Repeated, a leak would show in the
    // process's memory (each buffer is 1.5 MB).
    const std::string folder = OutputFolder();
    PROCESS_MEMORY_COUNTERS before = {}, after = {};
    before.cb = after.cb = sizeof before;
    for (int i = 0; i < 60; i++) {
        m_settings.Set("recorderFolder", folder + "no_such_folder\\");
        EXPECT_EQ(0, recorder.BeginRecording());
        m_settings.Set("recorderFolder", folder);
        recorder.SetAudioDevice(99);  // no such wave-in device
        EXPECT_EQ(0, recorder.BeginRecording());
        EXPECT_EQ(0, recorder.IsRecording());
        EXPECT_FALSE(Exists(recorder.GetPath())) << recorder.GetPath();  // released and removed
        recorder.ProcessFrame();                                         // nothing runs
        if (i == 9) GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    }
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    EXPECT_LT(after.PagefileUsage, before.PagefileUsage + 20 * 1024 * 1024);
    EXPECT_EQ(
        60, log.Count("CVQRecordAvi::BeginMovieCapture(): Failed to create AVI file: " + folder + "no_such_folder\\"));
    EXPECT_EQ(60, log.Count("CVQRecordAvi::BeginMovieCapture(): Failed to start audio capture\r\n"));
    EXPECT_EQ(0, log.Count("Start recording:"));
    EXPECT_EQ(0u, recorder.GetStats().framesLookedAt);

    recorder.SetAudioDevice(0);
    ResizeFakeBackBuffer(22, 128, 96);
    ASSERT_EQ(1, recorder.BeginRecording());
    const std::string path = recorder.GetPath();
    Present(recorder, [&] { return recorder.GetStats().framesWritten >= 5; });
    recorder.EndRecording();
    EXPECT_EQ(2u, ReadContainerFile(path).size());
    remove(path.c_str());
}

// A back buffer that changes size ends the recording on the next frame with
// a file that reads back.
TEST_F(RecordAviTest, BackBufferChangeEndsTheRecording) {
    LogCapture log;
    CVQRecordAvi recorder;
    ASSERT_EQ(1, recorder.BeginRecording());
    const std::string path = recorder.GetPath();
    Present(recorder, [&] { return recorder.GetStats().framesWritten >= 5; });
    const uint32_t written = recorder.GetStats().framesWritten;
    ResizeFakeBackBuffer(22, 256, 96);
    Present(recorder, [] { return false; });
    EXPECT_EQ(0, recorder.IsRecording());
    EXPECT_EQ(1, log.Count("CVQRecordAvi::CopyFrame(): Back buffer size/format change (w:256, h:96, f:22)\r\n"));
    const std::vector<ContainerStream> streams = ReadContainerFile(path);
    ASSERT_EQ(2u, streams.size());
    EXPECT_EQ(static_cast<int>(written), streams[0].packets);
    remove(path.c_str());
}
