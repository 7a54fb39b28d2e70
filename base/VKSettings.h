#pragma once
#include "CVKString.h"

// Settings are REG_SZ strings under HKEY_CURRENT_USER, read at the moment of
// use with a default text when missing; numbers go through atoi. The store
// behind them is the registry in the deliverables; tests put their own in.

#define VK_VERSION "4.0.6.0"
#define VK_SETTINGS_KEY "Software\\BRINMOOR\\Orvalo HUD " VK_VERSION "\\Settings"
#define VK_GAMEBINFOLDERS_KEY "Software\\BRINMOOR\\Orvalo HUD " VK_VERSION "\\GameBinFolders"

// Largest value text a reader takes (the readers use a 64 KiB buffer).
static const unsigned kVKSettingMax = 65536;

class IVKSettingsStore {
public:
    virtual ~IVKSettingsStore() {}
    // Reads a string value of key (under the current user); false when missing.
    virtual bool Read(const char* key, const char* name, CVKString* value) = 0;
    virtual bool Write(const char* key, const char* name, const char* value) = 0;
};

// The store in use; the registry by default on Windows, none natively (every
// read then gives its default) until a test installs one.
IVKSettingsStore* VKSettingsStore();
// Installs a store (null restores the default); returns the previous one.
IVKSettingsStore* VKSetSettingsStore(IVKSettingsStore* store);

// A value of the HUD's settings key, or def when it cannot be read.
CVKString VKGetSetting(const char* name, const char* def);
int VKGetSettingInt(const char* name, const char* def);
bool VKSetSetting(const char* name, const char* value);
