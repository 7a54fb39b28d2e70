#include "VQViewPicture.h"

#include <cstring>

void VQInitialViewSize(int streamWidth, int streamHeight, int screenWidth, int screenHeight, int* viewWidth,
                       int* viewHeight, float* zoom) {
    const int64_t stream = static_cast<int64_t>(streamWidth) * streamHeight;
    const int64_t screen = static_cast<int64_t>(screenWidth) * screenHeight;
    if (screen > 0 && stream * 100 / screen <= 25) {
        *viewWidth = streamWidth;
        *viewHeight = streamHeight;
        *zoom = 1.0f;
    } else {
        *viewWidth = screenWidth / 2;
        *viewHeight = screenHeight / 2;
        *zoom = 0.5f;
    }
    if (*viewWidth > kVQMaxViewSide) *viewWidth = kVQMaxViewSide;
    if (*viewHeight > kVQMaxViewSide) *viewHeight = kVQMaxViewSide;
}

float VQZoomStep(float zoom, int in) {
    zoom *= in ? 1.1f : 0.9090909f;
    if (zoom > 0.95f && zoom < 1.05f) zoom = 1.0f;
    if (zoom > kVQMaxZoom) zoom = kVQMaxZoom;
    return zoom;
}

int VQResizeNearest(const uint8_t* src, int sw, int sh, int srcStride, uint8_t* dst, int dw, int dh, int dstStride,
                    int bpp) {
    if (bpp < 1 || bpp > 4 || !src || !dst || sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return 0;
    // Source row and column advance by whole steps plus an error term, so no
    // product of coordinates is formed per pixel.
    int sy = 0, errorY = 0;
    for (int y = 0; y < dh; y++) {
        const uint8_t* row = src + static_cast<intptr_t>(sy) * srcStride;
        uint8_t* out = dst + static_cast<intptr_t>(y) * dstStride;
        int sx = 0, errorX = 0;
        for (int x = 0; x < dw; x++) {
            memcpy(out + x * bpp, row + sx * bpp, static_cast<size_t>(bpp));
            errorX += sw;
            while (errorX >= dw) {
                errorX -= dw;
                sx++;
            }
        }
        errorY += sh;
        while (errorY >= dh) {
            errorY -= dh;
            sy++;
        }
    }
    return 1;
}
