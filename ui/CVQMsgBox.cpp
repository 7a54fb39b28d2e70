#include "CVQMsgBox.h"

#include <windows.h>

#include "CVQButton.h"
#include "CVQHUD.h"
#include "CVQSolidBrush.h"
#include "CVQTextBox.h"
#include "VKLog.h"

namespace {
const uint32_t kFace = 0xFFCDE8FF;
const int kAnswerCode = 78;  // the platform's WM_NOTIFY

int OpenBoxes(CVQHUD* hud) {
    int n = 0;
    for (int i = 0; i < hud->Windows().Count(); ++i)
        if (static_cast<CVQWindow*>(hud->Windows().Get(i))->Kind() == CVQFrmWnd::kMessageBox) ++n;
    return n;
}

int Open(int kind, const char* text, CVQWindow* parent, const char* tag, const char* data, int lines, void* userData) {
    CVQHUD* hud = VQHud();
    if (!hud) return 0;
    if (OpenBoxes(hud) >= CVQMsgBox::kMaxOpen) {
        LogMessage("CVQMsgBox::Create(): Too many message boxes open, not shown: %.80s\r\n", text ? text : "");
        return 0;
    }
    CVQMsgBox* box = new CVQMsgBox(kind, text, lines, parent, tag, data, userData);
    if (!box->Build()) {
        delete box;
        return 0;
    }
    hud->AddWindow(box);
    CVQWindow* focus = kind == CVQMsgBox::kTextInput ? static_cast<CVQWindow*>(box->TextField())
                                                     : static_cast<CVQWindow*>(box->OkButton());
    hud->SetFocusWindow(focus, true);
    hud->UpdateActiveStates();
    return 1;
}
}  // namespace

CVQMsgBox::CVQMsgBox(int boxKind, const char* text, int lines, CVQWindow* owner, const char* tag, const char* data,
                     void* userData)
    : m_text(text ? text : ""),
      m_lines(lines < 1 ? 1 : (lines > kMaxLines ? kMaxLines : lines)),
      m_ok(nullptr),
      m_field(nullptr),
      m_cancel(nullptr),
      m_userData(userData),
      m_result(kOpen),
      m_boxKind(boxKind),
      m_owner(owner) {
    m_kind = kMessageBox;
    m_title.Set("Message");
    if (tag) m_tag.Set(tag);
    if (data) m_data.Set(data);
}

CVQMsgBox::~CVQMsgBox() {}

const char* CVQMsgBox::GetInputText() const { return m_field ? m_field->GetText() : ""; }

int CVQMsgBox::Build() {
    const int textHeight = 14 * m_lines;
    const int height = (m_boxKind == kTextInput ? 136 : 116) + textHeight;
    int32_t x = 140, y = 140;
    if (m_owner) {
        // The owner's place on the screen: its position plus its ancestors'.
        int32_t ax = 0, ay = 0;
        for (CVQWindow* w = m_owner; w; w = w->GetParent()) {
            ax += w->GetX();
            ay += w->GetY();
        }
        x = ax + (m_owner->Width() - kWidth) / 2;
        y = ay + (m_owner->Height() - 130) / 2;
    }
    if (!CreateFrame(x, y, kWidth, height) || Width() != kWidth) return 0;
    CVQSolidBrush face(kFace);
    m_canvas.FillRectangle(&face, 1, 15, kWidth - 1, textHeight + 62);
    m_canvas.SetFont("Arial", 8, RGB(0, 0, 0), 400, 0, 0);
    m_canvas.DrawDataText(15, 45, 310, textHeight, m_text.Str(), DT_WORDBREAK);

    int row = textHeight + 86;
    if (m_boxKind == kTextInput) {
        m_field = new CVQTextBox("");
        m_field->Create(50, textHeight + 86, 250, 18, this);
        AddChild(m_field);
        row += 22;
    }
    m_ok = new CVQButton();
    m_ok->SetCaption("&OK");
    if (m_boxKind == kConfirmation) {
        m_ok->Create(101, row, 72, 18, this);
        AddChild(m_ok);
        m_cancel = new CVQButton();
        m_cancel->SetCaption("&Cancel");
        m_cancel->Create(177, row, 72, 18, this);
        AddChild(m_cancel);
    } else {
        m_ok->Create(139, row, 72, 18, this);
        AddChild(m_ok);
    }
    return 1;
}

void CVQMsgBox::Answer(int result) {
    if (m_result != kOpen) return;
    m_result = result == kOk ? kOk : kCancel;
    if (m_result == kCancel) m_data.Set("");
    if (m_owner) {
        int handled = 0;
        m_owner->OnNotify(kAnswerCode, m_userData, this, &handled);
    }
    CVQFrmWnd::Close();
}

void CVQMsgBox::Close() {
    // Closing without a choice is a Cancel: the asker is not left waiting.
    if (m_result == kOpen)
        Answer(kCancel);
    else
        CVQFrmWnd::Close();
}

void CVQMsgBox::OnOwnerGone() {
    m_owner = nullptr;
    Answer(kCancel);
}

int CVQMsgBox::OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) {
    if (message == WM_KEYDOWN && m_result == kOpen) {
        CVQHUD* hud = VQHud();
        const bool combination = (hud && hud->IsHotKeyDown()) || VQIsKeyDown(VK_CONTROL);
        if (key == VK_RETURN) {
            *handled = 1;
            Answer(kOk);
            return 0;
        }
        if (m_boxKind != kTextInput && !combination) {
            if (key == VK_SPACE || key == 'O') {
                *handled = 1;
                Answer(kOk);
                return 0;
            }
            if (key == 'C') {
                *handled = 1;
                Answer(kCancel);
                return 0;
            }
        }
        if (m_boxKind == kTextInput && m_field && key != VK_TAB && key != VK_ESCAPE) {
            m_field->OnKeyboard(message, key, keyData, handled);
            if (*handled) return 0;
        }
    }
    return CVQFrmWnd::OnKeyboard(message, key, keyData, handled);
}

int CVQMsgBox::OnNotify(int code, void*, CVQWindow* sender, int*) {
    if (code != 0 || m_result != kOpen) return 0;
    if (sender == m_ok || (sender == m_field && m_field))
        Answer(kOk);
    else if (sender == m_cancel && m_cancel)
        Answer(kCancel);
    return 0;
}

int ShowMessage(const char* text, CVQWindow* parent, int lines) {
    return Open(CVQMsgBox::kMessage, text, parent, nullptr, nullptr, lines, nullptr);
}

int AskText(const char* text, CVQWindow* parent, const char* tag, int lines) {
    return Open(CVQMsgBox::kTextInput, text, parent, tag, tag, lines, nullptr);
}

int AskConfirm(const char* text, CVQWindow* parent, const char* tag, const char* data, int lines, void* userData) {
    return Open(CVQMsgBox::kConfirmation, text, parent, tag, data, lines, userData);
}
