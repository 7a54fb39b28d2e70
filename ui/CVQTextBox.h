#pragma once
#include <cstdint>

#include "CVKString.h"
#include "CVQWindow.h"

// A one-line text field. While focused it blinks a caret (the drawing is
// renewed at most every 500 ms). Keys with the hot key or Ctrl held are left
// to the HUD and the game; Tab and Esc reach the frame; Enter reports
// OnNotify(0, 0, box) to the parent; other keys type.
class CVQTextBox : public CVQWindow {
public:
    explicit CVQTextBox(const char* text = "");
    int PrepareSurface() override;
    void Invalidate() override;
    int OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) override;
    int OnMouse(uint32_t message, uint32_t data, uint32_t position, int* handled) override;
    int OnNotify(int code, void* data, CVQWindow* sender, int* handled) override;

    const char* GetText() const { return m_text.Str(); }
    void SetText(const char* text);
    int IsFocused() const { return m_focused; }
    // A password box draws one star per character instead of the text.
    void SetMasked(int masked) {
        m_masked = masked ? 1 : 0;
        Invalidate();
    }

    // Longest text the box takes from the keyboard.
    static constexpr size_t kMaxText = 1024;

private:
    CVKString m_text;
    int m_focused;
    uint32_t m_lastDrawn;
    int m_drawnOnce;
    int m_caret;
    int m_masked = 0;
};
