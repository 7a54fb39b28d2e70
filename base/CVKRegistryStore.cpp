#include "CVKRegistryStore.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

bool CVKRegistryStore::ReadInto(const char* key, const char* name, char* buffer, unsigned size) {
    if (!buffer || size < 2) return false;
    HKEY hkey = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE, KEY_READ, nullptr,
                        &hkey, nullptr) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD bytes = size - 1;  // keep room for a terminating zero the value may lack
    LONG rc = RegQueryValueExA(hkey, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    RegCloseKey(hkey);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    if (bytes >= size) bytes = size - 1;
    buffer[bytes] = 0;
    return true;
}

bool CVKRegistryStore::Read(const char* key, const char* name, CVKString* value) {
    char* buffer = static_cast<char*>(malloc(kVKSettingMax));
    if (!buffer) return false;
    bool ok = ReadInto(key, name, buffer, kVKSettingMax);
    if (ok) value->Set(buffer);
    free(buffer);
    return ok;
}

bool CVKRegistryStore::Write(const char* key, const char* name, const char* value) {
    HKEY hkey = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        &hkey, nullptr) != ERROR_SUCCESS)
        return false;
    const char* text = value ? value : "";
    LONG rc = RegSetValueExA(hkey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                             static_cast<DWORD>(strlen(text) + 1));
    RegCloseKey(hkey);
    return rc == ERROR_SUCCESS;
}

IVKSettingsStore* VKDefaultSettingsStore() {
    static CVKRegistryStore registry;
    return &registry;
}
