#include "CVKDib.h"

#include <cstring>

CVKDib::CVKDib() : m_bits(nullptr), m_dc(nullptr), m_bitmap(nullptr), m_width(0), m_height(0), m_oldBitmap(nullptr) {
    memset(&m_header, 0, sizeof(m_header));
}

CVKDib::~CVKDib() { Release(); }

int CVKDib::Create(int width, int height) {
    Release();
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return 0;
    BITMAPINFO info;
    memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // positive: rows stored bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 4;

    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return 0;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        DeleteDC(dc);
        return 0;
    }
    m_oldBitmap = SelectObject(dc, bitmap);
    SetStretchBltMode(dc, COLORONCOLOR);
    m_header = info.bmiHeader;
    m_dc = dc;
    m_bitmap = bitmap;
    m_bits = static_cast<uint8_t*>(bits);
    m_width = width;
    m_height = height;
    return 1;
}

void CVKDib::Release() {
    if (m_dc) {
        if (m_oldBitmap) SelectObject(m_dc, m_oldBitmap);
        DeleteDC(m_dc);
    }
    if (m_bitmap) DeleteObject(m_bitmap);
    m_dc = nullptr;
    m_bitmap = nullptr;
    m_oldBitmap = nullptr;
    m_bits = nullptr;
    m_width = 0;
    m_height = 0;
    memset(&m_header, 0, sizeof(m_header));
}
