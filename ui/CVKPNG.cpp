#include "CVKPNG.h"

#include <png.h>

#include <cstdlib>
#include <cstring>

namespace {

// libpng reports errors by jumping back to the setjmp of the caller; the
// messages are not printed (the caller logs what failed).
void SilentError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void SilentWarning(png_structp, png_const_charp) {}

}  // namespace

CVKPNG::CVKPNG()
    : m_data(nullptr),
      m_size(0),
      m_position(0),
      m_png(nullptr),
      m_info(nullptr),
      m_open(0),
      m_width(0),
      m_height(0),
      m_channels(0),
      m_rowBytes(0) {}

CVKPNG::~CVKPNG() { Close(); }

void CVKPNG::Close() {
    if (m_png) {
        png_structp png = static_cast<png_structp>(m_png);
        png_infop info = static_cast<png_infop>(m_info);
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
    m_png = nullptr;
    m_info = nullptr;
    m_open = 0;
    m_data = nullptr;
    m_size = 0;
    m_position = 0;
    m_width = m_height = m_channels = m_rowBytes = 0;
}

// The memory reader that libpng calls for more bytes.
struct CVKPNGReader {
    static void Read(png_structp png, png_bytep out, png_size_t length) {
        CVKPNG* self = static_cast<CVKPNG*>(png_get_io_ptr(png));
        if (length > static_cast<png_size_t>(self->m_size - self->m_position))
            png_error(png, "PNG read past end of buffer");
        memcpy(out, self->m_data + self->m_position, length);
        self->m_position += static_cast<uint32_t>(length);
    }
};

int CVKPNG::Open(const void* data, uint32_t size) {
    Close();
    if (!data || size < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0) return 0;
    m_data = static_cast<const uint8_t*>(data);
    m_size = size;
    m_position = 0;

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, SilentError, SilentWarning);
    if (!png) return 0;
    png_infop info = png_create_info_struct(png);
    m_png = png;
    m_info = info;
    if (!info) {
        Close();
        return 0;
    }
    if (setjmp(png_jmpbuf(png))) {
        Close();
        return 0;
    }
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_set_read_fn(png, this, CVKPNGReader::Read);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace, nullptr, nullptr);
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16) png_set_strip_16(png);
    // Interlaced images are assembled from their passes by the row reader.
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    m_width = png_get_image_width(png, info);
    m_height = png_get_image_height(png, info);
    m_channels = png_get_channels(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    if (m_width == 0 || m_height == 0 || m_width > kMaxSide || m_height > kMaxSide ||
        png_get_bit_depth(png, info) != 8 || rowBytes != static_cast<size_t>(m_channels) * m_width ||
        static_cast<uint64_t>(rowBytes) * m_height > kMaxImageBytes) {
        Close();
        return 0;
    }
    m_rowBytes = static_cast<uint32_t>(rowBytes);
    m_open = 1;
    return 1;
}

int CVKPNG::ReadImage(uint8_t* dest, uint64_t destSize) {
    if (!m_open || !dest || destSize < ImageBytes()) {
        Close();
        return 0;
    }
    png_structp png = static_cast<png_structp>(m_png);
    png_bytep* rows = static_cast<png_bytep*>(malloc(sizeof(png_bytep) * m_height));
    if (!rows) {
        Close();
        return 0;
    }
    for (uint32_t y = 0; y < m_height; ++y) rows[y] = dest + static_cast<size_t>(y) * m_rowBytes;
    volatile int result = 0;
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_read_image(png, rows);
        result = 1;
    }
    free(rows);
    Close();
    return result;
}
