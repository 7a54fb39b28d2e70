// What sample9.exe draws in a frame, as plain rectangles and triangles, so
// the layout is independent of Direct3D and testable natively. The colours
// and positions are listed at the top of Sample9.cpp.
#pragma once

#include <cstdint>
#include <vector>

struct Sample9Rect {
    int left, top, right, bottom;  // right and bottom exclusive
    uint32_t color;                // 0xAARRGGBB
};

struct Sample9Triangle {
    float x[3], y[3];
    uint32_t color;
};

struct Sample9Frame {
    uint32_t background = 0;
    std::vector<Sample9Rect> clears;         // filled with Clear after the background
    std::vector<Sample9Rect> quads;          // filled with two triangles each (the red rectangle)
    std::vector<Sample9Triangle> triangles;  // drawn as they are
};

enum : uint32_t {
    kSample9Background = 0xFF204060,
    kSample9Red = 0xFFFF0000,
    kSample9White = 0xFFFFFFFF,
    kSample9Black = 0xFF000000,
    kSample9Green = 0xFF00FF00,
    kSample9Yellow = 0xFFFFFF00,
};

enum : int {
    kSample9RectSize = 64,
    kSample9RectY = 200,
    kSample9RectStep = 4,  // pixels per frame
    kSample9CellSize = 8,
    kSample9CellX = 8,
    kSample9CellY = 8,
    kSample9Cells = 16,
    kSample9DigitX = 8,
    kSample9DigitY = 24,
    kSample9DigitPitch = 24,
};

// Builds frame number `frame` for a back buffer of width x height. Every
// rectangle is clipped to the back buffer; empty ones are left out.
void BuildSample9Frame(unsigned frame, int width, int height, Sample9Frame& out);

// Left edge of the red rectangle in that frame (it wraps at the right edge).
int Sample9RectX(unsigned frame, int width);
