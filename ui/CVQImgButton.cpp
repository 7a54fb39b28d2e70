#include "CVQImgButton.h"

#include <windows.h>

#include "CVQHUD.h"
#include "CVQPen.h"

namespace {
const uint32_t kMouseHover = 0x2A1, kMouseLeave = 0x2A3;
const uint32_t kLight = 0xFFCDE8FF, kShade = 0xFF8B6CC4;
}  // namespace

CVQImgButton::CVQImgButton()
    : m_pressed(0), m_focused(0), m_hover(0), m_disabled(0), m_fill(0xFFFF0000), m_user1(0), m_user2(0) {}

int CVQImgButton::SetImages(int normalId, int disabledId, uint32_t fillColour) {
    m_fill = fillColour;
    int ok = m_normalPicture.LoadResourceImage(normalId) == S_OK;
    if (m_disabledPicture.LoadResourceImage(disabledId) != S_OK) ok = 0;
    Invalidate();
    return ok;
}

void CVQImgButton::SetDisabled(int flag) {
    m_disabled = flag ? 1 : 0;
    Invalidate();
}

void CVQImgButton::SetFocused(int flag) {
    m_focused = flag ? 1 : 0;
    Invalidate();
}

int CVQImgButton::PrepareSurface() {
    if (!m_needsRedraw || !IsVisible(0)) return 1;
    m_needsRedraw = 0;
    int w = Width(), h = Height();
    m_canvas.Fill(m_fill);
    CVQGraphics& picture = m_disabled ? m_disabledPicture : m_normalPicture;
    if (picture.DibWidth() > 0)
        m_canvas.Blit(0, 0, picture.DibWidth(), picture.DibHeight(), &picture, 0, 0, picture.DibWidth(),
                      picture.DibHeight());
    // Sunken with the pressed look; raised while hovered or focused.
    if (m_pressed || m_hover || m_focused) {
        uint32_t bottomRight = m_pressed ? kLight : kShade;
        uint32_t topLeft = m_pressed ? kShade : kLight;
        CVQPen br(PS_SOLID, 1, bottomRight), tl(PS_SOLID, 1, topLeft);
        m_canvas.DrawLine(&br, w - 1, 0, w - 1, h);
        m_canvas.DrawLine(&br, 0, h - 1, w, h - 1);
        m_canvas.DrawLine(&tl, 0, 0, w - 1, 0);
        m_canvas.DrawLine(&tl, 0, 0, 0, h - 1);
    }
    m_canvas.SetDirty(1);
    return 1;
}

int CVQImgButton::OnKeyboard(uint32_t message, uint32_t key, uint32_t, int* handled) {
    if (message != WM_KEYDOWN || key != VK_RETURN) return 0;
    return OnMouse(WM_LBUTTONDOWN, 0, 0, handled);
}

int CVQImgButton::OnMouse(uint32_t message, uint32_t, uint32_t, int* handled) {
    if (message == kMouseHover || message == kMouseLeave) {
        m_hover = message == kMouseHover;
        Invalidate();
        *handled = 1;
        return 0;
    }
    if (message != WM_LBUTTONDOWN || m_disabled) return 0;
    *handled = 1;
    if (CVQHUD* hud = VQHud()) hud->SetFocusWindow(this, true);
    int ignored = 0;
    if (m_parent) m_parent->OnNotify(0, nullptr, this, &ignored);
    return 0;
}

int CVQImgButton::OnNotify(int code, void*, CVQWindow*, int*) {
    if (code == 7 || code == 8) SetFocused(code == 7);
    return 0;
}
