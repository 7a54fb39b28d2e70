#pragma once
#include <string>
#include <vector>

#include "IVKFetcher.h"
#include "IVKFileSystem.h"

// The local friends information: "friends.txt" (one line per friend:
// identifier;user name;"1" for an own avatar;...) and one avatar picture per
// friend (user name + ".jpg") in the friends folder, and the download that
// renews them: phase 0 idle, 1 the friends information requested, 2 + n the
// avatar of line n requested. Step() is called on every tick of the main
// window and never waits.
class CVKFriendsCache {
public:
    // siteAddress: "http://" + the web site's host, without a trailing "/".
    CVKFriendsCache(IVKFileSystem* fs, const std::string& folder, IVKFetcher* fetcher, const std::string& siteAddress);

    // Reads friends.txt from the folder.
    void Load();
    const std::vector<std::string>& Lines() const { return m_lines; }
    // Path of a user's avatar file; "" for a name that makes no safe file name.
    std::string AvatarFile(const std::string& name) const;
    // True when a name has no line in friends.txt or no avatar file.
    bool Missing(const std::string& name);

    // Starts fetching the friends information (phase 1).
    void Request(const std::string& user, const std::string& password);
    int Phase() const { return m_phase; }

    // What one step did.
    struct Step {
        bool statusChanged;
        std::string status;      // the status bar's new text when changed
        std::string avatarName;  // a user whose avatar was just stored
    };
    Step Advance();

    static constexpr size_t kMaxAvatarBytes = 1024 * 1024;
    static constexpr size_t kMaxInfoBytes = 4 * 1024 * 1024;

private:
    void StartAvatar(size_t index);
    void Finish(Step* s);

    IVKFileSystem* m_fs;
    std::string m_folder;
    IVKFetcher* m_fetcher;
    std::string m_site;
    std::vector<std::string> m_lines;
    size_t m_phase;
    std::string m_status;
};
