#pragma once
#include <string>

#include "CVKDialog.h"

class GamesPage;

// "HUD Config" for one game: its launcher and binaries folder, which HUD
// features are inserted, and the buttons that insert and remove them.
class HudConfigDialog : public CVKDialog {
public:
    HudConfigDialog(GamesPage* games, int gameId);
    ~HudConfigDialog() override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) override;

private:
    void RefreshStatus();
    void TakeEdits();
    void Insert(unsigned mask);
    void Remove(unsigned mask);
    void CheckFolders();
    void ChooseLauncher();
    void ChooseFolder();
    void AddTip(int id, const char* text);

    GamesPage* m_games;
    int m_id;
    HWND m_tips;
    HBRUSH m_background;
    COLORREF m_colours[3];
};
