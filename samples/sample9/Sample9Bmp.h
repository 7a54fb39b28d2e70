// Writes 32-bit pixels as an uncompressed 24-bit BMP file (bottom-up rows,
// each padded to four bytes). Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// pixels: width * height values 0xAARRGGBB, top row first; alpha is dropped.
// Returns 1, or 0 when the size is invalid or the file cannot be written.
int WriteSample9Bmp(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height);

// The bytes of such a file.
int EncodeSample9Bmp(const std::vector<uint32_t>& pixels, int width, int height, std::vector<uint8_t>& out);
