#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CVQSurface.h"
#include "VKLog.h"

namespace {
void Capture(const char* text, int length, void* context) {
    static_cast<std::vector<std::string>*>(context)->emplace_back(text, length);
}
}  // namespace

TEST(CVQSurface, MapBackBufferPixelFormat) {
    std::vector<std::string> log;
    VKSetLogHook(Capture, &log);
    struct {
        uint32_t format;
        int codec, result;
    } cases[] = {{21, 6, 1}, {22, 6, 1}, {23, 9, 1}, {24, 10, 1}, {25, 10, 1}, {31, -1, 0}};
    for (auto c : cases) {
        int codec = 1234;
        EXPECT_EQ(c.result, CVQSurface::MapBackBufferPixelFormat(c.format, &codec)) << c.format;
        EXPECT_EQ(c.codec, codec) << c.format;
    }
    EXPECT_TRUE(log.empty());

    int codec = 1234;
    EXPECT_EQ(0, CVQSurface::MapBackBufferPixelFormat(27, &codec));  // R3G3B2
    EXPECT_EQ(1234, codec);
    EXPECT_EQ(0, CVQSurface::MapBackBufferPixelFormat(20, nullptr));
    VKSetLogHook(nullptr, nullptr);
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ("CVQSurface::MapBackBufferPixelFormat(): Illegal backbuffer pixelformat: 27\r\n", log[0]);
    EXPECT_EQ("CVQSurface::MapBackBufferPixelFormat(): Illegal backbuffer pixelformat: 20\r\n", log[1]);
}

TEST(CVQSurface, BytesPerPixelOfCodecFormat) {
    struct {
        int codec, bytes;
    } cases[] = {{2, 3}, {3, 3}, {6, 4}, {22, 4}, {9, 2}, {10, 2}, {23, 2}, {24, 2}, {0, 1}, {4, 1}, {-1, 1}, {99, 1}};
    for (auto c : cases)
        EXPECT_EQ(c.bytes, CVQSurface::BytesPerPixelOfCodecFormat(c.codec)) << c.codec;
}
