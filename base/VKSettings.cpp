#include "VKSettings.h"

#include <cstdlib>

IVKSettingsStore* VKDefaultSettingsStore();  // registry on Windows, none natively

static IVKSettingsStore* g_store = nullptr;
static bool g_storeSet = false;

IVKSettingsStore* VKSettingsStore() { return g_storeSet ? g_store : VKDefaultSettingsStore(); }

IVKSettingsStore* VKSetSettingsStore(IVKSettingsStore* store) {
    IVKSettingsStore* previous = VKSettingsStore();
    g_store = store;
    g_storeSet = store != nullptr;
    return previous;
}

CVKString VKGetSetting(const char* name, const char* def) {
    CVKString value;
    IVKSettingsStore* store = VKSettingsStore();
    if (store && store->Read(VK_SETTINGS_KEY, name, &value)) return value;
    return CVKString(def);
}

int VKGetSettingInt(const char* name, const char* def) { return atoi(VKGetSetting(name, def).Str()); }

bool VKSetSetting(const char* name, const char* value) {
    IVKSettingsStore* store = VKSettingsStore();
    return store && store->Write(VK_SETTINGS_KEY, name, value);
}

#ifndef _WIN32
IVKSettingsStore* VKDefaultSettingsStore() { return nullptr; }
#endif
