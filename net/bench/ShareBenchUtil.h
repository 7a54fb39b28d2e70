#pragma once
#include <cstdint>

// What the live share benchmarks have in common.

// Milliseconds on the performance counter.
double BenchMillis();
// A picture that codes like a game: the counter picture (MediaTestUtil) with
// grain that changes every frame. Pixels are 32-bit B, G, R, X.
void DrawGamePicture(uint8_t* pixels, int width, int height, int stride, uint32_t frame);
