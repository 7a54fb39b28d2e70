#include "CVKFriendsCache.h"

#include "VKDesktopPaths.h"
#include "VKFriendsText.h"

CVKFriendsCache::CVKFriendsCache(IVKFileSystem* fs, const std::string& folder, IVKFetcher* fetcher,
                                 const std::string& siteAddress)
    : m_fs(fs), m_folder(folder), m_fetcher(fetcher), m_site(siteAddress), m_phase(0) {}

void CVKFriendsCache::Load() {
    std::string text;
    m_lines.clear();
    if (m_fs->ReadFile(JoinPath(m_folder, "friends.txt", nullptr), kMaxInfoBytes, &text))
        m_lines = SplitFriendsLines(text);
}

std::string CVKFriendsCache::AvatarFile(const std::string& name) const {
    std::string file;
    if (!AvatarFileName(name, &file)) return std::string();
    return JoinPath(m_folder, file, nullptr);
}

bool CVKFriendsCache::Missing(const std::string& name) {
    if (FindFriendLine(m_lines, name) < 0) return true;
    std::string file = AvatarFile(name);
    // A name that cannot have a file is not fetched again and again.
    return !file.empty() && !m_fs->Exists(file);
}

void CVKFriendsCache::Request(const std::string& user, const std::string& password) {
    m_fetcher->Start(m_site + FriendsInfoPath(user, password));
    m_phase = 1;
}

void CVKFriendsCache::StartAvatar(size_t index) {
    m_fetcher->Start(m_site + AvatarPath(m_lines[index]));
    m_phase = 2 + index;
}

void CVKFriendsCache::Finish(Step* s) {
    m_phase = 0;
    m_status.clear();
    s->statusChanged = true;
    s->status.clear();
}

CVKFriendsCache::Step CVKFriendsCache::Advance() {
    Step s = {false, std::string(), std::string()};
    if (m_phase == 0) return s;
    long long announced = -1;
    IVKFetcher::State state = m_fetcher->Poll(&announced);
    if (m_phase == 1 && (state == IVKFetcher::kOpening || state == IVKFetcher::kReading)) {
        std::string status =
            state == IVKFetcher::kOpening
                ? "Connecting to Orvalo to receive friends information.."
                : "Receiving friends information: " + std::to_string(announced < 0 ? 0 : announced) + " bytes";
        if (status != m_status) {
            m_status = status;
            s.statusChanged = true;
            s.status = status;
        }
        return s;
    }
    if (state == IVKFetcher::kFailed) {
        // The phase stays: the next friends list or Refresh starts again. The
        // status bar does not go on saying that something is coming.
        if (!m_status.empty()) {
            m_status.clear();
            s.statusChanged = true;
        }
        return s;
    }
    if (state != IVKFetcher::kDone) return s;

    std::string body = m_fetcher->Body();
    if (m_phase == 1) {
        if (body.size() > kMaxInfoBytes || !m_fs->WriteFile(JoinPath(m_folder, "friends.txt", nullptr), body)) {
            Finish(&s);
            return s;
        }
        Load();
        if (m_lines.empty()) {
            Finish(&s);
            return s;
        }
        StartAvatar(0);
        return s;
    }
    size_t index = m_phase - 2;
    if (index < m_lines.size()) {
        std::vector<std::string> fields = FriendFields(m_lines[index]);
        std::string name = fields.size() > 1 ? fields[1] : std::string();
        // A name that would leave the friends folder is refused; a file that
        // cannot be written is skipped. Either way the next avatar follows.
        std::string file = AvatarFile(name);
        if (!file.empty() && body.size() <= kMaxAvatarBytes && m_fs->WriteFile(file, body)) s.avatarName = name;
    }
    if (index + 1 < m_lines.size())
        StartAvatar(index + 1);
    else
        Finish(&s);
    return s;
}
