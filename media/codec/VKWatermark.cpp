#include "VKWatermark.h"

#include <mutex>

namespace {
// 5 x 7 letters, one row per byte, bit 4 = left column.
const uint8_t kO[7] = {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E};
const uint8_t kR[7] = {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11};
const uint8_t kV[7] = {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04};
const uint8_t kA[7] = {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11};
const uint8_t kL[7] = {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F};
const int kScale = 3, kGap = 2;

uint32_t g_mark[kVKWatermarkWidth * kVKWatermarkHeight];
std::once_flag g_drawn;

void Draw() {
    const uint8_t* const letters[6] = {kO, kR, kV, kA, kL, kO};
    const int textWidth = 6 * 5 * kScale + 5 * kGap;
    const int left = (kVKWatermarkWidth - textWidth) / 2, top = (kVKWatermarkHeight - 7 * kScale) / 2;
    for (int i = 0; i < 6; i++)
        for (int row = 0; row < 7; row++)
            for (int col = 0; col < 5; col++) {
                if (!(letters[i][row] & (0x10 >> col))) continue;
                for (int dy = 0; dy < kScale; dy++)
                    for (int dx = 0; dx < kScale; dx++) {
                        const int x = left + i * (5 * kScale + kGap) + col * kScale + dx;
                        const int y = top + row * kScale + dy;
                        g_mark[y * kVKWatermarkWidth + x] = 0xFFFFFFFFu;
                        // A dark shadow below and right keeps the letters readable on light scenes.
                        uint32_t& shadow = g_mark[(y + 1) * kVKWatermarkWidth + x + 1];
                        if (shadow == 0) shadow = 0xFF202020u;
                    }
            }
}
}  // namespace

const uint32_t* VKWatermarkPixels() {
    std::call_once(g_drawn, Draw);
    return g_mark;
}

void VKBlendWatermark(uint8_t* frame, int width, int height, int stride, const uint32_t* mark, int mw, int mh, int x0,
                      int y0) {
    if (!frame || !mark || width <= 0 || height <= 0) return;
    for (int y = 0; y < mh; y++) {
        const int fy = y0 + y;
        if (fy < 0 || fy >= height) continue;
        uint8_t* row = frame + static_cast<int64_t>(fy) * stride;
        for (int x = 0; x < mw; x++) {
            const int fx = x0 + x;
            if (fx < 0 || fx >= width) continue;
            const uint32_t w = mark[y * mw + x];
            if (!w) continue;
            uint8_t* d = row + fx * 4;
            for (int c = 0; c < 4; c++) {
                const int wc = static_cast<int>((w >> (8 * c)) & 0xFF);
                // d + (w - d) x 0.7 = (3d + 7w) / 10, exact in integers and never negative.
                d[c] = static_cast<uint8_t>((3 * d[c] + 7 * wc) / 10);
            }
        }
    }
}
