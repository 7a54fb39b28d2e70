#include "VKJpegBitmap.h"

#include <vector>

#include "VKJpeg.h"

HBITMAP JpegToBitmap(const std::string& bytes, int width, int height) {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    if (width <= 0 || height <= 0 || !DecodeJpeg(bytes, &w, &h, &rgb) || w <= 0 || h <= 0) return nullptr;
    // A top-down 32-bit DIB section filled directly: each target pixel is the
    // average of the source pixels it covers (GDI's stretching is far slower
    // under some systems, and an avatar list may hold a thousand pictures).
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        return nullptr;
    }
    unsigned char* out = static_cast<unsigned char*>(bits);
    for (int y = 0; y < height; ++y) {
        int y0 = static_cast<int>(static_cast<long long>(y) * h / height);
        int y1 = static_cast<int>(static_cast<long long>(y + 1) * h / height);
        if (y1 <= y0) y1 = y0 + 1;
        for (int x = 0; x < width; ++x) {
            int x0 = static_cast<int>(static_cast<long long>(x) * w / width);
            int x1 = static_cast<int>(static_cast<long long>(x + 1) * w / width);
            if (x1 <= x0) x1 = x0 + 1;
            unsigned sum[3] = {0, 0, 0}, count = 0;
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx) {
                    const unsigned char* s = &rgb[(static_cast<size_t>(sy) * w + sx) * 3];
                    sum[0] += s[0];
                    sum[1] += s[1];
                    sum[2] += s[2];
                    ++count;
                }
            unsigned char* d = out + (static_cast<size_t>(y) * width + x) * 4;
            d[0] = static_cast<unsigned char>(sum[2] / count);
            d[1] = static_cast<unsigned char>(sum[1] / count);
            d[2] = static_cast<unsigned char>(sum[0] / count);
            d[3] = 0;
        }
    }
    return bitmap;
}
