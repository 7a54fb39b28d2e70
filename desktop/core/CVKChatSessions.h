#pragma once
#include <map>
#include <string>
#include <vector>

// What a "CHAT SESSION" event does to the session's chat window.
struct VKChatSessionUpdate {
    bool refused;  // no window: too many are open
    bool created;  // a new window is to be made
    std::string title;
    std::string membersLine;
    std::string append;  // text for the history, or empty
};

// The desktop's chat sessions by number, with the members text each window
// showed last. The number of open windows is capped: a server cannot open
// them without bound.
class CVKChatSessions {
public:
    static constexpr size_t kMaxOpen = 16;

    VKChatSessionUpdate OnSession(int session, const std::vector<std::string>& members);
    bool Has(int session) const { return m_members.count(session) != 0; }
    void Close(int session) { m_members.erase(session); }
    size_t Count() const { return m_members.size(); }
    std::vector<int> Sessions() const;

    static std::string MembersText(const std::vector<std::string>& members);

private:
    std::map<int, std::string> m_members;
};
