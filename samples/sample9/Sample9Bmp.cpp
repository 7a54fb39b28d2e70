#include "Sample9Bmp.h"

#include <cstdio>

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

}  // namespace

int EncodeSample9Bmp(const std::vector<uint32_t>& pixels, int width, int height, std::vector<uint8_t>& out) {
    // 32767 keeps the file size far below the 32-bit limit of the header.
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767 ||
        pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height))
        return 0;
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    const size_t headers = 14 + 40;
    // At most 98304 * 32767 + 54 bytes: fits the header's 32-bit size field.
    const size_t total = headers + stride * static_cast<size_t>(height);
    out.assign(total, 0);
    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, static_cast<uint32_t>(total));
    Put32(out, 10, static_cast<uint32_t>(headers));
    Put32(out, 14, 40);
    Put32(out, 18, static_cast<uint32_t>(width));
    Put32(out, 22, static_cast<uint32_t>(height));  // positive: bottom-up
    Put16(out, 26, 1);
    Put16(out, 28, 24);
    Put32(out, 34, static_cast<uint32_t>(stride * static_cast<size_t>(height)));
    Put32(out, 38, 2835);  // 72 dpi
    Put32(out, 42, 2835);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = &out[headers + stride * static_cast<size_t>(height - 1 - y)];
        const uint32_t* src = &pixels[static_cast<size_t>(y) * static_cast<size_t>(width)];
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<uint8_t>(src[x]);            // blue
            row[3 * x + 1] = static_cast<uint8_t>(src[x] >> 8);   // green
            row[3 * x + 2] = static_cast<uint8_t>(src[x] >> 16);  // red
        }
    }
    return 1;
}

int WriteSample9Bmp(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height) {
    std::vector<uint8_t> bytes;
    if (!EncodeSample9Bmp(pixels, width, height, bytes)) return 0;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) std::remove(path.c_str());  // no truncated picture left behind
    return ok ? 1 : 0;
}
