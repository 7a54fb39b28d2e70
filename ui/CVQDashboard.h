#pragma once
#include "CVQFrmWnd.h"

// The HUD's main panel. Closing it hides it: the HUD keeps it for the next
// time the player brings the HUD up.
class CVQDashboard : public CVQFrmWnd {
public:
    CVQDashboard();
    int CreateFrame(int32_t x, int32_t y, int32_t width, int32_t height) override;
    void Close() override;

    static const uint32_t kFaceColour = 0xFFCDE8FF;
};
