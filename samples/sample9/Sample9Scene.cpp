#include "Sample9Scene.h"

#include <cstdio>

namespace {

void AddClipped(std::vector<Sample9Rect>& list, int l, int t, int r, int b, uint32_t color, int width, int height) {
    if (l < 0) l = 0;
    if (t < 0) t = 0;
    if (r > width) r = width;
    if (b > height) b = height;
    if (l < r && t < b) list.push_back(Sample9Rect{l, t, r, b, color});
}

// Seven-segment strokes in a 16x28 box, 4 px thick: a top, b upper right,
// c lower right, d bottom, e lower left, f upper left, g middle.
struct Segment {
    int l, t, r, b;
};
const Segment kSegments[7] = {
    {0, 0, 16, 4}, {12, 0, 16, 16}, {12, 12, 16, 28}, {0, 24, 16, 28}, {0, 12, 4, 28}, {0, 0, 4, 16}, {0, 12, 16, 16},
};
// Bit n lights segment n (a = bit 0).
const unsigned char kDigitSegments[10] = {
    0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F,
};

}  // namespace

int Sample9RectX(unsigned frame, int width) {
    if (width <= 0) return 0;
    // 64-bit product: frame * 4 overflows 32 bits for large frame numbers.
    return static_cast<int>((static_cast<unsigned long long>(frame) * kSample9RectStep) % static_cast<unsigned>(width));
}

void BuildSample9Frame(unsigned frame, int width, int height, Sample9Frame& out) {
    out.background = kSample9Background;
    out.clears.clear();
    out.quads.clear();
    out.triangles.clear();
    if (width <= 0 || height <= 0) return;

    // Frame counter: 16 cells, bit 0 leftmost, white for 1 and black for 0.
    unsigned bits = frame & 0xFFFFu;
    for (int i = 0; i < kSample9Cells; ++i) {
        int x = kSample9CellX + kSample9CellSize * i;
        AddClipped(out.clears, x, kSample9CellY, x + kSample9CellSize, kSample9CellY + kSample9CellSize,
                   (bits >> i) & 1u ? kSample9White : kSample9Black, width, height);
    }

    // The frame number in decimal, white seven-segment digits.
    char text[16];
    std::snprintf(text, sizeof text, "%u", frame);
    for (int i = 0; text[i]; ++i) {
        int ox = kSample9DigitX + kSample9DigitPitch * i, oy = kSample9DigitY;
        unsigned mask = kDigitSegments[text[i] - '0'];
        for (int s = 0; s < 7; ++s) {
            if (mask & (1u << s)) {
                const Segment& g = kSegments[s];
                AddClipped(out.clears, ox + g.l, oy + g.t, ox + g.r, oy + g.b, kSample9White, width, height);
            }
        }
    }

    // The red rectangle, and its wrapped-around part at the left edge.
    int rx = Sample9RectX(frame, width);
    AddClipped(out.quads, rx, kSample9RectY, rx + kSample9RectSize, kSample9RectY + kSample9RectSize, kSample9Red,
               width, height);
    if (rx + kSample9RectSize > width)
        AddClipped(out.quads, 0, kSample9RectY, rx + kSample9RectSize - width, kSample9RectY + kSample9RectSize,
                   kSample9Red, width, height);

    // A green triangle sliding to the right below the rectangle's band, and a
    // yellow one moving down along the right edge.
    int span = width > 240 ? width - 240 : 1;
    float gx = 8.0f + static_cast<float>((static_cast<unsigned long long>(frame) * 3) % static_cast<unsigned>(span));
    out.triangles.push_back(Sample9Triangle{{gx, gx + 64.0f, gx + 32.0f}, {300.0f, 300.0f, 364.0f}, kSample9Green});
    int vspan = height > 360 ? height - 360 : 1;
    float yy = 290.0f + static_cast<float>((static_cast<unsigned long long>(frame) * 2) % static_cast<unsigned>(vspan));
    float yx = static_cast<float>(width - 100);
    out.triangles.push_back(Sample9Triangle{{yx, yx + 60.0f, yx}, {yy, yy + 30.0f, yy + 60.0f}, kSample9Yellow});
}
