#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avio.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/pixfmt.h>
}

#include "CVQFFmpegLibrary.h"
#include "VQCodecIds.h"
#include "CVQPictureConverter.h"
#include "LogCapture.h"
#include "VKLog.h"

TEST(CVQFFmpegLibrary, WriteReadTakeKeepByteOrder) {
    CVQFFmpegLibrary stream;
    const uint8_t a[] = {1, 2, 3, 4, 5};
    const uint8_t b[] = {6, 7};
    EXPECT_EQ(5, stream.Write(a, 5));
    EXPECT_EQ(2, stream.Write(b, 2));
    EXPECT_EQ(7, stream.GetSize());
    uint8_t out[8] = {};
    EXPECT_EQ(3, stream.Read(out, 3));
    EXPECT_EQ(0, memcmp(out, a, 3));
    EXPECT_EQ(4, stream.GetSize());
    uint8_t* taken = nullptr;
    int size = 0;
    stream.Take(&taken, &size);
    ASSERT_EQ(4, size);
    const uint8_t rest[] = {4, 5, 6, 7};
    EXPECT_EQ(0, memcmp(taken, rest, 4));
    av_free(taken);
    EXPECT_EQ(0, stream.GetSize());
    EXPECT_EQ(0, stream.Read(out, 8));
    stream.Take(&taken, &size);
    EXPECT_EQ(nullptr, taken);
    EXPECT_EQ(0, size);
}

TEST(CVQFFmpegLibrary, IOContextDeliversEverythingOnClose) {
    CVQFFmpegLibrary stream;
    AVIOContext* io = stream.CreateIOContext();
    ASSERT_NE(nullptr, io);
    EXPECT_EQ(0, io->seekable);
    std::vector<uint8_t> bytes(100000);
    for (size_t i = 0; i < bytes.size(); i++) bytes[i] = static_cast<uint8_t>(i * 7);
    avio_write(io, bytes.data(), static_cast<int>(bytes.size()));
    CVQFFmpegLibrary::CloseIOContext(&io);
    EXPECT_EQ(nullptr, io);
    ASSERT_EQ(static_cast<int>(bytes.size()), stream.GetSize());
    std::vector<uint8_t> back(bytes.size());
    stream.Read(back.data(), static_cast<int>(back.size()));
    EXPECT_EQ(bytes, back);
}

TEST(CodecNumbers, ProgramNumbersMapToTheLibrary) {
    EXPECT_EQ(AV_CODEC_ID_HUFFYUV, VQCodecToLibrary(26));
    EXPECT_EQ(AV_CODEC_ID_WMV2, VQCodecToLibrary(19));
    EXPECT_EQ(AV_CODEC_ID_WMAV2, VQCodecToLibrary(0x15009));
    EXPECT_EQ(AV_CODEC_ID_PCM_S16LE, VQCodecToLibrary(65536));
    EXPECT_EQ(AV_CODEC_ID_NONE, VQCodecToLibrary(12345));
    EXPECT_EQ(AV_PIX_FMT_RGB32, VQPixelFormatToLibrary(6));
    EXPECT_EQ(AV_PIX_FMT_RGB565, VQPixelFormatToLibrary(9));
    EXPECT_EQ(AV_PIX_FMT_RGB555, VQPixelFormatToLibrary(10));
    EXPECT_EQ(AV_PIX_FMT_YUV422P, VQPixelFormatToLibrary(4));
    EXPECT_EQ(AV_PIX_FMT_NONE, VQPixelFormatToLibrary(77));
    EXPECT_EQ(6, VQPixelFormatFromLibrary(AV_PIX_FMT_RGB32));
    EXPECT_EQ(-1, VQPixelFormatFromLibrary(AV_PIX_FMT_NV12));
    EXPECT_TRUE(VQIsRawPCM(65539));
    EXPECT_FALSE(VQIsRawPCM(65540));
    EXPECT_FALSE(VQIsReducible(4));
    EXPECT_TRUE(VQIsReducible(24));
}

TEST(CVQPictureConverter, DecimationTakesEveryFactorthPixelOfEveryFactorthRow) {
    // 7 x 5 source of 2-byte pixels whose value is (x, y), row stride padded.
    const int stride = 7 * 2 + 6;
    std::vector<uint8_t> src(static_cast<size_t>(stride) * 5, 0xEE);
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 7; x++) {
            src[y * stride + x * 2] = static_cast<uint8_t>(x);
            src[y * stride + x * 2 + 1] = static_cast<uint8_t>(y);
        }
    uint8_t out[3 * 2 * 2];
    CVQPictureConverter::Decimate(src.data(), stride, 2, 3, out, 3 * 2, 3, 2);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++) {
            EXPECT_EQ(x * 3, out[y * 6 + x * 2]) << x << "," << y;
            EXPECT_EQ(y * 3, out[y * 6 + x * 2 + 1]) << x << "," << y;
        }
}

TEST(InitCodecLibrary, LibraryLogReachesTheLogWithoutTheFile) {
    InitCodecLibrary();
    InitCodecLibrary();  // once only, however often it is called
    LogCapture log;
    av_log(nullptr, AV_LOG_ERROR, "codec says %d\n", 42);
    av_log(nullptr, AV_LOG_DEBUG, "too chatty\n");  // below the library's level
    EXPECT_EQ("codec says 42\n", log.text);
}
