#include "HudConfigDialog.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include "CVKHudInstaller.h"
#include "CVKWinFileSystem.h"
#include "GamesPage.h"
#include "VKDesktopPaths.h"
#include "VKDesktopShell.h"
#include "VKSettings.h"
#include "VKVersionText.h"
#include "VKWinRegistry.h"
#include "resource.h"

namespace {
const COLORREF kGreen = RGB(0, 128, 0), kDarkRed = RGB(128, 0, 0);
const int kStatusIds[3] = {IDC_HC_DX9_STATUS, IDC_HC_DX8_STATUS, IDC_HC_DI_STATUS};
}  // namespace

HudConfigDialog::HudConfigDialog(GamesPage* games, int gameId)
    : CVKDialog(IDD_HUDCONFIG),
      m_games(games),
      m_id(gameId),
      m_tips(nullptr),
      m_background(nullptr),
      m_colours{kDarkRed, kDarkRed, kDarkRed} {}

HudConfigDialog::~HudConfigDialog() { Destroy(); }

void HudConfigDialog::AddTip(int id, const char* text) {
    TOOLINFOA info = {};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = m_hwnd;
    info.uId = reinterpret_cast<UINT_PTR>(Item(id));
    info.lpszText = const_cast<char*>(text);
    SendMessageA(m_tips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}

BOOL HudConfigDialog::OnInitDialog() {
    VKGame g;
    m_games->Store().Get(m_id, &g);
    SetWindowTextA(m_hwnd, (g.title + " - HUD Config").c_str());
    SetText(IDC_HC_LAUNCHER, g.launcher);
    SetText(IDC_HC_BINFOLDER, g.binFolder);
    m_tips =
        CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr, GetModuleHandleA(nullptr), nullptr);
    AddTip(IDC_HC_LAUNCHER, "The launcher app is the program that starts/launches the game");
    AddTip(IDC_HC_BINFOLDER, "The binaries folder specifies where the HUD DLLs will be stored");
    AddTip(IDC_HC_CHECK, "Check if folders appear to be ok");
    AddTip(IDC_HC_INSERT_ALL, "Appropriate for most games)");
    AddTip(IDC_HC_REMOVE_ALL, "Use if you are experiencing problems with your game after adding the HUD");
    AddTip(IDC_HC_DX9_INSERT, "Use to add only DirectX 9 DLLs");
    AddTip(IDC_HC_DX8_INSERT, "Use to add only DirectX 8 DLLs");
    AddTip(IDC_HC_DI_INSERT, "Try it if the keyboard or mouse doesn't work well with the HUD");
    AddTip(IDC_HC_DX9_REMOVE, "Use to remove DirectX 9 DLLs");
    AddTip(IDC_HC_DX8_REMOVE, "Use to remove DirectX 8 DLLs");
    AddTip(IDC_HC_DI_REMOVE, "Try it if the keyboard or mouse doesn't work well with the game");
    SendMessageA(m_tips, TTM_ACTIVATE, TRUE, 0);

    RefreshStatus();
    std::string dx = ReadRegistryString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\DirectX", "Version", "");
    if (dx.size() > 256) dx.resize(256);
    if (DirectXNeedsUpgrade(dx))
        SetText(IDC_HC_STATUS, "You don't have DirectX 9.0c.Please upgrade to DirectX 9.0c before continuing!");
    return TRUE;
}

void HudConfigDialog::RefreshStatus() {
    CVKWaitCursor wait;
    CVKWinFileSystem fs;
    CVKHudInstaller hud(&fs, ProgramFolder());
    bool inserted = false;
    std::string messages;
    unsigned status = hud.HudStatus(GetText(IDC_HC_BINFOLDER), &inserted, &messages);
    if (!messages.empty()) MessageBoxText(messages, MB_ICONEXCLAMATION);
    const unsigned rows[3] = {0x7020, 0x7010, 0x0100};
    const int inserts[3] = {IDC_HC_DX9_INSERT, IDC_HC_DX8_INSERT, IDC_HC_DI_INSERT};
    const int removes[3] = {IDC_HC_DX9_REMOVE, IDC_HC_DX8_REMOVE, IDC_HC_DI_REMOVE};
    for (int i = 0; i < 3; ++i) {
        bool on = (status & rows[i]) == rows[i];
        SetText(kStatusIds[i], on ? "Inserted" : "Not inserted");
        m_colours[i] = on ? kGreen : kDarkRed;
        Enable(inserts[i], !on);
        Enable(removes[i], on);
        InvalidateRect(Item(kStatusIds[i]), nullptr, TRUE);
    }
    Enable(IDC_HC_BINFOLDER, !inserted);
    Enable(IDC_HC_BINFOLDER_BROWSE, !inserted);
    Enable(IDC_HC_INSERT_ALL, !inserted);
    Enable(IDC_HC_REMOVE_ALL, inserted);
}

void HudConfigDialog::TakeEdits() {
    std::string launcher = GetText(IDC_HC_LAUNCHER), bin = GetText(IDC_HC_BINFOLDER);
    VKGame g;
    if (!m_games->Store().Get(m_id, &g)) return;
    if (!SameTextNoCase(launcher, g.launcher) || !SameTextNoCase(bin, g.binFolder)) {
        m_games->Store().SetFolders(m_id, launcher, bin);
    }
    m_games->LoadList();
    RefreshStatus();
}

void HudConfigDialog::Insert(unsigned mask) {
    CVKWaitCursor wait;
    std::string bin = GetText(IDC_HC_BINFOLDER);
    CVKWinFileSystem fs;
    CVKHudInstaller hud(&fs, ProgramFolder());
    if (bin.empty() || !fs.IsDirectory(bin)) {
        MessageBoxText("Please specify a binaries folder!", MB_ICONEXCLAMATION);
        return;
    }
    std::string messages;
    if (IsWindowsVistaOrLater()) {
        if (!RunDllPlacer(m_hwnd, "-insertdlls " + std::to_string(mask) + " " + bin)) return;
    } else if (!hud.Insert(bin, mask, &messages)) {
        MessageBoxText(messages, MB_ICONEXCLAMATION);
        if (messages.find("Try to 'Remove All' first.") != std::string::npos) return;
    }
    WriteRegistryString(VK_GAMEBINFOLDERS_KEY, std::to_string(m_id), bin);
    TakeEdits();
}

void HudConfigDialog::Remove(unsigned mask) {
    CVKWaitCursor wait;
    std::string bin = GetText(IDC_HC_BINFOLDER);
    CVKWinFileSystem fs;
    if (bin.empty() || !fs.IsDirectory(bin)) {
        MessageBoxText("Please specify a binaries folder!", MB_ICONEXCLAMATION);
        return;
    }
    if (IsWindowsVistaOrLater()) {
        RunDllPlacer(m_hwnd, "-removedlls " + std::to_string(mask) + " " + bin);
    } else {
        CVKHudInstaller hud(&fs, ProgramFolder());
        std::string messages;
        hud.Remove(bin, mask, &messages);
        if (!messages.empty()) MessageBoxText(messages, MB_ICONEXCLAMATION);
    }
    // A library still there after its removal is either in use (our copy)
    // or the game's own, which is never deleted: say which.
    CVKHudInstaller hud(&fs, ProgramFolder());
    std::string source = hud.SourceFolder(bin);
    for (const char* name : {"d3d8.dll", "d3d9.dll", "dinput8.dll"}) {
        unsigned bit = name[3] == '8' ? 0x10u : name[3] == '9' ? 0x20u : 0x100u;
        std::string placed = JoinPath(bin, name, &fs);
        if (!IsWindowsVistaOrLater() || !(mask & bit) || !fs.Exists(placed)) continue;
        if (fs.SameFile(source + "\\" + name, placed))
            MessageBoxText("Failed to delete file: " + placed + "\nIs the game still running?", MB_ICONEXCLAMATION);
        else
            MessageBoxText(placed + " was not placed by Orvalo HUD: it belongs to the game and was kept.",
                           MB_ICONINFORMATION);
    }
    TakeEdits();
}

void HudConfigDialog::CheckFolders() {
    std::string launcher = GetText(IDC_HC_LAUNCHER), bin = GetText(IDC_HC_BINFOLDER);
    CVKWinFileSystem fs;
    if (launcher.empty()) {
        MessageBoxText("Please specify the launcher application!", MB_ICONEXCLAMATION);
    } else if (bin.empty()) {
        MessageBoxText("Please specify the binaries folder!", MB_ICONEXCLAMATION);
    } else if (!fs.IsDirectory(bin)) {
        MessageBoxText("Could not find binaries the folder!", MB_ICONEXCLAMATION);
    } else {
        std::string folder = bin;
        if (folder.back() == '\\') folder.pop_back();
        std::vector<VKDirEntry> exes, dlls;
        fs.List(folder + "\\*.exe", &exes);
        fs.List(folder + "\\*.dll", &dlls);
        if (exes.empty() && dlls.empty())
            MessageBoxText(
                "The specified Binaries Folder doesn't contain any EXE or DLL files.\nPlease specify the "
                "folder where the executable files of\nthe game can be found.",
                MB_ICONEXCLAMATION);
        else
            MessageBoxText("The folders appear to be ok!", MB_ICONINFORMATION);
    }
}

void HudConfigDialog::ChooseLauncher() {
    char file[MAX_PATH] = {0};
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hwnd;
    ofn.lpstrFilter = "Executable Files (*.exe;*.bat)\0*.exe;*.bat\0All Files (*.*)\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = "exe";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&ofn)) return;
    SetText(IDC_HC_LAUNCHER, file);
    if (GetText(IDC_HC_BINFOLDER).empty()) SetText(IDC_HC_BINFOLDER, FolderOf(file));
}

void HudConfigDialog::ChooseFolder() {
    char path[MAX_PATH] = {0};
    BROWSEINFOA bi = {};
    bi.hwndOwner = m_hwnd;
    bi.pszDisplayName = path;
    bi.lpszTitle = "Binaries Folder";
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST item = SHBrowseForFolderA(&bi);
    if (!item) return;
    if (SHGetPathFromIDListA(item, path)) SetText(IDC_HC_BINFOLDER, path);
    CoTaskMemFree(item);
}

bool HudConfigDialog::OnCommand(int id, int code, HWND control) {
    if (code != BN_CLICKED) return false;
    switch (id) {
    case IDC_HC_INSERT_ALL: Insert(0xFFFF); return true;
    case IDC_HC_DX9_INSERT: Insert(0xF021); return true;
    case IDC_HC_DX8_INSERT: Insert(0xF011); return true;
    case IDC_HC_DI_INSERT: Insert(0x0101); return true;
    case IDC_HC_REMOVE_ALL: Remove(0xFFFF); return true;
    case IDC_HC_DX9_REMOVE: Remove(0x0020); return true;
    case IDC_HC_DX8_REMOVE: Remove(0x0010); return true;
    case IDC_HC_DI_REMOVE: Remove(0x0100); return true;
    case IDC_HC_CHECK: CheckFolders(); return true;
    case IDC_HC_LAUNCHER_BROWSE: ChooseLauncher(); return true;
    case IDC_HC_BINFOLDER_BROWSE: ChooseFolder(); return true;
    case IDC_HC_HELP: OpenWebPage(m_hwnd, "/faq.php#hudpadd", true); return true;
    default: return false;
    }
}

void HudConfigDialog::OnOK() {
    TakeEdits();
    End(IDOK);
}

INT_PTR HudConfigDialog::OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) {
    if (msg == WM_CTLCOLORSTATIC) {
        HWND control = reinterpret_cast<HWND>(lp);
        for (int i = 0; i < 3; ++i)
            if (control == Item(kStatusIds[i])) {
                HDC dc = reinterpret_cast<HDC>(wp);
                SetTextColor(dc, m_colours[i]);
                SetBkMode(dc, TRANSPARENT);
                *handled = true;
                return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
            }
    }
    return 0;
}
