#include <gtest/gtest.h>

#include <vector>

#include "VKWatermark.h"

namespace {

TEST(Watermark, BlendsSeventyPercentAndLeavesZeroPixels) {
    const int w = 4, h = 1;
    std::vector<uint8_t> frame = {0, 0, 0, 0, 10, 20, 30, 40, 200, 100, 50, 255, 7, 7, 7, 7};
    const std::vector<uint8_t> before = frame;
    const uint32_t mark[4] = {0xFFFFFFFFu, 0, 0x00000064u, 0xFF000000u};
    VKBlendWatermark(frame.data(), w, h, w * 4, mark, 4, 1, 0, 0);
    // White over black: 0 + 255 x 0.7 = 178.5, truncated.
    EXPECT_EQ(frame[0], 178);
    EXPECT_EQ(frame[3], 178);
    // A zero mark pixel: unchanged.
    for (int i = 4; i < 8; i++) EXPECT_EQ(frame[i], before[i]);
    // Every byte on its own, toward the mark's byte and down as well as up.
    EXPECT_EQ(frame[8], (3 * 200 + 7 * 100) / 10);
    EXPECT_EQ(frame[9], (3 * 100) / 10);
    EXPECT_EQ(frame[15], (3 * 7 + 7 * 255) / 10);
}

TEST(Watermark, ClippedToPicturesOfAnySize) {
    // Pictures smaller than the mark's place (a reduced recording of a small
    // window): nothing outside the picture is touched. The sanitizers check
    // the reads and writes; the guard bytes check the rows.
    const uint32_t* mark = VKWatermarkPixels();
    for (int size : {1, 8, 12, 40, 64}) {
        const int w = size, h = size / 2 + 1, stride = w * 4 + 8;
        std::vector<uint8_t> frame(static_cast<size_t>(stride) * h, 0);
        VKBlendWatermark(frame.data(), w, h, stride, mark, kVKWatermarkWidth, kVKWatermarkHeight, kVKWatermarkX,
                         kVKWatermarkY);
        for (int y = 0; y < h; y++)
            for (int x = w * 4; x < stride; x++) EXPECT_EQ(frame[static_cast<size_t>(y) * stride + x], 0) << size;
    }
    // Partly outside on every side.
    std::vector<uint8_t> frame(20 * 20 * 4, 0);
    VKBlendWatermark(frame.data(), 20, 20, 80, mark, kVKWatermarkWidth, kVKWatermarkHeight, -50, -10);
    VKBlendWatermark(frame.data(), 20, 20, 80, mark, kVKWatermarkWidth, kVKWatermarkHeight, 15, 15);
}

TEST(Watermark, HasOpaqueAndTransparentPixels) {
    const uint32_t* mark = VKWatermarkPixels();
    int opaque = 0, clear = 0;
    for (int i = 0; i < kVKWatermarkWidth * kVKWatermarkHeight; i++) (mark[i] ? opaque : clear)++;
    EXPECT_GT(opaque, 300);
    EXPECT_GT(clear, opaque);
}

}  // namespace
