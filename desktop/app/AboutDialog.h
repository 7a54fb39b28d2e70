#pragma once
#include "CVKDialog.h"

// The modal About box; "&More..." opens the web site's about page.
class AboutDialog : public CVKDialog {
public:
    AboutDialog();

protected:
    bool OnCommand(int id, int code, HWND control) override;
};
