#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <vector>

#include "CVKPNG.h"

namespace {

void WriteToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void Flush(png_structp) {}

struct Image {
    int width, height, bitDepth, colourType, interlace;
    std::vector<std::vector<uint8_t>> rows;  // packed as the PNG stores them
    std::vector<png_color> palette = {};
    std::vector<uint8_t> transparency = {};  // palette alphas
    bool greyKey = false;                    // tRNS grey value 0 (for grey images)
};

std::vector<uint8_t> Encode(const Image& image) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "encoding the test image failed";
        return {};
    }
    png_set_write_fn(png, &out, WriteToVector, Flush);
    png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colourType, image.interlace,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!image.palette.empty()) png_set_PLTE(png, info, image.palette.data(), static_cast<int>(image.palette.size()));
    if (!image.transparency.empty())
        png_set_tRNS(png, info, image.transparency.data(), static_cast<int>(image.transparency.size()), nullptr);
    png_color_16 key = {};
    if (image.greyKey) png_set_tRNS(png, info, nullptr, 0, &key);
    std::vector<png_bytep> rows;
    for (auto& row : image.rows) rows.push_back(const_cast<png_bytep>(row.data()));
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> Decode(const std::vector<uint8_t>& file, uint32_t* channels, uint32_t* width = nullptr) {
    CVKPNG reader;
    if (!reader.Open(file.data(), static_cast<uint32_t>(file.size()))) return {};
    *channels = reader.Channels();
    if (width) *width = reader.Width();
    std::vector<uint8_t> pixels(reader.ImageBytes(), 0xEE);
    if (!reader.ReadImage(pixels.data(), pixels.size())) return {};
    return pixels;
}

void Chunk(std::vector<uint8_t>& out, const char* kind, const std::vector<uint8_t>& data) {
    uint32_t n = static_cast<uint32_t>(data.size());
    uint8_t length[4] = {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
    out.insert(out.end(), length, length + 4);
    size_t start = out.size();
    out.insert(out.end(), kind, kind + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0, out.data() + start, static_cast<uInt>(out.size() - start));
    uint8_t c[4] = {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)};
    out.insert(out.end(), c, c + 4);
}

// A PNG with only a header of the given size (and an empty image stream).
std::vector<uint8_t> HeaderOnly(uint32_t width, uint32_t height, int colourType) {
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Chunk(out, "IHDR",
          {uint8_t(width >> 24), uint8_t(width >> 16), uint8_t(width >> 8), uint8_t(width), uint8_t(height >> 24),
           uint8_t(height >> 16), uint8_t(height >> 8), uint8_t(height), 8, uint8_t(colourType), 0, 0, 0});
    Chunk(out, "IDAT", {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
    Chunk(out, "IEND", {});
    return out;
}

}  // namespace

TEST(CVKPNG, DecodesEveryColourType) {
    struct Case {
        const char* name;
        Image image;
        uint32_t channels;
        std::vector<uint8_t> pixels;
    };
    std::vector<Case> cases;
    cases.push_back(
        {"grey 8", {2, 2, 8, PNG_COLOR_TYPE_GRAY, 0, {{0x00, 0x7F}, {0x80, 0xFF}}}, 1, {0x00, 0x7F, 0x80, 0xFF}});
    // 1-bit grey 0b10100000 -> 255, 0, 255; expanded to 8 bits.
    cases.push_back({"grey 1", {3, 1, 1, PNG_COLOR_TYPE_GRAY, 0, {{0xA0}}}, 1, {0xFF, 0x00, 0xFF}});
    // 2-bit grey 0b00011011 -> 0, 0x55, 0xAA, 0xFF.
    cases.push_back({"grey 2", {4, 1, 2, PNG_COLOR_TYPE_GRAY, 0, {{0x1B}}}, 1, {0x00, 0x55, 0xAA, 0xFF}});
    cases.push_back({"grey 4", {2, 1, 4, PNG_COLOR_TYPE_GRAY, 0, {{0x3F}}}, 1, {0x33, 0xFF}});
    cases.push_back({"grey 16", {1, 1, 16, PNG_COLOR_TYPE_GRAY, 0, {{0xAB, 0xCD}}}, 1, {0xAB}});
    cases.push_back({"grey + alpha", {1, 1, 8, PNG_COLOR_TYPE_GRAY_ALPHA, 0, {{0x40, 0x80}}}, 2, {0x40, 0x80}});
    cases.push_back({"rgb 8", {2, 1, 8, PNG_COLOR_TYPE_RGB, 0, {{1, 2, 3, 4, 5, 6}}}, 3, {1, 2, 3, 4, 5, 6}});
    cases.push_back(
        {"rgb 16", {1, 1, 16, PNG_COLOR_TYPE_RGB, 0, {{0x11, 0, 0x22, 0, 0x33, 0}}}, 3, {0x11, 0x22, 0x33}});
    cases.push_back({"rgba 8", {1, 1, 8, PNG_COLOR_TYPE_RGB_ALPHA, 0, {{9, 8, 7, 6}}}, 4, {9, 8, 7, 6}});
    cases.push_back({"rgba 16", {1, 1, 16, PNG_COLOR_TYPE_RGB_ALPHA, 0, {{9, 0, 8, 0, 7, 0, 6, 0}}}, 4, {9, 8, 7, 6}});
    Image palette = {3, 1, 8, PNG_COLOR_TYPE_PALETTE, 0, {{2, 0, 1}}};
    palette.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    cases.push_back({"palette", palette, 3, {0, 0, 255, 255, 0, 0, 0, 255, 0}});
    Image paletteAlpha = palette;
    paletteAlpha.transparency = {0x10, 0x20};  // the third entry stays opaque
    cases.push_back({"palette + tRNS", paletteAlpha, 4, {0, 0, 255, 255, 255, 0, 0, 0x10, 0, 255, 0, 0x20}});
    Image palette4 = {2, 1, 4, PNG_COLOR_TYPE_PALETTE, 0, {{0x12}}};
    palette4.palette = palette.palette;
    cases.push_back({"palette 4", palette4, 3, {0, 255, 0, 0, 0, 255}});
    Image greyKey = {2, 1, 8, PNG_COLOR_TYPE_GRAY, 0, {{0x00, 0x50}}};
    greyKey.greyKey = true;
    cases.push_back({"grey + tRNS", greyKey, 2, {0x00, 0x00, 0x50, 0xFF}});
    // Interlaced: 9 x 9 so that every pass holds pixels.
    Image interlaced = {9, 9, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_ADAM7, {}};
    std::vector<uint8_t> expect;
    for (int y = 0; y < 9; ++y) {
        std::vector<uint8_t> row;
        for (int x = 0; x < 9; ++x) row.push_back(static_cast<uint8_t>(y * 16 + x));
        interlaced.rows.push_back(row);
        expect.insert(expect.end(), row.begin(), row.end());
    }
    cases.push_back({"interlaced", interlaced, 1, expect});

    for (const Case& c : cases) {
        uint32_t channels = 0;
        std::vector<uint8_t> pixels = Decode(Encode(c.image), &channels);
        EXPECT_EQ(c.channels, channels) << c.name;
        EXPECT_EQ(c.pixels, pixels) << c.name;
    }
}

TEST(CVKPNG, RefusesDamagedAndShortData) {
    Image image = {16, 16, 8, PNG_COLOR_TYPE_RGB, 0, {}};
    for (int y = 0; y < 16; ++y) {
        std::vector<uint8_t> row;
        for (int i = 0; i < 48; ++i) row.push_back(static_cast<uint8_t>(y * 31 + i * 7));
        image.rows.push_back(row);
    }
    std::vector<uint8_t> file = Encode(image);
    uint32_t channels = 0;
    ASSERT_FALSE(Decode(file, &channels).empty());

    // Cut anywhere after the header: opens, but reading the rows fails.
    for (size_t cut : {file.size() - 20, file.size() / 2, size_t(60)}) {
        std::vector<uint8_t> shortFile(file.begin(), file.begin() + cut);
        EXPECT_TRUE(Decode(shortFile, &channels).empty()) << "cut at " << cut;
    }
    // Cut inside the header: refused at once.
    CVKPNG reader;
    EXPECT_EQ(0, reader.Open(file.data(), 20));
    EXPECT_EQ(0, reader.Open(file.data(), 4));
    EXPECT_EQ(0, reader.Open(nullptr, 100));
    std::vector<uint8_t> text(100, 'x');
    EXPECT_EQ(0, reader.Open(text.data(), 100));

    // A damaged image stream (checksum of the data chunk no longer matches).
    std::vector<uint8_t> damaged = file;
    damaged[damaged.size() - 30] ^= 0x55;
    EXPECT_TRUE(Decode(damaged, &channels).empty());

    // A destination smaller than the image is refused before anything is written.
    ASSERT_EQ(1, reader.Open(file.data(), static_cast<uint32_t>(file.size())));
    std::vector<uint8_t> small(reader.ImageBytes() - 1, 0xEE);
    EXPECT_EQ(0, reader.ReadImage(small.data(), small.size()));
    EXPECT_EQ(0, reader.IsOpen());
    for (uint8_t b : small) ASSERT_EQ(0xEE, b);
}

TEST(CVKPNG, RefusesAbsurdSizes) {
    CVKPNG reader;
    // Sizes whose byte count wraps around in 32 bits (65536 x 65536 x 4 = 2^34) and beyond.
    for (auto size : {std::pair<uint32_t, uint32_t>{65536, 65536},
                      {100000, 100000},
                      {0x7FFFFFFF, 1},
                      {1, 0x7FFFFFFF},
                      {16385, 1},
                      {4096, 4097}}) {
        std::vector<uint8_t> file = HeaderOnly(size.first, size.second, PNG_COLOR_TYPE_RGB_ALPHA);
        EXPECT_EQ(0, reader.Open(file.data(), static_cast<uint32_t>(file.size()))) << size.first << "x" << size.second;
    }
    // Within the limits the header opens (the data is then too short to read).
    std::vector<uint8_t> file = HeaderOnly(4096, 4096, PNG_COLOR_TYPE_RGB_ALPHA);
    ASSERT_EQ(1, reader.Open(file.data(), static_cast<uint32_t>(file.size())));
    EXPECT_EQ(4096u * 4096u * 4u, reader.ImageBytes());
    reader.Close();
}
