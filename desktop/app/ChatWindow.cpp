#include "ChatWindow.h"

#include <commctrl.h>
#include <richedit.h>

#include "FriendsPage.h"
#include "resource.h"

ChatWindow::ChatWindow(FriendsPage* page, int session)
    : CVKDialog(IDD_CHAT), m_page(page), m_session(session), m_closed(false), m_tips(nullptr) {}

BOOL ChatWindow::OnInitDialog() {
    SendMessageA(Item(IDC_CH_HISTORY), EM_EXLIMITTEXT, 0, kMaxHistory * 2);
    m_tips =
        CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr, GetModuleHandleA(nullptr), nullptr);
    TOOLINFOA info = {};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = m_hwnd;
    info.uId = reinterpret_cast<UINT_PTR>(Item(IDC_CH_SEND));
    info.lpszText = const_cast<char*>("Send msg");
    SendMessageA(m_tips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
    SetFocus(Item(IDC_CH_INPUT));
    return FALSE;
}

void ChatWindow::SetTitle(const std::string& title) { SetWindowTextA(m_hwnd, title.c_str()); }
void ChatWindow::SetMembers(const std::string& line) { SetText(IDC_CH_MEMBERS, line); }

void ChatWindow::Append(const std::string& text) {
    HWND history = Item(IDC_CH_HISTORY);
    int length = GetWindowTextLengthA(history);
    if (length > kMaxHistory) {
        // A long chat keeps its newer half.
        CHARRANGE old = {0, length / 2};
        SendMessageA(history, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&old));
        SendMessageA(history, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
    }
    CHARRANGE end = {-1, -1};
    SendMessageA(history, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
    std::string line = text + "\r\n";
    SendMessageA(history, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
    SendMessageA(history, EM_SCROLLCARET, 0, 0);
    SendMessageA(history, WM_VSCROLL, SB_BOTTOM, 0);
    if (GetForegroundWindow() != m_hwnd) {
        FlashWindow(m_hwnd, TRUE);
        if (m_page && m_page->Handle()) FlashWindow(GetAncestor(m_page->Handle(), GA_ROOT), TRUE);
    }
}

void ChatWindow::Send() {
    std::string text = GetText(IDC_CH_INPUT);
    m_page->SendChat(m_session, text);
    SetText(IDC_CH_INPUT, "");
    SetFocus(Item(IDC_CH_INPUT));
}

bool ChatWindow::OnCommand(int id, int code, HWND control) {
    if (id == IDC_CH_SEND && code == BN_CLICKED) {
        Send();
        return true;
    }
    return false;
}

void ChatWindow::OnOK() { Send(); }

void ChatWindow::OnCancel() {
    if (m_closed) return;
    // The page leaves the session and deletes this window after this message.
    m_closed = true;
    ShowWindow(m_hwnd, SW_HIDE);
    m_page->ChatWindowClosed(m_session);
}

INT_PTR ChatWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) {
    if (msg == WM_CLOSE) {
        OnCancel();
        *handled = true;
    }
    return 0;
}
