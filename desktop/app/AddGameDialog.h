#pragma once
#include <vector>

#include "CVKDialog.h"
#include "VKGameSearch.h"

class GamesPage;

// Searches the service's catalogue by title, platform and genre and adds the
// game the user picks.
class AddGameDialog : public CVKDialog {
public:
    explicit AddGameDialog(GamesPage* games);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    void Search();
    void Add();

    GamesPage* m_games;
    std::vector<VKSearchRecord> m_results;
};
