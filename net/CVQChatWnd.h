#pragma once
#include "CVKPtrList.h"
#include "CVQFrmWnd.h"

class CVQScrollBarV;
class CVQTextBox;

// A chat window: the lines said so far above, a text box below. Enter sends
// the typed text to the chat of this window; closing the window leaves it.
// The window may outlive its chat (its title then says so).
class CVQChatWnd : public CVQFrmWnd {
public:
    CVQChatWnd();
    ~CVQChatWnd() override;

    // x is moved right by 20 pixels for each of the last windows made
    // (0 to 5, then again from 0), so new windows do not hide each other.
    int CreateFrame(int32_t x, int32_t y, int32_t width, int32_t height) override;
    int PrepareSurface() override;
    int OnMouse(uint32_t message, uint32_t data, uint32_t position, int* handled) override;
    int OnNotify(int code, void* data, CVQWindow* sender, int* handled) override;
    void Close() override;

    // Appends a line and scrolls to the end. The oldest lines go beyond kMaxLines.
    void AddLine(const char* text);
    int LineCount() const { return m_lines.Count(); }
    const char* Line(int index) const;
    CVQTextBox* TextBox() const { return m_box; }
    CVQScrollBarV* ScrollBar() const { return m_bar; }

    static constexpr int kMaxLines = 500;

private:
    void DrawLines();

    CVKPtrList m_lines;  // CVKString*, owned
    CVQScrollBarV* m_bar;
    CVQTextBox* m_box;
    int m_linesChanged;
    int m_drawnScroll;
};
