#include "CVKDialog.h"

#include <algorithm>
#include <vector>

static std::vector<HWND>& Modeless() {
    static std::vector<HWND> dialogs;
    return dialogs;
}

CVKDialog::CVKDialog(int templateId) : m_hwnd(nullptr), m_template(templateId), m_modal(false) {}

CVKDialog::~CVKDialog() { Destroy(); }

bool CVKDialog::Create(HWND parent) {
    if (m_hwnd) return true;
    m_modal = false;
    CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_template), parent, Proc,
                       reinterpret_cast<LPARAM>(this));
    if (m_hwnd && !(GetWindowLongA(m_hwnd, GWL_STYLE) & WS_CHILD)) Modeless().push_back(m_hwnd);
    return m_hwnd != nullptr;
}

INT_PTR CVKDialog::DoModal(HWND parent) {
    m_modal = true;
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_template), parent, Proc,
                           reinterpret_cast<LPARAM>(this));
}

void CVKDialog::Destroy() {
    if (m_hwnd && !m_modal) DestroyWindow(m_hwnd);
}

void CVKDialog::End(int result) {
    if (m_modal)
        EndDialog(m_hwnd, result);
    else
        DestroyWindow(m_hwnd);
}

void CVKDialog::OnOK() { End(IDOK); }
void CVKDialog::OnCancel() { End(IDCANCEL); }

std::string CVKDialog::GetText(int id) const {
    HWND item = Item(id);
    int n = item ? GetWindowTextLengthA(item) : 0;
    std::string text(static_cast<size_t>(n) + 1, '\0');
    if (n > 0) GetWindowTextA(item, &text[0], n + 1);
    text.resize(strlen(text.c_str()));
    return text;
}

void CVKDialog::SetText(int id, const std::string& text) { SetDlgItemTextA(m_hwnd, id, text.c_str()); }
void CVKDialog::Enable(int id, bool enable) { EnableWindow(Item(id), enable); }
void CVKDialog::Show(int id, bool show) { ShowWindow(Item(id), show ? SW_SHOW : SW_HIDE); }
bool CVKDialog::IsChecked(int id) const { return IsDlgButtonChecked(m_hwnd, id) == BST_CHECKED; }
void CVKDialog::SetCheck(int id, bool checked) { CheckDlgButton(m_hwnd, id, checked ? BST_CHECKED : BST_UNCHECKED); }

int CVKDialog::MessageBoxText(const std::string& text, UINT flags) {
    return MessageBoxA(m_hwnd, text.c_str(), "Orvalo HUD Desktop", flags);
}

bool CVKDialog::PreTranslate(MSG* msg) {
    for (HWND dialog : Modeless())
        if (IsWindow(dialog) && IsDialogMessageA(dialog, msg)) return true;
    return false;
}

INT_PTR CALLBACK CVKDialog::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CVKDialog* self;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CVKDialog*>(lp);
        SetWindowLongPtrA(hwnd, DWLP_USER, lp);
        self->m_hwnd = hwnd;
        return self->OnInitDialog();
    }
    self = reinterpret_cast<CVKDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!self) return FALSE;
    switch (msg) {
    case WM_COMMAND: {
        int id = LOWORD(wp);
        if (self->OnCommand(id, HIWORD(wp), reinterpret_cast<HWND>(lp))) return TRUE;
        if (id == IDOK) {
            self->OnOK();
            return TRUE;
        }
        if (id == IDCANCEL) {
            self->OnCancel();
            return TRUE;
        }
        return FALSE;
    }
    case WM_TIMER: self->OnTimer(wp); return TRUE;
    case WM_DESTROY: {
        auto& list = Modeless();
        list.erase(std::remove(list.begin(), list.end(), hwnd), list.end());
        self->OnDestroy();
        break;
    }
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->m_hwnd = nullptr;
        return FALSE;
    default: break;
    }
    bool handled = false;
    INT_PTR result = self->OnMessage(msg, wp, lp, &handled);
    if (!handled) return FALSE;
    // These messages return their result directly, the others through
    // DWLP_MSGRESULT.
    if ((msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) || msg == WM_QUERYDRAGICON || msg == WM_COMPAREITEM ||
        msg == WM_VKEYTOITEM || msg == WM_CHARTOITEM)
        return result;
    SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}
