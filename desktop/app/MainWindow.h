#pragma once
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "CVKDialog.h"
#include "CVQChat.h"
#include "FriendsPage.h"
#include "GamesPage.h"
#include "PageToolbar.h"
#include "RecordingsPage.h"
#include "SignInPage.h"
#include "UploadsPage.h"

class OptionsDialog;
class UpdateDialog;

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
    FriendsPage& Friends() { return m_friends; }
    RecordingsPage& Recordings() { return m_recordings; }
    UploadsPage& Uploads() { return m_uploads; }
    void SelectTab(int tab);
    // Asks the service for a newer version; offers it in the Update dialog.
    // Silent: "up to date" is not shown. True when an update is offered.
    bool CheckForUpdate(bool silent);
    // The update request: the silent flag is read from the registry and reset.
    void RunUpdateCheck();
    // As the tray menu's "&Quit": saves the placement, removes the tray icon
    // and ends the main dialog.
    void Quit();

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
    DesktopPage* Page(int index);

    CVQChat m_chat;
    SignInPage m_signIn;
    GamesPage m_games;
    FriendsPage m_friends;
    RecordingsPage m_recordings;
    UploadsPage m_uploads;
    PageToolbar m_toolbar;
    std::unique_ptr<OptionsDialog> m_options;
    std::unique_ptr<UpdateDialog> m_update;
    HWND m_status;
    HMENU m_trayMenu;
    NOTIFYICONDATAA m_tray;
    bool m_trayAdded;
    int m_shownPage;
    bool m_startup;
    bool m_hidePending;
    bool m_firstShowDone;
};
