#pragma once
#include "CVQWindow.h"

// A vertical scroll bar: arrows of 12 pixels at both ends and a thumb whose
// length shows the page against the range. Every change by key or click
// reports OnNotify(0, 0, bar) to the parent.
class CVQScrollBarV : public CVQWindow {
public:
    CVQScrollBarV();
    int PrepareSurface() override;
    int OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) override;
    int OnMouse(uint32_t message, uint32_t data, uint32_t position, int* handled) override;
    int OnNotify(int code, void* data, CVQWindow* sender, int* handled) override;

    // Values below 1 count as 1; the position is held inside again.
    virtual void SetRange(int range);
    virtual int GetRange() const { return m_range; }
    virtual void SetPage(int page);
    virtual int GetPage() const { return m_page; }
    // 0 when the range is smaller than the page or n is negative, range -
    // page when n + page passes the range, else n.
    virtual void SetPosition(int position);
    virtual int GetPosition() const { return m_position; }

    // Track length (height - 24, never negative), thumb top and length in
    // pixels for the current values.
    int TrackLength();
    int ThumbTop();
    int ThumbLength();

private:
    void Changed();

    int m_position;
    int m_range;
    int m_page;
    int m_focused;
};
