#include "MainWindow.h"

#include <commctrl.h>
#include <richedit.h>

#include "AboutDialog.h"
#include "CVKInternet.h"
#include "CVKInternetFetcher.h"
#include "OptionsDialog.h"
#include "UpdateDialog.h"
#include "VKNetEndpoints.h"
#include "VKUpdateText.h"
#include "VKDesktopShell.h"
#include "VKInstance.h"
#include "VKLog.h"
#include "VKWinRegistry.h"
#include "resource.h"

namespace {
const int kWidth = 801, kHeight = 542;
const char* const kTabs[] = {"My Games", "My Friends", "My Recordings", "My Uploads"};
}  // namespace

MainWindow::MainWindow(bool startedWithStartup)
    : CVKDialog(IDD_MAIN),
      m_signIn(this, &m_chat),
      m_games(this),
      m_friends(this, &m_chat),
      m_recordings(this),
      m_uploads(this),
      m_status(nullptr),
      m_trayMenu(nullptr),
      m_tray(),
      m_trayAdded(false),
      m_shownPage(0),
      m_startup(startedWithStartup),
      m_hidePending(false),
      m_firstShowDone(false) {}

MainWindow::~MainWindow() {
    if (m_trayMenu) DestroyMenu(m_trayMenu);
}

DesktopPage* MainWindow::Page(int index) {
    switch (index) {
    case 0: return &m_signIn;
    case 1: return &m_games;
    case 2: return &m_friends;
    case 3: return &m_recordings;
    default: return &m_uploads;
    }
}

BOOL MainWindow::OnInitDialog() {
    HMENU system = GetSystemMenu(m_hwnd, FALSE);
    if (system) {
        AppendMenuA(system, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(system, MF_STRING, IDM_ABOUTBOX, "&About Orvalo HUD Desktop...");
    }
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HICON big = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 32, 32, 0));
    HICON small = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 16, 16, 0));
    SendMessageA(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageA(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));

    for (int i = 0; i < 4; ++i) {
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(kTabs[i]);
        SendMessageA(Item(IDC_TABS), TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    }

    m_toolbar.Create(m_hwnd);
    ShowWindow(m_toolbar.Handle(), SW_SHOW);
    m_status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, m_hwnd,
                               reinterpret_cast<HMENU>(IDC_STATUSBAR), instance, nullptr);
    for (int i = 0; i < 5; ++i) Page(i)->Create(m_hwnd);
    LoadLibraryA("riched20.dll");  // rich edit for the chat windows

    Layout();
    ShowPage(0);
    SetTimer(m_hwnd, kTimerId, 100, nullptr);

    m_trayMenu = LoadMenuA(instance, MAKEINTRESOURCEA(IDR_TRAYMENU));
    m_tray.cbSize = sizeof m_tray;
    m_tray.hWnd = m_hwnd;
    m_tray.uID = 1;
    m_tray.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_tray.uCallbackMessage = kTrayMessage;
    m_tray.hIcon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_SIGNEDOUT), IMAGE_ICON, 16, 16, 0));
    lstrcpynA(m_tray.szTip, "Orvalo HUD Desktop", sizeof m_tray.szTip);
    m_trayAdded = Shell_NotifyIconA(NIM_ADD, &m_tray) != FALSE;

    // Bottom-right corner of the screen, next to the taskbar.
    int x = GetSystemMetrics(SM_CXSCREEN) - kWidth, y = GetSystemMetrics(SM_CYSCREEN) - kHeight;
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    RECT bar;
    if (taskbar && GetWindowRect(taskbar, &bar)) {
        if (bar.top <= 0 && bar.left > 0) x = bar.left - kWidth;
        if (bar.top > 0 && bar.left <= 0) y = bar.top - kHeight;
    }
    SetWindowPos(m_hwnd, nullptr, x, y, kWidth, kHeight, SWP_NOZORDER);

    // Weekly update trigger.
    bool fire = false;
    int64_t now = NowMilliseconds() / 1000;
    if (WeeklyUpdateDue(ProfileGetInt("Settings", "Update", 0), now, &fire)) {
        ProfileSetInt("Settings", "Update", static_cast<int>(now));
        if (fire) WriteRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_update", "1");
    }
    return TRUE;
}

void MainWindow::Layout() {
    RECT client;
    GetClientRect(m_hwnd, &client);
    int w = client.right, h = client.bottom;
    if (m_toolbar.Handle()) SetWindowPos(m_toolbar.Handle(), nullptr, 0, 0, w, 57, SWP_NOZORDER);
    SetWindowPos(Item(IDC_TABS), nullptr, 0, 57, w + 1, 22, SWP_NOZORDER);
    int pageHeight = h < 103 ? 0 : h - 103;
    for (int i = 0; i < 5; ++i)
        if (Page(i)->Handle()) SetWindowPos(Page(i)->Handle(), nullptr, 0, 78, w, pageHeight, SWP_NOZORDER);
    if (m_status) SendMessageA(m_status, WM_SIZE, 0, 0);
}

void MainWindow::SetStatusText(const std::string& text) {
    if (m_status) SendMessageA(m_status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void MainWindow::SelectTab(int tab) {
    if (tab < 0 || tab > 3) return;
    SendMessageA(Item(IDC_TABS), TCM_SETCURSEL, tab, 0);
}

void MainWindow::ShowPage(int page) {
    for (int i = 0; i < 5; ++i)
        if (Page(i)->Handle()) ShowWindow(Page(i)->Handle(), i == page ? SW_SHOW : SW_HIDE);
    m_shownPage = page;
}

void MainWindow::SetTrayIcon(bool signedIn) {
    if (!m_trayAdded) return;
    m_tray.hIcon = static_cast<HICON>(LoadImageA(
        GetModuleHandleA(nullptr), MAKEINTRESOURCEA(signedIn ? IDI_APP : IDI_SIGNEDOUT), IMAGE_ICON, 16, 16, 0));
    m_tray.uFlags = NIF_ICON;
    Shell_NotifyIconA(NIM_MODIFY, &m_tray);
    m_tray.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
}

void MainWindow::RestoreAndShow() {
    ShowWindow(m_hwnd, IsIconic(m_hwnd) ? SW_RESTORE : SW_SHOW);
    HWND foreground = GetForegroundWindow();
    DWORD other = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    DWORD self = GetCurrentThreadId();
    bool attached = other && other != self && AttachThreadInput(self, other, TRUE);
    SetForegroundWindow(m_hwnd);
    SetFocus(m_hwnd);
    if (attached) AttachThreadInput(self, other, FALSE);
    FlashWindow(m_hwnd, TRUE);
}

void MainWindow::PumpChat() {
    m_chat.Pump();
    while (int type = m_chat.PeekMessageType()) {
        if (type == kChatLoginOk || type == kChatLoginFailed) {
            int success = 0, port = 0;
            CVKString reason, server;
            m_chat.GetLoginResult(&success, &reason, &server, &port);
            m_chat.PopMessage();
            m_signIn.OnLoginResult(type == kChatLoginOk, reason.Str());
            continue;
        }
        if (type == kChatConnectionLost) {
            m_chat.PopMessage();
            if (m_signIn.SignedIn()) {
                LogMessage("MainWindow::PumpChat(): The chat connection was lost\r\n");
                m_signIn.SignOut();
            } else if (m_signIn.SigningIn()) {
                // No answer will come: give the user the button back.
                m_signIn.OnLoginResult(false, "Could not connect to the server");
            }
            break;
        }
        m_friends.OnChatEvent(type);  // friends and chat events; others are popped unread
        m_chat.PopMessage();
    }
}

void MainWindow::OnTimer(UINT_PTR id) {
    if (id != kTimerId) return;
    KillTimer(m_hwnd, kTimerId);
    PumpChat();

    int tab = static_cast<int>(SendMessageA(Item(IDC_TABS), TCM_GETCURSEL, 0, 0));
    if (tab < 0) tab = 0;
    if (m_signIn.SignedIn()) {
        if (tab + 1 != m_shownPage) {
            ShowPage(tab + 1);
            m_toolbar.SetTab(tab);
            SetTrayIcon(true);
        }
    } else if (m_shownPage != 0) {
        ShowPage(0);
        m_toolbar.SetTab(0);
        SetTrayIcon(false);
    }
    for (int i = 1; i < 5; ++i) Page(i)->Tick();

    if (m_hidePending) {
        ShowWindow(m_hwnd, SW_HIDE);
        m_hidePending = false;
    }
    WriteRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_running", std::to_string(NowMilliseconds()));
    int show = atoi(ReadRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_show", "0").c_str());
    if (show > 0) {
        WriteRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_show", "0");
        int request = ShowRequestTab(show);
        if (request >= 0) SelectTab(request);
        RestoreAndShow();
    }
    if (atoi(ReadRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_update", "0").c_str()) > 0) RunUpdateCheck();
    // The update's installer may have ended the main window.
    if (m_hwnd) SetTimer(m_hwnd, kTimerId, 100, nullptr);
}

void MainWindow::SavePlacement() {
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(m_hwnd, &wp)) return;
    if (!IsWindowVisible(m_hwnd)) wp.showCmd = 0;
    ProfileSetBinary("MainFrame", "WP", &wp, sizeof wp);
}

void MainWindow::FirstShow() {
    m_firstShowDone = true;
    std::vector<unsigned char> saved;
    if (!ProfileGetBinary("MainFrame", "WP", &saved) || saved.size() != sizeof(WINDOWPLACEMENT)) return;
    WINDOWPLACEMENT wp;
    memcpy(&wp, saved.data(), sizeof wp);
    wp.length = sizeof wp;
    if (wp.showCmd == 0) {
        m_hidePending = true;
        wp.showCmd = SW_SHOWMINIMIZED;
    }
    if (!m_startup) {
        m_hidePending = false;
        wp.showCmd = SW_SHOWNORMAL;
    }
    wp.flags = 0;
    SetWindowPlacement(m_hwnd, &wp);
}

void MainWindow::Quit() {
    SavePlacement();
    if (m_trayAdded) Shell_NotifyIconA(NIM_DELETE, &m_tray);
    m_trayAdded = false;
    DestroyWindow(m_hwnd);
}

void MainWindow::RunUpdateCheck() {
    // The weekly trigger writes "1" (silent); the menu finds "0".
    bool silent = atoi(ReadRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_update", "0").c_str()) > 0;
    WriteRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_update", "0");
    CheckForUpdate(silent);
}

bool MainWindow::CheckForUpdate(bool silent) {
    std::string body;
    bool fetched;
    {
        CVKWaitCursor wait;
        CVKInternet* net = new CVKInternet();
        net->SetLimit(1024 * 1024);
        net->Open(VKDesktopServiceUrl("checkupdate.php").Str());
        fetched = CVKInternetFetcher::Complete(net);
        if (fetched) body = net->Data();
        net->Release();
    }
    if (!fetched) {
        MessageBoxText("Failed to connect to server", MB_ICONEXCLAMATION);
        return false;
    }
    VKUpdateInfo info;
    VKUpdateReply reply = ParseUpdateReply(body, &info);
    if (reply == kUpdateNone && !silent) MessageBoxText("Orvalo HUD Desktop is up to date!", MB_ICONEXCLAMATION);
    if (reply != kUpdateOffered) return false;
    if (!m_update) {
        m_update.reset(new UpdateDialog(this));
        m_update->Create(m_hwnd);
    }
    m_update->Offer(info);
    return true;
}

void MainWindow::OnCancel() { ShowWindow(m_hwnd, SW_HIDE); }

void MainWindow::OnDestroy() {
    KillTimer(m_hwnd, kTimerId);
    if (m_trayAdded) Shell_NotifyIconA(NIM_DELETE, &m_tray);
    m_trayAdded = false;
    m_chat.Disconnect();
    PostQuitMessage(0);
}

bool MainWindow::OnCommand(int id, int code, HWND control) {
    for (int i = 0; i < 5; ++i)
        if (Page(i)->HandleCommand(id)) return true;
    switch (id) {
    case ID_FILE_SIGNOUT: m_signIn.SignOut(); return true;
    case ID_FILE_CLOSE: ShowWindow(m_hwnd, SW_HIDE); return true;
    case ID_VIEW_GAMES:
    case ID_VIEW_FRIENDS:
    case ID_VIEW_RECORDINGS:
    case ID_VIEW_UPLOADS: SelectTab(id - ID_VIEW_GAMES); return true;
    case ID_VIEW_ACCOUNT: OpenWebPage(m_hwnd, "/user.php", true); return true;
    case ID_TOOLS_OPTIONS:
        if (!m_options) m_options.reset(new OptionsDialog());
        m_options->Open(m_hwnd);
        return true;
    case ID_HELP_HELP: OpenWebPage(m_hwnd, "/faq.php", true); return true;
    case ID_HELP_REPORT: OpenWebPage(m_hwnd, "/discuss.php", true); return true;
    case ID_UPLOADS_MYVIDEOS: OpenWebPage(m_hwnd, "/mymedia.php", true); return true;
    case ID_HELP_UPDATE: RunUpdateCheck(); return true;
    case ID_HELP_ABOUT: {
        AboutDialog about;
        about.DoModal(m_hwnd);
        return true;
    }
    case ID_TRAY_OPEN: RestoreAndShow(); return true;
    case ID_TRAY_QUIT: Quit(); return true;
    default: return false;
    }
}

INT_PTR MainWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) {
    switch (msg) {
    case WM_SIZE: Layout(); break;
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) == IDM_ABOUTBOX) {
            AboutDialog about;
            about.DoModal(m_hwnd);
            *handled = true;
        }
        break;
    case WM_SHOWWINDOW:
        if (wp && !m_firstShowDone) FirstShow();
        break;
    case WM_QUERYENDSESSION:
        SavePlacement();
        *handled = true;
        return TRUE;
    case WM_NOTIFY: {
        NMHDR* hdr = reinterpret_cast<NMHDR*>(lp);
        if (hdr->idFrom == IDC_TABS && hdr->code == TCN_SELCHANGE) {
            // The next tick shows the page.
            *handled = true;
        }
        break;
    }
    case kTrayMessage:
        if (lp == WM_RBUTTONDOWN || lp == WM_CONTEXTMENU) {
            POINT pt;
            GetCursorPos(&pt);
            SetForegroundWindow(m_hwnd);
            TrackPopupMenu(GetSubMenu(m_trayMenu, 0), TPM_RIGHTALIGN | TPM_BOTTOMALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0,
                           m_hwnd, nullptr);
        } else if (lp == WM_LBUTTONDBLCLK) {
            RestoreAndShow();
        }
        *handled = true;
        return 0;
    default: break;
    }
    return 0;
}
