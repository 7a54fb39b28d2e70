#pragma once
#include <windows.h>

#include <string>

#include "CVKDialog.h"

class MainWindow;

// "Orvalo HUD Desktop - Encode": the encoder profile, the file, and a preview
// of the frame chosen with the spin control. "&Encode" queues an
// encode-only job on the uploads page.
class EncodeDialog : public CVKDialog {
public:
    EncodeDialog(MainWindow* main, const std::string& path);
    ~EncodeDialog() override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) override;

private:
    void RenewPreview();

    MainWindow* m_main;
    std::string m_path;
    int m_frame;
    HBITMAP m_preview;
};
