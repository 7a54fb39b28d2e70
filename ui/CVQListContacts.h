#pragma once
#include "CVKPtrList.h"
#include "CVKString.h"
#include "CVQContact.h"
#include "CVQGraphics.h"
#include "CVQWindow.h"

class CVQScrollBarV;

// The friends list: friends under their group names, each with a status
// picture and three permission boxes. Keys move a cursor over the rows and
// their columns (0 the name, 1 to 3 the boxes); Space or a click flips a
// row's selection or steps a box. A stepped box saves the friend's
// permissions through the HUD's permissions component.
class CVQListContacts : public CVQWindow {
public:
    CVQListContacts();
    ~CVQListContacts() override;
    int Create(int32_t x, int32_t y, int32_t width, int32_t height, CVQWindow* parent) override;
    int PrepareSurface() override;
    int OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) override;
    int OnMouse(uint32_t message, uint32_t data, uint32_t position, int* handled) override;
    int OnNotify(int code, void* data, CVQWindow* sender, int* handled) override;

    virtual void AddContact(const char* group, const char* text, const char* name, int status, int p1, int p2, int p3);
    virtual void RemoveContact(const char* name);
    // A new list of new CVKString: each selected name once, in list order.
    // The caller frees it (FreeStringList, then delete).
    virtual CVKPtrList* GetSelected();
    virtual void SetStatus(const char* name, int status);
    // contact, chat, video: box 3, box 1 and box 2 of every row of the name.
    virtual void SetPermissions(const char* name, int f1, int f2, int f3);
    // Column 0 is box 3, 1 is box 1, 2 is box 2; flag 0 disables it.
    virtual void EnableColumn(int column, int flag);
    virtual void SetSelected(const char* name, int flag);
    virtual void ToggleBox(int row, int box);
    virtual void Clear();
    virtual void AttachScrollBar(CVQScrollBarV* bar);

    int ContactCount() const { return m_contacts.Count(); }
    int GroupCount() const { return m_groups.Count(); }
    CVQContact* Contact(int row) const;
    const char* GroupName(int group) const;
    int CursorRow() const { return m_cursorRow; }
    int CursorColumn() const { return m_cursorColumn; }
    // Top of row's text line in the list's canvas for the current scroll
    // position; -1 for a row that does not exist.
    int RowTop(int row);

private:
    void FreeAll();
    int ScrollPosition() const;
    void UpdateRange();
    void ClampCursor();
    bool BoxDisabled(int row, int column) const;

    int m_focused;
    CVKPtrList m_groups;    // CVKString*, owned
    CVKPtrList m_contacts;  // CVQContact*, owned, kept in drawing order (grouped)
    CVQScrollBarV* m_bar;
    CVQGraphics m_status[4];
    int m_cursorRow;
    int m_cursorColumn;
    int m_drawnScroll;
};
