#include "PageToolbar.h"

#include <commctrl.h>

#include "resource.h"

namespace {
struct ButtonSpec {
    const char* caption;
    const char* tip;
    int command;
    int icon;
};

const ButtonSpec kButtons[4][5] = {
    {{"Add Game", "Add new game to the list", ID_GAMES_ADD, IDI_TB_ADD},
     {"Config HUD", "Configure the heads-up display of the selected game", ID_GAMES_HUD, IDI_TB_CONFIG},
     {"Play Game", "Play selected game", ID_GAMES_PLAY, IDI_TB_PLAY},
     {"Game Vids", "Show web page with all videos for the selected game", ID_GAMES_VIDEOS, IDI_TB_VIDEOS},
     {nullptr, nullptr, 0, 0}},
    {{"Add Friend", "Add a new friend to the list", ID_FRIENDS_ADD, IDI_TB_ADD},
     {"Chat", "Start a new chat session with the selected friend(s)", ID_FRIENDS_CHAT, IDI_TB_ACCOUNT},
     {"View", "View the HUD of the selected friend", ID_FRIENDS_VIEW, IDI_TB_PLAY},
     {"Send Msg", "Show the web page for sending a message to the selected friend", ID_FRIENDS_SEND, IDI_TB_VIDEOS},
     {"View Profile", "Show the profile web page of the selected friend", ID_FRIENDS_PROFILE, IDI_TB_ACCOUNT}},
    {{"Encode", "Encode the selected video file to Windows Media Format", ID_REC_ENCODE, IDI_TB_CONFIG},
     {"Upload", "Upload the selected video file to Orvalo", ID_REC_UPLOAD, IDI_TB_ADD},
     {"Play", "Play the selected video file", ID_REC_PLAY, IDI_TB_PLAY},
     {nullptr, nullptr, 0, 0},
     {nullptr, nullptr, 0, 0}},
    {{"My Vids", "Show the 'My Videos' web page", ID_UPLOADS_MYVIDEOS, IDI_TB_VIDEOS},
     {nullptr, nullptr, 0, 0},
     {nullptr, nullptr, 0, 0},
     {nullptr, nullptr, 0, 0},
     {nullptr, nullptr, 0, 0}},
};
}  // namespace

PageToolbar::PageToolbar() : CVKDialog(IDD_TOOLBAR), m_tips(nullptr), m_tab(-1), m_commands{} {}

void PageToolbar::SetTip(int id, const char* text) {
    TOOLINFOA info = {};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = m_hwnd;
    info.uId = reinterpret_cast<UINT_PTR>(Item(id));
    info.lpszText = const_cast<char*>(text);
    SendMessageA(m_tips, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&info));
    if (text) SendMessageA(m_tips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}

static void SetIcon(HWND button, int icon) {
    HICON h = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(icon), IMAGE_ICON, 16, 16, 0));
    SendMessageA(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(h));
}

BOOL PageToolbar::OnInitDialog() {
    m_tips =
        CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetIcon(Item(IDC_TB_REFRESH), IDI_TB_REFRESH);
    SetIcon(Item(IDC_TB_ACCOUNT), IDI_TB_ACCOUNT);
    SetTip(IDC_TB_REFRESH, "Refresh list");
    SetTip(IDC_TB_ACCOUNT, "Show the 'My Account' web page");
    SetTab(0);
    return TRUE;
}

void PageToolbar::SetTab(int tab) {
    if (tab < 0 || tab > 3 || tab == m_tab) return;
    m_tab = tab;
    for (int i = 0; i < 5; ++i) {
        const ButtonSpec& b = kButtons[tab][i];
        int id = IDC_TB_BUTTON1 + i;
        m_commands[i] = b.command;
        SetText(id, b.caption ? b.caption : "");
        Show(id, b.caption != nullptr);
        // The uploads tab's unused buttons are disabled as well.
        Enable(id, b.caption != nullptr || tab != 3);
        if (b.caption) SetIcon(Item(id), b.icon);
        SetTip(id, b.tip);
    }
}

bool PageToolbar::OnCommand(int id, int code, HWND control) {
    if (code != BN_CLICKED) return false;
    HWND main = GetParent(m_hwnd);
    if (id == IDC_TB_REFRESH) {
        PostMessageA(main, WM_COMMAND, ID_VIEW_REFRESH, 0);
        return true;
    }
    if (id == IDC_TB_ACCOUNT) {
        PostMessageA(main, WM_COMMAND, ID_VIEW_ACCOUNT, 0);
        return true;
    }
    if (id >= IDC_TB_BUTTON1 && id < IDC_TB_BUTTON1 + 5 && m_commands[id - IDC_TB_BUTTON1]) {
        PostMessageA(main, WM_COMMAND, m_commands[id - IDC_TB_BUTTON1], 0);
        return true;
    }
    return false;
}
