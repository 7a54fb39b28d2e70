#pragma once
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "CVKGameStore.h"
#include "CVKWinFileSystem.h"
#include "DesktopPage.h"

class HudConfigDialog;

// The "My Games" page: the list of the user's games with their box pictures
// and details; refresh (catalogue download and detection), add, HUD
// configuration, launch, game videos and deletion.
class GamesPage : public DesktopPage {
public:
    explicit GamesPage(MainWindow* main);
    ~GamesPage() override;

    bool HandleCommand(int id) override;
    // Rebuilds the list from the local store.
    void LoadList();
    CVKGameStore& Store() { return m_store; }

    // Registers a game with the service and adds it to the local store
    // (nothing when the store has it already). 1 when the game is stored.
    int RegisterGame(const VKGame& game);
    // Downloads the catalogue, detects the games and registers them.
    void Refresh();
    void OpenHudConfig(int id);
    void Launch(int id);
    void Delete(int id);

    // The "Games" folder under the data folder (created when missing).
    static std::string GamesFolder();

protected:
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) override;

private:
    int SelectedId(bool firstWhenNone);
    bool Fetch(const std::string& address, std::string* body, int* status = nullptr);
    void ConnectFailed();
    HBITMAP BoxBitmap(const VKGame& game);
    void DrawDetails(DRAWITEMSTRUCT* item);
    void Layout();

    CVKWinFileSystem m_fs;
    CVKGameStore m_store;
    HIMAGELIST m_images;
    HBITMAP m_defaultBox;
    std::unique_ptr<HudConfigDialog> m_hudConfig;
};
