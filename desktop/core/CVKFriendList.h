#pragma once
#include <set>
#include <string>
#include <vector>

// One group of the chat server's friends list.
struct VKFriendGroupNames {
    std::string name;
    std::vector<std::string> online;
    std::vector<std::string> offline;
};

// One row of the friends page: the text shown, the group and the bare user
// name (the key of every lookup).
struct VKFriendRow {
    std::string text;
    std::string group;
    std::string name;
    bool online;
};

// The rows of the friends page and the names already asked about in this run
// ("has added you to his/her friend list").
class CVKFriendList {
public:
    // Rebuilds the rows: per group first its online names, then its offline
    // names with " (offline)". A friend in two groups has two rows.
    const std::vector<VKFriendRow>& SetGroups(const std::vector<VKFriendGroupNames>& groups);
    const std::vector<VKFriendRow>& Rows() const { return m_rows; }
    // A presence change: every row of the name (compared without case) is
    // set on- or offline and its index returned. With no such row, *ask is
    // set the first time the name comes in this run, never again, and for at
    // most kMaxQuestions names a run: a server cannot bury the user in
    // questions.
    std::vector<int> SetStatus(const std::string& name, bool online, bool* ask);

    static constexpr size_t kMaxQuestions = 16;

    static std::string RowText(const std::string& name, bool online);

private:
    std::vector<VKFriendRow> m_rows;
    std::set<std::string> m_asked;  // lower case
};
