#pragma once
#include "CVQGdiTool.h"

// A GDI pen; the canvas draws lines and outlines with it (no filling).
class CVQPen : public CVQGdiTool {
public:
    CVQPen();
    CVQPen(int style, int width, uint32_t colour);
    // Replaces the pen (style PS_*, width in pixels, colour with alpha dropped). 0 or E_FAIL.
    virtual HRESULT SetPen(int style, int width, uint32_t colour);
};
