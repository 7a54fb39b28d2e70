#pragma once
#include "CVKString.h"
#include "CVQWindow.h"

// A text button. A click or Enter reports OnNotify(0, 0, button) to the
// parent; the caption may carry a "&" mnemonic.
class CVQButton : public CVQWindow {
public:
    CVQButton();
    int PrepareSurface() override;
    int OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) override;
    int OnMouse(uint32_t message, uint32_t data, uint32_t position, int* handled) override;
    int OnNotify(int code, void* data, CVQWindow* sender, int* handled) override;

    void SetCaption(const char* text);
    const char* GetCaption() const { return m_caption.Str(); }
    int IsFocused() const { return m_focused; }

    static const uint32_t kFace = 0xFF91CDFF;

private:
    CVKString m_caption;
    int m_focused;
};
