#pragma once
#include <cstddef>
#include <cstdint>

// The AVI recorder's picture and file naming rules, free of any platform
// call so they build and are tested natively too.
//
// Pictures are stored at half the back buffer's size as uncompressed
// bottom-up DIB rows: 24-bit BGR for 32-bit back buffers, 16-bit RGB555 for
// the 16-bit ones. Every row is padded to 4 bytes.

// The picture reduction of the recorder.
const uint32_t kVQAviReduceFactor = 2;

// 24 for D3DFMT_A8R8G8B8 (21) and D3DFMT_X8R8G8B8 (22), 16 for
// D3DFMT_R5G6B5 (23), D3DFMT_X1R5G5B5 (24) and D3DFMT_A1R5G5B5 (25), 0 for
// every other format (not recorded).
int VQAviBitCount(uint32_t d3dFormat);
// Bytes of one stored row: width x bit count, padded to 4 bytes.
uint32_t VQAviRowBytes(uint32_t width, int bitCount);
// Bytes of one stored picture (rows x row bytes); 0 when it would not fit
// in 32 bits.
uint32_t VQAviImageSize(uint32_t width, uint32_t height, int bitCount);

// A 5:6:5 pixel as RGB555: red and blue kept, green's lowest bit dropped.
inline uint16_t VQAvi565To555(uint16_t p) {
    return static_cast<uint16_t>(((p >> 1) & 0x7C00) | ((p >> 1) & 0x03E0) | (p & 0x001F));
}
// An X1R5G5B5 or A1R5G5B5 pixel as RGB555: the top bit cleared.
inline uint16_t VQAvi1555To555(uint16_t p) { return static_cast<uint16_t>(p & 0x7FFF); }

// Writes the stored picture of a back buffer: output row y (bottom-up) is
// source row 2 x (height - 1 - y), output pixel x is source pixel 2 x x, each
// converted by the format's rule. The source must hold at least 2 x outHeight
// rows of 2 x outWidth pixels at `stride` bytes apart. Padding bytes of the
// output are left as they are. 1, or 0 for a format that is not recorded.
int VQAviReducePicture(const uint8_t* source, int32_t stride, uint32_t d3dFormat, uint32_t outWidth, uint32_t outHeight,
                       uint8_t* out);

// The name of part `part` of a recording from the current part's path: the
// last 8 characters (four-digit part number and ".avi") are replaced with the
// part number as "%04d.avi". 1, or 0 when the path is too short or the
// result would not fit (the path is then unchanged).
int VQAviPartPath(char* path, size_t size, int part);
