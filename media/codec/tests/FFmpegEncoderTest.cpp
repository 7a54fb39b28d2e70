#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "CVQFFmpegEncoder.h"
#include "LogCapture.h"
#include "MediaTestUtil.h"
#include "VKLog.h"

namespace {
// A HuffYUV video encoder for w x h 32-bit pictures, as the recorder sets it up.
void ConfigureHuffYUV(CVQFFmpegEncoder* e, int w, int h, int stride, int factor) {
    e->EnableVideo(1);
    e->SetVideoCodec(26, 0);
    e->SetVideoFormat(w, h, stride, 6);
    e->SetReduceFactor(factor);
}

std::vector<uint8_t> TakeAll(CVQFFmpegEncoder* e) {
    const uint8_t* data = nullptr;
    int size = 0;
    e->TakeOutput(&data, &size);
    return std::vector<uint8_t>(data, data + size);
}
}  // namespace

TEST(CVQFFmpegEncoder, SettersKeepOldValuesOutOfRange) {
    CVQFFmpegEncoder e;
    LogCapture log;
    e.SetVideoFormat(1366, 768, 0, 6);
    EXPECT_EQ(1364, e.GetVideoWidth());
    EXPECT_EQ(768, e.GetVideoHeight());
    EXPECT_EQ(1366, e.GetInputWidth());
    e.SetVideoFormat(640, 480, 0, 22);
    EXPECT_EQ(6, e.GetPixelFormat());
    EXPECT_NE(std::string::npos, log.text.find("FIXME: FFmpeg crashes whenever we use BGR32"));
    e.SetReduceFactor(0);
    e.SetReduceFactor(-3);
    EXPECT_EQ(1, e.GetReduceFactor());
    e.SetAudioCodec(65536, 500);
    EXPECT_EQ(96000, e.GetAudioBitRate());
    e.SetAudioCodec(65536, 64000);
    EXPECT_EQ(64000, e.GetAudioBitRate());
    e.SetFrameRate(100);
    e.SetFrameRate(0);
    EXPECT_DOUBLE_EQ(20.0, e.GetFrameRate());
    e.SetFrameRate(30);
    EXPECT_DOUBLE_EQ(30.0, e.GetFrameRate());
    e.SetAudioFormat(3, 96000, 12);
    EXPECT_EQ(2, e.GetChannels());
    EXPECT_EQ(44100, e.GetSampleRate());
    EXPECT_EQ(16, e.GetBitsPerSample());
}

TEST(CVQFFmpegEncoder, ReducedSizeIsWhatHuffYUVAccepts) {
    CVQFFmpegEncoder e;
    // 1600 x 1200 halved: 800 x 600.
    ConfigureHuffYUV(&e, 1600, 1200, 0, 2);
    EXPECT_EQ(800, e.GetReducedWidth());
    EXPECT_EQ(600, e.GetReducedHeight());
    // 1364 / 3 = 454 (even); 204 / 3 = 68 -> 68; 212 / 3 = 70; 220 / 3 = 73 -> 72.
    e.SetVideoFormat(220, 100, 0, 6);
    e.SetReduceFactor(3);
    EXPECT_EQ(72, e.GetReducedWidth());
    EXPECT_EQ(33, e.GetReducedHeight());
    ASSERT_EQ(1, e.OpenEncoder());  // an odd width would make the codec refuse to open
    e.CloseEncoder();
}

TEST(CVQFFmpegEncoder, SettersAreIgnoredWhileOpen) {
    CVQFFmpegEncoder e;
    ConfigureHuffYUV(&e, 64, 48, 0, 1);
    ASSERT_EQ(1, e.OpenEncoder());
    e.SetVideoFormat(128, 96, 0, 6);
    e.SetReduceFactor(2);
    e.SetVideoCodec(19, 5000);
    EXPECT_EQ(64, e.GetVideoWidth());
    EXPECT_EQ(1, e.GetReduceFactor());
    EXPECT_EQ(26, e.GetVideoCodec());
    e.CloseEncoder();
    e.SetReduceFactor(2);  // configuration is kept and settable after closing
    EXPECT_EQ(2, e.GetReduceFactor());
}

TEST(CVQFFmpegEncoder, MissingCodecFailsAndLeavesNothingOpen) {
    CVQFFmpegEncoder e;
    LogCapture log;
    e.EnableVideo(1);
    e.SetVideoCodec(12345, 0);
    e.SetVideoFormat(64, 48, 0, 6);
    EXPECT_EQ(0, e.OpenEncoder());
    EXPECT_EQ(0, e.IsOpen());
    EXPECT_NE(std::string::npos, log.text.find("Couldn't find video codec\n"));
    AVPacket* packet = av_packet_alloc();
    e.SetInputPicture(reinterpret_cast<const uint8_t*>("x"));
    EXPECT_EQ(0, e.EncodeVideoPacket(packet));
    EXPECT_EQ(0, e.WriteFrame());
    av_packet_free(&packet);
}

// Codes a picture with padded rows, decodes it independently and compares.
TEST(CVQFFmpegEncoder, HuffYUVPictureSurvivesWithinColourConversion) {
    const int w = 144, h = 40, stride = w * 4 + 32;
    std::vector<uint8_t> pixels(static_cast<size_t>(stride) * h);
    DrawCounterPicture(pixels.data(), w, h, stride, 0xA5C3);
    CVQFFmpegEncoder e;
    ConfigureHuffYUV(&e, w, h, stride, 1);
    ASSERT_EQ(1, e.OpenEncoder());
    int extraSize = 0;
    const uint8_t* extra = e.GetCodecData(&extraSize);
    ASSERT_GT(extraSize, 0);
    std::vector<uint8_t> extradata(extra, extra + extraSize);
    e.SetInputPicture(pixels.data());
    AVPacket* packet = av_packet_alloc();
    ASSERT_EQ(1, e.EncodeVideoPacket(packet));
    EXPECT_TRUE(packet->flags & AV_PKT_FLAG_KEY);
    EXPECT_EQ(nullptr, packet->buf);  // a view into the encoder's buffer
    std::vector<uint32_t> decoded = DecodeHuffYUV(extradata, packet->data, packet->size, w, h);
    ASSERT_EQ(static_cast<size_t>(w * h), decoded.size());
    EXPECT_EQ(0xA5C3u, ReadCounter(decoded.data(), w, h));
    int worst = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint32_t want = reinterpret_cast<const uint32_t*>(pixels.data() + y * stride)[x];
            uint32_t got = decoded[static_cast<size_t>(y * w + x)];
            for (int shift = 0; shift < 24; shift += 8) {
                int d = abs(static_cast<int>((want >> shift) & 0xFF) - static_cast<int>((got >> shift) & 0xFF));
                if (d > worst) worst = d;
            }
        }
    // 4:2:2 halves the colour resolution; the cells start on even columns, so
    // every chroma pair is nearly uniform and only rounding remains.
    EXPECT_LE(worst, 12);
    av_packet_free(&packet);
    e.CloseEncoder();
}

TEST(CVQFFmpegEncoder, ReductionDecimatesBeforeCoding) {
    const int w = 64, h = 32;
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
    // Even columns and rows white, all others black: halving must give all white.
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            reinterpret_cast<uint32_t*>(pixels.data())[y * w + x] =
                (x % 2 == 0 && y % 2 == 0) ? 0xFFFFFFFF : 0xFF000000;
    CVQFFmpegEncoder e;
    ConfigureHuffYUV(&e, w, h, 0, 2);
    ASSERT_EQ(1, e.OpenEncoder());
    int extraSize = 0;
    const uint8_t* extra = e.GetCodecData(&extraSize);
    std::vector<uint8_t> extradata(extra, extra + extraSize);
    e.SetInputPicture(pixels.data());
    AVPacket* packet = av_packet_alloc();
    ASSERT_EQ(1, e.EncodeVideoPacket(packet));
    std::vector<uint32_t> decoded = DecodeHuffYUV(extradata, packet->data, packet->size, 32, 16);
    ASSERT_EQ(32u * 16u, decoded.size());
    for (uint32_t p : decoded) ASSERT_GT(p & 0xFF, 240u);
    av_packet_free(&packet);
}

// One picture, three steps with one-packet-per-input: one video packet in the
// container, the video time advanced by three; the sound chunk is repeated
// only when new. The container is read back by the library's demuxer.
TEST(CVQFFmpegEncoder, OnePacketPerInputAdvancesTimeWithoutRepeating) {
    const int w = 32, h = 16;
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4, 0x80);
    CVQFFmpegEncoder e;
    ConfigureHuffYUV(&e, w, h, 0, 1);
    e.SetFrameRate(30);
    e.EnableAudio(1);
    e.SetAudioFormat(2, 22050, 16);
    e.SetAudioCodec(65536, 96000);
    e.SetOnePacketPerInput(1);
    ASSERT_EQ(1, e.OpenEncoder());
    EXPECT_EQ(2940, e.GetAudioChunkBytes());
    std::vector<uint8_t> chunk(2940);
    for (size_t i = 0; i < chunk.size(); i++) chunk[i] = static_cast<uint8_t>(i);
    e.SetInputPicture(pixels.data());
    e.SetInputAudio(chunk.data());
    EXPECT_EQ(1, e.WriteFrame());
    EXPECT_EQ(1, e.WriteFrame());
    e.SetInputAudio(chunk.data());
    EXPECT_EQ(1, e.WriteFrame());
    EXPECT_EQ(3, e.GetVideoFrameCount());
    EXPECT_EQ(3, e.GetAudioTime());
    e.FinishEncoder();
    EXPECT_EQ(0, e.WriteFrame());  // nothing after the trailer
    std::vector<uint8_t> asf = TakeAll(&e);
    e.CloseEncoder();
    std::vector<ContainerStream> streams = ReadContainer(asf);
    ASSERT_EQ(2u, streams.size());
    EXPECT_EQ(AV_CODEC_ID_HUFFYUV, streams[0].codecId);
    EXPECT_EQ(w, streams[0].width);
    EXPECT_EQ(1, streams[0].packets);
    EXPECT_EQ(AV_CODEC_ID_PCM_S16LE, streams[1].codecId);
    EXPECT_EQ(22050, streams[1].sampleRate);
    EXPECT_EQ(2, streams[1].channels);
    ASSERT_EQ(2, streams[1].packets);
    EXPECT_EQ(chunk, streams[1].data[0]);
    EXPECT_LT(streams[1].times[0], streams[1].times[1]);
}

TEST(CVQFFmpegEncoder, ReopenAfterCloseStartsAFreshContainer) {
    CVQFFmpegEncoder e;
    ConfigureHuffYUV(&e, 32, 16, 0, 1);
    std::vector<uint8_t> pixels(32 * 16 * 4, 0x10);
    for (int round = 0; round < 2; round++) {
        ASSERT_EQ(1, e.OpenEncoder());
        e.SetInputPicture(pixels.data());
        ASSERT_EQ(1, e.WriteFrame());
        e.FinishEncoder();
        std::vector<ContainerStream> streams = ReadContainer(TakeAll(&e));
        ASSERT_EQ(1u, streams.size()) << round;
        EXPECT_EQ(1, streams[0].packets);
        e.CloseEncoder();
    }
}

// Sound muxed before the first picture puts the picture's time behind the
// sound's; the container must take that without aborting the process.
TEST(CVQFFmpegEncoder, SoundBeforeTheFirstPictureIsMuxedInOrder) {
    CVQFFmpegEncoder e;
    ConfigureHuffYUV(&e, 32, 16, 0, 1);
    e.SetFrameRate(30);
    e.EnableAudio(1);
    e.SetAudioFormat(2, 22050, 16);
    e.SetAudioCodec(65536, 0);
    e.SetOnePacketPerInput(1);
    ASSERT_EQ(1, e.OpenEncoder());
    std::vector<uint8_t> chunk(2940, 3), pixels(32 * 16 * 4, 0x40);
    for (int i = 0; i < 40; i++) {
        e.SetInputAudio(chunk.data());
        ASSERT_EQ(1, e.WriteFrame());
    }
    for (int i = 0; i < 40; i++) {
        e.SetInputPicture(pixels.data());
        e.SetInputAudio(chunk.data());
        ASSERT_EQ(1, e.WriteFrame());
    }
    e.FinishEncoder();
    std::vector<ContainerStream> streams = ReadContainer(TakeAll(&e));
    ASSERT_EQ(2u, streams.size());
    EXPECT_EQ(40, streams[0].packets);
    EXPECT_EQ(80, streams[1].packets);
}

// A picture 1 to 3 pixels wide or high has no coded size: the encoder
// refuses to open rather than coding at an earlier (or the default) size and
// reading past the caller's pixels.
TEST(CVQFFmpegEncoder, PicturesUnderFourPixelsAreRefused) {
    const int sizes[][2] = {{1, 64}, {3, 64}, {64, 2}, {64, 3}, {3, 3}};
    for (const auto& size : sizes) {
        const int w = size[0], h = size[1];
        std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4, 0x55);
        CVQFFmpegEncoder e;
        ConfigureHuffYUV(&e, 320, 64, 0, 1);  // an earlier, larger size must not stay
        e.SetVideoFormat(w, h, 0, 6);
        EXPECT_LT(e.GetReducedWidth() * e.GetReducedHeight(), 4 * 4) << w << "x" << h;
        EXPECT_EQ(0, e.OpenEncoder()) << w << "x" << h;
        e.SetInputPicture(pixels.data());
        AVPacket* packet = av_packet_alloc();
        EXPECT_EQ(0, e.EncodeVideoPacket(packet));
        av_packet_free(&packet);
        // Four pixels are enough.
        e.SetVideoFormat(w < 4 ? 4 : w, h < 4 ? 4 : h, 0, 6);
        EXPECT_EQ(1, e.OpenEncoder()) << w << "x" << h;
    }
}
