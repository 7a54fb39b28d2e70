#pragma once
#include <map>
#include <string>

#include "VKSettings.h"

// An in-memory settings store for tests: installs itself for its lifetime,
// so code under test reads these values instead of the registry.
class MemorySettings : public IVKSettingsStore {
public:
    MemorySettings() { m_previous = VKSetSettingsStore(this); }
    ~MemorySettings() override { VKSetSettingsStore(m_previous == this ? nullptr : m_previous); }
    void Set(const std::string& name, const std::string& value) { m_values[name] = value; }
    void Erase(const std::string& name) { m_values.erase(name); }
    bool Read(const char* key, const char* name, CVKString* value) override {
        auto it = m_values.find(name);
        if (it == m_values.end()) return false;
        value->Set(it->second.c_str());
        return true;
    }
    bool Write(const char* key, const char* name, const char* value) override {
        m_values[name] = value;
        return true;
    }

private:
    std::map<std::string, std::string> m_values;
    IVKSettingsStore* m_previous;
};
