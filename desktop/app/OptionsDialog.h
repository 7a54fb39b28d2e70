#pragma once
#include "CVKDialog.h"

// "Options": the HUD's settings that the user may change, and whether the
// program starts with Windows. Modeless, made on first use.
class OptionsDialog : public CVKDialog {
public:
    OptionsDialog();
    // Shows the dialog, making it first when needed.
    void Open(HWND owner);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;
    void OnCancel() override;

private:
    void Load();
    bool m_startup;
};
