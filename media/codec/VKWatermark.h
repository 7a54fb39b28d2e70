#pragma once
#include <cstdint>

// The watermark blended into every encoded recording: 106 x 34 pixels of
// 32-bit B, G, R, A; a zero pixel is transparent.
static const int kVKWatermarkWidth = 106;
static const int kVKWatermarkHeight = 34;
static const int kVKWatermarkX = 10;
static const int kVKWatermarkY = 10;

// The watermark picture (drawn once, kept for the whole run).
const uint32_t* VKWatermarkPixels();

// Blends mark (mw x mh, rows tightly packed) into a top-down 32-bit frame
// with its top-left corner at (x0, y0): every byte of a non-zero mark pixel
// becomes d + (w - d) x 0.7, truncated (w the mark's byte, d the frame's);
// zero pixels leave the frame as it is. Only the part inside the frame is
// touched, whatever its size.
void VKBlendWatermark(uint8_t* frame, int width, int height, int stride, const uint32_t* mark, int mw, int mh, int x0,
                      int y0);
