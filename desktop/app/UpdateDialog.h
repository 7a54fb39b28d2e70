#pragma once
#include "CVKDialog.h"
#include "VKUpdateText.h"

class MainWindow;

// "Orvalo HUD Desktop - Update" (modeless, made once, hidden by "&Close"):
// offers a newer version; "&Install Now" fetches the installer, ends the
// program and starts it; "&Web Page.." opens the update's page.
class UpdateDialog : public CVKDialog {
public:
    explicit UpdateDialog(MainWindow* main);
    // Shows the dialog with the update's title and text.
    void Offer(const VKUpdateInfo& info);

protected:
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override {}
    void OnCancel() override { ShowWindow(m_hwnd, SW_HIDE); }

private:
    void Install();

    MainWindow* m_main;
    VKUpdateInfo m_info;
};
