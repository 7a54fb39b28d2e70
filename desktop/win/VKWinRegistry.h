#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "CVKGameDetector.h"
#include "VKSettings.h"

// The desktop program's registry routines. Every value is a REG_SZ string
// except the application profile's integers and binaries.

#define VK_INSTANCE_KEY "Software\\BRINMOOR\\Brinmoor Player VQ\\Settings"
#define VK_DESKTOP_KEY "Software\\BRINMOOR\\Orvalo HUD Desktop " VK_VERSION
#define VK_JOBENCODE_KEY VK_DESKTOP_KEY "\\JobEncode"
#define VK_RUN_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"

// Reads a string value (at most 65,536 bytes) of a key path that may begin
// with a root name. When the key cannot be opened and no value name is
// given, the path's last component is the value name. def when missing.
std::string ReadRegistryString(const std::string& keyPath, const std::string& name, const std::string& def);
// Creates or opens the key under HKEY_CURRENT_USER and writes a REG_SZ.
bool WriteRegistryString(const std::string& keyPath, const std::string& name, const std::string& text);
bool DeleteRegistryValue(HKEY root, const std::string& keyPath, const std::string& name);
// Opens a key path under its root (HKEY_CURRENT_USER without a root name).
HKEY OpenRegistryPath(const std::string& keyPath, REGSAM access);

// The application profile ("Software\BRINMOOR\Orvalo HUD Desktop 4.0.6.0\<section>").
int ProfileGetInt(const char* section, const char* name, int def);
void ProfileSetInt(const char* section, const char* name, int value);
bool ProfileGetBinary(const char* section, const char* name, std::vector<unsigned char>* bytes);
void ProfileSetBinary(const char* section, const char* name, const void* bytes, DWORD size);

// Folders named by registry paths (the catalogue's LaunchDirKey/DetectDirKey).
class CVKRegistryFolders : public IVKFolderReader {
public:
    std::string ReadFolder(const std::string& registryPath) override;
};
