#include "VKJpegBitmap.h"

#include <vector>

#include "VKJpeg.h"

HBITMAP JpegToBitmap(const std::string& bytes, int width, int height) {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    if (!DecodeJpeg(bytes, &w, &h, &rgb) || w <= 0 || h <= 0) return nullptr;
    // Rows as a bottom-up 24-bit DIB (BGR, 4-byte aligned).
    int stride = (w * 3 + 3) & ~3;
    std::vector<unsigned char> dib(static_cast<size_t>(stride) * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char* s = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            unsigned char* d = &dib[static_cast<size_t>(h - 1 - y) * stride + x * 3];
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SetStretchBltMode(dc, HALFTONE);
    StretchDIBits(dc, 0, 0, width, height, 0, 0, w, h, dib.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return bitmap;
}
