#include <gtest/gtest.h>

#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "CVQFFmpegFrameEncoder.h"

TEST(CVQFFmpegFrameEncoder, ReducedSizeIsAMultipleOfFour) {
    CVQFFmpegFrameEncoder e;
    e.SetVideoFormat(1366, 768, 0, 6);
    e.SetReduceFactor(3);
    EXPECT_EQ(1366, e.GetWidth());
    EXPECT_EQ(452, e.GetReducedWidth());  // 455 -> 452
    EXPECT_EQ(256, e.GetReducedHeight());
    e.SetReduceFactor(0);
    EXPECT_EQ(3, e.GetReduceFactor());
}

// The live-sharing codecs: Windows Media Video 8 pictures and Windows Media
// Audio 2 sound from 16-bit PCM, packets without times on streams 0 and 1.
TEST(CVQFFmpegFrameEncoder, EncodesSharingVideoAndAudio) {
    CVQFFmpegFrameEncoder e;
    const int w = 160, h = 120;
    e.EnableVideo(1);
    e.EnableAudio(1);
    e.SetVideoCodec(19, 128000);
    e.SetAudioCodec(0x15009, 64000);
    e.SetVideoFormat(w, h, 0, 6);
    e.SetAudioFormat(2, 22050, 16);
    e.SetFrameRate(4);
    ASSERT_EQ(1, e.OpenEncoder());
    const int frameBytes = e.GetAudioFrameBytes();
    ASSERT_GT(frameBytes, 0);
    EXPECT_EQ(0, frameBytes % 4);
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4, 0x40);
    std::vector<uint8_t> pcm(static_cast<size_t>(frameBytes));
    for (size_t i = 0; i < pcm.size(); i++) pcm[i] = static_cast<uint8_t>(i * 13);
    AVPacket* video = av_packet_alloc();
    AVPacket* audio = av_packet_alloc();
    e.SetInputPicture(pixels.data());
    e.SetInputAudio(pcm.data());
    int videoBytes = 0, audioBytes = 0;
    for (int i = 0; i < 4; i++) {
        ASSERT_EQ(1, e.EncodePending(video, audio));
        videoBytes += video->size;
        audioBytes += audio->size;
        EXPECT_EQ(0, video->stream_index);
        EXPECT_EQ(1, audio->stream_index);
        EXPECT_EQ(AV_NOPTS_VALUE, video->pts);
    }
    EXPECT_GT(videoBytes, 0);
    EXPECT_GT(audioBytes, 0);
    av_packet_free(&video);
    av_packet_free(&audio);
    e.CloseEncoder();
    EXPECT_EQ(0, e.IsOpen());
}

// The single-packet encoder refuses pictures whose coded size would be
// nothing, too.
TEST(CVQFFmpegFrameEncoder, PicturesUnderFourPixelsAreRefused) {
    CVQFFmpegFrameEncoder e;
    e.EnableVideo(1);
    e.SetVideoCodec(19, 0);
    e.SetVideoFormat(3, 3, 0, 6);
    EXPECT_EQ(0, e.OpenEncoder());
    std::vector<uint8_t> pixels(3 * 3 * 4);
    e.SetInputPicture(pixels.data());
    AVPacket* packet = av_packet_alloc();
    EXPECT_EQ(0, e.EncodeVideoPacket(packet));
    av_packet_free(&packet);
}
