#pragma once
#include <cstdint>

#include "CVQGraphics.h"
#include "CVQSurface.h"

// Base of every HUD window and control. HUD windows are not system windows:
// each draws into its own canvas, top-level windows keep a Direct3D surface
// with the same picture, and the HUD copies those onto the game's back buffer
// every frame. A child's position is relative to its parent's canvas.
class CVQWindow {
public:
    CVQWindow();
    virtual ~CVQWindow();
    CVQWindow(const CVQWindow&) = delete;
    CVQWindow& operator=(const CVQWindow&) = delete;

    // Makes the canvas width x height filled with the background colour.
    virtual int Create(int32_t x, int32_t y, int32_t width, int32_t height, CVQWindow* parent);
    virtual void ReleaseSurface();
    // Makes or refreshes the surface from the canvas when the canvas changed
    // or no surface exists. 1 when the surface can be drawn.
    virtual int PrepareSurface();
    virtual void Invalidate();
    virtual int OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled);
    // position: y in the high, x in the low 16 bits (signed), in the
    // coordinates of the window's parent (the back buffer for top-level windows).
    virtual int OnMouse(uint32_t message, uint32_t data, uint32_t position, int* handled);
    // Codes: 7 focus gained (sender: previous focus), 8 focus lost (sender: new focus).
    virtual int OnNotify(int code, void* data, CVQWindow* sender, int* handled);
    virtual CVQGraphics* GetGraphics() { return &m_canvas; }
    virtual bool IsVisible(int withParents = 0);
    virtual void SetVisible(int visible);

    // Window kind of frame windows (0 plain, 10 message box, 11 dashboard,
    // 12 chat, 13 view or player); -1 for windows that are not frames.
    virtual int Kind() const { return -1; }
    // Active look of frame windows (caption colour); nothing for others.
    virtual void SetActive(int) {}
    virtual int IsActive() const { return 0; }
    // The window this one answers to without being its child (a message box
    // and the window that asked); the HUD closes such a window with its owner.
    virtual CVQWindow* Owner() const { return nullptr; }
    virtual void OnOwnerGone() {}

    int32_t GetX() const { return m_x; }
    int32_t GetY() const { return m_y; }
    void SetPosition(int32_t x, int32_t y) {
        m_x = x;
        m_y = y;
    }
    // The size of what the window shows (a control may show a shared picture
    // instead of its own canvas).
    int32_t Width() { return GetGraphics()->DibWidth(); }
    int32_t Height() { return GetGraphics()->DibHeight(); }
    CVQWindow* GetParent() const { return m_parent; }
    CVQSurface* GetSurface() { return &m_surface; }
    int NeedsRedraw() const { return m_needsRedraw; }
    void SetNeedsRedraw(int flag) { m_needsRedraw = flag; }
    void SetBackground(uint32_t colour) { m_background = colour; }
    uint32_t Background() const { return m_background; }
    // True when the point (in the parent's coordinates) lies on the window:
    // left and top edges inside, right and bottom outside.
    bool Contains(int32_t x, int32_t y);

protected:
    CVQSurface m_surface;
    int32_t m_x;
    int32_t m_y;
    uint32_t m_background;
    CVQWindow* m_parent;
    CVQGraphics m_canvas;
    int m_visible;
    int m_needsRedraw;
};
