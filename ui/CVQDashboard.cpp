#include "CVQDashboard.h"

#include "CVQHUD.h"
#include "CVQSolidBrush.h"

CVQDashboard::CVQDashboard() {
    m_kind = kDashboard;
    m_largeCloseBox = 1;
    m_title.Set("Orvalo HUD");
}

int CVQDashboard::CreateFrame(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!CVQFrmWnd::CreateFrame(x, y, width, height)) return 0;
    CVQSolidBrush face;
    face.SetColor(kFaceColour);
    m_canvas.FillRectangle(&face, 1, 52, 399, 207);
    return 1;
}

void CVQDashboard::Close() {
    SetVisible(0);
    if (CVQHUD* hud = VQHud()) {
        if (hud->FocusWindow() == this) hud->SetFocusWindow(nullptr, true);
        hud->SetHoverWindow(nullptr);
        hud->UpdateActiveStates();
    }
}
