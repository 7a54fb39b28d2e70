#include "ShareBenchUtil.h"

#include <windows.h>

#include <cstddef>

#include "MediaTestUtil.h"

double BenchMillis() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void DrawGamePicture(uint8_t* pixels, int width, int height, int stride, uint32_t frame) {
    DrawCounterPicture(pixels, width, height, stride, frame);
    uint32_t seed = 12345 + frame * 7;
    for (int y = 0; y < height; y += 2)
        for (int x = 0; x < width * 4; x += 3) {
            seed = seed * 1103515245 + 12345;
            pixels[static_cast<size_t>(y) * stride + x] ^= static_cast<uint8_t>((seed >> 16) & 7);
        }
}
