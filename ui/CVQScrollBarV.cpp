#include "CVQScrollBarV.h"

#include <windows.h>

#include "CVQPen.h"
#include "CVQSolidBrush.h"

namespace {
const int kArrow = 12;  // height of each arrow box
const int kStep = 12;   // an arrow moves this much
const uint32_t kBack = 0xFFCDE8FF, kFace = 0xFF69BAFF, kEdge = 0xFF028DFF, kFocusEdge = 0xFFFF0000;
}  // namespace

CVQScrollBarV::CVQScrollBarV() : m_position(0), m_range(100), m_page(10), m_focused(0) {}

void CVQScrollBarV::SetRange(int range) {
    m_range = range < 1 ? 1 : range;
    SetPosition(m_position);
}

void CVQScrollBarV::SetPage(int page) {
    m_page = page < 1 ? 1 : page;
    SetPosition(m_position);
}

void CVQScrollBarV::SetPosition(int position) {
    // 64-bit sum: a position near the largest int must not wrap around.
    if (m_range < m_page || position < 0)
        m_position = 0;
    else if (static_cast<long long>(position) + m_page > m_range)
        m_position = m_range - m_page;
    else
        m_position = position;
    Invalidate();
}

int CVQScrollBarV::TrackLength() {
    int length = Height() - 2 * kArrow;
    return length < 0 ? 0 : length;  // a bar shorter than its arrows has no track
}

int CVQScrollBarV::ThumbTop() {
    return kArrow + static_cast<int>(static_cast<long long>(TrackLength()) * m_position / m_range);
}

int CVQScrollBarV::ThumbLength() {
    const int track = TrackLength();
    long long length = static_cast<long long>(track) * m_page / m_range;
    if (length > track) length = track;
    return static_cast<int>(length < 0 ? 0 : length);
}

int CVQScrollBarV::PrepareSurface() {
    if (!m_needsRedraw) return 1;
    m_needsRedraw = 0;
    const int w = Width(), h = Height();
    m_canvas.Fill(kBack);
    CVQSolidBrush face(kFace);
    CVQPen edge(PS_SOLID, 1, kEdge), ink(PS_SOLID, 1, 0xFF000000);
    // Arrow boxes with a small triangle of four lines each.
    const int mid = w / 2;
    for (int box = 0; box < 2; ++box) {
        const int top = box == 0 ? 0 : h - kArrow;
        m_canvas.FillRectangle(&face, 0, top, w, kArrow);
        m_canvas.DrawRectangle(&edge, 0, top, w, kArrow);
        for (int i = 0; i < 4; ++i) {
            const int y = box == 0 ? top + 3 + i : top + kArrow - 4 - i;
            m_canvas.DrawLine(&ink, mid - i, y, mid + i + 1, y);
        }
    }
    const int length = ThumbLength();
    if (length > 0) {
        CVQPen thumbEdge(PS_SOLID, 1, m_focused ? kFocusEdge : kEdge);
        m_canvas.FillRectangle(&face, 0, ThumbTop(), w, length);
        m_canvas.DrawRectangle(&thumbEdge, 0, ThumbTop(), w, length);
    }
    m_canvas.SetDirty(1);
    return 1;
}

void CVQScrollBarV::Changed() {
    int ignored = 0;
    if (m_parent) m_parent->OnNotify(0, nullptr, this, &ignored);
}

int CVQScrollBarV::OnKeyboard(uint32_t message, uint32_t key, uint32_t, int* handled) {
    if (message != WM_KEYDOWN || (key != VK_UP && key != VK_DOWN)) return 0;
    SetPosition(key == VK_UP ? m_position - kStep : m_position + kStep);
    Changed();
    *handled = 1;
    return 0;
}

int CVQScrollBarV::OnMouse(uint32_t message, uint32_t, uint32_t position, int* handled) {
    if (message != WM_LBUTTONDOWN) return 0;
    const int y = static_cast<int16_t>(position >> 16) - m_y;
    const int h = Height();
    if (y <= kArrow - 1)
        SetPosition(m_position - kStep);
    else if (y > h - kArrow)
        SetPosition(m_position + kStep);
    else if (y < ThumbTop())
        SetPosition(m_position - m_page);
    else if (y > ThumbTop() + ThumbLength())
        SetPosition(m_position + m_page);
    Changed();
    *handled = 1;
    return 0;
}

int CVQScrollBarV::OnNotify(int code, void*, CVQWindow*, int*) {
    if (code == 7 || code == 8) {
        m_focused = code == 7;
        Invalidate();
    }
    return 0;
}
