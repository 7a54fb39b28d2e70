#include "CVQFrmWnd.h"

#include <windows.h>

#include "CVQHUD.h"
#include "CVQSolidBrush.h"

namespace {
const uint32_t kLButtonDown = 0x201, kLButtonUp = 0x202, kRButtonDown = 0x204, kRButtonUp = 0x205;
const uint32_t kMouseMove = 0x200;
const COLORREF kCaptionText = 0xFFE8CD;
}  // namespace

CVQFrmWnd::CVQFrmWnd() : m_largeCloseBox(0), m_kind(kPlain), m_dragging(0), m_grabX(0), m_grabY(0), m_active(0) {
    m_background = kFrameBackground;
}

CVQFrmWnd::~CVQFrmWnd() {
    // Each child is out of the list before it is deleted, so a child's
    // destructor never finds itself among its siblings; the base destructor
    // of each clears the HUD's focus, hover and capture of it.
    while (m_children.Count()) {
        const int last = m_children.Count() - 1;
        CVQWindow* child = static_cast<CVQWindow*>(m_children.Get(last));
        m_children.RemoveAt(last);
        delete child;
    }
}

int CVQFrmWnd::CreateFrame(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!Create(x, y, width, height, nullptr)) return 0;
    DrawCaption();
    return 1;
}

void CVQFrmWnd::DrawCaption() {
    int w = 0;
    if (m_canvas.GetWidth(&w) != S_OK) return;
    CVQSolidBrush brush;
    brush.SetColor(m_active ? m_background : kInactiveCaption);
    m_canvas.FillRectangle(&brush, 1, 1, w - 25, 12);
    m_canvas.SetFont("Arial", 7, kCaptionText, 400, 0, 0);
    if (m_title.Length()) m_canvas.DrawDataText(6, 0, w, 16, m_title.Get(), DT_WORDBREAK);
    CVQGraphics box;
    int size = CloseBoxSize();
    if (box.LoadResourceImage(m_largeCloseBox ? 4098 : 4097) == S_OK)
        m_canvas.Blit(w - size, 0, box.DibWidth(), box.DibHeight(), &box, 0, 0, box.DibWidth(), box.DibHeight());
    m_canvas.SetDirty(1);
}

void CVQFrmWnd::SetTitle(const char* text) {
    m_title.Set(text);
    DrawCaption();
}

void CVQFrmWnd::SetActive(int active) {
    m_active = active ? 1 : 0;
    DrawCaption();
}

void CVQFrmWnd::ReleaseSurface() {
    CVQWindow::ReleaseSurface();
    for (int i = 0; i < m_children.Count(); ++i) static_cast<CVQWindow*>(m_children.Get(i))->ReleaseSurface();
}

int CVQFrmWnd::PrepareSurface() {
    for (int i = 0; i < m_children.Count(); ++i) {
        CVQWindow* child = static_cast<CVQWindow*>(m_children.Get(i));
        child->PrepareSurface();
        CVQGraphics* g = child->GetGraphics();
        if (g->IsDirty()) {
            m_canvas.Blit(child->GetX(), child->GetY(), g->DibWidth(), g->DibHeight(), g, 0, 0, g->DibWidth(),
                          g->DibHeight());
            g->SetDirty(0);
        }
    }
    return CVQWindow::PrepareSurface();
}

int CVQFrmWnd::OnMouse(uint32_t message, uint32_t data, uint32_t position, int* handled) {
    // Clicks on a frame never reach the game; moves and double-clicks do.
    if (message == kLButtonDown || message == kLButtonUp || message == kRButtonDown || message == kRButtonUp)
        *handled = 1;
    const int32_t x = static_cast<int16_t>(position & 0xFFFF);
    const int32_t y = static_cast<int16_t>(position >> 16);
    const int32_t dx = static_cast<int16_t>(x - m_x);
    const int32_t dy = static_cast<int16_t>(y - m_y);
    const int32_t w = Width();
    const int32_t h = CloseBoxSize();
    CVQHUD* hud = VQHud();

    if (message == kLButtonUp && m_dragging) {
        m_dragging = 0;  // any release ends a drag, on the title bar or not
        if (hud) hud->SetCapture(nullptr);
        return 0;
    }
    if (m_dragging && message == kMouseMove) {
        m_x = x - m_grabX;
        m_y = y - m_grabY;
        return 0;
    }
    if (message == kLButtonDown && dx >= w - h && dx <= w && dy >= 0 && dy < h) {
        Close();
        return 0;
    }
    if (dx >= 0 && dx <= w && dy >= 0 && dy <= h) {
        if (message == kLButtonDown) {
            m_dragging = 1;
            m_grabX = dx;
            m_grabY = dy;
            if (hud) {
                hud->SetCapture(this);  // the drag follows the pointer outside the window
                hud->BringToTop(this);
                hud->SetFocusWindow(this, true);
                hud->UpdateActiveStates();
            }
            return 0;
        }
    }
    for (int i = m_children.Count() - 1; i >= 0; --i) {
        CVQWindow* child = static_cast<CVQWindow*>(m_children.Get(i));
        if (!child->IsVisible(0) || !child->Contains(dx, dy)) continue;
        if (message == kMouseMove && hud) hud->SetHoverWindow(child);
        child->OnMouse(message, data,
                       (static_cast<uint32_t>(static_cast<uint16_t>(dy)) << 16) | static_cast<uint16_t>(dx), handled);
        return 0;
    }
    if (message == kMouseMove && hud) hud->SetHoverWindow(nullptr);
    return 0;
}

int CVQFrmWnd::OnKeyboard(uint32_t message, uint32_t key, uint32_t, int* handled) {
    if (message != WM_KEYDOWN) return 0;
    CVQHUD* hud = VQHud();
    const bool hotKeyHeld = hud && hud->IsHotKeyDown();
    switch (key) {
    case VK_TAB: {
        if (VQIsKeyDown(VK_CONTROL)) return 0;
        int count = m_children.Count();
        if (!count || !hud) return 0;
        int at = m_children.IndexOf(hud->FocusWindow());
        int next;
        if (at < 0)
            next = 0;
        else if (VQIsKeyDown(VK_SHIFT))
            next = (at + count - 1) % count;
        else
            next = (at + 1) % count;
        hud->SetFocusWindow(static_cast<CVQWindow*>(m_children.Get(next)), true);
        *handled = 1;
        return 0;
    }
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
        if (!hotKeyHeld) return 0;
        if (key == VK_LEFT) m_x -= 10;
        if (key == VK_RIGHT) m_x += 10;
        if (key == VK_UP) m_y -= 10;
        if (key == VK_DOWN) m_y += 10;
        break;
    case 'W':
        if (!hotKeyHeld) return 0;
        Close();
        break;
    case VK_ESCAPE: Close(); break;
    default: return 0;
    }
    *handled = 1;
    if (hud) hud->ClearLonePress();
    return 0;
}

void CVQFrmWnd::Close() {
    CVQHUD* hud = VQHud();
    if (!hud) return;
    hud->RemoveWindow(this);
    hud->SetFocusWindow(nullptr, true);
    hud->SetHoverWindow(nullptr);
    hud->UpdateActiveStates();
    hud->DeleteLater(this);
}
