#pragma once
#include <cstdint>

#include "CVQSurface.h"

// A HUD window: a picture at a position over the game, drawn from its own
// Direct3D surface, which is refreshed from the window's canvas when needed.
class CVQWindow {
public:
    CVQWindow();
    virtual ~CVQWindow();

    int32_t GetX() const { return m_x; }
    int32_t GetY() const { return m_y; }
    bool IsVisible() const { return m_visible; }
    // Makes or refreshes the surface from the canvas. 1 when it can be drawn.
    virtual int PrepareSurface();
    CVQSurface* GetSurface() { return &m_surface; }
    void ReleaseSurface() { m_surface.Release(); }

protected:
    int32_t m_x;
    int32_t m_y;
    bool m_visible;
    CVQSurface m_surface;
};
