#include "CVQSurface.h"

#include "VKLog.h"

// Codec library pixel format numbers used by the encoders.
namespace {
const int kCodecRGB24 = 2;
const int kCodecBGR24 = 3;
const int kCodecRGB32 = 6;
const int kCodecRGB565 = 9;
const int kCodecRGB555 = 10;
}  // namespace

int CVQSurface::MapBackBufferPixelFormat(uint32_t format, int* codecFormat) {
    int mapped;
    switch (format) {
    case 21:  // D3DFMT_A8R8G8B8
    case 22:  // D3DFMT_X8R8G8B8
        mapped = kCodecRGB32;
        break;
    case 23:  // D3DFMT_R5G6B5
        mapped = kCodecRGB565;
        break;
    case 24:  // D3DFMT_X1R5G5B5
    case 25:  // D3DFMT_A1R5G5B5
        mapped = kCodecRGB555;
        break;
    case 31:  // D3DFMT_A2B10G10R10: known, but no encoder takes it
        if (codecFormat) *codecFormat = -1;
        return 0;
    default:
        LogMessage("CVQSurface::MapBackBufferPixelFormat(): Illegal backbuffer pixelformat: %d\r\n",
                   static_cast<int>(format));
        return 0;
    }
    if (codecFormat) *codecFormat = mapped;
    return 1;
}

int CVQSurface::BytesPerPixelOfCodecFormat(int codecFormat) {
    switch (codecFormat) {
    case kCodecRGB24:
    case kCodecBGR24: return 3;
    case kCodecRGB32:
    case 22: return 4;
    case kCodecRGB565:
    case kCodecRGB555:
    case 23:
    case 24: return 2;
    default: return 1;
    }
}
