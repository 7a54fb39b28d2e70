#pragma once
#include <windows.h>

#include <cstdint>

// A 32-bit device-independent bitmap (bottom-up rows) selected into a memory
// device context, so GDI can draw into memory that the HUD reads directly.
class CVKDib {
public:
    // Largest side accepted; HUD windows are at most a screen in size.
    static const int kMaxSide = 8192;

    CVKDib();
    virtual ~CVKDib();
    CVKDib(const CVKDib&) = delete;
    CVKDib& operator=(const CVKDib&) = delete;

    // Makes the bitmap width x height (any old one is released first). 1 or 0.
    int Create(int width, int height);
    void Release();

    // First byte of the pixel memory: the bottom row.
    uint8_t* Bits() const { return m_bits; }
    const BITMAPINFOHEADER& Header() const { return m_header; }
    HDC DC() const { return m_dc; }
    HBITMAP Bitmap() const { return m_bitmap; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    uint8_t* m_bits;
    BITMAPINFOHEADER m_header;
    HDC m_dc;
    HBITMAP m_bitmap;
    int m_width;
    int m_height;
    HGDIOBJ m_oldBitmap;  // the context's own bitmap, put back before it is deleted
};
