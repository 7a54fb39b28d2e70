// DllPlacer.exe: the elevated helper of the desktop program.
//   -insertdlls MASK FOLDER   copy the HUD libraries of MASK into FOLDER
//   -removedlls MASK FOLDER   delete them again
//   -desktopstartup 1|0       start the desktop program with Windows, or not
// FOLDER is the rest of the command line, spaces kept. Only an existing
// directory outside the system folders is accepted. Exit code 0 on success,
// 1 when the work failed, 2 for a refused command line.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "CVKHudInstaller.h"
#include "CVKWinFileSystem.h"
#include "DllPlacerArgs.h"
#include "VKDesktopPaths.h"
#include "VKLog.h"

static std::string ModuleFolder() {
    char path[MAX_PATH * 2] = {0};
    GetModuleFileNameA(nullptr, path, sizeof path - 1);
    return FolderOf(path);
}

static std::string FullPath(const std::string& path) {
    char full[MAX_PATH * 2] = {0};
    DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full) return std::string();
    std::string result = full;
    while (result.size() > 3 && result.back() == '\\') result.pop_back();
    return result;
}

// True when path is folder or lies below it (ignoring case).
static bool Inside(const std::string& path, const std::string& folder) {
    if (folder.empty()) return false;
    std::string f = folder;
    while (f.size() > 3 && f.back() == '\\') f.pop_back();
    if (path.size() < f.size() || !SameTextNoCase(path.substr(0, f.size()), f)) return false;
    return path.size() == f.size() || path[f.size()] == '\\' || f.back() == '\\';
}

static bool AllowedFolder(const std::string& folder, std::string* full) {
    *full = FullPath(folder);
    if (full->empty()) return false;
    DWORD a = GetFileAttributesA(full->c_str());
    if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) return false;
    char windows[MAX_PATH] = {0}, system[MAX_PATH] = {0};
    GetWindowsDirectoryA(windows, MAX_PATH);
    GetSystemDirectoryA(system, MAX_PATH);
    if (Inside(*full, FullPath(windows)) || Inside(*full, FullPath(system))) return false;
    // Never our own folder: its files are the copies we place.
    return !Inside(*full, FullPath(ModuleFolder())) && !Inside(FullPath(ModuleFolder()), *full);
}

static int DesktopStartup(bool on) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 1;
    LONG rc;
    if (on) {
        std::string value = "\"" + ModuleFolder() + "\\OrvaloHUDDesktop.exe\" -startup";
        rc = RegSetValueExA(key, "OrvaloHUDDesktop", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
    } else {
        rc = RegDeleteValueA(key, "OrvaloHUDDesktop");
        if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? 0 : 1;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    DllPlacerArgs args;
    if (!ParseDllPlacerArgs(GetCommandLineA(), &args)) {
        LogMessage("DllPlacer: Refused the command line\r\n");
        return 2;
    }
    if (args.command == DllPlacerArgs::kStartup) return DesktopStartup(args.startupOn);
    std::string folder;
    if (!AllowedFolder(args.folder, &folder)) {
        LogMessage("DllPlacer: Refused the folder %s\r\n", args.folder.c_str());
        return 2;
    }
    CVKWinFileSystem fs;
    CVKHudInstaller hud(&fs, ModuleFolder());
    std::string messages;
    int ok = args.command == DllPlacerArgs::kInsert ? hud.Insert(folder, args.mask, &messages)
                                                    : hud.Remove(folder, args.mask, &messages);
    if (!messages.empty()) LogMessage("DllPlacer: %s\r\n", messages.c_str());
    return ok ? 0 : 1;
}
