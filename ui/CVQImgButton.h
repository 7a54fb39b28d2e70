#pragma once
#include "CVQGraphics.h"
#include "CVQWindow.h"

// A picture button: a normal and a disabled picture over a fill colour, a
// raised border while hovered or focused, a sunken one with the pressed look
// (set by owners for toggles). A disabled button does not take clicks: they
// fall through to its frame.
class CVQImgButton : public CVQWindow {
public:
    CVQImgButton();
    int PrepareSurface() override;
    int OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) override;
    int OnMouse(uint32_t message, uint32_t data, uint32_t position, int* handled) override;
    int OnNotify(int code, void* data, CVQWindow* sender, int* handled) override;

    virtual int SetImages(int normalId, int disabledId, uint32_t fillColour);
    virtual void SetDisabled(int flag);
    virtual int IsDisabled() const { return m_disabled; }
    virtual void SetFocused(int flag);
    virtual int IsFocused() const { return m_focused; }
    virtual void SetUser1(uint32_t value) { m_user1 = value; }
    virtual uint32_t GetUser1() const { return m_user1; }
    virtual void SetUser2(uint32_t value) { m_user2 = value; }
    virtual uint32_t GetUser2() const { return m_user2; }

    void SetPressedLook(int flag) {
        m_pressed = flag ? 1 : 0;
        Invalidate();
    }
    int HasPressedLook() const { return m_pressed; }
    int IsHovered() const { return m_hover; }

private:
    int m_pressed;
    int m_focused;
    int m_hover;
    int m_disabled;
    CVQGraphics m_disabledPicture;
    CVQGraphics m_normalPicture;
    uint32_t m_fill;
    uint32_t m_user1;
    uint32_t m_user2;
};
