#include "GamesPage.h"

#include <commctrl.h>
#include <ctime>

#include "AddGameDialog.h"
#include "CVKCatalogue.h"
#include "CVKGameDetector.h"
#include "CVKHudInstaller.h"
#include "CVKInternet.h"
#include "HudConfigDialog.h"
#include "MainWindow.h"
#include "VKDesktopPaths.h"
#include "VKDesktopShell.h"
#include "VKJpegBitmap.h"
#include "VKLog.h"
#include "VKNetEndpoints.h"
#include "VKSettings.h"
#include "VKUrlText.h"
#include "VKWinRegistry.h"
#include "resource.h"

namespace {
const int kBoxWidth = 96, kBoxHeight = 136;
const int kDetailsWidth = 230;
}  // namespace

GamesPage::GamesPage(MainWindow* main)
    : DesktopPage(IDD_GAMES, main), m_store(&m_fs, GamesFolder()), m_images(nullptr), m_defaultBox(nullptr) {}

GamesPage::~GamesPage() {
    if (m_images) ImageList_Destroy(m_images);
    if (m_defaultBox) DeleteObject(m_defaultBox);
}

std::string GamesPage::GamesFolder() {
    std::string data = VKGetSetting("dataFolder", "C:\\Orvalo " VK_VERSION "\\").Str();
    std::string folder = JoinPath(data, "Games", nullptr);
    CreateDirectoryA(data.c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

BOOL GamesPage::OnInitDialog() {
    HWND list = Item(IDC_GAMELIST);
    m_images = ImageList_Create(kBoxWidth, kBoxHeight, ILC_COLOR24, 8, 8);
    ListView_SetImageList(list, m_images, LVSIL_NORMAL);
    // Sub-items 1..13 hold the record's fields and the HUD flag.
    for (int i = 0; i < 14; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_WIDTH;
        column.cx = 80;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    m_defaultBox = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_DEFAULTBOX),
                                                   IMAGE_BITMAP, kBoxWidth, kBoxHeight, 0));
    LoadList();
    return TRUE;
}

void GamesPage::Layout() {
    RECT client;
    GetClientRect(m_hwnd, &client);
    int listWidth = client.right > kDetailsWidth ? client.right - kDetailsWidth : client.right;
    SetWindowPos(Item(IDC_GAMELIST), nullptr, 0, 0, listWidth, client.bottom, SWP_NOZORDER);
    SetWindowPos(Item(IDC_GAMEDETAILS), nullptr, listWidth, 0, client.right - listWidth, client.bottom, SWP_NOZORDER);
    InvalidateRect(Item(IDC_GAMEDETAILS), nullptr, TRUE);
}

// The box picture scaled to the list's icon size, or the default picture.
HBITMAP GamesPage::BoxBitmap(const VKGame& g) {
    if (!IsSafeNameComponent(g.platform) || !IsSafeNameComponent(g.genre) || !IsSafeNameComponent(g.shortName))
        return nullptr;
    std::string bytes;
    if (!m_fs.ReadFile(JoinPath(m_store.Folder(), BoxPictureFile(g.platform, g.genre, g.shortName), nullptr),
                       8u * 1024u * 1024u, &bytes))
        return nullptr;
    return JpegToBitmap(bytes, kBoxWidth, kBoxHeight);
}

void GamesPage::LoadList() {
    HWND list = Item(IDC_GAMELIST);
    if (!list) return;
    m_store.Load();
    ListView_DeleteAllItems(list);
    ImageList_RemoveAll(m_images);
    int defaultImage = m_defaultBox ? ImageList_Add(m_images, m_defaultBox, nullptr) : -1;
    CVKHudInstaller hud(&m_fs, ProgramFolder());
    int row = 0;
    for (int id : m_store.Ids()) {
        VKGame g;
        if (!m_store.Get(id, &g)) continue;
        int image = defaultImage;
        if (HBITMAP box = BoxBitmap(g)) {
            image = ImageList_Add(m_images, box, nullptr);
            DeleteObject(box);
        }
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = row;
        item.pszText = const_cast<char*>(g.title.c_str());
        item.iImage = image;
        item.lParam = id;
        int index = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        bool inserted = false;
        std::string messages;
        hud.HudStatus(g.binFolder, &inserted, &messages);
        if (!messages.empty()) MessageBoxText(messages, MB_ICONEXCLAMATION);
        const std::string fields[13] = {std::to_string(id),  g.shortName, g.platform,  g.genre,
                                        g.releaseDate,       g.rating,    g.title,     g.publisher,
                                        g.developer,         g.launcher,  g.binFolder, g.renderer,
                                        inserted ? "1" : "0"};
        for (int s = 0; s < 13; ++s) {
            LVITEMA sub = {};
            sub.iSubItem = s + 1;
            sub.pszText = const_cast<char*>(fields[s].c_str());
            SendMessageA(list, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&sub));
        }
        ++row;
    }
    InvalidateRect(Item(IDC_GAMEDETAILS), nullptr, TRUE);
}

int GamesPage::SelectedId(bool firstWhenNone) {
    HWND list = Item(IDC_GAMELIST);
    int index = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    if (index < 0 && firstWhenNone && ListView_GetItemCount(list) > 0) index = 0;
    if (index < 0) return 0;
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return static_cast<int>(item.lParam);
}

bool GamesPage::Fetch(const std::string& address, std::string* body, int* status) {
    CVKInternet* net = new CVKInternet();
    net->Open(address);
    bool ok = net->Failed() == 0;
    if (ok) *body = net->Data();
    if (status) *status = net->StatusCode();
    net->Release();
    return ok;
}

void GamesPage::ConnectFailed() { MessageBoxText("Failed to connect to " + WebServerAddress(), MB_ICONEXCLAMATION); }

int GamesPage::RegisterGame(const VKGame& game) {
    m_store.Load();
    if (m_store.FindSame(game.shortName, game.platform, game.genre)) return 0;
    CVKWaitCursor wait;
    std::string body;
    int status = 0;
    if (!Fetch(WebServerAddress() + BoxPicturePath(game.platform, game.genre, game.shortName), &body, &status)) {
        ConnectFailed();
        return 0;
    }
    // The picture's file name is made of the service's words: only plain
    // names make a path.
    if (status == 200 && IsSafeNameComponent(game.platform) && IsSafeNameComponent(game.genre) &&
        IsSafeNameComponent(game.shortName))
        m_fs.WriteFile(JoinPath(m_store.Folder(), BoxPictureFile(game.platform, game.genre, game.shortName), nullptr),
                       body);
    std::string reply;
    if (!Fetch(std::string(VKDesktopServiceUrl("registergame.php?").Str()) +
                   RegisterGameQuery(game.shortName, game.platform, game.genre, WebUser(), WebPassword(), 0,
                                     game.launcher, game.binFolder),
               &reply)) {
        ConnectFailed();
        return 0;
    }
    int id = atoi(reply.c_str());
    if (id <= 0) {
        MessageBoxText("Failed to register game: " + reply, MB_ICONEXCLAMATION);
        return 0;
    }
    VKGame record = game;
    record.id = id;
    record.userRating.clear();
    char date[16];
    time_t now = time(nullptr);
    strftime(date, sizeof date, "%Y-%m-%d", localtime(&now));
    record.registeredDate = date;
    m_store.Add(record);
    return 1;
}

void GamesPage::Refresh() {
    CVKWaitCursor wait;
    std::string body;
    if (!Fetch(VKDesktopServiceUrl("games.zip").Str(), &body)) {
        ConnectFailed();
        return;
    }
    std::string text;
    CVKCatalogue::Result r =
        CVKCatalogue::Unpack(reinterpret_cast<const unsigned char*>(body.data()), body.size(), &text);
    if (r != CVKCatalogue::kOk) {
        LogMessage("GamesPage::Refresh(): Bad catalogue (%d)\r\n", static_cast<int>(r));
        MessageBoxText("Failed to download game list!", MB_ICONEXCLAMATION);
        return;
    }
    // The catalogue is read from memory: no temporary file is needed.
    CVKIniStore catalogue;
    catalogue.Parse(text);
    CVKRegistryFolders folders;
    CVKGameDetector detector(&m_fs, &folders);
    size_t count = catalogue.Sections().size();
    for (size_t i = 0; i < count; ++i) {
        VKDetectedGame d;
        if (!detector.DetectOne(catalogue.Sections()[i], &d)) continue;
        VKGame g;
        g.shortName = d.shortName;
        g.platform = "pc";
        g.genre = d.genre;
        g.releaseDate = d.releaseDate;
        g.rating = d.rating;
        g.title = d.name;
        g.publisher = d.publisher;
        g.developer = d.developer;
        g.launcher = d.launcher;
        g.binFolder = d.binFolder;
        g.renderer = d.renderer;
        RegisterGame(g);
        m_main->SetStatusText("Refreshing games: " + std::to_string(i * 100 / count) + "%");
    }
    m_main->SetStatusText("");
    LoadList();
    if (m_store.Ids().empty()) MessageBoxText("No games detected! :|", MB_ICONINFORMATION);
}

void GamesPage::OpenHudConfig(int id) {
    if (!id) return;
    m_hudConfig.reset();  // one at a time: the previous one closes
    m_hudConfig.reset(new HudConfigDialog(this, id));
    m_hudConfig->Create(nullptr);
    ShowWindow(m_hudConfig->Handle(), SW_SHOW);
}

void GamesPage::Launch(int id) {
    VKGame g;
    if (!id || !m_store.Get(id, &g)) return;
    std::string launcher = Backslashes(g.launcher);
    if (launcher.empty() || !m_fs.Exists(launcher) || m_fs.IsDirectory(launcher)) {
        MessageBoxText("No launcer is associated with the game!\n\nPlease associate a launcher with the game!",
                       MB_ICONINFORMATION);
        OpenHudConfig(id);
        return;
    }
    CVKHudInstaller hud(&m_fs, ProgramFolder());
    bool inserted = false;
    std::string messages;
    hud.HudStatus(g.binFolder, &inserted, &messages);
    if (!inserted) {
        int answer =
            MessageBoxText("No HUD is configured for the game!\n\nDo you wish to configure the HUD for the game?",
                           MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDYES) {
            OpenHudConfig(id);
            return;
        }
        if (answer == IDCANCEL) return;
    }
    std::string folder = FolderOf(launcher);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    // The application name is given and the command line is only the quoted
    // program path: nothing from the record becomes an argument.
    std::string command = "\"" + launcher + "\"";
    bool started = false;
    if (SameTextNoCase(launcher.size() >= 4 ? launcher.substr(launcher.size() - 4) : "", ".bat")) {
        // A batch launcher runs through the command interpreter.
        char system[MAX_PATH];
        GetSystemDirectoryA(system, MAX_PATH);
        std::string cmd = std::string(system) + "\\cmd.exe";
        std::string line = "cmd.exe /c \"" + launcher + "\"";
        started = CreateProcessA(cmd.c_str(), &line[0], nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                                 folder.empty() ? nullptr : folder.c_str(), &si, &pi) != FALSE;
    } else {
        started = CreateProcessA(launcher.c_str(), &command[0], nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                                 folder.empty() ? nullptr : folder.c_str(), &si, &pi) != FALSE;
    }
    if (!started) {
        MessageBoxText("Failed to launch game!", MB_ICONINFORMATION);
        OpenHudConfig(id);
        return;
    }
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

void GamesPage::Delete(int id) {
    VKGame g;
    if (!id || !m_store.Get(id, &g)) return;
    CVKHudInstaller hud(&m_fs, ProgramFolder());
    bool inserted = false;
    std::string messages;
    hud.HudStatus(g.binFolder, &inserted, &messages);
    if (inserted) {
        MessageBoxText("You must remove all HUD DLLs before you can delete the game!", MB_ICONEXCLAMATION);
        OpenHudConfig(id);
        return;
    }
    if (MessageBoxText("Are you sure you want to delete this game?", MB_YESNOCANCEL | MB_ICONQUESTION) != IDYES) return;
    m_store.Remove(id);
    LoadList();
    std::string reply;
    if (!Fetch(std::string(VKDesktopServiceUrl("registergame.php?").Str()) +
                   RegisterGameQuery(g.shortName, g.platform, g.genre, WebUser(), WebPassword(), 1, g.launcher,
                                     g.binFolder),
               &reply))
        ConnectFailed();
}

bool GamesPage::HandleCommand(int id) {
    switch (id) {
    case ID_VIEW_REFRESH:
        if (!Visible()) return false;
        Refresh();
        return true;
    case ID_GAMES_ADD: {
        AddGameDialog add(this);
        add.DoModal(GetParent(m_hwnd));
        return true;
    }
    case ID_GAMES_HUD: OpenHudConfig(SelectedId(true)); return true;
    case ID_GAMES_PLAY: Launch(SelectedId(true)); return true;
    case ID_GAMES_VIDEOS: {
        VKGame g;
        if (m_store.Get(SelectedId(true), &g)) OpenWebPage(m_hwnd, "/games.php?search=" + PercentEncode(g.title), true);
        return true;
    }
    case ID_GAMES_REMOVE: Delete(SelectedId(false)); return true;
    default: return false;
    }
}

void GamesPage::DrawDetails(DRAWITEMSTRUCT* item) {
    HDC dc = item->hDC;
    RECT r = item->rcItem;
    VKGame g;
    int id = SelectedId(true);
    bool any = id && m_store.Get(id, &g);
    HBRUSH background = CreateSolidBrush(any ? RGB(205, 246, 255) : RGB(255, 255, 255));
    FillRect(dc, &r, background);
    DeleteObject(background);
    SetBkMode(dc, TRANSPARENT);
    if (!any) {
        HFONT big = CreateFontA(-24, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
        HGDIOBJ old = SelectObject(dc, big);
        SetTextColor(dc, RGB(128, 128, 128));
        RECT text = r;
        DrawTextA(dc, "Click 'Refresh' on the toolbar to detect games", -1, &text,
                  DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, old);
        DeleteObject(big);
        return;
    }
    HFONT font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
    HGDIOBJ old = SelectObject(dc, font);
    RECT text = r;
    InflateRect(&text, -6, -6);
    auto line = [&](const std::string& s, COLORREF colour) {
        SetTextColor(dc, colour);
        RECT measure = text;
        int h = DrawTextA(dc, s.c_str(), -1, &measure, DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
        DrawTextA(dc, s.c_str(), -1, &text, DT_WORDBREAK | DT_NOPREFIX);
        text.top += h + 2;
    };
    line(g.title, RGB(0, 0, 0));
    line("Released: " + g.releaseDate, RGB(0, 0, 0));
    line("Genre: " + g.genre, RGB(0, 0, 0));
    line("Rating: " + g.rating, RGB(0, 0, 0));
    line("Publisher: " + g.publisher, RGB(0, 0, 0));
    line("Developer: " + g.developer, RGB(0, 0, 0));
    line("Renderer: " + g.renderer, RGB(0, 0, 0));
    CVKHudInstaller hud(&m_fs, ProgramFolder());
    bool inserted = false;
    std::string messages;
    hud.HudStatus(g.binFolder, &inserted, &messages);
    line(inserted ? "Orvalo HUD Active" : "Orvalo HUD Inactive", inserted ? RGB(0, 128, 0) : RGB(128, 0, 0));
    line("DLL folder:\n" + g.binFolder, RGB(0, 0, 0));
    line("Launcher:\n" + g.launcher, RGB(0, 0, 0));
    SelectObject(dc, old);
    DeleteObject(font);
}

INT_PTR GamesPage::OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) {
    switch (msg) {
    case WM_SIZE: Layout(); break;
    case WM_DRAWITEM:
        if (wp == IDC_GAMEDETAILS) {
            DrawDetails(reinterpret_cast<DRAWITEMSTRUCT*>(lp));
            *handled = true;
            return TRUE;
        }
        break;
    case WM_NOTIFY: {
        NMHDR* hdr = reinterpret_cast<NMHDR*>(lp);
        if (hdr->idFrom != IDC_GAMELIST) break;
        if (hdr->code == LVN_ITEMCHANGED) InvalidateRect(Item(IDC_GAMEDETAILS), nullptr, TRUE);
        if (hdr->code == NM_DBLCLK) PostMessageA(GetParent(m_hwnd), WM_COMMAND, ID_GAMES_PLAY, 0);
        if (hdr->code == NM_RCLICK) {
            HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_POPUPS));
            POINT pt;
            GetCursorPos(&pt);
            TrackPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTBUTTON, pt.x, pt.y, 0, GetParent(m_hwnd), nullptr);
            DestroyMenu(menu);
        }
        break;
    }
    case WM_COMMAND: break;
    default: break;
    }
    return 0;
}
