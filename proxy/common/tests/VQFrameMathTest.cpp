#include <gtest/gtest.h>

#include "VQFrameMath.h"

namespace {
void ExpectRect(const VQRect& r, int l, int t, int rr, int b) {
    EXPECT_EQ(l, r.left);
    EXPECT_EQ(t, r.top);
    EXPECT_EQ(rr, r.right);
    EXPECT_EQ(b, r.bottom);
}
}  // namespace

TEST(VQClipToBackBuffer, ClipsAtEveryEdge) {
    VQRect src, dst;
    ASSERT_TRUE(VQClipToBackBuffer(-20, 10, 100, 50, 640, 480, &src, &dst));
    ExpectRect(src, 20, 0, 100, 50);
    ExpectRect(dst, 0, 10, 80, 60);

    ASSERT_TRUE(VQClipToBackBuffer(600, 10, 100, 50, 640, 480, &src, &dst));
    ExpectRect(src, 0, 0, 40, 50);
    ExpectRect(dst, 600, 10, 640, 60);

    ASSERT_TRUE(VQClipToBackBuffer(10, -5, 100, 50, 640, 480, &src, &dst));
    ExpectRect(src, 0, 5, 100, 50);
    ExpectRect(dst, 10, 0, 110, 45);

    ASSERT_TRUE(VQClipToBackBuffer(10, 450, 100, 50, 640, 480, &src, &dst));
    ExpectRect(src, 0, 0, 100, 30);
    ExpectRect(dst, 10, 450, 110, 480);

    // Inside: copied whole. Exactly touching the right edge also counts as inside.
    ASSERT_TRUE(VQClipToBackBuffer(540, 0, 100, 50, 640, 480, &src, &dst));
    ExpectRect(src, 0, 0, 100, 50);
    ExpectRect(dst, 540, 0, 640, 50);
}

TEST(VQClipToBackBuffer, NothingToCopyOffScreen) {
    VQRect src, dst;
    EXPECT_FALSE(VQClipToBackBuffer(700, 10, 100, 50, 640, 480, &src, &dst));
    EXPECT_FALSE(VQClipToBackBuffer(-100, 10, 100, 50, 640, 480, &src, &dst));
    EXPECT_FALSE(VQClipToBackBuffer(10, 480, 100, 50, 640, 480, &src, &dst));
    EXPECT_FALSE(VQClipToBackBuffer(10, 10, 0, 50, 640, 480, &src, &dst));
    EXPECT_FALSE(VQClipToBackBuffer(0x7FFFFFF0, 10, 100, 50, 640, 480, &src, &dst));
    EXPECT_FALSE(VQClipToBackBuffer(10, 10, 100, 50, 0, 0, &src, &dst));
}

TEST(VQPointer, CornerHeldInsideTheBackBuffer) {
    VQRect r[3];
    VQPointerRects(100, 50, 640, 480, r);
    ExpectRect(r[0], 100, 50, 103, 51);
    ExpectRect(r[1], 100, 51, 102, 52);
    ExpectRect(r[2], 100, 52, 101, 53);

    VQPointerRects(639, 479, 640, 480, r);
    ExpectRect(r[0], 636, 476, 639, 477);

    VQPointerRects(-5, 10, 640, 480, r);  // negative compares as huge
    EXPECT_EQ(636, r[0].left);
    EXPECT_EQ(10, r[0].top);
}

TEST(VQPointer, ColourPulsesInSixtyFourFrames) {
    uint32_t c = kVQPointerColorStart;
    c = VQNextPointerColor(c);
    EXPECT_EQ(0xFF040404u, c);
    for (int i = 1; i < 63; ++i) c = VQNextPointerColor(c);
    EXPECT_EQ(0xFFFCFCFCu, c);
    EXPECT_EQ(kVQPointerColorStart, VQNextPointerColor(c));
}

TEST(VQMoveRelative, ClampsAtZeroAndTheBackBuffer) {
    const uint32_t start = VQPackPoint(240, 320);
    EXPECT_EQ(0x014000F0u, start);
    auto move = [](int dx, int dy) { return VQPackPoint(dx, dy); };

    uint32_t p = VQMoveRelative(start, move(-500, 0), 800, 600);
    EXPECT_EQ(0, VQPointX(p));
    EXPECT_EQ(320, VQPointY(p));

    p = VQMoveRelative(start, move(1000, 1000), 800, 600);
    EXPECT_EQ(799, VQPointX(p));
    EXPECT_EQ(599, VQPointY(p));

    p = VQMoveRelative(start, move(1000, -1000), 0, 0);  // size unknown: clamped only at 0
    EXPECT_EQ(1240, VQPointX(p));
    EXPECT_EQ(0, VQPointY(p));
}
