#pragma once
#include <cstdint>

#include "CVQGraphics.h"
#include "CVQWindow.h"

// The small window in the game's corner: the product logo for the first ten
// seconds (and whenever shown), and a blinking recording sign while recording.
class CVQLogo : public CVQWindow {
public:
    CVQLogo();
    int Create(int32_t x, int32_t y, int32_t width, int32_t height, CVQWindow* parent) override;
    int PrepareSurface() override;
    // Computed every frame: blinks once a second while recording or flashing.
    bool IsVisible(int withParents = 0) override;
    // Sets "shown" (the HUD's toggle); clears a pending flash.
    void SetVisible(int visible) override;

    void SetRecording(int recording);
    int IsRecording() const { return m_recording; }
    // Blinks for the given time unless the logo is shown anyway.
    void Flash(uint32_t milliseconds);

private:
    void ShowPicture(CVQGraphics* picture);

    CVQGraphics m_logoPicture;
    CVQGraphics m_recordSign;
    uint32_t m_created;
    int m_shown;
    int m_introOver;  // hidden since start: no ten seconds of logo
    uint32_t m_flashUntil;
    int m_recording;
    int m_showingSign;
};
