#include "CVQListContacts.h"

#include <windows.h>

#include "CVQHUD.h"
#include "CVQHUD_Misc.h"
#include "CVQPen.h"
#include "CVQScrollBarV.h"
#include "CVQSolidBrush.h"

namespace {
const uint32_t kBack = 0xFFCDE8FF, kSelected = 0xFF91CDFF;
const int kStatusIds[4] = {4305, 4306, 4303, 4304};
// Column of the cursor (1 to 3) -> box index of the row (0 to 2).
int BoxOfColumn(int column) { return column - 1; }
}  // namespace

CVQListContacts::CVQListContacts()
    : m_focused(0), m_bar(nullptr), m_cursorRow(0), m_cursorColumn(0), m_drawnScroll(0) {}

CVQListContacts::~CVQListContacts() {
    // The attached bar and the parent may be gone already: only the rows go.
    FreeAll();
}

void CVQListContacts::FreeAll() {
    for (int i = 0; i < m_contacts.Count(); ++i) delete Contact(i);
    m_contacts.Clear();
    for (int i = 0; i < m_groups.Count(); ++i) delete static_cast<CVKString*>(m_groups.Get(i));
    m_groups.Clear();
}

int CVQListContacts::Create(int32_t x, int32_t y, int32_t width, int32_t height, CVQWindow* parent) {
    m_background = kBack;
    for (int i = 0; i < 4; ++i) m_status[i].LoadResourceImage(kStatusIds[i]);
    return CVQWindow::Create(x, y, width, height, parent);
}

CVQContact* CVQListContacts::Contact(int row) const {
    if (row < 0 || row >= m_contacts.Count()) return nullptr;
    return static_cast<CVQContact*>(m_contacts.Get(row));
}

const char* CVQListContacts::GroupName(int group) const {
    if (group < 0 || group >= m_groups.Count()) return nullptr;
    return static_cast<CVKString*>(m_groups.Get(group))->Str();
}

int CVQListContacts::ScrollPosition() const { return m_bar ? m_bar->GetPosition() : 0; }

void CVQListContacts::UpdateRange() {
    if (m_bar) m_bar->SetRange(m_groups.Count() * 20 + m_contacts.Count() * 12);
}

void CVQListContacts::ClampCursor() {
    // The cursor never points past the rows there are (none: row 0, name column).
    if (m_cursorRow >= m_contacts.Count()) m_cursorRow = m_contacts.Count() - 1;
    if (m_cursorRow < 0) m_cursorRow = 0;
    if (m_cursorColumn < 0 || m_cursorColumn > 3) m_cursorColumn = 0;
}

bool CVQListContacts::BoxDisabled(int row, int column) const {
    CVQContact* c = Contact(row);
    return !c || c->boxes[BoxOfColumn(column)].IsDisabled();
}

int CVQListContacts::RowTop(int row) {
    CVQContact* wanted = Contact(row);
    if (!wanted) return -1;
    int y = -ScrollPosition();
    for (int g = 0; g < m_groups.Count(); ++g) {
        int k = 0;
        for (int i = 0; i < m_contacts.Count(); ++i) {
            CVQContact* c = Contact(i);
            if (c->group != g) continue;
            if (c == wanted) return y + 12 + 12 * k;
            ++k;
        }
        y += 24 + 12 * k;
    }
    return -1;
}

void CVQListContacts::AddContact(const char* group, const char* text, const char* name, int status, int p1, int p2,
                                 int p3) {
    int g = -1;
    for (int i = 0; i < m_groups.Count(); ++i)
        if (static_cast<CVKString*>(m_groups.Get(i))->Equals(group ? group : "")) g = i;
    if (g < 0) g = m_groups.Insert(new CVKString(group ? group : ""));
    if (status < 0 || status > 3) status = 1;
    CVQContact* contact = new CVQContact(g, text ? text : "", name ? name : "", status, p1, p2, p3);
    // After the last row of its group, so the list's order is the drawing order.
    int at = m_contacts.Count();
    for (int i = 0; i < m_contacts.Count(); ++i)
        if (Contact(i)->group <= g) at = i + 1;
    m_contacts.Insert(contact, at);
    UpdateRange();
    Invalidate();
}

void CVQListContacts::RemoveContact(const char* name) {
    for (int i = 0; i < m_contacts.Count(); ++i) {
        CVQContact* c = Contact(i);
        if (!c->name.Equals(name)) continue;
        m_contacts.RemoveAt(i);
        const int group = c->group;
        delete c;
        bool used = false;
        for (int j = 0; j < m_contacts.Count(); ++j) used = used || Contact(j)->group == group;
        if (!used) {
            delete static_cast<CVKString*>(m_groups.Get(group));
            m_groups.RemoveAt(group);
            for (int j = 0; j < m_contacts.Count(); ++j)
                if (Contact(j)->group > group) Contact(j)->group--;
        }
        break;
    }
    ClampCursor();
    UpdateRange();
    Invalidate();
}

CVKPtrList* CVQListContacts::GetSelected() {
    CVKPtrList* names = new CVKPtrList();
    for (int i = 0; i < m_contacts.Count(); ++i) {
        CVQContact* c = Contact(i);
        if (!c->selected) continue;
        bool seen = false;
        for (int j = 0; j < names->Count() && !seen; ++j)
            seen = static_cast<CVKString*>(names->Get(j))->Equals(c->name.Str());
        if (!seen) names->Insert(new CVKString(c->name));
    }
    return names;
}

void CVQListContacts::SetStatus(const char* name, int status) {
    if (status < 0 || status > 3) status = 1;
    for (int i = 0; i < m_contacts.Count(); ++i)
        if (Contact(i)->name.Equals(name)) Contact(i)->status = status;
    Invalidate();
}

void CVQListContacts::SetPermissions(const char* name, int f1, int f2, int f3) {
    for (int i = 0; i < m_contacts.Count(); ++i) {
        CVQContact* c = Contact(i);
        if (!c->name.Equals(name)) continue;
        c->boxes[2].SetState(f1 ? 1 : 2);
        c->boxes[0].SetState(f2 ? 1 : 2);
        c->boxes[1].SetState(f3 ? 1 : 2);
    }
    Invalidate();
}

void CVQListContacts::EnableColumn(int column, int flag) {
    static const int kBoxOfColumn[3] = {2, 0, 1};
    if (column < 0 || column > 2) return;
    for (int i = 0; i < m_contacts.Count(); ++i) Contact(i)->boxes[kBoxOfColumn[column]].SetDisabled(flag ? 0 : 1);
    Invalidate();
}

void CVQListContacts::SetSelected(const char* name, int flag) {
    for (int i = 0; i < m_contacts.Count(); ++i)
        if (Contact(i)->name.Equals(name)) Contact(i)->selected = flag ? 1 : 0;
    Invalidate();
}

void CVQListContacts::ToggleBox(int row, int box) {
    CVQContact* c = Contact(row);
    if (!c || box < 0 || box > 2) return;
    if (!c->boxes[box].IsDisabled()) c->boxes[box].Step();
    const int contact = c->boxes[2].GetState() == 1;
    const int chat = c->boxes[0].GetState() == 1;
    const int video = c->boxes[1].GetState() == 1;
    // The name is copied: saving may change the list.
    CVKString name(c->name);
    if (CVQHUD* hud = VQHud()) hud->Misc()->SetFriendPermissions(name.Str(), contact, chat, video);
    SetPermissions(name.Str(), contact, chat, video);
}

void CVQListContacts::Clear() {
    FreeAll();
    ClampCursor();
    UpdateRange();
    Invalidate();
}

void CVQListContacts::AttachScrollBar(CVQScrollBarV* bar) {
    m_bar = bar;
    UpdateRange();
    Invalidate();
}

int CVQListContacts::PrepareSurface() {
    // A scroll bar moved by its own keys or clicks shows here too.
    if (ScrollPosition() != m_drawnScroll) m_needsRedraw = 1;
    if (!m_needsRedraw) return 1;
    m_needsRedraw = 0;
    m_drawnScroll = ScrollPosition();
    const int w = Width();
    m_canvas.Fill(kBack);
    CVQSolidBrush selected(kSelected);
    CVQPen dotted(PS_DOT, 1, 0x00A0A0A0);
    int y = -m_drawnScroll;
    for (int g = 0; g < m_groups.Count(); ++g) {
        m_canvas.SetFont("Arial", 8, RGB(0, 0, 0), 700, 0, 0);
        m_canvas.DrawDataText(8, y, w, 14, GroupName(g), DT_SINGLELINE);
        int k = 0;
        for (int i = 0; i < m_contacts.Count(); ++i) {
            CVQContact* c = Contact(i);
            if (c->group != g) continue;
            const int t = y + 12 + 12 * k;
            ++k;
            if (c->selected) m_canvas.FillRectangle(&selected, 23, t + 1, 247, 12);
            CVQGraphics& status = m_status[c->status];
            m_canvas.Blit(7, t + 2, 15, 11, &status, 0, 0, status.DibWidth(), status.DibHeight());
            m_canvas.SetFont("Arial", 8, RGB(0, 0, 0), 400, 0, 0);
            m_canvas.DrawDataText(24, t, 247, 14, c->text.Str(), DT_SINGLELINE);
            const bool cursorHere = m_focused && i == m_cursorRow;
            if (cursorHere && m_cursorColumn == 0) m_canvas.DrawRectangle(&dotted, 23, t + 1, 247, 12);
            for (int b = 0; b < 3; ++b) {
                CVQCheckBox& box = c->boxes[b];
                box.SetPosition(CVQContact::kBoxX[b], t);
                box.SetFocused(cursorHere && m_cursorColumn == b + 1);
                box.PrepareSurface();
                CVQGraphics* picture = box.GetGraphics();
                m_canvas.Blit(CVQContact::kBoxX[b], t, picture->DibWidth(), picture->DibHeight(), picture, 0, 0,
                              picture->DibWidth(), picture->DibHeight());
            }
        }
        y += 24 + 12 * k;
    }
    m_canvas.SetDirty(1);
    return 1;
}

int CVQListContacts::OnKeyboard(uint32_t message, uint32_t key, uint32_t, int* handled) {
    if (message != WM_KEYDOWN || VQIsKeyDown(VK_CONTROL)) return 0;
    const int rows = m_contacts.Count();
    ClampCursor();
    switch (key) {
    case VK_UP:
        if (m_cursorRow > 0) m_cursorRow--;
        break;
    case VK_DOWN:
        if (m_cursorRow < rows - 1) m_cursorRow++;
        break;
    case VK_LEFT:
        if (--m_cursorColumn < 0) m_cursorColumn = 3;
        while (m_cursorColumn > 0 && BoxDisabled(m_cursorRow, m_cursorColumn)) m_cursorColumn--;
        break;
    case VK_RIGHT:
        ++m_cursorColumn;
        while (m_cursorColumn <= 3 && BoxDisabled(m_cursorRow, m_cursorColumn)) m_cursorColumn++;
        if (m_cursorColumn > 3) m_cursorColumn = 0;
        break;
    case VK_SPACE: {
        CVQContact* c = Contact(m_cursorRow);
        if (c) {
            if (m_cursorColumn == 0) {
                CVKString name(c->name);
                SetSelected(name.Str(), c->selected ? 0 : 1);
            } else {
                ToggleBox(m_cursorRow, BoxOfColumn(m_cursorColumn));
            }
        }
        if (CVQHUD* hud = VQHud())
            if (hud->FocusWindow() != this) hud->SetFocusWindow(this, true);
        break;
    }
    default: return 0;
    }
    *handled = 1;
    Invalidate();
    return 0;
}

int CVQListContacts::OnMouse(uint32_t message, uint32_t, uint32_t position, int* handled) {
    if (message != WM_LBUTTONDOWN) return 0;
    *handled = 1;
    const int x = static_cast<int16_t>(position & 0xFFFF) - m_x;
    const int y = static_cast<int16_t>(position >> 16) - m_y;
    for (int row = 0; row < m_contacts.Count(); ++row) {
        const int t = RowTop(row);
        for (int b = 0; b < 3; ++b) {
            const int bx = CVQContact::kBoxX[b];
            if (x >= bx && x <= bx + CVQContact::kBoxWidth && y >= t && y <= t + CVQContact::kBoxHeight) {
                ToggleBox(row, b);
                m_cursorRow = row;
                m_cursorColumn = b + 1;
                if (CVQHUD* hud = VQHud()) hud->SetFocusWindow(this, true);
                Invalidate();
                return 0;
            }
        }
    }
    // Rows follow the scroll position, as they are drawn.
    for (int row = 0; row < m_contacts.Count(); ++row) {
        const int t = RowTop(row);
        if (y >= t && y < t + 12) {
            CVQContact* c = Contact(row);
            CVKString name(c->name);
            SetSelected(name.Str(), c->selected ? 0 : 1);
            m_cursorRow = row;
            m_cursorColumn = 0;
            break;
        }
    }
    if (CVQHUD* hud = VQHud()) hud->SetFocusWindow(this, true);
    Invalidate();
    return 0;
}

int CVQListContacts::OnNotify(int code, void*, CVQWindow*, int*) {
    if (code == 7 || code == 8) {
        m_focused = code == 7;
        Invalidate();
    }
    return 0;
}
