#include "CVQWindow.h"

#include "CVQHUD.h"

CVQWindow::CVQWindow() : m_x(0), m_y(0), m_background(0xFFFFFFFF), m_parent(nullptr), m_visible(1), m_needsRedraw(1) {}

CVQWindow::~CVQWindow() {
    // The HUD must not keep pointers to a window that is gone.
    if (CVQHUD* hud = VQHud()) hud->ForgetWindow(this);
    m_surface.Release();
}

int CVQWindow::Create(int32_t x, int32_t y, int32_t width, int32_t height, CVQWindow* parent) {
    m_canvas.CreateCanvas(width, height, m_background);
    m_x = x;
    m_y = y;
    m_parent = parent;
    m_needsRedraw = 1;
    return 1;
}

void CVQWindow::ReleaseSurface() { m_surface.Release(); }

int CVQWindow::PrepareSurface() {
    if (!m_canvas.IsDirty() && m_surface.Handle()) return 1;
    CVKPixels* pixels = nullptr;
    if (m_canvas.GetPixels(&pixels) != S_OK || !pixels || !pixels->Data()) return 0;
    if (!m_surface.Handle() || m_surface.Width() != pixels->Width() || m_surface.Height() != pixels->Height()) {
        if (!m_surface.Create(pixels->Width(), pixels->Height())) return 0;
    }
    // The canvas stays dirty until a copy really succeeded, so a failed
    // refresh is tried again on the next frame.
    if (!m_surface.CopyFrom(*pixels)) return 0;
    m_canvas.SetDirty(0);
    return 1;
}

void CVQWindow::Invalidate() {
    m_needsRedraw = 1;
    if (m_parent) m_parent->Invalidate();
}

int CVQWindow::OnKeyboard(uint32_t, uint32_t, uint32_t, int*) { return 0; }

int CVQWindow::OnMouse(uint32_t, uint32_t, uint32_t, int*) { return 0; }

int CVQWindow::OnNotify(int, void*, CVQWindow*, int*) { return 0; }

bool CVQWindow::IsVisible(int withParents) {
    if (!m_visible) return false;
    if (withParents)
        for (CVQWindow* p = m_parent; p; p = p->GetParent())
            if (!p->IsVisible(0)) return false;
    return true;
}

void CVQWindow::SetVisible(int visible) { m_visible = visible ? 1 : 0; }

bool CVQWindow::Contains(int32_t x, int32_t y) {
    return x >= m_x && y >= m_y && x < m_x + Width() && y < m_y + Height();
}
