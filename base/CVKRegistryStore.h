#pragma once
#include "VKSettings.h"

// Settings store over HKEY_CURRENT_USER. Every read opens the key with
// RegCreateKeyExA (KEY_READ, so a missing key is made), reads one value into
// a 64 KiB buffer and closes the key again.
class CVKRegistryStore : public IVKSettingsStore {
public:
    bool Read(const char* key, const char* name, CVKString* value) override;
    bool Write(const char* key, const char* name, const char* value) override;
    // Reads into a caller's buffer without allocating (used by the log).
    static bool ReadInto(const char* key, const char* name, char* buffer, unsigned size);
};
