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

namespace {
// Limited-range BT.601 of a mark pixel (bytes B, G, R, A).
void MarkYuv(uint32_t w, int* y, int* u, int* v) {
    const int b = static_cast<int>(w & 0xFF), g = static_cast<int>((w >> 8) & 0xFF),
              r = static_cast<int>((w >> 16) & 0xFF);
    *y = ((66 * r + 129 * g + 25 * b + 128) >> 8) + 16;
    *u = ((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128;
    *v = ((112 * r - 94 * g - 18 * b + 128) >> 8) + 128;
}
}  // namespace

void VKBlendWatermarkPlanar(uint8_t* const planes[3], const int strides[3], int width, int height, int chromaShiftX,
                            int chromaShiftY, const uint32_t* mark, int mw, int mh, int x0, int y0) {
    if (!planes || !planes[0] || !planes[1] || !planes[2] || !mark || width <= 0 || height <= 0 || chromaShiftX < 0 ||
        chromaShiftX > 2 || chromaShiftY < 0 || chromaShiftY > 2)
        return;
    int my, mu, mv;
    for (int y = 0; y < mh; y++) {
        const int fy = y0 + y;
        if (fy < 0 || fy >= height) continue;
        uint8_t* row = planes[0] + static_cast<int64_t>(fy) * strides[0];
        for (int x = 0; x < mw; x++) {
            const int fx = x0 + x;
            if (fx < 0 || fx >= width || !mark[y * mw + x]) continue;
            MarkYuv(mark[y * mw + x], &my, &mu, &mv);
            row[fx] = static_cast<uint8_t>((3 * row[fx] + 7 * my) / 10);
        }
    }
    // Each chroma sample covers a block of bw x bh pixels.
    const int bw = 1 << chromaShiftX, bh = 1 << chromaShiftY, n = bw * bh;
    const int cw = (width + bw - 1) >> chromaShiftX, ch = (height + bh - 1) >> chromaShiftY;
    const int cx0 = x0 < 0 ? 0 : x0 >> chromaShiftX, cy0 = y0 < 0 ? 0 : y0 >> chromaShiftY;
    for (int cy = cy0; cy < ch && (cy << chromaShiftY) < y0 + mh; cy++) {
        uint8_t* urow = planes[1] + static_cast<int64_t>(cy) * strides[1];
        uint8_t* vrow = planes[2] + static_cast<int64_t>(cy) * strides[2];
        for (int cx = cx0; cx < cw && (cx << chromaShiftX) < x0 + mw; cx++) {
            int covered = 0, sumU = 0, sumV = 0;
            for (int dy = 0; dy < bh; dy++)
                for (int dx = 0; dx < bw; dx++) {
                    const int mx = (cx << chromaShiftX) + dx - x0, myy = (cy << chromaShiftY) + dy - y0;
                    if (mx < 0 || mx >= mw || myy < 0 || myy >= mh || !mark[myy * mw + mx]) continue;
                    MarkYuv(mark[myy * mw + mx], &my, &mu, &mv);
                    covered++;
                    sumU += mu;
                    sumV += mv;
                }
            if (!covered) continue;
            // d + (mean - d) x 0.7 x covered / n, in integers.
            urow[cx] = static_cast<uint8_t>((urow[cx] * (10 * n - 7 * covered) + 7 * sumU) / (10 * n));
            vrow[cx] = static_cast<uint8_t>((vrow[cx] * (10 * n - 7 * covered) + 7 * sumV) / (10 * n));
        }
    }
}
