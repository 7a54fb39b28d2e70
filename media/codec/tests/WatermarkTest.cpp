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

TEST(Watermark, BlendsIntoPlanarYuvAsIntoRgb) {
    // 4 x 2 pixels of 4:2:2: black (Y 16, U = V = 128).
    std::vector<uint8_t> y(4 * 2, 16), u(2 * 2, 128), v(2 * 2, 128);
    uint8_t* const planes[3] = {y.data(), u.data(), v.data()};
    const int strides[3] = {4, 2, 2};
    // White, nothing, pure blue, nothing: each mark pixel shares its chroma
    // sample with a pixel the mark leaves alone.
    const uint32_t mark[4] = {0xFFFFFFFFu, 0, 0xFF0000FFu, 0};
    VKBlendWatermarkPlanar(planes, strides, 4, 2, 1, 0, mark, 4, 1, 0, 0);
    // White over black: 16 + (235 - 16) x 0.7, the luma of RGB 178.
    EXPECT_EQ(y[0], (3 * 16 + 7 * 235) / 10);
    EXPECT_EQ(y[1], 16);  // zero mark pixels
    EXPECT_EQ(y[3], 16);
    EXPECT_EQ(y[2], (3 * 16 + 7 * 41) / 10);          // blue's luma is 41
    for (int i = 4; i < 8; i++) EXPECT_EQ(y[i], 16);  // the row below the mark
    // White has no colour: the chroma of the first pair stays grey.
    EXPECT_EQ(u[0], 128);
    EXPECT_EQ(v[0], 128);
    // Blue over half of the second pair: U rises by 0.7 x half of (240 - 128).
    EXPECT_EQ(u[1], (128 * (20 - 7) + 7 * 240) / 20);
    EXPECT_LT(v[1], 128);
    EXPECT_EQ(u[2], 128);
    EXPECT_EQ(u[3], 128);
}

TEST(Watermark, PlanarBlendClippedToPicturesOfAnySize) {
    const uint32_t* mark = VKWatermarkPixels();
    for (int size : {1, 7, 12, 41, 64}) {
        for (int shift : {0, 1}) {
            const int w = size, h = size / 2 + 1, cw = (w + 1) >> 1, ch = shift ? (h + 1) >> 1 : h;
            const int strides[3] = {w + 8, cw + 8, cw + 8};
            std::vector<uint8_t> y(static_cast<size_t>(strides[0]) * h, 0), u(static_cast<size_t>(strides[1]) * ch, 0),
                v(static_cast<size_t>(strides[2]) * ch, 0);
            uint8_t* const planes[3] = {y.data(), u.data(), v.data()};
            VKBlendWatermarkPlanar(planes, strides, w, h, 1, shift, mark, kVKWatermarkWidth, kVKWatermarkHeight,
                                   kVKWatermarkX, kVKWatermarkY);
            VKBlendWatermarkPlanar(planes, strides, w, h, 1, shift, mark, kVKWatermarkWidth, kVKWatermarkHeight, -50,
                                   -9);
            for (int r = 0; r < h; r++)
                for (int x = w; x < strides[0]; x++) EXPECT_EQ(y[static_cast<size_t>(r) * strides[0] + x], 0) << size;
            for (int r = 0; r < ch; r++)
                for (int x = cw; x < strides[1]; x++) {
                    EXPECT_EQ(u[static_cast<size_t>(r) * strides[1] + x], 0) << size;
                    EXPECT_EQ(v[static_cast<size_t>(r) * strides[2] + x], 0) << size;
                }
        }
    }
}

TEST(Watermark, HasOpaqueAndTransparentPixels) {
    const uint32_t* mark = VKWatermarkPixels();
    int opaque = 0, clear = 0;
    for (int i = 0; i < kVKWatermarkWidth * kVKWatermarkHeight; i++) (mark[i] ? opaque : clear)++;
    EXPECT_GT(opaque, 300);
    EXPECT_GT(clear, opaque);
}

}  // namespace
