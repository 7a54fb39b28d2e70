#pragma once
#include "CVKDialog.h"

class MainWindow;

// A page of the main window (a borderless child dialog). The main window
// offers every command to its pages first, then handles it itself.
class DesktopPage : public CVKDialog {
public:
    DesktopPage(int templateId, MainWindow* main) : CVKDialog(templateId), m_main(main) {}
    // True when the page handled the command.
    virtual bool HandleCommand(int id) { return false; }
    // The periodic step of the main window's timer.
    virtual void Tick() {}
    bool Visible() const { return m_hwnd && IsWindowVisible(m_hwnd); }

protected:
    // A button of the page itself (Pause, Cancel on the uploads page) goes to
    // the page's command handler as the menu and toolbar commands do.
    bool OnCommand(int id, int code, HWND control) override {
        return control && code == BN_CLICKED && HandleCommand(id);
    }
    // Enter and Escape never close a page.
    void OnOK() override {}
    void OnCancel() override {}
    MainWindow* m_main;
};

// A page whose content comes with a later version (friends, recordings,
// uploads): it shows one line of text.
class PlaceholderPage : public DesktopPage {
public:
    PlaceholderPage(MainWindow* main, const char* text);

protected:
    BOOL OnInitDialog() override;

private:
    const char* m_text;
};
