#pragma once
#include "CVQGraphics.h"
#include "CVQWindow.h"

// A check box of two or three states. It has no canvas of its own: it shows
// one of nine pictures shared by every check box (state 0 to 2 in a normal,
// a focused and a disabled look), loaded while any check box exists.
// Stepping (a click, Space) reports OnNotify(0, 0, box) to the parent.
class CVQCheckBox : public CVQWindow {
public:
    CVQCheckBox();
    ~CVQCheckBox() override;

    // Only sets position and parent: the size is that of the pictures.
    int Create(int32_t x, int32_t y, int32_t width, int32_t height, CVQWindow* parent) override;
    int PrepareSurface() override;
    int OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) override;
    int OnMouse(uint32_t message, uint32_t data, uint32_t position, int* handled) override;
    int OnNotify(int code, void* data, CVQWindow* sender, int* handled) override;
    CVQGraphics* GetGraphics() override;

    // With max 2 for a tri-state box, else 1: with wrap, below 0 gives max
    // and above max gives 0; without wrap, below 1 gives max and above max
    // gives 1 (stepping never returns to 0).
    virtual void SetState(int state);
    virtual int GetState() const { return m_state; }
    virtual void SetDisabled(int flag);
    virtual int IsDisabled() const { return m_disabled; }
    virtual void SetFocused(int flag);
    virtual int IsFocused() const { return m_focused; }
    virtual void SetTriState(int flag);
    virtual int GetTriState() const { return m_triState; }
    virtual void SetWrap(int flag) { m_wrap = flag ? 1 : 0; }
    virtual int GetWrap() const { return m_wrap; }

    void Step() { SetState(m_state + 1); }

private:
    int m_state;
    int m_focused;
    int m_disabled;
    int m_triState;
    int m_wrap;
    CVQGraphics* m_picture;
};
