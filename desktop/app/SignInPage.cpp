#include "SignInPage.h"

#include "CVQChat.h"
#include "MainWindow.h"
#include "VKDesktopShell.h"
#include "VKLog.h"
#include "VKNetEndpoints.h"
#include "VKScramble.h"
#include "VKSettings.h"
#include "VKWinRegistry.h"
#include "resource.h"

SignInPage::SignInPage(MainWindow* main, CVQChat* chat)
    : DesktopPage(IDD_SIGNIN, main),
      m_chat(chat),
      m_signedIn(false),
      m_signingIn(false),
      m_splash(false),
      m_port(13578),
      m_auto(true),
      m_linkFont(nullptr),
      m_white(CreateSolidBrush(RGB(255, 255, 255))) {
    m_host = VKChatServerHost().Str();
    m_port = VKChatServerPort();
    m_auto = VKGetSettingInt("loginAuto", "1") != 0;
    m_user = VKGetSetting("loginName", "").Str();
    m_password = VKScramblePassword(VKGetSetting("loginPassword", "").Str());
}

BOOL SignInPage::OnInitDialog() {
    m_linkFont = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, TRUE, FALSE, ANSI_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
    SendMessageA(Item(IDC_SI_CREATE), WM_SETFONT, reinterpret_cast<WPARAM>(m_linkFont), TRUE);
    SetText(IDC_SI_NAME, m_user);
    SetText(IDC_SI_PASSWORD, m_password);
    SetCheck(IDC_SI_AUTO, m_auto);
    if (ProfileGetInt("Settings", "Splash", 1) == 1) {
        m_splash = true;
        SetWindowPos(Item(IDC_SI_SPLASH), HWND_TOP, 30, 20, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        EnableControls(false);
    } else {
        Show(IDC_SI_SPLASH, false);
        if (m_auto && !m_user.empty() && !m_password.empty()) SignIn();
    }
    return TRUE;
}

void SignInPage::EnableControls(bool enable) {
    for (int id : {IDC_SI_CREATE, IDC_SI_NAME, IDC_SI_PASSWORD, IDC_SI_AUTO, IDC_SI_SIGNIN, IDC_SI_TOUR})
        Enable(id, enable);
}

void SignInPage::HideSplash() {
    if (!m_splash) return;
    m_splash = false;
    Show(IDC_SI_SPLASH, false);
    EnableControls(true);
    SetFocus(Item(IDC_SI_NAME));
    ProfileSetInt("Settings", "Splash", 0);
}

void SignInPage::SignIn() {
    m_user = GetText(IDC_SI_NAME);
    m_password = GetText(IDC_SI_PASSWORD);
    m_signedIn = false;
    m_host = VKChatServerHost().Str();
    m_port = VKChatServerPort();
    m_chat->Connect(CVKString(m_host.c_str()), m_port);
    if (!m_chat->SendLogin(m_user.c_str(), m_password.c_str(), 1)) {
        // Refused locally (empty or holding a line break): nothing was sent.
        OnLoginResult(false, "");
        return;
    }
    m_signingIn = true;
    m_main->SetStatusText("Signing in. Please wait..");
    Enable(IDC_SI_SIGNIN, false);
}

void SignInPage::SignOut() {
    m_chat->Disconnect();
    m_signingIn = false;
    m_signedIn = false;
}

void SignInPage::OnLoginResult(bool success, const std::string& reason) {
    m_signingIn = false;
    if (success) {
        m_signedIn = true;
        SetWebCredentials(m_user, m_password);
        VKSetSetting("loginAuto", IsChecked(IDC_SI_AUTO) ? "1" : "0");
        VKSetSetting("loginName", m_user.c_str());
        std::string scrambled = VKScramblePassword(m_password);
        if (VKScrambledStorable(scrambled)) {
            VKSetSetting("loginPassword", scrambled.c_str());
        } else {
            // A zero byte would cut the stored value short: store nothing
            // rather than a wrong password.
            VKSetSetting("loginPassword", "");
            LogMessage("SignInPage::OnLoginResult(): The password cannot be stored\r\n");
        }
    } else {
        m_chat->Disconnect();
        std::string text =
            "Login failed: " +
            (reason.empty() ? std::string("Please check your username and password,\nand make sure Caps Lock is off")
                            : reason);
        MessageBoxText(text, MB_ICONEXCLAMATION);
    }
    Enable(IDC_SI_SIGNIN, true);
    m_main->SetStatusText("");
}

bool SignInPage::HandleCommand(int id) { return false; }

bool SignInPage::OnCommand(int id, int code, HWND control) {
    switch (id) {
    case IDC_SI_SIGNIN:
    case IDOK:
        if (IsWindowEnabled(Item(IDC_SI_SIGNIN))) SignIn();
        return true;
    case IDC_SI_CREATE:
        if (code == STN_CLICKED) OpenWebPage(m_hwnd, VKWebSiteUrl("/login.php").Str(), false);
        return true;
    case IDC_SI_TOUR: OpenWebPage(m_hwnd, VKWebSiteUrl("/screenshots.php").Str(), false); return true;
    case IDC_SI_SPLASH: HideSplash(); return true;
    case IDCANCEL: return true;  // Escape does not close the page
    default: return false;
    }
}

INT_PTR SignInPage::OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) {
    if (msg == WM_LBUTTONDOWN && m_splash) {
        HideSplash();
        *handled = true;
        return 0;
    }
    if (msg == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lp) == Item(IDC_SI_CREATE)) {
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, RGB(0, 0, 255));
        SetBkColor(dc, RGB(255, 255, 255));
        *handled = true;
        return reinterpret_cast<INT_PTR>(m_white);
    }
    if (msg == WM_SETCURSOR && reinterpret_cast<HWND>(wp) == Item(IDC_SI_CREATE) &&
        IsWindowEnabled(Item(IDC_SI_CREATE))) {
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        *handled = true;
        return TRUE;
    }
    if (msg == WM_DESTROY) {
        if (m_linkFont) DeleteObject(m_linkFont);
        DeleteObject(m_white);
        m_linkFont = nullptr;
    }
    return 0;
}
