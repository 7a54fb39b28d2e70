#pragma once
#include "CVQGdiTool.h"

// A solid GDI brush; the canvas fills shapes with it (no outline).
class CVQSolidBrush : public CVQGdiTool {
public:
    explicit CVQSolidBrush(uint32_t colour = 0xFF000000);
    // Replaces the brush with one of the colour (alpha dropped). 0 or E_FAIL.
    virtual HRESULT SetColor(uint32_t colour);
};
