#include "CVKFriendList.h"

#include <cctype>

static std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string CVKFriendList::RowText(const std::string& name, bool online) { return online ? name : name + " (offline)"; }

const std::vector<VKFriendRow>& CVKFriendList::SetGroups(const std::vector<VKFriendGroupNames>& groups) {
    m_rows.clear();
    for (const VKFriendGroupNames& g : groups) {
        for (const std::string& n : g.online) m_rows.push_back(VKFriendRow{RowText(n, true), g.name, n, true});
        for (const std::string& n : g.offline) m_rows.push_back(VKFriendRow{RowText(n, false), g.name, n, false});
    }
    return m_rows;
}

std::vector<int> CVKFriendList::SetStatus(const std::string& name, bool online, bool* ask) {
    *ask = false;
    std::vector<int> changed;
    std::string key = Lower(name);
    // All rows of the name: a friend listed in two groups shows one state.
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (Lower(m_rows[i].name) != key) continue;
        m_rows[i].online = online;
        m_rows[i].text = RowText(name, online);
        changed.push_back(static_cast<int>(i));
    }
    if (changed.empty() && m_asked.size() < kMaxQuestions && m_asked.insert(key).second) *ask = true;
    return changed;
}
