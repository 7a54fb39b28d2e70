#include "CVKIniStore.h"

#include "VKDesktopPaths.h"

static std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return std::string();
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

void CVKIniStore::Parse(const std::string& text) {
    m_sections.clear();
    Section* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        std::string line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            std::string name = Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            current = FindMutable(name);
            if (!current) {
                m_sections.push_back(Section{name, Keys()});
                current = &m_sections.back();
            }
            continue;
        }
        size_t eq = line.find('=');
        if (!current || eq == std::string::npos) continue;
        std::string key = Trim(line.substr(0, eq));
        std::string value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        bool replaced = false;
        for (auto& kv : current->keys)
            if (SameTextNoCase(kv.first, key)) {
                kv.second = value;
                replaced = true;
                break;
            }
        if (!replaced) current->keys.push_back(std::make_pair(key, value));
    }
}

std::string CVKIniStore::Text() const {
    std::string out;
    for (const Section& s : m_sections) {
        out += "[" + s.name + "]\r\n";
        for (const auto& kv : s.keys) out += kv.first + "=" + kv.second + "\r\n";
    }
    return out;
}

const CVKIniStore::Section* CVKIniStore::Find(const std::string& section) const {
    for (const Section& s : m_sections)
        if (SameTextNoCase(s.name, section)) return &s;
    return nullptr;
}

CVKIniStore::Section* CVKIniStore::FindMutable(const std::string& section) {
    for (Section& s : m_sections)
        if (SameTextNoCase(s.name, section)) return &s;
    return nullptr;
}

std::string CVKIniStore::Get(const Section& section, const std::string& key, const std::string& def) {
    for (const auto& kv : section.keys)
        if (SameTextNoCase(kv.first, key)) return kv.second;
    return def;
}

std::string CVKIniStore::Get(const std::string& section, const std::string& key, const std::string& def) const {
    const Section* s = Find(section);
    return s ? Get(*s, key, def) : def;
}

void CVKIniStore::Set(const std::string& section, const std::string& key, const std::string& value) {
    std::string clean = value;
    for (char& c : clean)
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    std::string name = Trim(section);
    for (char& c : name)
        if (c == '\r' || c == '\n' || c == ']' || c == '[') c = '_';
    Section* s = FindMutable(name);
    if (!s) {
        m_sections.push_back(Section{name, Keys()});
        s = &m_sections.back();
    }
    for (auto& kv : s->keys)
        if (SameTextNoCase(kv.first, key)) {
            kv.second = clean;
            return;
        }
    s->keys.push_back(std::make_pair(key, clean));
}

bool CVKIniStore::Remove(const std::string& section) {
    for (size_t i = 0; i < m_sections.size(); ++i)
        if (SameTextNoCase(m_sections[i].name, section)) {
            m_sections.erase(m_sections.begin() + static_cast<long>(i));
            return true;
        }
    return false;
}
