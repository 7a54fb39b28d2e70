// The AVI recorder's platform-free rules: pixel conversions, picture sizes,
// the reduced bottom-up picture, part names and the pacing against sound.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CVQAviPacer.h"
#include "VQAviFormat.h"
#include "VQRecordingName.h"

TEST(AviFormat, SixteenBitPixelsBecomeRgb555) {
    EXPECT_EQ(0x7C00, VQAvi565To555(0xF800));  // red kept
    EXPECT_EQ(0x0000, VQAvi565To555(0x0020));  // green's lowest bit dropped
    EXPECT_EQ(0x03E0, VQAvi565To555(0x07E0));  // green's top five bits kept
    EXPECT_EQ(0x001F, VQAvi565To555(0x001F));  // blue kept
    EXPECT_EQ(0x7FFF, VQAvi565To555(0xFFFF));
    EXPECT_EQ(0x0000, VQAvi1555To555(0x8000));  // alpha bit cleared
    EXPECT_EQ(0x7FFF, VQAvi1555To555(0xFFFF));
    EXPECT_EQ(0x1234, VQAvi1555To555(0x1234));
}

TEST(AviFormat, PictureSizes) {
    EXPECT_EQ(24, VQAviBitCount(21));
    EXPECT_EQ(24, VQAviBitCount(22));
    EXPECT_EQ(16, VQAviBitCount(23));
    EXPECT_EQ(16, VQAviBitCount(24));
    EXPECT_EQ(16, VQAviBitCount(25));
    EXPECT_EQ(0, VQAviBitCount(20));  // R8G8B8 is not recorded
    EXPECT_EQ(0, VQAviBitCount(31));
    // 1024x768 X8R8G8B8 -> 512x384 at 24 bits.
    EXPECT_EQ(589824u, VQAviImageSize(1024 / kVQAviReduceFactor, 768 / kVQAviReduceFactor, 24));
    // 800x600 R5G6B5 -> 400x300 at 16 bits, rows of 800 bytes.
    EXPECT_EQ(800u, VQAviRowBytes(400, 16));
    EXPECT_EQ(240000u, VQAviImageSize(400, 300, 16));
    // Width 802 -> 401 pixels of 3 bytes = 1203, padded to 1204.
    EXPECT_EQ(1204u, VQAviRowBytes(802 / kVQAviReduceFactor, 24));
    EXPECT_EQ(4u, VQAviRowBytes(1, 16));
    // A size that does not fit in 32 bits is refused, not wrapped.
    EXPECT_EQ(0u, VQAviImageSize(60000, 60000, 24));
}

// A 32-bit source of 6x4 pixels (each pixel's bytes B = x, G = y, R = 0x80 +
// x + y) with a wider stride: the stored picture is 3x2, bottom-up, every
// second pixel of every second row, rows of 9 bytes padded to 12.
TEST(AviFormat, ReducedPictureIsBottomUpFromEverySecondPixel) {
    const int w = 6, h = 4, stride = w * 4 + 8;
    std::vector<uint8_t> source(static_cast<size_t>(stride) * h, 0xCC);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t* p = &source[static_cast<size_t>(y) * stride + 4 * x];
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = static_cast<uint8_t>(0x80 + x + y);
            p[3] = 0xFF;
        }
    std::vector<uint8_t> out(VQAviImageSize(3, 2, 24), 0);
    ASSERT_EQ(24u, out.size());
    ASSERT_EQ(1, VQAviReducePicture(source.data(), stride, 22, 3, 2, out.data()));
    // Output row 0 is source row 2 (the bottom of the picture), row 1 is source row 0.
    const uint8_t want[24] = {0, 2, 0x82, 2, 2, 0x84, 4, 2, 0x86, 0, 0, 0, 0, 0, 0x80, 2, 0, 0x82, 4, 0, 0x84, 0, 0, 0};
    EXPECT_EQ(0, memcmp(want, out.data(), sizeof want));

    // 16-bit R5G6B5: converted to RGB555 on the way.
    const uint16_t src16[4 * 2] = {0xF800, 0x1111, 0x0020, 0x2222,   // row 0
                                   0x3333, 0x4444, 0x5555, 0x6666};  // row 1
    std::vector<uint8_t> out16(VQAviImageSize(2, 1, 16), 0xEE);
    ASSERT_EQ(1, VQAviReducePicture(reinterpret_cast<const uint8_t*>(src16), 8, 23, 2, 1, out16.data()));
    uint16_t got[2];
    memcpy(got, out16.data(), sizeof got);
    EXPECT_EQ(0x7C00, got[0]);
    EXPECT_EQ(0x0000, got[1]);
    // X1R5G5B5: only the top bit goes.
    const uint16_t src1555[4 * 2] = {0xFFFF, 0, 0x8001, 0, 0, 0, 0, 0};
    ASSERT_EQ(1, VQAviReducePicture(reinterpret_cast<const uint8_t*>(src1555), 8, 25, 2, 1, out16.data()));
    memcpy(got, out16.data(), sizeof got);
    EXPECT_EQ(0x7FFF, got[0]);
    EXPECT_EQ(0x0001, got[1]);

    EXPECT_EQ(0, VQAviReducePicture(source.data(), stride, 20, 3, 2, out.data()));
}

TEST(AviFormat, PartNames) {
    char path[260];
    const VQLocalTime when = {2007, 5, 1, 12, 0, 0};
    ASSERT_LT(VQBuildRecordingPath(path, sizeof path, "C:\\Rec\\", "C:\\Games\\game.exe", when, "_0000.avi"),
              sizeof path);
    EXPECT_STREQ("C:\\Rec\\game_2007-05-01_12-00-00_0000.avi", path);
    ASSERT_EQ(1, VQAviPartPath(path, sizeof path, 1));
    EXPECT_STREQ("C:\\Rec\\game_2007-05-01_12-00-00_0001.avi", path);
    ASSERT_EQ(1, VQAviPartPath(path, sizeof path, 12));
    EXPECT_STREQ("C:\\Rec\\game_2007-05-01_12-00-00_0012.avi", path);
    // The fallback name when the program's name is unknown.
    VQBuildRecordingPath(path, sizeof path, "C:\\", "\\vqrec.exe", when, "_0000.avi");
    EXPECT_STREQ("C:\\vqrec_2007-05-01_12-00-00_0000.avi", path);

    char tiny[8] = "a.avi";
    EXPECT_EQ(0, VQAviPartPath(tiny, sizeof tiny, 1));  // shorter than the part suffix
    EXPECT_STREQ("a.avi", tiny);
    char exact[14] = "x_0000.avi";
    EXPECT_EQ(0, VQAviPartPath(exact, sizeof exact, 10000));  // no fifth digit
    EXPECT_STREQ("x_0000.avi", exact);
}

namespace {
// A game presenting every `frameMs` against a sound device finishing a
// 1/30-second buffer every 33.33 ms into a ring of 30, for `seconds`.
struct PacingRun {
    int framesLookedAt = 0;
    int picturesWritten = 0;
    int buffersWritten = 0;
    int buffersLost = 0;  // finished while the ring was full
    int worstSecond = 0;  // most pictures within one second of game time
};

PacingRun RunPacing(double frameMs, int seconds, uint32_t clockStart = 1000) {
    PacingRun run;
    CVQAviPacer pacer;
    int done = 0;
    long long producedUpTo = 0;  // sound buffers finished so far
    std::vector<int> perSecond(static_cast<size_t>(seconds) + 1, 0);
    for (double t = 0; t < seconds * 1000.0; t += frameMs) {
        const long long produced = static_cast<long long>(t * 30 / 1000);
        for (; producedUpTo < produced; producedUpTo++) {
            if (done < 30)
                done++;
            else
                run.buffersLost++;
        }
        if (!pacer.FrameDue(clockStart + static_cast<uint32_t>(t))) continue;
        run.framesLookedAt++;
        const int n = CVQAviPacer::BuffersToWrite(done, 30);
        done -= n;
        run.buffersWritten += n;
        run.picturesWritten += n;  // one picture per sound buffer
        perSecond[static_cast<size_t>(t / 1000)] += n;
    }
    for (int n : perSecond) run.worstSecond = n > run.worstSecond ? n : run.worstSecond;
    return run;
}
}  // namespace

TEST(AviPacing, SixtyFramesPerSecondGiveAtMostThirty) {
    const PacingRun run = RunPacing(1000.0 / 60, 10);
    EXPECT_LE(run.framesLookedAt, 10 * 1000 / 33 + 1);
    EXPECT_LE(run.worstSecond, 31);
    EXPECT_EQ(0, run.buffersLost);
    EXPECT_GE(run.buffersWritten, 298);  // every buffer but the last one or two
    EXPECT_EQ(run.buffersWritten, run.picturesWritten);
}

TEST(AviPacing, SlowGamesLoseNoSoundAndRepeatTheirPicture) {
    for (double frameMs : {100.0, 250.0, 900.0}) {
        const PacingRun run = RunPacing(frameMs, 10);
        EXPECT_EQ(0, run.buffersLost) << frameMs;
        EXPECT_GE(run.buffersWritten, 300 - static_cast<int>(frameMs * 30 / 1000) - 1) << frameMs;
        EXPECT_EQ(run.buffersWritten, run.picturesWritten) << frameMs;
        EXPECT_LT(run.framesLookedAt, run.picturesWritten) << frameMs;  // pictures repeated
    }
}

TEST(AviPacing, BurstsAreCaughtUpAndTheClockMayWrap) {
    CVQAviPacer pacer;
    EXPECT_FALSE(pacer.FrameDue(5000));  // the first frame starts the timer
    // After a stall of 200 ms, six quick frames are each looked at.
    int due = 0;
    for (int i = 0; i < 10; i++) due += pacer.FrameDue(5200 + i) ? 1 : 0;
    EXPECT_EQ(6, due);
    pacer.Reset();
    EXPECT_FALSE(pacer.FrameDue(5300));  // a new part starts its own timer

    const PacingRun wrapped = RunPacing(1000.0 / 60, 3, 0xFFFFFFFFu - 1000);
    EXPECT_LE(wrapped.framesLookedAt, 3 * 1000 / 33 + 1);
    EXPECT_GE(wrapped.framesLookedAt, 3 * 1000 / 34);
}
