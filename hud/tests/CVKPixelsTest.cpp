#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "CVKPixels.h"

namespace {

// A one-pixel view over the given bytes.
uint32_t Read(uint32_t layout, std::vector<uint8_t> bytes) {
    CVKPixels px(layout, 1, 1, bytes.data(), static_cast<int32_t>(bytes.size()), 0, 0);
    return px.GetPixel(0, 0);
}

std::vector<uint8_t> Write(uint32_t layout, uint32_t colour) {
    std::vector<uint8_t> bytes(CVKPixels::BitsPerPixel(layout) / 8 + 1, 0xEE);
    CVKPixels px(layout, 1, 1, bytes.data(), static_cast<int32_t>(bytes.size() - 1), 0, 0);
    px.SetPixel(0, 0, colour);
    EXPECT_EQ(0xEE, bytes.back()) << "layout " << layout << " wrote past its pixel";
    bytes.pop_back();
    return bytes;
}

std::vector<uint8_t> Word(uint32_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }

}  // namespace

TEST(CVKPixels, ReadsEveryLayout) {
    struct Case {
        uint32_t layout;
        std::vector<uint8_t> bytes;
        uint32_t colour;
    } cases[] = {
        {16, {0xFF}, 0xFFFFFFFF},  // 7 x 36.43 truncates to 255
        {16, {0x25}, 0xFF242455},  // R 1 -> 36, G 1 -> 36, B 1 -> 85
        {16, {0x00}, 0xFF000000},
        {17, {0x7B}, 0xFF7B7B7B},
        {32, Word(0xFFFF), 0xFFFFFFFF},
        {32, Word(0x8410), 0xFF838183},  // 16 x 8.2259 -> 131, 32 x 4.0477 -> 129
        {32, Word(0x0821), 0xFF080408},  // 1 x 8.2259 -> 8, 1 x 4.0477 -> 4
        {33, Word(0xFFFF), 0xFFFFFFFF},
        {33, Word(0x7FFF), 0x00FFFFFF},  // alpha bit clear
        {33, Word(0x4210), 0x00838383},
        {34, Word(0x0000), 0xFF000000},  // X bit ignored, opaque
        {34, Word(0x7C00), 0xFFFF0000},
        {35, Word(0x1234), 0x11223344},
        {35, Word(0xF0A5), 0xFF00AA55},
        {36, Word(0x0234), 0xFF223344},
        {36, Word(0xF234), 0xFF223344},  // X nibble ignored
        {48, {0x01, 0x02, 0x03}, 0xFF030201},
        {49, {0x01, 0x02, 0x03}, 0xFF010203},
        {64, {0x01, 0x02, 0x03, 0x04}, 0x04030201},
        {65, {0x01, 0x02, 0x03, 0x04}, 0xFF030201},
        {66, {0x01, 0x02, 0x03, 0x04}, 0x04010203},
        {0, {0x55, 0x55, 0x55, 0x55}, 0},
        {99, {0x55, 0x55, 0x55, 0x55}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.colour, Read(c.layout, c.bytes)) << "layout " << c.layout << " first byte " << int(c.bytes[0]);
}

TEST(CVKPixels, WritesEveryLayout) {
    struct Case {
        uint32_t layout;
        uint32_t colour;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {16, 0xFFFFFFFF, {0xFF}},
        {16, 0xFF2455AA, {0x0A}},  // 36 -> 0 (x 0.0274 = 0.99), 85 -> 2, 170 / 85 -> 2
        {16, 0x00FF0054, {0xE0}},  // 84 / 85 = 0
        {17, 0xFF0A0B0C, {0x0B}},  // (12 + 11 + 10) / 3
        {17, 0xFFFFFFFE, {0xFE}},  // 764 / 3 = 254
        {32, 0xFFFFFFFF, Word(0xFFFF)},
        {32, 0xFF838183, Word(0x7BEF)},  // 131 -> 15, 129 -> 31: truncation loses a step
        {32, 0x00000000, Word(0x0000)},
        {33, 0x80FFFFFF, Word(0x7FFF)},  // alpha bit only for A = 255
        {33, 0xFFFFFFFF, Word(0xFFFF)},
        {34, 0xFEFF0000, Word(0x7C00)},
        {35, 0x11223344, Word(0x1234)},
        {35, 0xFF10FF21, Word(0xF0F1)},  // 16 / 17 = 0, (255*256+33)/4352 = 15, 33 / 17 = 1
        {36, 0x00223344, Word(0x0234)},
        {48, 0x04030201, {0x01, 0x02, 0x03}},
        {49, 0x04030201, {0x03, 0x02, 0x01}},
        {64, 0x04030201, {0x01, 0x02, 0x03, 0x04}},
        {65, 0x04030201, {0x01, 0x02, 0x03, 0x04}},
        {66, 0x04030201, {0x03, 0x02, 0x01, 0x04}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.bytes, Write(c.layout, c.colour)) << "layout " << c.layout << " colour " << std::hex << c.colour;

    // Layout 0 ignores writes.
    uint8_t byte = 0x5A;
    CVKPixels none(0, 1, 1, &byte, 1, 1, 0);
    none.SetPixel(0, 0, 0xFFFFFFFF);
    EXPECT_EQ(0x5A, byte);
}

TEST(CVKPixels, ChannelScalesReachBothEnds) {
    // Every low-bit layout maps its extreme codes to 0 and 255 and back.
    for (uint32_t layout : {16u, 32u, 33u, 34u, 35u, 36u}) {
        std::vector<uint8_t> white = Write(layout, 0xFFFFFFFF);
        EXPECT_EQ(0xFFFFFFFFu, Read(layout, white)) << layout;
        std::vector<uint8_t> black = Write(layout, 0xFF000000);
        EXPECT_EQ(0x000000u, Read(layout, black) & 0xFFFFFF) << layout;
    }
    // Widened values stay in order: each 5- and 6-bit step reads brighter than the one before.
    uint32_t last5 = 0, last6 = 0;
    for (uint32_t v = 1; v < 64; ++v) {
        uint32_t g = (Read(32, Word(v << 5)) >> 8) & 255;
        EXPECT_GT(g, last6);
        last6 = g;
        if (v < 32) {
            uint32_t b = Read(32, Word(v)) & 255;
            EXPECT_GT(b, last5);
            last5 = b;
        }
    }
}

TEST(CVKPixels, InitAllocateAndReset) {
    CVKPixels px;
    EXPECT_EQ(nullptr, px.Data());
    EXPECT_EQ(0u, px.GetPixel(0, 0));
    px.Fill(0xFFFFFFFF);  // no data: nothing happens

    ASSERT_EQ(1, px.Allocate(48, 5, 3));
    EXPECT_EQ(15, px.Stride());
    EXPECT_EQ(45, px.Size());
    EXPECT_EQ(1, px.Owned());

    uint8_t external[16] = {};
    px.Init(32, 3, 2, external, 0, 0, 0);  // frees the allocation (ASan would report a leak)
    EXPECT_EQ(6, px.Stride());
    EXPECT_EQ(0, px.Owned());

    // Re-initialising with the block's own buffer keeps it alive.
    void* own = malloc(64);
    px.Init(64, 4, 4, own, 64, 0, 1);
    px.Init(64, 2, 8, own, 64, 0, 1);
    px.Fill(0x01020304);
    EXPECT_EQ(0x01020304u, px.GetPixel(1, 7));
    px.Reset();
    EXPECT_EQ(nullptr, px.Data());
    EXPECT_EQ(0u, px.Width());

    EXPECT_EQ(0, px.Allocate(0, 10, 10));
    EXPECT_EQ(0, px.Allocate(64, 0, 10));
    EXPECT_EQ(0, px.Allocate(64, 0x10000, 0x10000));  // 16 GiB: refused, not wrapped
    EXPECT_EQ(nullptr, px.Data());
}

TEST(CVKPixels, AccessOutsideTheBlockTouchesNothing) {
    // 3x2 block of layout 64 with 4 padding bytes per row, inside a guarded buffer.
    std::vector<uint8_t> memory(2 * 16 + 16, 0xAB);
    CVKPixels px(64, 3, 2, memory.data(), 32, 16, 0);
    px.SetPixel(3, 0, 0);
    px.SetPixel(0, 2, 0);
    px.SetPixel(0xFFFFFFFF, 0xFFFFFFFF, 0);
    for (uint8_t b : memory) EXPECT_EQ(0xAB, b);
    EXPECT_EQ(0u, px.GetPixel(3, 0));
    EXPECT_EQ(0u, px.GetPixel(0, 2));
    EXPECT_EQ(0xABABABABu, px.GetPixel(2, 1));

    px.Fill(0x11223344);
    for (size_t i = 0; i < memory.size(); ++i) {
        bool inside = i < 32 && (i % 16) < 12;
        EXPECT_EQ(inside ? uint8_t(0x44 - 0x11 * ((i % 4))) : 0xAB, memory[i]) << i;
    }
}

TEST(CVKPixels, StrideOrSizeThatDoesNotCoverTheBlockIsNotOverrun) {
    // A known size covering only two of four rows: the last rows are out of reach.
    uint8_t* data = static_cast<uint8_t*>(malloc(2 * 8));  // exact size: ASan reports any overrun
    CVKPixels px(64, 2, 4, data, 16, 8, 0);
    EXPECT_EQ(2u, px.UsableRows());
    px.Fill(0xFFFFFFFF);
    px.SetPixel(1, 3, 0);
    EXPECT_EQ(0u, px.GetPixel(1, 3));
    EXPECT_EQ(0xFFFFFFFFu, px.GetPixel(1, 1));

    // A stride shorter than a row makes the block unusable.
    CVKPixels partial(64, 2, 2, data, 12, 4, 0);  // stride 4 is shorter than a row of 8 bytes
    EXPECT_EQ(0u, partial.UsableRows());
    partial.Fill(0);
    EXPECT_EQ(0xFFFFFFFFu, px.GetPixel(0, 0));

    CVKPixels source;
    ASSERT_EQ(1, source.Allocate(64, 2, 4));
    source.Fill(0x12345678);
    EXPECT_EQ(0, px.CopyFrom(source));  // the target cannot hold 4 rows in 16 bytes
    EXPECT_EQ(0xFFFFFFFFu, px.GetPixel(0, 0));

    // A source whose size does not cover its rows is refused too.
    CVKPixels shortSource(64, 2, 4, source.Data(), 20, 8, 0);
    CVKPixels target;
    ASSERT_EQ(1, target.Allocate(64, 2, 4));
    EXPECT_EQ(0, target.CopyFrom(shortSource));
    EXPECT_EQ(0, target.CopyFrom(CVKPixels(64, 2, 4, nullptr, 0, 0, 0)));
    free(data);

    // A width whose row length does not fit 32 bits is not wrapped into a short row.
    uint8_t* four = static_cast<uint8_t*>(malloc(16));
    CVKPixels wide(64, 0x40000001, 1, four, 16, 0, 0);
    EXPECT_EQ(0u, wide.UsableRows());
    wide.Fill(0xFFFFFFFF);
    CVKPixels wideView(64, 0x40000001, 2, four, 0, 8, 0);
    EXPECT_EQ(0u, wideView.UsableRows());
    wideView.SetPixel(0, 0, 0);
    free(four);

    // A negative size is unusable, not huge.
    uint8_t bytes[8] = {};
    CVKPixels negative(64, 2, 1, bytes, -1, 0, 0);
    negative.SetPixel(0, 0, 0xFFFFFFFF);
    for (uint8_t b : bytes) EXPECT_EQ(0, b);
}

TEST(CVKPixels, NegativeStrideRunsRowsUpwards) {
    // A bottom-up bitmap viewed from its top row, which is the last in memory.
    uint8_t memory[3 * 8];
    memset(memory, 0, sizeof(memory));
    CVKPixels view(64, 2, 3, memory + 2 * 8, 0, -8, 0);
    EXPECT_EQ(3u, view.UsableRows());
    view.SetPixel(1, 0, 0x01020304);
    EXPECT_EQ(0x04, memory[2 * 8 + 4]);
    view.SetPixel(0, 2, 0x0A0B0C0D);
    EXPECT_EQ(0x0D, memory[0]);
    view.Fill(0xFFFFFFFF);
    for (uint8_t b : memory) EXPECT_EQ(0xFF, b);

    CVKPixels source;
    ASSERT_EQ(1, source.Allocate(48, 2, 3));
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 2; ++x) source.SetPixel(x, y, 0x102030 * (y * 2 + x + 1));
    ASSERT_EQ(1, view.CopyFrom(source));
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 2; ++x) EXPECT_EQ(source.GetPixel(x, y), view.GetPixel(x, y));
    EXPECT_EQ(0x30, memory[2 * 8]);  // top row, first pixel, blue byte

    CVKPixels top;
    ASSERT_EQ(1, top.Allocate(64, 2, 3));
    ASSERT_EQ(1, top.CopyFrom(view));
    EXPECT_EQ(view.GetPixel(1, 2), top.GetPixel(1, 2));
}

TEST(CVKPixels, FillEveryLayoutMatchesSetPixel) {
    for (uint32_t layout : {16u, 17u, 32u, 33u, 34u, 35u, 36u, 48u, 49u, 64u, 65u, 66u}) {
        CVKPixels filled, reference;
        ASSERT_EQ(1, filled.Allocate(layout, 300, 3));  // wider than one conversion step
        ASSERT_EQ(1, reference.Allocate(layout, 300, 3));
        memset(reference.Data(), 0, reference.Size());
        filled.Fill(0x80C0A060);
        for (uint32_t y = 0; y < 3; ++y)
            for (uint32_t x = 0; x < 300; ++x) reference.SetPixel(x, y, 0x80C0A060);
        EXPECT_EQ(0, memcmp(filled.Data(), reference.Data(), filled.Size())) << "layout " << layout;
    }
}

TEST(CVKPixels, CopyFromFastPaths) {
    // 24-bit source into a 32-bit target with padded rows: alpha becomes 255.
    uint8_t src24[2 * 8] = {1, 2, 3, 4, 5, 6, 0xEE, 0xEE, 7, 8, 9, 10, 11, 12, 0xEE, 0xEE};
    CVKPixels source(48, 2, 2, src24, sizeof(src24), 8, 0);
    for (uint32_t layout : {64u, 65u}) {
        std::vector<uint8_t> dst(3 * 12, 0x55);
        CVKPixels target(layout, 3, 3, dst.data(), static_cast<int32_t>(dst.size()), 12, 0);
        ASSERT_EQ(1, target.CopyFrom(source));
        std::vector<uint8_t> expect = {1, 2, 3, 255, 4,  5,  6,  255, 0x55, 0x55, 0x55, 0x55,
                                       7, 8, 9, 255, 10, 11, 12, 255, 0x55, 0x55, 0x55, 0x55};
        expect.resize(36, 0x55);
        EXPECT_EQ(expect, dst) << layout;
    }

    // 32-bit pairs copy the fourth byte unchanged, in every pairing.
    uint8_t src32[8] = {1, 2, 3, 0x40, 5, 6, 7, 0x00};
    for (uint32_t from : {64u, 65u})
        for (uint32_t to : {64u, 65u}) {
            uint8_t dst[8] = {};
            CVKPixels s(from, 2, 1, src32, 8, 0, 0), d(to, 2, 1, dst, 8, 0, 0);
            ASSERT_EQ(1, d.CopyFrom(s));
            EXPECT_EQ(0, memcmp(src32, dst, 8)) << from << "->" << to;
        }

    // 24-bit pairs, rows advancing by each block's own stride.
    uint8_t dst24[2 * 7];
    memset(dst24, 0x55, sizeof(dst24));
    CVKPixels target24(48, 2, 2, dst24, sizeof(dst24), 7, 0);
    ASSERT_EQ(1, target24.CopyFrom(source));
    uint8_t expect24[14] = {1, 2, 3, 4, 5, 6, 0x55, 7, 8, 9, 10, 11, 12, 0x55};
    EXPECT_EQ(0, memcmp(expect24, dst24, sizeof(dst24)));
}

TEST(CVKPixels, CopyFromConvertsOtherPairs) {
    CVKPixels canvas;
    ASSERT_EQ(1, canvas.Allocate(64, 300, 2));
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 300; ++x) canvas.SetPixel(x, y, 0xFF000000 | (x * 0x010305) | (y << 23));
    for (uint32_t layout : {16u, 17u, 32u, 33u, 34u, 35u, 36u, 49u, 66u}) {
        CVKPixels target;
        ASSERT_EQ(1, target.Allocate(layout, 301, 3));
        ASSERT_EQ(1, target.CopyFrom(canvas));
        for (uint32_t y = 0; y < 2; ++y)
            for (uint32_t x = 0; x < 300; x += 37) {
                CVKPixels one;
                ASSERT_EQ(1, one.Allocate(layout, 1, 1));
                one.SetPixel(0, 0, canvas.GetPixel(x, y));
                EXPECT_EQ(one.GetPixel(0, 0), target.GetPixel(x, y)) << layout << " at " << x << "," << y;
            }
    }
    // 16-bit into 32-bit widens.
    uint8_t word[2] = {0x10, 0x84};
    CVKPixels w(32, 1, 1, word, 2, 0, 0);
    CVKPixels out;
    ASSERT_EQ(1, out.Allocate(65, 1, 1));
    ASSERT_EQ(1, out.CopyFrom(w));
    EXPECT_EQ(0xFF838183u, out.GetPixel(0, 0));
}

TEST(CVKPixels, CopyFromRefusesASmallerTarget) {
    CVKPixels source, target;
    ASSERT_EQ(1, source.Allocate(64, 100, 10));
    source.Fill(0xFFFFFFFF);
    ASSERT_EQ(1, target.Allocate(64, 80, 10));
    target.Fill(0);
    EXPECT_EQ(0, target.CopyFrom(source));
    EXPECT_EQ(0u, target.GetPixel(0, 0));

    CVKPixels low;
    ASSERT_EQ(1, low.Allocate(64, 100, 9));
    EXPECT_EQ(0, low.CopyFrom(source));

    CVKPixels empty;
    EXPECT_EQ(0, empty.CopyFrom(source));

    // A larger target gets the source in its top-left corner only.
    CVKPixels big;
    ASSERT_EQ(1, big.Allocate(64, 101, 11));
    big.Fill(0x11111111);
    ASSERT_EQ(1, big.CopyFrom(source));
    EXPECT_EQ(0xFFFFFFFFu, big.GetPixel(99, 9));
    EXPECT_EQ(0x11111111u, big.GetPixel(100, 9));
    EXPECT_EQ(0x11111111u, big.GetPixel(0, 10));
}
