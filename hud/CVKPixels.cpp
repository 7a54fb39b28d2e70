#include "CVKPixels.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

// Low-bit channels are widened and narrowed by multiplying with a
// single-precision factor and truncating toward zero. The product is rounded
// to single precision exactly once, whatever the compiler's floating-point
// unit does with intermediates (x87 keeps excess precision): the exact
// product of an 8-bit integer and a float fits a double, and the rounding to
// a 24-bit significand is done explicitly.
uint32_t MulTruncSingle(uint32_t value, float factor) {
    double exact = static_cast<double>(value) * static_cast<double>(factor);
    if (exact <= 0.0) return 0;
    int exponent = 0;
    std::frexp(exact, &exponent);  // exact = m * 2^exponent, 0.5 <= m < 1
    double ulp = std::ldexp(1.0, exponent - 24);
    double rounded = std::nearbyint(exact / ulp) * ulp;
    return static_cast<uint32_t>(rounded);
}

struct Tables {
    uint8_t widen3[8];
    uint8_t widen5[32];
    uint8_t widen6[64];
    uint8_t narrow3[256];
    uint8_t narrow5[256];
    uint8_t narrow6[256];

    Tables() {
        for (uint32_t v = 0; v < 8; ++v) widen3[v] = Clamp(MulTruncSingle(v, 36.43f));
        for (uint32_t v = 0; v < 32; ++v) widen5[v] = Clamp(MulTruncSingle(v, 8.2259f));
        for (uint32_t v = 0; v < 64; ++v) widen6[v] = Clamp(MulTruncSingle(v, 4.0477f));
        for (uint32_t v = 0; v < 256; ++v) {
            narrow3[v] = static_cast<uint8_t>(MulTruncSingle(v, 0.027457442f) & 7);
            narrow5[v] = static_cast<uint8_t>(MulTruncSingle(v, 0.12156873f) & 31);
            narrow6[v] = static_cast<uint8_t>(MulTruncSingle(v, 0.24706f) & 63);
        }
    }
    static uint8_t Clamp(uint32_t v) { return static_cast<uint8_t>(v > 255 ? 255 : v); }
};

const Tables& GetTables() {
    static const Tables tables;
    return tables;
}

inline uint32_t Load16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8); }
inline void Store16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }

// Reads count pixels of the layout starting at src into 0xAARRGGBB colours.
void ReadRow(uint32_t layout, const uint8_t* src, uint32_t count, uint32_t* out, const Tables& t) {
    switch (layout) {
    case CVKPixels::kR3G3B2:
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t v = src[i];
            out[i] = Argb(255, t.widen3[v >> 5], t.widen3[(v >> 2) & 7], (v & 3) * 85);
        }
        break;
    case CVKPixels::kL8:
        for (uint32_t i = 0; i < count; ++i) out[i] = Argb(255, src[i], src[i], src[i]);
        break;
    case CVKPixels::kR5G6B5:
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t v = Load16(src + 2 * i);
            out[i] = Argb(255, t.widen5[v >> 11], t.widen6[(v >> 5) & 63], t.widen5[v & 31]);
        }
        break;
    case CVKPixels::kA1R5G5B5:
    case CVKPixels::kX1R5G5B5: {
        bool alpha = layout == CVKPixels::kA1R5G5B5;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t v = Load16(src + 2 * i);
            uint32_t a = alpha ? ((v & 0x8000) ? 255 : 0) : 255;
            out[i] = Argb(a, t.widen5[(v >> 10) & 31], t.widen5[(v >> 5) & 31], t.widen5[v & 31]);
        }
        break;
    }
    case CVKPixels::kA4R4G4B4:
    case CVKPixels::kX4R4G4B4: {
        bool alpha = layout == CVKPixels::kA4R4G4B4;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t v = Load16(src + 2 * i);
            uint32_t a = alpha ? ((v >> 12) & 15) * 17 : 255;
            out[i] = Argb(a, ((v >> 8) & 15) * 17, ((v >> 4) & 15) * 17, (v & 15) * 17);
        }
        break;
    }
    case CVKPixels::kB8G8R8:
        for (uint32_t i = 0; i < count; ++i, src += 3) out[i] = Argb(255, src[2], src[1], src[0]);
        break;
    case CVKPixels::kR8G8B8:
        for (uint32_t i = 0; i < count; ++i, src += 3) out[i] = Argb(255, src[0], src[1], src[2]);
        break;
    case CVKPixels::kB8G8R8A8:
        for (uint32_t i = 0; i < count; ++i, src += 4) out[i] = Argb(src[3], src[2], src[1], src[0]);
        break;
    case CVKPixels::kB8G8R8X8:
        for (uint32_t i = 0; i < count; ++i, src += 4) out[i] = Argb(255, src[2], src[1], src[0]);
        break;
    case CVKPixels::kR8G8B8A8:
        for (uint32_t i = 0; i < count; ++i, src += 4) out[i] = Argb(src[3], src[0], src[1], src[2]);
        break;
    default:
        for (uint32_t i = 0; i < count; ++i) out[i] = 0;
        break;
    }
}

// Writes count 0xAARRGGBB colours as pixels of the layout starting at dst.
void WriteRow(uint32_t layout, uint8_t* dst, uint32_t count, const uint32_t* in, const Tables& t) {
    switch (layout) {
    case CVKPixels::kR3G3B2:
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t c = in[i];
            dst[i] = static_cast<uint8_t>((t.narrow3[(c >> 16) & 255] << 5) | (t.narrow3[(c >> 8) & 255] << 2) |
                                          ((c & 255) / 85));
        }
        break;
    case CVKPixels::kL8:
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t c = in[i];
            dst[i] = static_cast<uint8_t>(((c & 255) + ((c >> 8) & 255) + ((c >> 16) & 255)) / 3);
        }
        break;
    case CVKPixels::kR5G6B5:
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t c = in[i];
            Store16(dst + 2 * i,
                    (t.narrow5[(c >> 16) & 255] << 11) | (t.narrow6[(c >> 8) & 255] << 5) | t.narrow5[c & 255]);
        }
        break;
    case CVKPixels::kA1R5G5B5:
    case CVKPixels::kX1R5G5B5:
        // The top bit is set only for a fully opaque colour (A / 255).
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t c = in[i];
            Store16(dst + 2 * i, (((c >> 24) / 255) << 15) | (t.narrow5[(c >> 16) & 255] << 10) |
                                     (t.narrow5[(c >> 8) & 255] << 5) | t.narrow5[c & 255]);
        }
        break;
    case CVKPixels::kA4R4G4B4:
    case CVKPixels::kX4R4G4B4:
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t c = in[i];
            uint32_t g = (c >> 8) & 255, b = c & 255;
            Store16(dst + 2 * i, (((c >> 24) / 17) << 12) | ((((c >> 16) & 255) / 17) << 8) |
                                     (((g * 256 + b) / 4352) << 4) | (b / 17));
        }
        break;
    case CVKPixels::kB8G8R8:
        for (uint32_t i = 0; i < count; ++i, dst += 3) {
            uint32_t c = in[i];
            dst[0] = static_cast<uint8_t>(c);
            dst[1] = static_cast<uint8_t>(c >> 8);
            dst[2] = static_cast<uint8_t>(c >> 16);
        }
        break;
    case CVKPixels::kR8G8B8:
        for (uint32_t i = 0; i < count; ++i, dst += 3) {
            uint32_t c = in[i];
            dst[0] = static_cast<uint8_t>(c >> 16);
            dst[1] = static_cast<uint8_t>(c >> 8);
            dst[2] = static_cast<uint8_t>(c);
        }
        break;
    case CVKPixels::kB8G8R8A8:
    case CVKPixels::kB8G8R8X8:
        for (uint32_t i = 0; i < count; ++i, dst += 4) {
            uint32_t c = in[i];
            dst[0] = static_cast<uint8_t>(c);
            dst[1] = static_cast<uint8_t>(c >> 8);
            dst[2] = static_cast<uint8_t>(c >> 16);
            dst[3] = static_cast<uint8_t>(c >> 24);
        }
        break;
    case CVKPixels::kR8G8B8A8:
        for (uint32_t i = 0; i < count; ++i, dst += 4) {
            uint32_t c = in[i];
            dst[0] = static_cast<uint8_t>(c >> 16);
            dst[1] = static_cast<uint8_t>(c >> 8);
            dst[2] = static_cast<uint8_t>(c);
            dst[3] = static_cast<uint8_t>(c >> 24);
        }
        break;
    default: break;
    }
}

bool Is32(uint32_t layout) { return layout == CVKPixels::kB8G8R8A8 || layout == CVKPixels::kB8G8R8X8; }

const uint32_t kChunk = 256;  // pixels converted per step of the per-pixel paths

}  // namespace

CVKPixels::CVKPixels() : m_layout(0), m_width(0), m_height(0), m_data(nullptr), m_size(0), m_stride(0), m_owned(0) {}

CVKPixels::CVKPixels(uint32_t layout, uint32_t width, uint32_t height, void* data, int32_t size, int32_t stride,
                     int owned)
    : CVKPixels() {
    Init(layout, width, height, data, size, stride, owned);
}

CVKPixels::~CVKPixels() { Reset(); }

void CVKPixels::Init(uint32_t layout, uint32_t width, uint32_t height, void* data, int32_t size, int32_t stride,
                     int owned) {
    // Re-initialising with the same owned buffer must not free it under the caller.
    if (m_owned && m_data && m_data != data) free(m_data);
    m_layout = layout;
    m_width = width;
    m_height = height;
    m_data = static_cast<uint8_t*>(data);
    m_size = size;
    m_owned = owned;
    if (stride == 0) {
        uint64_t computed = (static_cast<uint64_t>(BitsPerPixel(layout)) * width) / 8;
        stride = computed > 0x7FFFFFFF ? 0 : static_cast<int32_t>(computed);
    }
    m_stride = stride;
}

int CVKPixels::Allocate(uint32_t layout, uint32_t width, uint32_t height) {
    uint32_t bits = BitsPerPixel(layout);
    uint64_t stride = (static_cast<uint64_t>(bits) * width) / 8;
    uint64_t bytes = stride * height;
    if (bits == 0 || width == 0 || height == 0 || bytes > 0x7FFFFFFF) {
        Reset();
        return 0;
    }
    void* data = malloc(static_cast<size_t>(bytes));
    if (!data) {
        Reset();
        return 0;
    }
    Init(layout, width, height, data, static_cast<int32_t>(bytes), static_cast<int32_t>(stride), 1);
    return 1;
}

void CVKPixels::Reset() {
    if (m_owned && m_data) free(m_data);
    m_layout = 0;
    m_width = 0;
    m_height = 0;
    m_data = nullptr;
    m_size = 0;
    m_stride = 0;
    m_owned = 0;
}

namespace {
uint64_t RowBytesOf(uint32_t layout, uint32_t width) {
    return (static_cast<uint64_t>(CVKPixels::BitsPerPixel(layout)) * width) / 8;
}
}  // namespace

uint32_t CVKPixels::RowBytes() const {
    uint64_t bytes = RowBytesOf(m_layout, m_width);
    return bytes > 0x7FFFFFFF ? 0 : static_cast<uint32_t>(bytes);
}

uint32_t CVKPixels::UsableRows() const {
    if (!m_data || m_height == 0 || BitsPerPixel(m_layout) == 0 || m_size < 0) return 0;
    // A row longer than any stride can describe cannot be addressed safely.
    uint64_t rowBytes = RowBytesOf(m_layout, m_width);
    if (rowBytes > 0x7FFFFFFF) return 0;
    if (m_size > 0 && static_cast<uint64_t>(m_size) < rowBytes) return 0;
    // A negative stride runs the rows upwards in memory (bottom-up bitmaps).
    uint64_t step =
        m_stride < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(m_stride)) : static_cast<uint64_t>(m_stride);
    if (step < rowBytes)  // rows would overlap: only a single row is meaningful
        return m_height == 1 ? 1 : 0;
    if (m_size == 0)  // a view of memory of unknown size: trust width, height and stride
        return m_height;
    uint64_t rows = (static_cast<uint64_t>(m_size) - rowBytes) / step + 1;
    return rows < m_height ? static_cast<uint32_t>(rows) : m_height;
}

uint8_t* CVKPixels::PixelAddress(uint32_t x, uint32_t y) const {
    if (x >= m_width || y >= UsableRows()) return nullptr;
    return m_data + static_cast<ptrdiff_t>(y) * m_stride +
           static_cast<ptrdiff_t>((static_cast<uint64_t>(x) * BitsPerPixel(m_layout)) / 8);
}

uint32_t CVKPixels::GetPixel(uint32_t x, uint32_t y) const {
    const uint8_t* p = PixelAddress(x, y);
    if (!p) return 0;
    uint32_t colour = 0;
    ReadRow(m_layout, p, 1, &colour, GetTables());
    return colour;
}

void CVKPixels::SetPixel(uint32_t x, uint32_t y, uint32_t colour) {
    uint8_t* p = PixelAddress(x, y);
    if (p) WriteRow(m_layout, p, 1, &colour, GetTables());
}

void CVKPixels::Fill(uint32_t colour) {
    uint32_t rows = UsableRows();
    if (rows == 0 || m_width == 0) return;
    size_t rowBytes = RowBytes();
    if (Is32(m_layout)) {
        uint8_t bytes[4] = {static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 8),
                            static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 24)};
        for (uint32_t x = 0; x < m_width; ++x) memcpy(m_data + 4 * static_cast<size_t>(x), bytes, 4);
    } else {
        const Tables& t = GetTables();
        uint32_t chunk[kChunk];
        for (uint32_t i = 0; i < kChunk; ++i) chunk[i] = colour;
        uint32_t bits = BitsPerPixel(m_layout);
        for (uint32_t x = 0; x < m_width; x += kChunk) {
            uint32_t n = m_width - x < kChunk ? m_width - x : kChunk;
            WriteRow(m_layout, m_data + (static_cast<size_t>(x) * bits) / 8, n, chunk, t);
        }
    }
    // Every further row repeats row 0 (the conversion of one colour is the same everywhere).
    for (uint32_t y = 1; y < rows; ++y)
        memcpy(m_data + static_cast<ptrdiff_t>(y) * m_stride, m_data + static_cast<ptrdiff_t>(y - 1) * m_stride,
               rowBytes);
}

int CVKPixels::CopyFrom(const CVKPixels& source) {
    if (!m_data) return 0;
    if (m_width < source.m_width || m_height < source.m_height) return 0;
    if (&source == this) return 1;
    uint32_t width = source.m_width;
    uint32_t height = source.m_height;
    if (width == 0 || height == 0) return 1;
    // Neither block may be read or written past what its stride and size cover.
    if (source.UsableRows() < height || UsableRows() < height) return 0;

    const uint8_t* src = source.m_data;
    uint8_t* dst = m_data;
    ptrdiff_t srcStride = source.m_stride;
    ptrdiff_t dstStride = m_stride;

    if (Is32(m_layout) && source.m_layout == kB8G8R8) {
        for (uint32_t y = 0; y < height; ++y, src += srcStride, dst += dstStride) {
            const uint8_t* s = src;
            uint8_t* d = dst;
            for (uint32_t x = 0; x < width; ++x, s += 3, d += 4) {
                uint32_t v = static_cast<uint32_t>(s[0]) | (static_cast<uint32_t>(s[1]) << 8) |
                             (static_cast<uint32_t>(s[2]) << 16) | 0xFF000000u;
                memcpy(d, &v, 4);  // little-endian: B, G, R, 255
            }
        }
        return 1;
    }
    if ((Is32(m_layout) && Is32(source.m_layout)) || (m_layout == kB8G8R8 && source.m_layout == kB8G8R8)) {
        size_t rowBytes = source.RowBytes();
        if (srcStride == dstStride && srcStride == static_cast<ptrdiff_t>(rowBytes)) {
            memcpy(dst, src, rowBytes * height);
        } else {
            for (uint32_t y = 0; y < height; ++y, src += srcStride, dst += dstStride) memcpy(dst, src, rowBytes);
        }
        return 1;
    }

    const Tables& t = GetTables();
    uint32_t srcBits = BitsPerPixel(source.m_layout);
    uint32_t dstBits = BitsPerPixel(m_layout);
    uint32_t chunk[kChunk];
    for (uint32_t y = 0; y < height; ++y, src += srcStride, dst += dstStride) {
        for (uint32_t x = 0; x < width; x += kChunk) {
            uint32_t n = width - x < kChunk ? width - x : kChunk;
            if (srcBits)
                ReadRow(source.m_layout, src + (static_cast<size_t>(x) * srcBits) / 8, n, chunk, t);
            else
                memset(chunk, 0, sizeof(uint32_t) * n);
            WriteRow(m_layout, dst + (static_cast<size_t>(x) * dstBits) / 8, n, chunk, t);
        }
    }
    return 1;
}

uint32_t CVKPixels::BitsPerPixel(uint32_t layout) {
    switch (layout) {
    case kR3G3B2:
    case kL8: return 8;
    case kR5G6B5:
    case kA1R5G5B5:
    case kX1R5G5B5:
    case kA4R4G4B4:
    case kX4R4G4B4: return 16;
    case kB8G8R8:
    case kR8G8B8: return 24;
    case kB8G8R8A8:
    case kB8G8R8X8:
    case kR8G8B8A8: return 32;
    default: return 0;
    }
}

uint32_t CVKPixels::LayoutOfFormat(uint32_t d3dFormat) {
    switch (d3dFormat) {
    case 27: return kR3G3B2;    // D3DFMT_R3G3B2
    case 50: return kL8;        // D3DFMT_L8
    case 23: return kR5G6B5;    // D3DFMT_R5G6B5
    case 25: return kA1R5G5B5;  // D3DFMT_A1R5G5B5
    case 24: return kX1R5G5B5;  // D3DFMT_X1R5G5B5
    case 26: return kA4R4G4B4;  // D3DFMT_A4R4G4B4
    case 30: return kX4R4G4B4;  // D3DFMT_X4R4G4B4
    case 20: return kB8G8R8;    // D3DFMT_R8G8B8
    case 21: return kB8G8R8A8;  // D3DFMT_A8R8G8B8
    case 22: return kB8G8R8X8;  // D3DFMT_X8R8G8B8
    default: return kNone;
    }
}
