// Records a game for a few seconds through the whole path a player uses: a
// real device made through our wrapper, the HUD over the game, the session
// recorder driven from Present, a capture device playing a known tone. The
// recording is then read back: the game's frames with their counters, no
// HUD in any of them, and the tone sample for sample.
//
// Built once with each Direct3D frame (its game harness): FRAME_LOG_PREFIX
// begins the frame's log lines, FRAME_FOLDER names the test's folders.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "CVKRECDecoder.h"
#include "CVQGameHarness.h"
#include "CVQHUD.h"
#include "LogCapture.h"
#include "MediaTestUtil.h"
#include "MemorySettings.h"
#include "Sample9Scene.h"
#include "SoundSignal.h"
#include "VKSettings.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

int ChannelError(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        worst = std::max(worst, d < 0 ? -d : d);
    }
    return worst;
}

// The largest channel difference between a 640x480 picture and frame
// `counter` of the sample scene, at points that lie under the HUD's logo and
// dashboard on the screen (the recording must have the game there).
int SceneError(const uint32_t* pixels, uint32_t counter) {
    Sample9Frame scene;
    BuildSample9Frame(counter, 640, 480, scene);
    int worst = 0;
    for (int y : {20, 40, 100, 300}) {
        for (int x : {60, 100, 300, 500}) {
            uint32_t expected = scene.background;
            for (const Sample9Rect& r : scene.clears)
                if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) expected = r.color;
            for (const Sample9Rect& r : scene.quads)
                if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) expected = r.color;
            worst = std::max(worst, ChannelError(pixels[y * 640 + x], expected));
        }
    }
    return worst;
}

void EmptyFolder(const std::string& folder) {
    CreateDirectoryA(folder.c_str(), nullptr);
    WIN32_FIND_DATAA found;
    HANDLE old = FindFirstFileA((folder + "*.*").c_str(), &found);
    if (old == INVALID_HANDLE_VALUE) return;
    do DeleteFileA((folder + found.cFileName).c_str());
    while (FindNextFileA(old, &found));
    FindClose(old);
}

}  // namespace

TEST(RecordGame, SessionRecordingOfTheGameWithSound) {
    ASSERT_TRUE(WriteSignalFile(2, 60));
    const std::string folder = "C:\\" FRAME_FOLDER "-test\\";
    EmptyFolder(folder);
    MemorySettings store;
    store.Set("recorderFolder", folder.c_str());
    store.Set("recorderType", "0");
    CVQGameHarness game;
    ASSERT_EQ(1, game.Start(640, 480)) << "needs a display";
    LogCapture log;

    std::string recording;
    unsigned frame = 0;
    for (; frame < 400; ++frame) {
        game.DrawScene(frame);
        game.Present();  // HUD made, updated, drawn
        if (frame == 3) {
            IVQRecord* recorder = VQHud()->CurrentRecorder();
            ASSERT_TRUE(recorder != nullptr);
            ASSERT_EQ(1, recorder->BeginRecording());
            recording = VQHud()->SessionRecorder()->GetPath();
        }
        if (frame > 3 && VQHud()->SessionRecorder()->GetStats().recorded >= 60) break;
        Sleep(5);
    }
    VQHud()->CurrentRecorder()->EndRecording();
    EXPECT_EQ(0, VQHud()->CurrentRecorder()->IsRecording());
    game.Stop();  // the final release ends the HUD
    EXPECT_EQ(nullptr, VQHud());
    // The copies went through the device-side ring, none failed.
    EXPECT_EQ(0, log.Count("copied synchronously")) << log.text;
    EXPECT_EQ(0, log.Count(FRAME_LOG_PREFIX "Failed")) << log.text;

    CVKRECDecoder reader;
    reader.SetOutputFormat(6);
    ASSERT_EQ(1, reader.Open(recording.c_str())) << recording;
    EXPECT_EQ(640u, reader.width);
    EXPECT_EQ(480u, reader.height);
    int audioRecords = 0, videoRecords = 0, decodeFailures = 0, worst = 0;
    std::vector<uint32_t> counters;
    std::vector<int16_t> sound;
    AVPacket* packet = av_packet_alloc();
    for (char tag; (tag = reader.ReadTag()) != 0;) {
        if (tag == 'A') {
            const uint8_t* data;
            uint32_t size;
            ASSERT_EQ(1, reader.ReadSampleAudio(&data, &size));
            const int16_t* samples = reinterpret_cast<const int16_t*>(data);
            std::vector<int16_t> record(samples, samples + size / 2);
            // Every sound record is the tone, sample for sample. (The test
            // device plays faster than real time and drops what a reader does
            // not take in time, so the tone may jump between records.)
            EXPECT_EQ(static_cast<int64_t>(record.size() / 2), CountSignalFrames(record, 2)) << audioRecords;
            sound.insert(sound.end(), record.begin(), record.end());
            ++audioRecords;
        } else if (tag == 'V') {
            int64_t stamp = 0;
            ASSERT_EQ(1, reader.ReadSampleVideo(packet, &stamp));
            EXPECT_EQ(audioRecords * 333333LL, stamp);
            const uint32_t* pixels = reinterpret_cast<const uint32_t*>(reader.DecodeVideoSample(packet));
            if (!pixels) {
                ++decodeFailures;
                continue;
            }
            ++videoRecords;
            uint32_t counter = ReadCounter(pixels, 640, 480);
            counters.push_back(counter);
            // The frame as the game drew it, without the HUD: where the logo and
            // the dashboard are on the screen, the recording has the game.
            worst = std::max(worst, SceneError(pixels, counter));
        } else {
            FAIL() << "unknown record " << static_cast<int>(tag);
        }
    }
    av_packet_free(&packet);
    reader.Close();

    EXPECT_GE(videoRecords, 60);
    EXPECT_EQ(0, decodeFailures);
    EXPECT_LE(videoRecords, audioRecords);  // at most one picture per sound buffer
    for (size_t i = 1; i < counters.size(); ++i) EXPECT_GT(counters[i], counters[i - 1]) << i;
    EXPECT_LE(worst, 12) << "recorded pixels differ from the game's picture (HUD in the recording?)";
    ASSERT_FALSE(sound.empty());
    printf("recorded %d pictures, %d sound records; the tone runs unbroken for %lld of %lld frames\n", videoRecords,
           audioRecords, static_cast<long long>(CountSignalFrames(sound, 2)), static_cast<long long>(sound.size() / 2));
}

// The game resets its device (same size) in the middle of a recording: the
// copies still in flight on the device are read before the Reset, and the
// recording goes on after it. Every copy taken reaches the file, pictures in
// capture order, each stamped with the sound position of the frame it shows
// (not of the later frame that read it back).
TEST(RecordGame, RecordingGoesOnThroughADeviceResetWithEveryCopyInOrder) {
    ASSERT_TRUE(WriteSignalFile(2, 60));
    const std::string folder = "C:\\" FRAME_FOLDER "-reset-test\\";
    EmptyFolder(folder);
    MemorySettings store;
    store.Set("recorderFolder", folder.c_str());
    store.Set("recorderType", "0");
    CVQGameHarness game;
    ASSERT_EQ(1, game.Start(640, 480)) << "needs a display";
    LogCapture log;

    // Sound position just before and just after each frame's Present (the
    // picture taken in that Present is stamped with a position in between).
    std::map<uint32_t, std::pair<int64_t, int64_t>> around;
    std::string recording;
    unsigned resetFrame = 0;
    uint32_t recordedBeforeReset = 0;
    for (unsigned frame = 0; frame < 600; ++frame) {
        game.DrawScene(frame);
        CVQRecordSE* recorder = VQHud() ? VQHud()->SessionRecorder() : nullptr;
        const bool recordingNow = recorder && recorder->IsRecording();
        const int64_t before = recordingNow ? recorder->SoundPosition() : -1;
        game.Present();
        const int64_t after = recordingNow ? recorder->SoundPosition() : -1;
        if (before >= 0 && after >= 0) around[frame] = {before, after};
        if (frame == 3) {
            ASSERT_EQ(1, VQHud()->CurrentRecorder()->BeginRecording());
            recording = VQHud()->SessionRecorder()->GetPath();
        }
        const uint32_t recorded = VQHud()->SessionRecorder()->GetStats().recorded;
        if (frame > 3 && !resetFrame && recorded >= 15) {
            ASSERT_EQ(D3D_OK, game.ResetDevice());
            ASSERT_EQ(1, VQHud()->SessionRecorder()->IsRecording()) << log.text;
            resetFrame = frame;
            recordedBeforeReset = recorded;
        }
        if (resetFrame && recorded >= recordedBeforeReset + 20) break;
        Sleep(5);
    }
    ASSERT_NE(0u, resetFrame);
    ASSERT_EQ(1, VQHud()->SessionRecorder()->IsRecording()) << log.text;
    VQHud()->CurrentRecorder()->EndRecording();
    const CVQRecordSE::Stats stats = VQHud()->SessionRecorder()->GetStats();
    game.Stop();
    EXPECT_EQ(0, log.Count(FRAME_LOG_PREFIX "Failed")) << log.text;
    EXPECT_EQ(0, log.Count("CVQRecordSE::")) << log.text;  // no failure, no change of back buffer
    // Every frame that took a copy gave a picture.
    EXPECT_EQ(stats.offered - stats.noSound - stats.skippedBusy, stats.recorded);

    CVKRECDecoder reader;
    reader.SetOutputFormat(6);
    ASSERT_EQ(1, reader.Open(recording.c_str())) << recording;
    int audioRecords = 0, checkedStamps = 0;
    int64_t lastStamp = -1;
    std::vector<uint32_t> counters;
    AVPacket* packet = av_packet_alloc();
    for (char tag; (tag = reader.ReadTag()) != 0;) {
        if (tag == 'A') {
            const uint8_t* data;
            uint32_t size;
            ASSERT_EQ(1, reader.ReadSampleAudio(&data, &size));
            ++audioRecords;
            continue;
        }
        ASSERT_EQ('V', tag);
        int64_t stamp = 0;
        ASSERT_EQ(1, reader.ReadSampleVideo(packet, &stamp));
        EXPECT_EQ(audioRecords * 333333LL, stamp);
        EXPECT_GT(stamp, lastStamp);
        lastStamp = stamp;
        const uint32_t* pixels = reinterpret_cast<const uint32_t*>(reader.DecodeVideoSample(packet));
        ASSERT_TRUE(pixels != nullptr);
        const uint32_t counter = ReadCounter(pixels, 640, 480);
        counters.push_back(counter);
        auto known = around.find(counter);
        if (known == around.end()) continue;
        EXPECT_GE(stamp / 333333LL, known->second.first) << "frame " << counter;
        EXPECT_LE(stamp / 333333LL, known->second.second) << "frame " << counter;
        ++checkedStamps;
    }
    av_packet_free(&packet);
    reader.Close();

    EXPECT_EQ(static_cast<size_t>(stats.recorded), counters.size());
    EXPECT_GT(checkedStamps, static_cast<int>(counters.size()) / 2);
    for (size_t i = 1; i < counters.size(); ++i) EXPECT_GT(counters[i], counters[i - 1]) << i;
    // Pictures from before and after the Reset.
    ASSERT_FALSE(counters.empty());
    EXPECT_LT(counters.front(), resetFrame);
    EXPECT_GT(counters.back(), resetFrame);
    DeleteFileA(recording.c_str());
}

// Recorder type 1: the HUD owns the AVI recorder and hands it out as the
// current recorder; the file holds the game's frames at half size, without
// the HUD, and one 1/30 s of sound per picture.
TEST(RecordGame, AviRecordingOfTheGameThroughTheHud) {
    ASSERT_TRUE(WriteSignalFile(2, 60));
    const char* folder = "C:\\" FRAME_FOLDER "-avi-test\\";
    CreateDirectoryA(folder, nullptr);
    MemorySettings store;
    store.Set("recorderFolder", folder);
    store.Set("recorderType", "1");
    CVQGameHarness game;
    ASSERT_EQ(1, game.Start(640, 480)) << "needs a display";

    std::string recording;
    CVQRecordAvi::Stats stats = {};
    for (unsigned frame = 0; frame < 600; ++frame) {
        game.DrawScene(frame);
        game.Present();
        if (frame == 3) {
            ASSERT_EQ(static_cast<IVQRecord*>(VQHud()->AviRecorder()), VQHud()->CurrentRecorder());
            ASSERT_EQ(1, VQHud()->CurrentRecorder()->BeginRecording());
            recording = VQHud()->AviRecorder()->GetPath();
        }
        if (frame > 3 && VQHud()->AviRecorder()->GetStats().framesWritten >= 45) break;
        Sleep(5);
    }
    stats = VQHud()->AviRecorder()->GetStats();
    VQHud()->CurrentRecorder()->EndRecording();
    EXPECT_EQ(0, VQHud()->CurrentRecorder()->IsRecording());
    game.Stop();

    const std::vector<ContainerStream> streams = ReadContainerFile(recording);
    ASSERT_EQ(2u, streams.size()) << recording;
    const ContainerStream& video = streams[0];
    EXPECT_EQ(320, video.width);
    EXPECT_EQ(240, video.height);
    EXPECT_GE(video.packets, 45);
    size_t soundBytes = 0;
    for (const auto& d : streams[1].data) soundBytes += d.size();
    EXPECT_EQ(static_cast<size_t>(video.packets) * 2940, soundBytes);
    EXPECT_EQ(static_cast<int>(stats.framesWritten), video.packets);

    // The pictures are the game's: counters rise, and where the HUD's logo
    // and dashboard are on the screen, the recording has the game's scene.
    std::vector<uint32_t> full(640 * 480);
    uint32_t last = 0;
    int worst = 0;
    for (const std::vector<uint8_t>& frame : video.data) {
        ASSERT_EQ(static_cast<size_t>(320 * 3 * 240), frame.size());
        for (int y = 0; y < 480; y++)
            for (int x = 0; x < 640; x++) {
                const uint8_t* p = &frame[static_cast<size_t>(239 - y / 2) * 960 + 3 * (x / 2)];
                full[static_cast<size_t>(y) * 640 + x] = 0xFF000000u | p[2] << 16 | p[1] << 8 | p[0];
            }
        const uint32_t counter = ReadCounter(full.data(), 640, 480);
        EXPECT_GE(counter, last);
        last = counter;
        worst = std::max(worst, SceneError(full.data(), counter));
    }
    EXPECT_LE(worst, 12) << "recorded pixels differ from the game's picture (HUD in the recording?)";
    DeleteFileA(recording.c_str());
}
