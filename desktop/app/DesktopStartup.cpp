#include "DesktopStartup.h"

#include <windows.h>
#include <shlobj.h>

#include "VKDesktopShell.h"
#include "VKInstance.h"
#include "VKLog.h"
#include "VKSettings.h"
#include "VKWinRegistry.h"

static std::string AppDataFolder(int csidl, const char* failure) {
    char path[MAX_PATH] = {0};
    if (FAILED(SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, path)))
        MessageBoxA(nullptr, failure, "Orvalo HUD Desktop", MB_ICONEXCLAMATION);
    std::string folder = path;
    if (folder.empty() || folder.back() != '\\') folder += "\\";
    folder += "Orvalo " VK_VERSION "\\";
    if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES) CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void CreateFirstRunFolders() {
    CVKString existing;
    if (VKSettingsStore() && VKSettingsStore()->Read(VK_SETTINGS_KEY, "dataFolder", &existing)) return;
    std::string user = AppDataFolder(CSIDL_LOCAL_APPDATA, "Failed to get LOCAL_APPDATA folder!");
    std::string common = AppDataFolder(CSIDL_COMMON_APPDATA, "Failed to get COMMON_APPDATA folder!");
    VKSetSetting("dataFolder", user.c_str());
    VKSetSetting("recorderFolder", common.c_str());
    VKSetSetting("logFileName", (common + "vqhud.log").c_str());
}

bool DesktopStartup(const std::string& commandLine, bool* startedWithStartup) {
    int64_t running = ParseHeartbeat(ReadRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_running", "0"));
    if (OtherInstanceAlive(NowMilliseconds(), running) &&
        ReadRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_version", VK_VERSION) == VK_VERSION) {
        WriteRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_show", "100");
        return false;
    }
    CreateFirstRunFolders();
    WriteRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_version", VK_VERSION);
    if (EncodeJobNeedsReset(ReadRegistryString(VK_JOBENCODE_KEY, "progress", "-1")))
        WriteRegistryString(VK_JOBENCODE_KEY, "progress", "-1");
    *startedWithStartup = HasStartupSwitch(commandLine);
    return true;
}
