#include "VQFrameMath.h"

bool VQClipToBackBuffer(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t W, uint32_t H, VQRect* src, VQRect* dst) {
    // 64-bit sums: a window far off-screen must not wrap around.
    const int64_t x64 = x, y64 = y, w64 = w, h64 = h, W64 = W, H64 = H;
    int64_t left = x64 < 0 ? -x64 : 0;
    int64_t top = y64 < 0 ? -y64 : 0;
    int64_t right = x64 + w64 >= W64 ? W64 - x64 : w64;
    int64_t bottom = y64 + h64 >= H64 ? H64 - y64 : h64;
    if (w64 <= 0 || h64 <= 0 || left >= right || top >= bottom || right <= 0 || bottom <= 0) return false;
    src->left = static_cast<int32_t>(left);
    src->top = static_cast<int32_t>(top);
    src->right = static_cast<int32_t>(right);
    src->bottom = static_cast<int32_t>(bottom);
    dst->left = static_cast<int32_t>(left + x64);
    dst->top = static_cast<int32_t>(top + y64);
    dst->right = static_cast<int32_t>(right + x64);
    dst->bottom = static_cast<int32_t>(bottom + y64);
    return true;
}

void VQPointerRects(int32_t px, int32_t py, uint32_t W, uint32_t H, VQRect rects[3]) {
    // Compared without sign, so a negative coordinate lands here too.
    if (static_cast<uint32_t>(px + 3) >= W) px = static_cast<int32_t>(W) - 4;
    if (static_cast<uint32_t>(py + 3) >= H) py = static_cast<int32_t>(H) - 4;
    rects[0] = VQRect{px, py, px + 3, py + 1};
    rects[1] = VQRect{px, py + 1, px + 2, py + 2};
    rects[2] = VQRect{px, py + 2, px + 1, py + 3};
}

uint32_t VQNextPointerColor(uint32_t colour) {
    if ((colour & 0x00FFFFFFu) >= 0x00FCFCFCu) return kVQPointerColorStart;
    return colour + 0x00040404u;
}

uint32_t VQMoveRelative(uint32_t packed, uint32_t data, uint32_t W, uint32_t H) {
    int32_t x = static_cast<int16_t>(static_cast<int16_t>(VQPointX(packed)) + static_cast<int16_t>(data & 0xFFFF));
    int32_t y = static_cast<int16_t>(static_cast<int16_t>(VQPointY(packed)) + static_cast<int16_t>(data >> 16));
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    if (W != 0 && static_cast<uint32_t>(x) >= W) x = static_cast<int32_t>(W) - 1;
    if (H != 0 && static_cast<uint32_t>(y) >= H) y = static_cast<int32_t>(H) - 1;
    return VQPackPoint(x, y);
}
