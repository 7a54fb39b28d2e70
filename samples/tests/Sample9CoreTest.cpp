// The platform-free parts of sample9.exe: command line, picture layout, BMP.
#include <gtest/gtest.h>

#include "Sample9Bmp.h"
#include "Sample9Options.h"
#include "Sample9Scene.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Parse(std::vector<const char*> args, Sample9Options& o, std::string& err) {
    args.insert(args.begin(), "sample9.exe");
    return ParseSample9Options(static_cast<int>(args.size()), args.data(), o, err);
}

// Colour of pixel (x, y) after Clear and the cleared rectangles, as the game
// fills them (the red rectangle and triangles are drawn, not cleared).
uint32_t ClearedColor(const Sample9Frame& f, int x, int y) {
    uint32_t c = f.background;
    for (const Sample9Rect& r : f.clears)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) c = r.color;
    return c;
}

bool InQuads(const Sample9Frame& f, int x, int y) {
    for (const Sample9Rect& r : f.quads)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    return false;
}

}  // namespace

TEST(Sample9Options, DefaultsAndFullCommandLine) {
    Sample9Options o;
    std::string err;
    ASSERT_EQ(1, Parse({}, o, err));
    EXPECT_EQ(120u, o.frames);
    EXPECT_EQ(640, o.width);
    EXPECT_EQ(480, o.height);
    EXPECT_FALSE(o.swapCopy);

    ASSERT_EQ(1, Parse({"--frames",
                        "30",
                        "--width",
                        "320",
                        "--height",
                        "200",
                        "--swap",
                        "copy",
                        "--present",
                        "swapchain",
                        "--probe",
                        "12,12",
                        "--probe",
                        "0,199",
                        "--probe-frames",
                        "1,5,30",
                        "--dump",
                        "7:Z:\\tmp\\a.bmp",
                        "--reset-at",
                        "9",
                        "--reset-size",
                        "800x600",
                        "--at",
                        "3:key:45",
                        "--at",
                        "4:click:-5,10",
                        "--at",
                        "6:rmove:-3,4",
                        "--two-devices=concurrent",
                        "--perf",
                        "--dinput",
                        "buffered",
                        "--query-interface",
                        "--hold",
                        "8:Z:\\tmp\\go.txt",
                        "--hold",
                        "20:Z:\\tmp\\go2.txt"},
                       o, err))
        << err;
    EXPECT_EQ(30u, o.frames);
    EXPECT_EQ(Sample9Options::PresentSwapChain, o.present);
    ASSERT_EQ(2u, o.probes.size());
    EXPECT_EQ(199, o.probes[1].y);
    EXPECT_EQ((std::vector<unsigned>{1, 5, 30}), o.probeFrames);
    ASSERT_EQ(1u, o.dumps.size());
    EXPECT_EQ(7u, o.dumps[0].frame);
    EXPECT_EQ("Z:\\tmp\\a.bmp", o.dumps[0].path);  // only the first colon separates
    EXPECT_EQ(800, o.resetWidth);
    EXPECT_EQ(600, o.resetHeight);
    ASSERT_EQ(3u, o.actions.size());
    EXPECT_EQ(Sample9Action::RelativeMove, o.actions[2].kind);
    EXPECT_EQ(-3, o.actions[2].x);
    EXPECT_EQ(Sample9Action::Key, o.actions[0].kind);
    EXPECT_EQ(45u, o.actions[0].vk);
    EXPECT_EQ(Sample9Action::Click, o.actions[1].kind);
    EXPECT_EQ(-5, o.actions[1].x);
    EXPECT_EQ(Sample9Options::TwoConcurrent, o.twoDevices);
    EXPECT_EQ(Sample9Options::DirectInputBuffered, o.directInput);
    ASSERT_EQ(2u, o.holds.size());
    EXPECT_EQ(8u, o.holds[0].frame);
    EXPECT_EQ("Z:\\tmp\\go.txt", o.holds[0].path);
    EXPECT_EQ(20u, o.holds[1].frame);
    EXPECT_EQ("Z:\\tmp\\go2.txt", o.holds[1].path);
}

TEST(Sample9Options, RejectsMalformedAndOutOfRangeValues) {
    const std::vector<std::vector<const char*>> bad = {
        {"--frames"},  // value missing
        {"--frames", "0"},
        {"--frames", "12abc"},
        {"--frames", "99999999999999999999"},
        {"--width", "-640"},
        {"--width", "100000"},
        {"--swap", "flip"},
        {"--probe", "10"},
        {"--probe", "10,"},
        {"--probe-frames", "1,,2"},
        {"--dump", "5"},
        {"--dump", "5:"},
        {"--reset-at", "3"},  // without a size
        {"--reset-at", "3", "--reset-size", "800*600"},
        {"--at", "3:key:999"},
        {"--at", "3:jump:1"},
        {"--at", "0:key:45"},
        {"--fullscreen-window", "--width", "800"},
        {"--frames", "10", "--probe", "1,1", "--probe-frames", "5,11"},  // past the last frame
        {"--frames", "10", "--dump", "11:x.bmp"},
        {"--at", "121:key:45"},
        {"--frames", "10", "--reset-at", "12", "--reset-size", "320x240"},
        {"--frames", "1", "--two-devices"},
        {"--dinput", "hook"},
        {"--hold", "5"},
        {"--hold", "5:"},
        {"--hold", "0:x.txt"},
        {"--frames", "10", "--hold", "11:x.txt"},
        {"--bogus"},
    };
    for (const auto& args : bad) {
        Sample9Options o;
        std::string err;
        EXPECT_EQ(0, Parse(args, o, err)) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_FALSE(err.empty());
    }
}

TEST(Sample9Options, BoundsTheNumberOfRepeatedOptions) {
    std::vector<const char*> args;
    for (unsigned i = 0; i <= kSample9MaxList; ++i) {
        args.push_back("--probe");
        args.push_back("1,1");
    }
    Sample9Options o;
    std::string err;
    EXPECT_EQ(0, Parse(args, o, err));
}

TEST(Sample9Scene, CounterCellsCarryTheLow16BitsOfTheFrameNumber) {
    Sample9Frame f;
    const unsigned frame = 0x1A5A5;  // bit 16 must not show
    BuildSample9Frame(frame, 640, 480, f);
    for (int i = 0; i < 16; ++i) {
        int cx = 8 + 8 * i;
        uint32_t want = (frame >> i) & 1 ? kSample9White : kSample9Black;
        for (int y = 8; y < 16; ++y)
            for (int x = cx; x < cx + 8; ++x)
                ASSERT_EQ(want, ClearedColor(f, x, y)) << "cell " << i << " at " << x << "," << y;
    }
    EXPECT_EQ(kSample9Background, ClearedColor(f, 7, 8));
    EXPECT_EQ(kSample9Background, ClearedColor(f, 136, 8));
    EXPECT_EQ(kSample9Background, ClearedColor(f, 8, 16));
}

TEST(Sample9Scene, DigitsSpellTheFrameNumber) {
    // Middle stroke (g) of each digit at (8 + 24i + 8, 24 + 14): lit for 2..6, 8, 9.
    Sample9Frame f;
    BuildSample9Frame(1807, 640, 480, f);
    const bool middle[4] = {false, true, false, false};  // 1, 8, 0, 7
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(middle[i] ? kSample9White : kSample9Background, ClearedColor(f, 16 + 24 * i, 38)) << i;
    EXPECT_EQ(kSample9Background, ClearedColor(f, 16 + 24 * 4, 26));  // no fifth digit
    // Upper right stroke (b) of "1" is lit.
    EXPECT_EQ(kSample9White, ClearedColor(f, 8 + 13, 26));
}

TEST(Sample9Scene, RedRectangleMovesAndWrapsAtTheRightEdge) {
    Sample9Frame f;
    BuildSample9Frame(10, 640, 480, f);
    ASSERT_EQ(1u, f.quads.size());
    EXPECT_EQ(40, f.quads[0].left);
    EXPECT_EQ(104, f.quads[0].right);
    EXPECT_EQ(200, f.quads[0].top);
    EXPECT_EQ(264, f.quads[0].bottom);
    EXPECT_EQ(kSample9Red, f.quads[0].color);

    BuildSample9Frame(150, 640, 480, f);  // x = 600: 40 px on the right, 24 wrap
    ASSERT_EQ(2u, f.quads.size());
    EXPECT_TRUE(InQuads(f, 639, 230));
    EXPECT_TRUE(InQuads(f, 0, 230));
    EXPECT_TRUE(InQuads(f, 23, 230));
    EXPECT_FALSE(InQuads(f, 24, 230));
    EXPECT_FALSE(InQuads(f, 599, 230));

    BuildSample9Frame(160, 640, 480, f);  // a full turn: back at 0
    EXPECT_EQ(0, Sample9RectX(160, 640));
    EXPECT_EQ(1u, f.quads.size());
    // Large frame numbers must not overflow into negative positions.
    EXPECT_EQ(static_cast<int>((4ull * 4000000000u) % 640), Sample9RectX(4000000000u, 640));
}

TEST(Sample9Scene, EverythingIsClippedToSmallBackBuffers) {
    Sample9Frame f;
    for (unsigned frame : {1u, 77u, 65535u}) {
        BuildSample9Frame(frame, 50, 20, f);
        for (const auto* list : {&f.clears, &f.quads})
            for (const Sample9Rect& r : *list) {
                EXPECT_GE(r.left, 0);
                EXPECT_GE(r.top, 0);
                EXPECT_LE(r.right, 50);
                EXPECT_LE(r.bottom, 20);
                EXPECT_LT(r.left, r.right);
                EXPECT_LT(r.top, r.bottom);
            }
        EXPECT_TRUE(f.quads.empty());  // the rectangle's band lies below y 20
    }
    BuildSample9Frame(5, 0, 0, f);
    EXPECT_TRUE(f.clears.empty());
    EXPECT_TRUE(f.triangles.empty());
}

TEST(Sample9Bmp, WritesBottomUpBgrRowsPaddedToFourBytes) {
    // 3x2: row stride 9 bytes padded to 12.
    std::vector<uint32_t> px = {0xFF112233, 0xFF445566, 0xFF778899, 0x00AABBCC, 0xFFDDEEFF, 0xFF010203};
    std::vector<uint8_t> b;
    ASSERT_EQ(1, EncodeSample9Bmp(px, 3, 2, b));
    ASSERT_EQ(54u + 24u, b.size());
    EXPECT_EQ('B', b[0]);
    EXPECT_EQ('M', b[1]);
    EXPECT_EQ(78, b[2]);
    EXPECT_EQ(54, b[10]);
    EXPECT_EQ(3, b[18]);
    EXPECT_EQ(2, b[22]);
    EXPECT_EQ(24, b[28]);
    // First stored row is the bottom one; alpha dropped.
    const uint8_t bottom[12] = {0xCC, 0xBB, 0xAA, 0xFF, 0xEE, 0xDD, 0x03, 0x02, 0x01, 0, 0, 0};
    const uint8_t top[12] = {0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0x99, 0x88, 0x77, 0, 0, 0};
    EXPECT_EQ(0, memcmp(&b[54], bottom, 12));
    EXPECT_EQ(0, memcmp(&b[66], top, 12));
}

TEST(Sample9Bmp, RefusesInconsistentSizesAndUnwritablePaths) {
    std::vector<uint8_t> b;
    std::vector<uint32_t> px(6);
    EXPECT_EQ(0, EncodeSample9Bmp(px, 3, 3, b));
    EXPECT_EQ(0, EncodeSample9Bmp(px, 0, 6, b));
    EXPECT_EQ(0, EncodeSample9Bmp(px, -3, -2, b));
    EXPECT_EQ(0, WriteSample9Bmp("no-such-folder-sample9/x.bmp", px, 3, 2));
}
