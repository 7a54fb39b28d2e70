#include "CVKChatSessions.h"

std::string CVKChatSessions::MembersText(const std::vector<std::string>& members) {
    std::string text;
    for (size_t i = 0; i < members.size(); ++i) text += (i ? ", " : "") + members[i];
    return text;
}

VKChatSessionUpdate CVKChatSessions::OnSession(int session, const std::vector<std::string>& members) {
    VKChatSessionUpdate u = {false, false, std::string(), std::string(), std::string()};
    std::string text = MembersText(members);
    auto it = m_members.find(session);
    if (it == m_members.end()) {
        if (m_members.size() >= kMaxOpen) {
            u.refused = true;
            return u;
        }
        u.created = true;
        m_members[session] = text;
    } else {
        if (it->second != text) u.append = "\r\nUsers: " + text;
        it->second = text;
    }
    u.title = text + " - Orvalo Chat";
    u.membersLine = "Users: " + text;
    return u;
}

std::vector<int> CVKChatSessions::Sessions() const {
    std::vector<int> all;
    for (const auto& s : m_members) all.push_back(s.first);
    return all;
}
