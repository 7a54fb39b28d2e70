#pragma once
#include "CVKDialog.h"

// The strip of buttons above the pages: "Refresh", "My Account", and five
// buttons whose caption, icon, tooltip and command follow the selected tab.
// A press posts the command to the main window, like the menu item.
class PageToolbar : public CVKDialog {
public:
    PageToolbar();
    void SetTab(int tab);
    int Tab() const { return m_tab; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    void SetTip(int id, const char* text);
    HWND m_tips;
    int m_tab;
    int m_commands[5];
};
