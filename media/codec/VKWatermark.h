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

// The same blend into a planar YUV picture (Y, U, V planes; chroma planes
// subsampled by 2^chromaShiftX across and 2^chromaShiftY down, as in 4:2:2
// and 4:2:0), limited-range BT.601 as the codec library's converter makes
// them: each luma sample becomes d + (m - d) x 0.7 with m the mark pixel's Y;
// a chroma sample moves toward the mark's U or V by 0.7 times the share of
// its pixels that the mark covers. Only the part inside the picture is
// touched.
void VKBlendWatermarkPlanar(uint8_t* const planes[3], const int strides[3], int width, int height, int chromaShiftX,
                            int chromaShiftY, const uint32_t* mark, int mw, int mh, int x0, int y0);
