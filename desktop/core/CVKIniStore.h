#pragma once
#include <string>
#include <utility>
#include <vector>

// An INI text held in memory: sections and keys in file order. Used for the
// downloaded catalogue and for the local game store "game.dat". Section and
// key names compare without regard to case, as the system's profile
// routines do.
class CVKIniStore {
public:
    typedef std::vector<std::pair<std::string, std::string> > Keys;
    struct Section {
        std::string name;
        Keys keys;
    };

    void Parse(const std::string& text);
    std::string Text() const;

    const std::vector<Section>& Sections() const { return m_sections; }
    const Section* Find(const std::string& section) const;
    std::string Get(const std::string& section, const std::string& key, const std::string& def = "") const;
    static std::string Get(const Section& section, const std::string& key, const std::string& def = "");
    // Adds or replaces a value; line breaks in the value become spaces, so a
    // value can never start a line of its own (a key or a section).
    void Set(const std::string& section, const std::string& key, const std::string& value);
    bool Remove(const std::string& section);

private:
    Section* FindMutable(const std::string& section);
    std::vector<Section> m_sections;
};
