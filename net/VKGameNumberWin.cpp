#include <windows.h>

#include "VKGameNumber.h"
#include "VKSettings.h"

VKGameFolderList VKReadGameFolders() {
    VKGameFolderList entries;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, VK_GAMEBINFOLDERS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return entries;
    std::string name(256, '\0'), data(kVKSettingMax, '\0');
    // A key of any size is read in bounded steps: at most this many values.
    for (DWORD index = 0; index < 10000; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataLength = static_cast<DWORD>(data.size() - 1);
        DWORD type = 0;
        LONG r = RegEnumValueA(key, index, &name[0], &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                               &dataLength);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS || type != REG_SZ) continue;  // too long, or not text
        if (dataLength > data.size() - 1) dataLength = static_cast<DWORD>(data.size() - 1);
        std::string folder(data.data(), dataLength);
        folder.resize(strnlen(folder.c_str(), folder.size()));  // the stored terminator, if any
        entries.emplace_back(std::string(name.data(), nameLength), folder);
    }
    RegCloseKey(key);
    return entries;
}

CVKString VKModuleFolder(void* module) {
    char path[MAX_PATH + 1] = {0};
    DWORD n = GetModuleFileNameA(static_cast<HMODULE>(module), path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return CVKString("");
    char* slash = strrchr(path, '\\');
    if (slash) *slash = 0;
    return CVKString(path);
}

CVKString VKGameNumberForFolder(const char* folder) { return VKMatchGameFolder(folder, VKReadGameFolders()); }

CVKString VKGameNumberOfThisLibrary() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&VKGameNumberOfThisLibrary), &module))
        module = nullptr;
    return VKGameNumberForFolder(VKModuleFolder(module).Str());
}
