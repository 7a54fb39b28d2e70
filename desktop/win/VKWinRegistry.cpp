#include "VKWinRegistry.h"

#include "VKDesktopPaths.h"
#include "VKRegistryPath.h"

static HKEY RootKey(VKRegistryRoot root) {
    switch (root) {
    case kRootClassesRoot: return HKEY_CLASSES_ROOT;
    case kRootLocalMachine: return HKEY_LOCAL_MACHINE;
    case kRootUsers: return HKEY_USERS;
    case kRootCurrentConfig: return HKEY_CURRENT_CONFIG;
    default: return HKEY_CURRENT_USER;
    }
}

HKEY OpenRegistryPath(const std::string& keyPath, REGSAM access) {
    VKRegistryPath p = RegistryPath(keyPath);
    HKEY key = nullptr;
    if (RegOpenKeyExA(RootKey(p.root), p.path.c_str(), 0, access, &key) != ERROR_SUCCESS) return nullptr;
    return key;
}

// One string value of an open key; false when missing or not a string.
static bool QueryString(HKEY key, const char* name, std::string* text) {
    static const DWORD kMax = 65536;
    std::vector<char> buffer(kMax + 1, 0);
    DWORD type = 0, size = kMax;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    buffer[size < kMax ? size : kMax] = 0;
    text->assign(buffer.data());
    return true;
}

std::string ReadRegistryString(const std::string& keyPath, const std::string& name, const std::string& def) {
    std::string value;
    HKEY key = OpenRegistryPath(keyPath, KEY_READ);
    if (key) {
        bool ok = QueryString(key, name.empty() ? nullptr : name.c_str(), &value);
        RegCloseKey(key);
        return ok ? value : def;
    }
    if (!name.empty()) return def;
    std::string parent, last;
    SplitValuePath(keyPath, &parent, &last);
    key = OpenRegistryPath(parent, KEY_READ);
    if (!key) return def;
    bool ok = QueryString(key, last.c_str(), &value);
    RegCloseKey(key);
    return ok ? value : def;
}

bool WriteRegistryString(const std::string& keyPath, const std::string& name, const std::string& text) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool DeleteRegistryValue(HKEY root, const std::string& keyPath, const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return false;
    LONG rc = RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

static std::string ProfileKey(const char* section) { return std::string(VK_DESKTOP_KEY "\\") + section; }

int ProfileGetInt(const char* section, const char* name, int def) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, ProfileKey(section).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return def;
    DWORD value = 0, type = 0, size = sizeof value;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_DWORD ? static_cast<int>(value) : def;
}

void ProfileSetInt(const char* section, const char* name, int value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, ProfileKey(section).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    DWORD v = static_cast<DWORD>(value);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    RegCloseKey(key);
}

bool ProfileGetBinary(const char* section, const char* name, std::vector<unsigned char>* bytes) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, ProfileKey(section).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = 0;
    bool ok = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_BINARY &&
              size <= 4096;
    if (ok) {
        bytes->resize(size);
        ok = RegQueryValueExA(key, name, nullptr, &type, bytes->data(), &size) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return ok;
}

void ProfileSetBinary(const char* section, const char* name, const void* bytes, DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, ProfileKey(section).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_BINARY, static_cast<const BYTE*>(bytes), size);
    RegCloseKey(key);
}

std::string CVKRegistryFolders::ReadFolder(const std::string& registryPath) {
    std::string value;
    HKEY key = OpenRegistryPath(registryPath, KEY_READ);
    if (key) {
        if (!QueryString(key, nullptr, &value)) value.clear();
        RegCloseKey(key);
    } else {
        std::string parent, name;
        SplitValuePath(registryPath, &parent, &name);
        key = OpenRegistryPath(parent, KEY_READ);
        if (key) {
            if (!QueryString(key, name.c_str(), &value)) value.clear();
            RegCloseKey(key);
        }
    }
    return Backslashes(value);
}
