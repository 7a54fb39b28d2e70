#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "CVQController.h"
#include "CVQRecord.h"
#include "CVQRecordDI.h"
#include "FakeSurface.h"
#include "LogCapture.h"
#include "MediaTestUtil.h"
#include "MemorySettings.h"
#include "VKLog.h"

namespace {
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

namespace {
// The two members in the order the HUD declares them, and the other way round.
struct HudOrder {
    CVQController controller;
    CVQRecord record;
};
struct ReverseOrder {
    CVQRecord record;
    CVQController controller;
};

// Records a few pictures and leaves the scope while still recording (the HUD
// at shutdown asks for a stop that no frame carries out any more). Returns the
// file and the pictures muxed.
template <typename Pair>
std::string DestroyWhileRecording(int* pictures) {
    std::string path;
    Pair* pair = new Pair;
    pair->controller.SetRecord(&pair->record);
    pair->record.SetController(&pair->controller);
    pair->record.BeginRecording();
    uint32_t n = 0;
    for (int i = 0; i < 400 && pair->record.GetEncoder()->GetPicturesEncoded() < 3; i++) {
        FakeBackBuffer& b = TheFakeBackBuffer();
        DrawCounterPicture(b.pixels.data(), 320, 64, static_cast<int>(b.pitch), n++);
        Frame(&pair->record, &pair->controller);
        Sleep(5);
    }
    pair->controller.WaitIdle(CVQController::kStopWaitMs);
    path = pair->record.GetEncoder()->GetOutputPath();
    *pictures = pair->record.GetEncoder()->GetPicturesEncoded();
    pair->record.EndRecording();
    delete pair;
    return path;
}

// Ends the worker thread in the middle of its pass, as process exit does.
class ExitingEncoder : public CVQEncoder {
public:
    int EncodePending() override { ExitThread(0); }
    int OpenEncoder() override { return 1; }
    void CloseEncoder() override {}
    void FinishEncoder() override {}
    void SetInputPicture(const uint8_t*) override {}
    void SetInputAudio(const uint8_t*) override {}
    void Reserved() override {}
    int64_t GetVideoFrameCount() const override { return 0; }
    int64_t GetAudioTime() const override { return 0; }
};
}  // namespace

// Whichever of recorder and controller dies first, the recorder's encoder is
// closed properly: the container's end reaches the file, which the library
// reads back with every picture muxed.
TEST(CVQRecord, DestroyedWhileRecordingFinishesTheFile) {
    MemorySettings settings;
    settings.Set("recorderFolder", OutputFolder());
    ResizeFakeBackBuffer(22, 320, 64);
    int pictures = 0;
    for (int order = 0; order < 2; order++) {
        const std::string path =
            order == 0 ? DestroyWhileRecording<HudOrder>(&pictures) : DestroyWhileRecording<ReverseOrder>(&pictures);
        ASSERT_FALSE(path.empty()) << order;
        std::vector<ContainerStream> streams = ReadContainerFile(path);
        ASSERT_EQ(2u, streams.size()) << order;
        EXPECT_GT(pictures, 0) << order;
        EXPECT_EQ(pictures, streams[0].packets) << order;
        remove(path.c_str());
        remove((path.substr(0, path.size() - 3) + "txt").c_str());
    }
}

// A worker that ended mid-pass never reports idle again: waiting for it, and
// destroying the recorder and the controller, still return at once.
TEST(CVQController, WorkerEndedMidPassDoesNotHangItsOwners) {
    ExitingEncoder encoder;
    HudOrder* pair = new HudOrder;
    pair->controller.SetRecord(&pair->record);
    pair->record.SetController(&pair->controller);
    pair->controller.AddEncoder(&encoder);
    ASSERT_EQ(1, pair->controller.IsThreaded());
    pair->controller.Signal();
    for (int i = 0; i < 500 && pair->controller.WaitIdle(0) == 0; i++) Sleep(10);
    EXPECT_EQ(0, pair->controller.IsIdle());  // the pass never finished
    const DWORD start = GetTickCount();
    EXPECT_EQ(1, pair->controller.WaitIdle(CVQController::kStopWaitMs));
    delete pair;  // the encoder stays on the list: the controller must not touch it
    EXPECT_LT(GetTickCount() - start, CVQController::kStopWaitMs);
}

namespace {
std::string ReadAll(const std::string& path) {
    std::string text;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return "<missing>";
    for (int c; (c = fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
    fclose(f);
    return text;
}
// The release flags and names of an input log, without the times.
std::string WithoutTimes(const std::string& text) {
    std::string out;
    int field = 0;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            if (!quoted) field = (field + 1) % 3;
            continue;
        }
        if (quoted && field != 0) out.push_back(c);
        if (!quoted && c == ',' && field == 0) out.push_back(';');
    }
    return out;
}
}  // namespace

// The .di file of the session recorder and the input log of the ASF encoder
// name the same keys and buttons alike, a key without key data included.
TEST(CVQRecordEncoder, InputLogNamesKeysAsTheDeviceInputFileDoes) {
    MemorySettings settings;
    settings.Set("recorderFolder", OutputFolder());
    const struct {
        unsigned message;
        uintptr_t data, flags;
    } events[] = {
        {WM_KEYDOWN, 'A', 0x001E0001}, {WM_KEYUP, 'A', 0xC01E0001}, {WM_KEYDOWN, 0x11, 0x011D0001},
        {WM_KEYDOWN, 'S', 0},          {WM_KEYUP, VK_F1, 0},        {WM_LBUTTONDOWN, 1, 0},
        {WM_RBUTTONUP, 0, 0},          {WM_MBUTTONDOWN, 16, 0},     {WM_MOUSEMOVE, 0, 0},
    };
    CVQRecordDI di;
    const std::string diPath = OutputFolder() + "names.di";
    ASSERT_EQ(1, di.Open(diPath.c_str()));
    CVQRecordEncoder e;
    e.EnableVideo(1);
    e.SetVideoCodec(26, 0);
    e.SetVideoFormat(32, 16, 0, 6);
    ASSERT_EQ(1, e.OpenEncoder());
    const std::string path = e.GetOutputPath();
    for (const auto& ev : events) {
        di.DeviceInput(ev.message, ev.data, ev.flags, 0);
        e.OnInputEvent(ev.message, ev.data, ev.flags);
    }
    di.Close();
    e.CloseEncoder();
    const std::string log = path.substr(0, path.size() - 3) + "txt";
    const std::string expected = WithoutTimes(ReadAll(diPath));
    EXPECT_NE(std::string::npos, expected.find("0c31"));  // 'S' without key data: its scan code
    EXPECT_EQ(expected, WithoutTimes(ReadAll(log)));
    remove(diPath.c_str());
    remove(path.c_str());
    remove(log.c_str());
}

namespace {
// A disk that fails one block: outright (disk full) or by writing only half of it.
class FailingDisk : public CVQRecordEncoder {
public:
    int failAt = 2;
    bool shortWrite = false;
    int blocks = 0;
    std::string reached;  // the bytes handed to the file, in order

protected:
    BOOL WriteBlock(HANDLE file, const uint8_t* data, DWORD size, DWORD* written, OVERLAPPED* overlapped) override {
        if (blocks++ == failAt) {
            if (!shortWrite) {
                SetLastError(ERROR_DISK_FULL);
                return FALSE;
            }
            size /= 2;
        }
        reached.append(reinterpret_cast<const char*>(data), size);
        return CVQRecordEncoder::WriteBlock(file, data, size, written, overlapped);
    }
};
}  // namespace

// A failed or short write is logged and reported, nothing is written after
// it (so nothing lands over or beyond what the file holds), and the file
// keeps exactly the bytes that reached it.
TEST(CVQRecordEncoder, FailedWritesAreReportedAndNeverOverwritten) {
    MemorySettings settings;
    settings.Set("recorderFolder", OutputFolder());
    std::vector<uint8_t> pixels(320 * 64 * 4);
    for (int mode = 0; mode < 2; mode++) {
        LogCapture log;
        FailingDisk e;
        e.shortWrite = mode == 1;
        e.EnableVideo(1);
        e.SetVideoCodec(26, 0);
        e.SetVideoFormat(320, 64, 0, 6);
        ASSERT_EQ(1, e.OpenEncoder());
        const std::string path = e.GetOutputPath();
        int failures = 0;
        for (uint32_t i = 0; i < 8; i++) {
            DrawCounterPicture(pixels.data(), 320, 64, 320 * 4, i);
            e.SetInputPicture(pixels.data());
            e.EncodePending();
            failures += e.FlushOutput() == 0;
        }
        failures += e.FlushOutput() == 0;
        EXPECT_GT(failures, 0) << mode;
        EXPECT_EQ(1, e.HasFailed()) << mode;
        EXPECT_EQ(3, e.blocks) << mode;  // nothing was written after the failed block
        EXPECT_NE(std::string::npos, log.text.find("CVQRecordEncoder::FlushOutput(): Failed to write ")) << mode;
        EXPECT_EQ(static_cast<int64_t>(e.reached.size()), e.GetBytesWritten()) << mode;
        e.CloseEncoder();
        EXPECT_EQ(e.reached, ReadAll(path)) << mode;
        remove(path.c_str());
        remove((path.substr(0, path.size() - 3) + "txt").c_str());
    }
}

// A recorder folder too long for a path is logged as such, not as "error 0".
TEST(CVQRecordEncoder, TooLongPathIsLoggedWithItsReason) {
    MemorySettings settings;
    settings.Set("recorderFolder", "C:\\" + std::string(300, 'x') + "\\");
    LogCapture log;
    CVQRecordEncoder e;
    e.EnableVideo(1);
    e.SetVideoCodec(26, 0);
    e.SetVideoFormat(32, 16, 0, 6);
    EXPECT_EQ(0, e.OpenEncoder());
    EXPECT_EQ(0, e.IsOpen());
    EXPECT_NE(std::string::npos, log.text.find("CVQRecordEncoder::OpenEncoder(): File name too long: C:\\xxx"));
    EXPECT_EQ(std::string::npos, log.text.find("error 0"));
}
