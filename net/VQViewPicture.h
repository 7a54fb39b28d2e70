#pragma once
#include <cstdint>

// The picture rules of a view window, platform-free.

// The size a stream is first shown at: its own size when its area is at
// most 25 % of the viewer's screen (zoom 1), else half the screen's width
// by half its height (zoom 0.5).
void VQInitialViewSize(int streamWidth, int streamHeight, int screenWidth, int screenHeight, int* viewWidth,
                       int* viewHeight, float* zoom);

// One zoom step: x 1.1 in, x 0.9090909 out; a result between 0.95 and 1.05
// becomes exactly 1.0. The zoom never goes above kVQMaxZoom.
float VQZoomStep(float zoom, int in);
const float kVQMaxZoom = 4.0f;
// A view side is never larger than this (the window's canvas is made from it).
const int kVQMaxViewSide = 4096;

// Nearest-neighbour resize of whole pixels of 1 to 4 bytes: output pixel
// (x, y) is source pixel (x * sw / dw, y * sh / dh), with integer error
// accumulation. Any other pixel size: nothing is done (0). Strides are in
// bytes and may be negative (bottom-up rows).
int VQResizeNearest(const uint8_t* src, int srcWidth, int srcHeight, int srcStride, uint8_t* dst, int dstWidth,
                    int dstHeight, int dstStride, int bytesPerPixel);
