#pragma once
#include "CVKPtrList.h"
#include "CVKString.h"
#include "CVQWindow.h"

// A movable HUD window with a title bar, a close box and child controls.
// Children have no Direct3D surface of their own: they are drawn into the
// frame's canvas, and the frame's surface carries them to the screen.
class CVQFrmWnd : public CVQWindow {
public:
    enum Kind { kPlain = 0, kMessageBox = 10, kDashboard = 11, kChat = 12, kView = 13 };

    CVQFrmWnd();
    ~CVQFrmWnd() override;

    void ReleaseSurface() override;
    int PrepareSurface() override;
    int OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) override;
    int OnMouse(uint32_t message, uint32_t data, uint32_t position, int* handled) override;
    int Kind() const override { return m_kind; }

    virtual int CreateFrame(int32_t x, int32_t y, int32_t width, int32_t height);
    // Takes the window out of the HUD and deletes it (at the HUD's next safe
    // point, so a handler that closes its own window can still return).
    virtual void Close();
    virtual void SetTitle(const char* text);
    virtual const char* GetTitle() const { return m_title.Get(); }
    void SetActive(int active) override;
    int IsActive() const override { return m_active; }
    virtual void DrawCaption();

    // Children in focus order. The frame owns the children in this list:
    // each is made with new, and the frame deletes every one still in the
    // list when it is itself deleted. A child taken out of the list is its
    // taker's to delete.
    CVKPtrList& Children() { return m_children; }
    void AddChild(CVQWindow* child) { m_children.Insert(child); }
    void SetKind(int kind) { m_kind = kind; }
    void SetLargeCloseBox(int large) { m_largeCloseBox = large; }
    int IsDragging() const { return m_dragging; }
    // Ends a drag wherever the button went up (the HUD routes the release here).
    void EndDrag() { m_dragging = 0; }

    static const uint32_t kFrameBackground = 0xFF028DFF;
    static const uint32_t kInactiveCaption = 0xFF0076DA;

protected:
    int CloseBoxSize() const { return m_largeCloseBox ? 12 : 8; }

    CVKPtrList m_children;
    int m_largeCloseBox;
    int m_kind;
    int m_dragging;
    int32_t m_grabX;
    int32_t m_grabY;
    CVKString m_title;
    int m_active;
};
