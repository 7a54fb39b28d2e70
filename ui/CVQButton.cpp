#include "CVQButton.h"

#include <windows.h>

#include "CVQHUD.h"
#include "CVQPen.h"

CVQButton::CVQButton() : m_caption("Button"), m_focused(0) {}

void CVQButton::SetCaption(const char* text) {
    m_caption.Set(text);
    Invalidate();
}

int CVQButton::PrepareSurface() {
    // Controls only draw into their canvas; the frame carries it to the screen.
    if (!m_needsRedraw) return 1;
    m_needsRedraw = 0;
    int w = Width(), h = Height();
    m_canvas.Fill(kFace);
    if (m_focused) {
        CVQPen red(PS_SOLID, 1, 0xFFFF0000);
        m_canvas.DrawRectangle(&red, 0, 0, w, h);
    }
    m_canvas.SetFont("Arial", 8, RGB(0, 0, 0), 700, 0, 0);
    m_canvas.DrawText(0, 2, w, h, m_caption.Str(), DT_CENTER);
    m_canvas.SetDirty(1);
    return 1;
}

int CVQButton::OnKeyboard(uint32_t message, uint32_t key, uint32_t, int* handled) {
    if (message != WM_KEYDOWN || key != VK_RETURN) return 0;
    return OnMouse(WM_LBUTTONDOWN, 0, 0, handled);
}

int CVQButton::OnMouse(uint32_t message, uint32_t, uint32_t, int* handled) {
    if (message != WM_LBUTTONDOWN) return 0;
    *handled = 1;
    if (CVQHUD* hud = VQHud()) hud->SetFocusWindow(this, true);
    int ignored = 0;
    if (m_parent) m_parent->OnNotify(0, nullptr, this, &ignored);
    return 0;
}

int CVQButton::OnNotify(int code, void*, CVQWindow*, int*) {
    if (code == 7 || code == 8) {
        m_focused = code == 7;
        Invalidate();
    }
    return 0;
}
