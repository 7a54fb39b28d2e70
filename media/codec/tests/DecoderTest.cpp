// The media decoder over files this test writes itself.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "CVKWMVEncoder.h"
#include "CVQFFmpegDecoder.h"
#include "CVQFFmpegEncoder.h"
#include "LogCapture.h"
#include "MediaTestUtil.h"

namespace {
const int kPictures = 30;

// One second of video (profile 0, 640 x 480) with a tone, written by our writer.
std::string MakeVideo(const char* name) {
    CVKWMVEncoder writer;
    if (!writer.LoadProfile(0) || !writer.Open(name) || !writer.InitAudio(2, 44100, 16, 5880) ||
        !writer.InitVideo(160, 120, 333333) || !writer.BeginWriting())
        return "";
    std::vector<uint8_t> picture(160 * 120 * 4);
    std::vector<int16_t> sound(1470 * 2);
    int64_t sample = 0;
    for (int k = 0; k < kPictures; k++) {
        for (size_t i = 0; i < sound.size(); i += 2, sample++)
            sound[i] = sound[i + 1] =
                static_cast<int16_t>(6000 * sin(2 * 3.14159265358979323846 * 500 * sample / 44100.0));
        writer.WriteAudioSample(reinterpret_cast<const uint8_t*>(sound.data()), sound.size() * 2);
        DrawCounterPicture(picture.data(), 160, 120, 160 * 4, static_cast<uint32_t>(k));
        writer.WriteVideoSample(picture.data(), k * 333333LL);
    }
    return writer.Close() ? name : "";
}

std::vector<uint8_t> ReadAllBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    uint8_t chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(f);
    return bytes;
}

struct Pass {
    int pictures = 0, audioBytes = 0, calls = 0, mostPicturesInACall = 0;
};

// Calls Process until the end, collecting what each call gave.
Pass PlayToEnd(CVQFFmpegDecoder* d) {
    Pass p;
    const uint8_t* data;
    int size;
    while (!d->IsAtEnd() && p.calls < 10000) {
        d->Process();
        p.calls++;
        int got = 0;
        if (d->GetPicture(&data, &size)) got++;
        if (d->GetAudio(&data, &size)) p.audioBytes += size;
        p.pictures += got;
    }
    return p;
}

class Decoder : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_file = MakeVideo("decoder.wmv"); }
    static std::string s_file;
};
std::string Decoder::s_file;

TEST_F(Decoder, PicturesOnlyUnlessSoundIsAskedFor) {
    ASSERT_FALSE(s_file.empty());
    CVQFFmpegDecoder d;
    d.SetFileName(s_file.c_str());
    d.SetOutputPixelFormat(6);
    ASSERT_EQ(1, d.Open());
    EXPECT_EQ(d.HasVideo(), 1);
    EXPECT_EQ(d.HasAudio(), 0);
    EXPECT_EQ(d.GetWidth(), 640);
    EXPECT_EQ(d.GetHeight(), 480);
    EXPECT_NEAR(d.GetFrameRate(), 30.0, 0.1);
    const Pass p = PlayToEnd(&d);
    EXPECT_EQ(p.pictures, kPictures);
    EXPECT_EQ(p.audioBytes, 0);
    EXPECT_NEAR(static_cast<double>(d.GetDuration()), 1000.0, 40.0);
    const uint8_t* data;
    int size;
    d.GetPicture(&data, &size);
    EXPECT_EQ(size, 640 * 480 * 4);
}

TEST_F(Decoder, EachCallAdvancesEveryStreamByOnePacketAtMost) {
    // With sound, packets of one stream often follow each other: the second
    // is held for the next call, never lost.
    CVQFFmpegDecoder d;
    d.SetFileName(s_file.c_str());
    d.SetOutputPixelFormat(6);
    d.SetAudioDisabled(0);
    ASSERT_EQ(1, d.Open());
    EXPECT_EQ(d.HasAudio(), 1);
    EXPECT_EQ(d.GetChannels(), 2);
    EXPECT_EQ(d.GetSamplesPerSecond(), 44100);
    int64_t lastTime = -1;
    Pass p;
    const uint8_t* data;
    int size;
    while (!d.IsAtEnd() && p.calls < 10000) {
        d.Process();
        p.calls++;
        if (d.GetPicture(&data, &size)) {
            p.pictures++;
            EXPECT_GE(d.GetVideoTime(), lastTime);
            lastTime = d.GetVideoTime();
        }
        if (d.GetAudio(&data, &size)) {
            EXPECT_LE(size, CVQFFmpegDecoder::kAudioBufferSize);
            EXPECT_EQ(size % 4, 0);
            p.audioBytes += size;
        }
    }
    EXPECT_EQ(p.pictures, kPictures);
    EXPECT_GE(p.calls, kPictures);
    EXPECT_NEAR(p.audioBytes, 44100 * 4, 44100 * 4 / 10);
    EXPECT_NEAR(static_cast<double>(lastTime), 29 * 1000 / 30.0, 2);
}

TEST_F(Decoder, EndThenSeekToZeroPlaysAgain) {
    CVQFFmpegDecoder d;
    d.SetFileName(s_file.c_str());
    ASSERT_EQ(1, d.Open());
    EXPECT_EQ(d.IsAtEnd(), 0);
    const Pass first = PlayToEnd(&d);
    EXPECT_EQ(d.IsAtEnd(), 1);
    ASSERT_EQ(1, d.SeekTo(0));
    EXPECT_EQ(d.IsAtEnd(), 0);
    const Pass again = PlayToEnd(&d);
    EXPECT_EQ(again.pictures, first.pictures);
}

TEST_F(Decoder, MemoryStreamAndFormatRules) {
    const std::vector<uint8_t> bytes = ReadAllBytes(s_file);
    ASSERT_FALSE(bytes.empty());
    CVQFFmpegDecoder d;
    {
        LogCapture log;
        d.SetOutputPixelFormat(22);
        EXPECT_EQ(d.GetOutputPixelFormat(), 6);
        EXPECT_EQ(log.Count("We force RGB32 for now."), 1);
    }
    EXPECT_EQ(0, d.Process());  // not open
    ASSERT_EQ(static_cast<int>(bytes.size()), d.WriteStream(bytes.data(), static_cast<int>(bytes.size())));
    ASSERT_EQ(1, d.Open());
    d.SetFileName("ignored while open.wmv");
    EXPECT_EQ(PlayToEnd(&d).pictures, kPictures);
    ASSERT_EQ(1, d.SeekTo(0));
    EXPECT_EQ(PlayToEnd(&d).pictures, kPictures);
    d.Close();
    const uint8_t* data;
    int size;
    EXPECT_EQ(0, d.GetPicture(&data, &size));
    EXPECT_EQ(nullptr, data);
}

TEST_F(Decoder, StreamWithoutKnownDurationSaysSo) {
    // The recorder's ASF goes out as a stream: its header never learns the length.
    CVQFFmpegEncoder e;
    e.EnableVideo(1);
    e.SetVideoCodec(19, 0);
    e.SetVideoFormat(64, 48, 0, 6);
    ASSERT_EQ(1, e.OpenEncoder());
    std::vector<uint8_t> picture(64 * 48 * 4, 0x40);
    for (int k = 0; k < 10; k++) {
        e.SetInputPicture(picture.data());
        ASSERT_EQ(1, e.WriteFrame());
    }
    e.FinishEncoder();  // flushes what the container still buffers
    const uint8_t* out;
    int size;
    e.TakeOutput(&out, &size);
    CVQFFmpegDecoder d;
    d.WriteStream(out, size);
    ASSERT_EQ(1, d.Open());
    EXPECT_EQ(-1, d.GetDuration());
    EXPECT_GT(PlayToEnd(&d).pictures, 0);
}

TEST_F(Decoder, CorruptFilesFailOrPlayWithoutHarm) {
    std::vector<uint8_t> bytes = ReadAllBytes(s_file);
    ASSERT_GT(bytes.size(), 10000u);
    CVQFFmpegDecoder d;
    // Not a container at all; a header cut short.
    std::vector<uint8_t> junk(5000);
    for (size_t i = 0; i < junk.size(); i++) junk[i] = static_cast<uint8_t>(i * 131 + 7);
    d.WriteStream(junk.data(), static_cast<int>(junk.size()));
    EXPECT_EQ(0, d.Open());
    d.ClearStream();
    d.WriteStream(bytes.data(), 200);
    EXPECT_EQ(0, d.Open());
    // Damaged packets: decoding goes on to the end.
    for (size_t i = bytes.size() / 3; i < bytes.size(); i += 97) bytes[i] ^= 0x5A;
    d.ClearStream();
    d.WriteStream(bytes.data(), static_cast<int>(bytes.size()));
    d.SetAudioDisabled(0);
    if (d.Open()) {
        const Pass p = PlayToEnd(&d);
        EXPECT_LT(p.calls, 10000);
    }
    d.Close();
    d.SetFileName("no-such-file.wmv");
    EXPECT_EQ(0, d.Open());
}

}  // namespace
