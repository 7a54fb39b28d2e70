#include "OptionsDialog.h"

#include <mmsystem.h>
#include <shlobj.h>

#include "VKDesktopShell.h"
#include "VKSettings.h"
#include "VKWinRegistry.h"
#include "resource.h"

namespace {
enum Kind { kText, kIndex, kFactor };
struct Field {
    const char* name;
    int control;
    Kind kind;
    const char* def;
};
// In the order the values are written back.
const Field kFields[] = {
    {"hotkey", IDC_OP_HOTKEY, kText, "45 = Insert"},
    {"recorderFolder", IDC_OP_RECFOLDER, kText, ""},
    {"logFileName", IDC_OP_LOGFILE, kText, "C:\\vqhud.log"},
    {"dataFolder", IDC_OP_DATAFOLDER, kText, ""},
    {"logFPSReporting", IDC_OP_FPSREPORT, kText, "-1"},
    {"shareImageReduceMethod", IDC_OP_SH_METHOD, kIndex, "0"},
    {"shareThreads", IDC_OP_SH_THREADS, kIndex, "1"},
    {"shareImageReduceFactor", IDC_OP_SH_FACTOR, kFactor, "1"},
    {"shareFPS", IDC_OP_SH_FPS, kText, "4"},
    {"shareAudioBitrate", IDC_OP_SH_ABITRATE, kText, "64000"},
    {"shareVideoBitrate", IDC_OP_SH_VBITRATE, kText, "128000"},
    {"shareVoiceDevice", IDC_OP_SH_VOICE, kIndex, "0"},
    {"recorderImageReduceMethod", IDC_OP_RC_METHOD, kIndex, "1"},
    {"recorderThreads", IDC_OP_RC_THREADS, kIndex, "1"},
    {"recorderImageReduceFactor", IDC_OP_RC_FACTOR, kFactor, "1"},
    {"recorderAudioDevice", IDC_OP_RC_AUDIO, kIndex, "0"},
};

void AddLines(HWND combo, std::initializer_list<const char*> lines) {
    for (const char* l : lines) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(l));
}

bool StartupValuePresent() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, VK_RUN_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    bool present = RegQueryValueExA(key, "OrvaloHUDDesktop", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return present;
}
}  // namespace

OptionsDialog::OptionsDialog() : CVKDialog(IDD_OPTIONS), m_startup(false) {}

void OptionsDialog::Open(HWND owner) {
    if (!m_hwnd)
        Create(owner);
    else
        Load();
    ShowWindow(m_hwnd, SW_SHOW);
    SetForegroundWindow(m_hwnd);
}

BOOL OptionsDialog::OnInitDialog() {
    AddLines(Item(IDC_OP_HOTKEY),
             {"45 = Insert *", "112 = F1", "113 = F2", "114 = F3", "115 = F4", "116 = F5", "117 = F6", "118 = F7",
              "119 = F8", "120 = F9", "121 = F10", "122 = F11", "123 = F12"});
    AddLines(Item(IDC_OP_SH_METHOD), {"0 = Auto (<1280x960) *", "1 = Manual"});
    AddLines(Item(IDC_OP_RC_METHOD), {"0 = Auto (<1280x960)", "1 = Manual *"});
    for (int id : {IDC_OP_SH_THREADS, IDC_OP_RC_THREADS})
        AddLines(Item(id), {"0 = Singlethreaded", "1 = Multithreaded *"});
    for (int id : {IDC_OP_SH_FACTOR, IDC_OP_RC_FACTOR})
        AddLines(Item(id), {"1 = None *", "2 = Half Size", "4 = Quarter Size"});
    for (int id : {IDC_OP_SH_VOICE, IDC_OP_RC_AUDIO}) {
        AddLines(Item(id), {"0 = Default *"});
        UINT devices = waveInGetNumDevs();
        for (UINT d = 0; d < devices && d < 64; ++d) {
            WAVEINCAPSA caps = {};
            if (waveInGetDevCapsA(d, &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
            char line[64];
            snprintf(line, sizeof line, "%u = %s", d + 1, caps.szPname);
            SendMessageA(Item(id), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
        }
    }
    Load();
    return TRUE;
}

void OptionsDialog::Load() {
    for (const Field& f : kFields) {
        std::string value = VKGetSetting(f.name, f.def).Str();
        if (f.kind == kText) {
            SetText(f.control, value);
        } else {
            int v = atoi(value.c_str());
            int index = f.kind == kIndex ? v : v == 1 ? 0 : v == 2 ? 1 : v == 4 ? 2 : -1;
            SendMessageA(Item(f.control), CB_SETCURSEL, index, 0);
        }
    }
    m_startup = StartupValuePresent();
    SetCheck(IDC_OP_STARTUP, m_startup);
}

bool OptionsDialog::OnCommand(int id, int code, HWND control) {
    if (id != IDC_OP_RECFOLDER_BROWSE) return false;
    char path[MAX_PATH] = {0};
    BROWSEINFOA bi = {};
    bi.hwndOwner = m_hwnd;
    bi.pszDisplayName = path;
    bi.lpszTitle = "Target Folder";
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST item = SHBrowseForFolderA(&bi);
    if (item) {
        if (SHGetPathFromIDListA(item, path)) {
            std::string folder = path;
            if (folder.empty() || folder.back() != '\\') folder += "\\";
            SetText(IDC_OP_RECFOLDER, folder);
        }
        CoTaskMemFree(item);
    }
    return true;
}

void OptionsDialog::OnOK() {
    for (const Field& f : kFields) {
        if (f.kind == kText) {
            VKSetSetting(f.name, GetText(f.control).c_str());
            continue;
        }
        int index = static_cast<int>(SendMessageA(Item(f.control), CB_GETCURSEL, 0, 0));
        if (index < 0) continue;  // nothing chosen: the stored value stays
        int value = f.kind == kIndex ? index : (index == 0 ? 1 : index == 1 ? 2 : 4);
        VKSetSetting(f.name, std::to_string(value).c_str());
    }
    bool startup = IsChecked(IDC_OP_STARTUP);
    if (startup != m_startup) {
        if (IsWindowsVistaOrLater()) {
            RunDllPlacer(m_hwnd, startup ? "-desktopstartup 1" : "-desktopstartup 0");
        } else if (startup) {
            HKEY key = nullptr;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, VK_RUN_KEY, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
                std::string value = "\"" + ProgramPath() + "\" -startup";
                RegSetValueExA(key, "OrvaloHUDDesktop", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>(value.size() + 1));
                RegCloseKey(key);
            }
        } else {
            DeleteRegistryValue(HKEY_LOCAL_MACHINE, VK_RUN_KEY, "OrvaloHUDDesktop");
        }
        m_startup = StartupValuePresent();
    }
    ShowWindow(m_hwnd, SW_HIDE);
}

void OptionsDialog::OnCancel() { ShowWindow(m_hwnd, SW_HIDE); }
