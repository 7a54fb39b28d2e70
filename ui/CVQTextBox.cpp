#include "CVQTextBox.h"

#include <windows.h>

#include <string>

#include "CVQHUD.h"
#include "CVQPen.h"
#include "VKClock.h"

namespace {
const uint32_t kBlinkMs = 500;
}

CVQTextBox::CVQTextBox(const char* text) : m_text(text), m_focused(0), m_lastDrawn(0), m_drawnOnce(0), m_caret(0) {}

void CVQTextBox::SetText(const char* text) {
    m_text.Set(text);
    Invalidate();
}

void CVQTextBox::Invalidate() {
    // The next drawing comes at once, not at the next blink.
    m_drawnOnce = 0;
    CVQWindow::Invalidate();
}

int CVQTextBox::PrepareSurface() {
    // Redrawn when something changed, and every 500 ms while the caret blinks.
    if (!m_needsRedraw && !m_focused) return 1;
    const uint32_t now = VKClockMs();
    if (m_drawnOnce && now - m_lastDrawn < kBlinkMs) return 1;
    m_needsRedraw = 0;
    int w = Width(), h = Height();
    m_canvas.Fill(0xFFFFFFFF);
    CVQPen outline(PS_SOLID, 1, m_focused ? 0xFFFF0000 : 0xFF028DFF);
    m_canvas.DrawRectangle(&outline, 0, 0, w, h);
    if (m_text.Length()) {
        std::string shown = m_masked ? std::string(m_text.Length(), '*') : std::string(m_text.Str());
        if (m_focused && m_caret) shown += "|";
        m_canvas.SetFont("Arial", 8, RGB(0, 0, 0), 400, 0, 0);
        m_canvas.DrawDataText(3, 0, w, h, shown.c_str(), DT_WORDBREAK);
    }
    m_caret = !m_caret;
    m_lastDrawn = now;
    m_drawnOnce = 1;
    m_canvas.SetDirty(1);
    return 1;
}

int CVQTextBox::OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) {
    if (message != WM_KEYDOWN) return 0;
    // Combinations belong to the HUD (hot key) and the game (Ctrl).
    CVQHUD* hud = VQHud();
    if ((hud && hud->IsHotKeyDown()) || VQIsKeyDown(VK_CONTROL)) return 0;
    switch (key) {
    case VK_TAB:
    case VK_ESCAPE: return 0;  // the frame's keys
    case VK_RETURN: {
        *handled = 1;
        int ignored = 0;
        if (m_parent) m_parent->OnNotify(0, nullptr, this, &ignored);
        return 0;
    }
    case VK_BACK:
    case VK_DELETE: {
        std::string text = m_text.Str();
        if (!text.empty()) text.pop_back();
        m_text.Set(text.c_str());
        break;
    }
    default: {
        BYTE state[256] = {0};
        GetKeyboardState(state);
        WORD chars[2] = {0, 0};
        int n = ToAscii(key, (keyData >> 16) & 0xFF, state, chars, 0);
        char c = static_cast<char>(chars[0] & 0xFF);
        if (n == 1 && static_cast<unsigned char>(c) >= 0x20 && m_text.Length() < kMaxText) {
            char add[2] = {c, 0};
            m_text.Append(add);
        }
        break;
    }
    }
    Invalidate();
    *handled = 1;
    return 0;
}

int CVQTextBox::OnMouse(uint32_t message, uint32_t, uint32_t, int* handled) {
    if (message != WM_LBUTTONDOWN) return 0;
    *handled = 1;
    if (CVQHUD* hud = VQHud()) hud->SetFocusWindow(this, true);
    return 0;
}

int CVQTextBox::OnNotify(int code, void*, CVQWindow*, int*) {
    if (code == 7) {
        m_focused = 1;
        m_caret = 1;
        Invalidate();
    } else if (code == 8) {
        m_focused = 0;
        Invalidate();
    }
    return 0;
}
