#include "AddGameDialog.h"

#include "CVKInternet.h"
#include "GamesPage.h"
#include "VKDesktopShell.h"
#include "VKNetEndpoints.h"
#include "VKUrlText.h"
#include "resource.h"

namespace {
const char* const kPlatformText[] = {"PC", "XBOX 360", "XBOX", "PS3", "PS2", "PS"};
const char* const kPlatformWord[] = {"pc", "xbox360", "xbox", "ps3", "ps2", "ps", "gc"};
const char* const kGenreText[] = {"(Any)", "Action", "Adventure", "Driving", "Puzzle",
                                  "RPG",   "SIM",    "Sports",    "Strategy"};
const char* const kGenreWord[] = {"", "action", "adventure", "driving", "puzzle", "rpg", "sim", "sports", "strategy"};
}  // namespace

AddGameDialog::AddGameDialog(GamesPage* games) : CVKDialog(IDD_ADDGAME), m_games(games) {}

BOOL AddGameDialog::OnInitDialog() {
    for (const char* t : kPlatformText)
        SendMessageA(Item(IDC_AG_PLATFORM), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
    for (const char* t : kGenreText) SendMessageA(Item(IDC_AG_GENRE), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
    SendMessageA(Item(IDC_AG_PLATFORM), CB_SETCURSEL, 0, 0);
    SendMessageA(Item(IDC_AG_GENRE), CB_SETCURSEL, 0, 0);
    return TRUE;
}

void AddGameDialog::Search() {
    SendMessageA(Item(IDC_AG_RESULTS), LB_RESETCONTENT, 0, 0);
    m_results.clear();
    int platform = static_cast<int>(SendMessageA(Item(IDC_AG_PLATFORM), CB_GETCURSEL, 0, 0));
    int genre = static_cast<int>(SendMessageA(Item(IDC_AG_GENRE), CB_GETCURSEL, 0, 0));
    if (platform < 0 || platform > 6) platform = 0;
    if (genre < 0 || genre > 8) genre = 0;
    Enable(IDC_AG_SEARCH, false);
    CVKWaitCursor wait;
    CVKInternet* net = new CVKInternet();
    net->Open(std::string(VKDesktopServiceUrl("gamesearch.php?").Str()) +
              GameSearchQuery(GetText(IDC_AG_TITLE), kPlatformWord[platform], kGenreWord[genre]));
    long failed = net->Failed();
    std::string body = net->Data();
    net->Release();
    Enable(IDC_AG_SEARCH, true);
    if (failed) {
        MessageBoxText("Failed to connect to " + WebServerAddress(), MB_ICONEXCLAMATION);
        return;
    }
    if (body.empty()) {
        SetText(IDC_AG_HINT, "Nothing found.");
        return;
    }
    m_results = ParseSearchReply(body);
    for (const VKSearchRecord& r : m_results)
        SendMessageA(Item(IDC_AG_RESULTS), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(SearchRecordLine(r).c_str()));
    SetText(IDC_AG_HINT, "Found " + std::to_string(m_results.size()) +
                             ". Please select your game in the result list below, and choose 'add game' below.");
    SetWindowPos(m_hwnd, nullptr, 0, 0, 575, 470, SWP_NOMOVE | SWP_NOZORDER);
}

void AddGameDialog::Add() {
    int index = static_cast<int>(SendMessageA(Item(IDC_AG_RESULTS), LB_GETCURSEL, 0, 0));
    if (index < 0 || index >= static_cast<int>(m_results.size())) {
        MessageBoxText("Please select a game first", MB_ICONEXCLAMATION);
        return;
    }
    const VKSearchRecord& r = m_results[index];
    VKGame g;
    g.shortName = r.shortName;
    g.platform = r.platform;
    g.genre = r.genre;
    g.releaseDate = r.releaseDate;
    g.rating = r.rating;
    g.title = r.title;
    g.publisher = r.publisher;
    g.developer = r.developer;
    m_games->RegisterGame(g);
    m_games->LoadList();
    SendMessageA(Item(IDC_AG_RESULTS), LB_RESETCONTENT, 0, 0);
    m_results.clear();
    End(IDOK);
}

bool AddGameDialog::OnCommand(int id, int code, HWND control) {
    switch (id) {
    case IDC_AG_SEARCH:
    case IDOK: Search(); return true;
    case IDC_AG_ADD: Add(); return true;
    case IDC_AG_HELP: OpenWebPage(m_hwnd, "/faq.php", true); return true;
    default: return false;
    }
}
