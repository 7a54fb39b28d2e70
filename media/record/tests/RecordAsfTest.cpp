#include <gtest/gtest.h>
#include <windows.h>

#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "CVQController.h"
#include "CVQRecord.h"
#include "FakeSurface.h"
#include "MediaTestUtil.h"
#include "MemorySettings.h"
#include "VKLog.h"

namespace {
struct LogCapture {
    std::string text;
    LogCapture() { VKSetLogHook(&LogCapture::Hook, this); }
    ~LogCapture() { VKSetLogHook(nullptr, nullptr); }
    static void Hook(const char* t, int n, void* self) { static_cast<LogCapture*>(self)->text.append(t, n); }
};

std::string OutputFolder() {
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    std::string folder = std::string(cwd) + "\\asf_out\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// The HUD's per-frame drive of the pipelined recorder.
void Frame(CVQRecord* record, CVQController* controller) {
    record->CollectAudio();
    record->CopyFrame();
    if (controller->IsIdle()) {
        record->ProcessRequests();
        controller->Signal();
    }
}
}  // namespace

// The pipelined recorder writes an ASF file with a HuffYUV and a PCM stream
// (null capture device: silence) and an input log beside it.
TEST(CVQRecord, WritesAnAsfFileTheLibraryReads) {
    MemorySettings settings;
    settings.Set("recorderFolder", OutputFolder());
    ResizeFakeBackBuffer(22, 320, 64);
    std::string path;
    int pictures = 0;
    int64_t chunks = 0;
    {
        CVQRecord record;
        {
            CVQController controller;
            controller.SetRecord(&record);
            record.SetController(&controller);
            ASSERT_EQ(1, record.BeginRecording());
            EXPECT_EQ(1, record.IsRecording());
            uint32_t n = 0;
            for (int i = 0; i < 400 && record.GetEncoder()->GetStepsWritten() < 60; i++) {
                FakeBackBuffer& b = TheFakeBackBuffer();
                DrawCounterPicture(b.pixels.data(), 320, 64, static_cast<int>(b.pitch), n++);
                Frame(&record, &controller);
                if (i == 5) {
                    record.OnInputEvent(WM_KEYDOWN, 'A', 0x001E0001);
                    record.OnMouseEvent(WM_LBUTTONDOWN, 1, 0);
                }
                Sleep(5);
            }
            path = record.GetEncoder()->GetOutputPath();
            EXPECT_GT(record.GetEncoder()->GetPicturesEncoded(), 0);
            record.EndRecording();
            for (int i = 0; i < 200 && record.IsRecording(); i++) {
                Frame(&record, &controller);
                Sleep(5);
            }
            EXPECT_EQ(0, record.IsRecording());
            pictures = record.GetEncoder()->GetPicturesEncoded();
            chunks = record.GetEncoder()->GetChunksMuxed();
        }
    }
    ASSERT_FALSE(path.empty());
    std::vector<ContainerStream> streams = ReadContainerFile(path);
    ASSERT_EQ(2u, streams.size());
    EXPECT_EQ(AV_CODEC_ID_HUFFYUV, streams[0].codecId);
    EXPECT_EQ(320, streams[0].width);
    EXPECT_EQ(64, streams[0].height);
    // Everything muxed reaches the file, the packets still held at the stop included.
    EXPECT_GT(pictures, 0);
    EXPECT_EQ(pictures, streams[0].packets);
    EXPECT_EQ(chunks, streams[1].packets);
    EXPECT_EQ(AV_CODEC_ID_PCM_S16LE, streams[1].codecId);
    EXPECT_EQ(22050, streams[1].sampleRate);
    EXPECT_EQ(2, streams[1].channels);
    for (size_t i = 1; i < streams[0].times.size(); i++) EXPECT_GT(streams[0].times[i], streams[0].times[i - 1]);

    const std::string log = path.substr(0, path.size() - 3) + "txt";
    FILE* f = fopen(log.c_str(), "rb");
    ASSERT_NE(nullptr, f);
    char text[256] = {};
    fread(text, 1, sizeof text - 1, f);
    fclose(f);
    EXPECT_NE(nullptr, strstr(text, "\",\"0\",\"c30\",\""));
    EXPECT_NE(nullptr, strstr(text, "\",\"0\",\"ml\""));
    remove(path.c_str());
    remove(log.c_str());
}

// A back buffer that cannot be recorded: the start is accepted, nothing
// starts, and the recorder reports idle after the next frame.
TEST(CVQRecord, UnrecordableBackBufferStartsNothing) {
    MemorySettings settings;
    settings.Set("recorderFolder", OutputFolder());
    ResizeFakeBackBuffer(31, 320, 64);
    CVQRecord record;
    CVQController controller;
    record.SetController(&controller);
    LogCapture log;
    ASSERT_EQ(1, record.BeginRecording());
    Frame(&record, &controller);
    EXPECT_EQ(0, record.IsRecording());
    EXPECT_EQ(0, controller.GetEncoders()->Count());
    EXPECT_NE(std::string::npos, log.text.find("CVQRecord::GetDesc(): Unexpected DX backbuffer pixelformat: 31\r\n"));
    EXPECT_EQ(std::string::npos, log.text.find("Recording failed"));
}

// The input log beside the ASF file continues one comma-separated list across
// its 4096-entry batches, and leaves out the HUD's hot key.
TEST(CVQRecordEncoder, InputLogBatchesFormOneList) {
    MemorySettings settings;
    settings.Set("recorderFolder", OutputFolder());
    settings.Set("hotkey", "45");
    CVQRecordEncoder e;
    e.EnableVideo(1);
    e.SetVideoCodec(26, 0);
    e.SetVideoFormat(32, 16, 0, 6);
    ASSERT_EQ(1, e.OpenEncoder());
    const std::string path = e.GetOutputPath();
    e.OnInputEvent(WM_KEYDOWN, 45, 0x01520001);  // the hot key: not logged
    for (int i = 0; i < 4097; i++) e.OnInputEvent(WM_KEYDOWN, 'A', 0x001E0001);
    e.OnInputEvent(WM_RBUTTONUP, 0, 0);
    e.CloseEncoder();
    const std::string log = path.substr(0, path.size() - 3) + "txt";
    FILE* f = fopen(log.c_str(), "rb");
    ASSERT_NE(nullptr, f);
    std::string text;
    for (int c; (c = fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
    fclose(f);
    EXPECT_EQ(std::string::npos, text.find(",,"));
    EXPECT_EQ(std::string::npos, text.find("\"\""));  // no entries glued together
    EXPECT_EQ(std::string::npos, text.find("e82"));
    size_t commas = 0;
    for (char c : text) commas += c == ',';
    EXPECT_EQ(4098u * 3 - 1, commas);
    EXPECT_EQ("\",\"1\",\"mr\"", text.substr(text.size() - 10));
    remove(path.c_str());
    remove(log.c_str());
}
