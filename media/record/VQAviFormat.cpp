#include "VQAviFormat.h"

#include <cstdio>
#include <cstring>

int VQAviBitCount(uint32_t d3dFormat) {
    switch (d3dFormat) {
    case 21:
    case 22: return 24;
    case 23:
    case 24:
    case 25: return 16;
    default: return 0;
    }
}

uint32_t VQAviRowBytes(uint32_t width, int bitCount) {
    const uint64_t bits = static_cast<uint64_t>(width) * static_cast<uint64_t>(bitCount > 0 ? bitCount : 0);
    const uint64_t bytes = 4 * ((bits + 31) / 32);
    return bytes > UINT32_MAX ? 0 : static_cast<uint32_t>(bytes);
}

uint32_t VQAviImageSize(uint32_t width, uint32_t height, int bitCount) {
    const uint64_t size = static_cast<uint64_t>(VQAviRowBytes(width, bitCount)) * height;
    return size > UINT32_MAX ? 0 : static_cast<uint32_t>(size);
}

int VQAviReducePicture(const uint8_t* source, int32_t stride, uint32_t d3dFormat, uint32_t outWidth, uint32_t outHeight,
                       uint8_t* out) {
    const int bits = VQAviBitCount(d3dFormat);
    if (!bits) return 0;
    const uint32_t rowBytes = VQAviRowBytes(outWidth, bits);
    for (uint32_t y = 0; y < outHeight; y++) {
        const uint8_t* in = source + static_cast<ptrdiff_t>(2 * (outHeight - 1 - y)) * stride;
        uint8_t* row = out + static_cast<size_t>(y) * rowBytes;
        if (bits == 24) {
            for (uint32_t x = 0; x < outWidth; x++) {
                const uint8_t* p = in + 8 * static_cast<size_t>(x);  // every second 4-byte pixel
                row[3 * x] = p[0];
                row[3 * x + 1] = p[1];
                row[3 * x + 2] = p[2];
            }
        } else {
            for (uint32_t x = 0; x < outWidth; x++) {
                uint16_t p;
                memcpy(&p, in + 4 * static_cast<size_t>(x), 2);  // every second 2-byte pixel
                p = d3dFormat == 23 ? VQAvi565To555(p) : VQAvi1555To555(p);
                memcpy(row + 2 * static_cast<size_t>(x), &p, 2);
            }
        }
    }
    return 1;
}

int VQAviPartPath(char* path, size_t size, int part) {
    const size_t length = strlen(path);
    if (length < 8 || part < 0 || part > 9999) return 0;
    char tail[16];
    snprintf(tail, sizeof tail, "%04d.avi", part);
    if (length - 8 + strlen(tail) + 1 > size) return 0;
    strcpy(path + length - 8, tail);
    return 1;
}
