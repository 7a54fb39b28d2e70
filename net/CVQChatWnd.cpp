#include "CVQChatWnd.h"

#include <windows.h>

#include "CVKString.h"
#include "CVQHUD.h"
#include "CVQHUD_Chat.h"
#include "CVQMsgBox.h"
#include "CVQScrollBarV.h"
#include "CVQSolidBrush.h"
#include "CVQTextBox.h"

namespace {
const uint32_t kPanel = 0xFFCDE8FF;
const int kFirstLine = 16, kLineStep = 12, kLinesX = 14;
int g_offset = 0;  // 0 to 5: how far right the next window goes
}  // namespace

CVQChatWnd::CVQChatWnd() : m_bar(nullptr), m_box(nullptr), m_linesChanged(1), m_drawnScroll(0) { m_kind = kChat; }

CVQChatWnd::~CVQChatWnd() {
    // The chat component must not keep a pointer to a window that is gone.
    if (CVQHUD* hud = VQHud()) hud->Chat()->ForgetWindow(this);
    for (int i = 0; i < m_lines.Count(); ++i) delete static_cast<CVKString*>(m_lines.Get(i));
}

int CVQChatWnd::CreateFrame(int32_t x, int32_t y, int32_t width, int32_t height) {
    const int shift = 20 * g_offset;
    g_offset = (g_offset + 1) % 6;
    if (!CVQFrmWnd::CreateFrame(x + shift, y, width, height)) return 0;
    CVQSolidBrush panel(kPanel);
    m_canvas.FillRectangle(&panel, 1, 15, 324, 76);
    m_canvas.FillRectangle(&panel, 1, 93, 339, 67);
    m_canvas.SetFont("Arial", 8, RGB(0, 0, 0), 700, 0, 0);
    m_canvas.DrawText(20, 96, 100, 16, "Message", DT_SINGLELINE);
    m_canvas.SetFont("Arial", 8, RGB(0, 0, 0), 400, 0, 1);
    m_canvas.DrawText(20, 96, 300, 16, "Invite User", DT_SINGLELINE | DT_RIGHT);
    m_box = new CVQTextBox("");
    m_box->Create(20, 111, 300, 40, this);
    AddChild(m_box);
    m_bar = new CVQScrollBarV();
    m_bar->Create(324, 15, 15, 75, this);
    m_bar->SetPage(72);
    AddChild(m_bar);
    m_linesChanged = 1;
    return 1;
}

const char* CVQChatWnd::Line(int index) const {
    if (index < 0 || index >= m_lines.Count()) return nullptr;
    return static_cast<CVKString*>(m_lines.Get(index))->Str();
}

void CVQChatWnd::AddLine(const char* text) {
    if (m_lines.Count() >= kMaxLines) {
        delete static_cast<CVKString*>(m_lines.Get(0));
        m_lines.RemoveAt(0);
    }
    m_lines.Insert(new CVKString(text ? text : ""));
    if (m_bar) {
        m_bar->SetRange(kLineStep * m_lines.Count());
        m_bar->SetPosition(m_bar->GetRange());
    }
    m_linesChanged = 1;
}

void CVQChatWnd::DrawLines() {
    CVQSolidBrush panel(kPanel);
    m_canvas.FillRectangle(&panel, 1, 15, 324, 76);
    m_canvas.SetFont("Arial", 8, RGB(0, 0, 0), 400, 0, 0);
    const int scroll = m_bar ? m_bar->GetPosition() : 0;
    for (int i = 0; i < m_lines.Count(); ++i) {
        const int y = kFirstLine + kLineStep * i - scroll;
        if (y < kFirstLine - 2 || y > kFirstLine + 60) continue;
        m_canvas.DrawDataText(kLinesX, y, 310, kLineStep, Line(i), DT_SINGLELINE);
    }
    m_canvas.SetDirty(1);
}

int CVQChatWnd::PrepareSurface() {
    const int scroll = m_bar ? m_bar->GetPosition() : 0;
    if (m_linesChanged || scroll != m_drawnScroll) {
        m_linesChanged = 0;
        m_drawnScroll = scroll;
        DrawLines();
    }
    return CVQFrmWnd::PrepareSurface();
}

int CVQChatWnd::OnMouse(uint32_t message, uint32_t data, uint32_t position, int* handled) {
    if (message == WM_LBUTTONDOWN) {
        const int dx = static_cast<int16_t>(position & 0xFFFF) - m_x;
        const int dy = static_cast<int16_t>(position >> 16) - m_y;
        if (dx >= 260 && dx <= 320 && dy >= 96 && dy <= 112) {
            *handled = 1;
            ShowMessage("Not implemented. Start a new chat instead.", this, 1);
            return 0;
        }
    }
    return CVQFrmWnd::OnMouse(message, data, position, handled);
}

int CVQChatWnd::OnNotify(int code, void*, CVQWindow* sender, int*) {
    if (code == 0 && sender == m_box && m_box) {
        CVKString text(m_box->GetText());
        if (text.Length() == 0) return 0;
        m_box->SetText("");
        if (CVQHUD* hud = VQHud()) hud->Chat()->SendChatText(this, text.Str());
    }
    return 0;
}

void CVQChatWnd::Close() {
    if (CVQHUD* hud = VQHud()) hud->Chat()->LeaveChat(this);
    CVQFrmWnd::Close();
}
