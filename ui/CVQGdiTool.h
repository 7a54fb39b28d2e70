#pragma once
#include <windows.h>

#include <cstdint>

// Base of the drawing tools handed to the canvas: a GDI pen or brush that the
// tool owns. Colours are given as 0xAARRGGBB; GDI gets 0x00BBGGRR.
class CVQGdiTool {
public:
    CVQGdiTool() : m_handle(nullptr), m_spare(0) {}
    virtual ~CVQGdiTool() {
        if (m_handle) DeleteObject(m_handle);
    }
    CVQGdiTool(const CVQGdiTool&) = delete;
    CVQGdiTool& operator=(const CVQGdiTool&) = delete;

    HGDIOBJ Handle() const { return m_handle; }

    static COLORREF ToColorRef(uint32_t colour) {
        return RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
    }

protected:
    HGDIOBJ m_handle;
    uint32_t m_spare;
};
