#pragma once
#include <cstdint>

// A block of pixels in memory: layout code, size, row stride and data, with
// per-pixel conversion between layouts. Canvases, locked surfaces and decoded
// video frames are all handled as CVKPixels. Platform-free.
//
// Layout codes (bytes as in memory, lowest address first):
//   16 R3G3B2   17 L8   32 R5G6B5   33 A1R5G5B5   34 X1R5G5B5   35 A4R4G4B4
//   36 X4R4G4B4   48 B,G,R   49 R,G,B   64 B,G,R,A   65 B,G,R,X   66 R,G,B,A
// Any other code has 0 bits per pixel, reads as 0 and ignores writes.
// Colours are 0xAARRGGBB.
class CVKPixels {
public:
    enum Layout : uint32_t {
        kNone = 0,
        kR3G3B2 = 16,
        kL8 = 17,
        kR5G6B5 = 32,
        kA1R5G5B5 = 33,
        kX1R5G5B5 = 34,
        kA4R4G4B4 = 35,
        kX4R4G4B4 = 36,
        kB8G8R8 = 48,
        kR8G8B8 = 49,
        kB8G8R8A8 = 64,
        kB8G8R8X8 = 65,
        kR8G8B8A8 = 66,
    };

    CVKPixels();
    CVKPixels(uint32_t layout, uint32_t width, uint32_t height, void* data, int32_t size, int32_t stride, int owned);
    CVKPixels(const CVKPixels&) = delete;
    CVKPixels& operator=(const CVKPixels&) = delete;
    virtual ~CVKPixels();

    // Releases owned data first; a stride of 0 is computed from the layout.
    void Init(uint32_t layout, uint32_t width, uint32_t height, void* data, int32_t size, int32_t stride, int owned);
    // Allocates an owned block of width x height in the layout (stride from the layout). 1 or 0.
    int Allocate(uint32_t layout, uint32_t width, uint32_t height);
    void Reset();

    uint32_t GetPixel(uint32_t x, uint32_t y) const;
    void SetPixel(uint32_t x, uint32_t y, uint32_t colour);
    void Fill(uint32_t colour);
    // Copies source's width x height pixels to this block's top-left corner.
    // 0 when this block has no data or is narrower or lower than the source.
    int CopyFrom(const CVKPixels& source);

    static uint32_t BitsPerPixel(uint32_t layout);
    // Direct3D format number -> layout code (0 for formats without a layout).
    static uint32_t LayoutOfFormat(uint32_t d3dFormat);

    uint32_t Layout() const { return m_layout; }
    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    uint8_t* Data() const { return m_data; }
    int32_t Size() const { return m_size; }
    int32_t Stride() const { return m_stride; }
    int Owned() const { return m_owned; }

    // Bytes of one row's pixels (bits per pixel x width / 8); 0 when a row
    // would be longer than 2 GiB (such blocks are unusable).
    uint32_t RowBytes() const;
    // Rows that can be reached without leaving the data: 0 without data, for
    // layout 0, or when the stride is shorter than a row; fewer than Height()
    // when a known size does not cover every row.
    uint32_t UsableRows() const;

private:
    // Address of pixel (x, y), or null when it lies outside the usable block.
    uint8_t* PixelAddress(uint32_t x, uint32_t y) const;

    uint32_t m_layout;
    uint32_t m_width;
    uint32_t m_height;
    uint8_t* m_data;
    int32_t m_size;
    int32_t m_stride;
    int m_owned;
};
