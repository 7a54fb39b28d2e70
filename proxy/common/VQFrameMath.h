#pragma once
#include <cstdint>

// Arithmetic of the composition point and of the HUD pointer, shared by the
// Direct3D frames. Platform-free, so it is tested natively.

struct VQRect {
    int32_t left, top, right, bottom;
};

// Clips a HUD window of w x h at (x, y) to a W x H back buffer. src is the
// part of the window's surface that is copied, dst where it lands. False when
// no pixel of the window lies on the back buffer (nothing to copy).
bool VQClipToBackBuffer(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t W, uint32_t H, VQRect* src, VQRect* dst);

// The pointer's three rectangles (3, 2 and 1 pixels wide, one row each), with
// its corner held inside a W x H back buffer.
void VQPointerRects(int32_t px, int32_t py, uint32_t W, uint32_t H, VQRect rects[3]);

// The pointer colour of the next frame: one step lighter in red, green and
// blue; after 0xFFFCFCFC comes 0xFF000000 again (a cycle of 64 frames).
uint32_t VQNextPointerColor(uint32_t colour);
static const uint32_t kVQPointerColorStart = 0xFF000000u;

// PointerPosition packing: x in the low 16 bits, y in the high 16 bits, both signed.
inline uint32_t VQPackPoint(int32_t x, int32_t y) {
    return (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) | static_cast<uint16_t>(x);
}
inline int32_t VQPointX(uint32_t packed) { return static_cast<int16_t>(packed & 0xFFFF); }
inline int32_t VQPointY(uint32_t packed) { return static_cast<int16_t>(packed >> 16); }

// Moves a packed pointer position by a relative DirectInput movement (dx in
// the low, dy in the high 16 bits of data, signed), computed in 16 bits,
// clamped at 0 and, when the back buffer's size is known (non-zero), below it.
uint32_t VQMoveRelative(uint32_t packed, uint32_t data, uint32_t W, uint32_t H);
