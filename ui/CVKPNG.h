#pragma once
#include <cstdint>

// Decodes a PNG image held in memory. Palette images come out as RGB, grey
// images of fewer than 8 bits as 8-bit grey, a transparency chunk as an alpha
// channel and 16-bit samples as 8-bit ones, so every image opens as 1 to 4
// channels of 8 bits. Platform-free.
class CVKPNG {
public:
    // Largest width or height accepted: pictures of the HUD are far smaller,
    // and a damaged header must not make the reader allocate gigabytes.
    static const uint32_t kMaxSide = 16384;
    // Largest decoded image in bytes (channels x width x height).
    static const uint64_t kMaxImageBytes = 64ull * 1024 * 1024;

    CVKPNG();
    virtual ~CVKPNG();
    CVKPNG(const CVKPNG&) = delete;
    CVKPNG& operator=(const CVKPNG&) = delete;

    // Reads the header of the PNG at data (size bytes; the memory must stay
    // valid until Close). 1, or 0 for a damaged or unusable image.
    int Open(const void* data, uint32_t size);
    void Close();
    int IsOpen() const { return m_open; }

    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    uint32_t Channels() const { return m_channels; }
    uint32_t RowBytes() const { return m_rowBytes; }
    // Bytes the decoded image needs (row bytes x height), computed in 64 bits.
    uint64_t ImageBytes() const { return static_cast<uint64_t>(m_rowBytes) * m_height; }

    // Decodes every row into dest (top row first, rows packed). dest must hold
    // at least ImageBytes(). 1, or 0 when the data is damaged or too short.
    // The image is closed afterwards either way.
    int ReadImage(uint8_t* dest, uint64_t destSize);

private:
    friend struct CVKPNGReader;

    const uint8_t* m_data;
    uint32_t m_size;
    uint32_t m_position;
    void* m_png;   // png_structp
    void* m_info;  // png_infop
    int m_open;
    uint32_t m_width;
    uint32_t m_height;
    uint32_t m_channels;
    uint32_t m_rowBytes;
};
