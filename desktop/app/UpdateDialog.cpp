#include "UpdateDialog.h"

#include "CVKInstallerDownload.h"
#include "MainWindow.h"
#include "VKDesktopShell.h"
#include "resource.h"

UpdateDialog::UpdateDialog(MainWindow* main) : CVKDialog(IDD_UPDATE), m_main(main) {}

void UpdateDialog::Offer(const VKUpdateInfo& info) {
    m_info = info;
    SetText(IDC_UP_TITLE, info.title);
    SetText(IDC_UP_TEXT, UpdateDialogText(info));
    ShowWindow(m_hwnd, SW_SHOW);
    SetForegroundWindow(m_hwnd);
}

void UpdateDialog::Install() {
    std::string path;
    CVKInstallerDownload::Result result;
    {
        CVKWaitCursor wait;
        result = CVKInstallerDownload().Download(m_info.download, &path);
    }
    if (result != CVKInstallerDownload::kOk) {
        // Nothing was stored: the program keeps running.
        MessageBoxText(CVKInstallerDownload::Message(result), MB_ICONEXCLAMATION);
        return;
    }
    // The program ends before the installer starts (it may replace it).
    m_main->Quit();
    CVKInstallerDownload::Run(nullptr, path);
}

bool UpdateDialog::OnCommand(int id, int code, HWND control) {
    switch (id) {
    case IDC_UP_INSTALL: Install(); return true;
    case IDC_UP_WEB: OpenWebPage(m_hwnd, m_info.webPage, false); return true;
    default: return false;
    }
}
