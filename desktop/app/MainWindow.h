#pragma once
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "CVKDialog.h"
#include "CVQChat.h"
#include "GamesPage.h"
#include "PageToolbar.h"
#include "SignInPage.h"

class OptionsDialog;

// The program's main window: the tab row, the toolbar strip, the pages, the
// status bar, the menus, the tray icon and the 100 ms timer that drives all
// periodic work.
class MainWindow : public CVKDialog {
public:
    explicit MainWindow(bool startedWithStartup);
    ~MainWindow() override;

    void SetStatusText(const std::string& text);
    SignInPage& SignIn() { return m_signIn; }
    GamesPage& Games() { return m_games; }
    void SelectTab(int tab);

    static const UINT kTrayMessage = WM_USER + 1;
    static const UINT_PTR kTimerId = 100;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnTimer(UINT_PTR id) override;
    void OnOK() override {}
    void OnCancel() override;
    void OnDestroy() override;
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) override;

private:
    void Layout();
    void PumpChat();
    void ShowPage(int page);
    void SetTrayIcon(bool signedIn);
    void RestoreAndShow();
    void SavePlacement();
    void FirstShow();
    void Quit();
    DesktopPage* Page(int index);

    CVQChat m_chat;
    SignInPage m_signIn;
    GamesPage m_games;
    PlaceholderPage m_friends, m_recordings, m_uploads;
    PageToolbar m_toolbar;
    std::unique_ptr<OptionsDialog> m_options;
    HWND m_status;
    HMENU m_trayMenu;
    NOTIFYICONDATAA m_tray;
    bool m_trayAdded;
    int m_shownPage;
    bool m_startup;
    bool m_hidePending;
    bool m_firstShowDone;
};
