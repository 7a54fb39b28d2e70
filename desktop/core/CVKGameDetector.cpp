#include "CVKGameDetector.h"

#include "VKDesktopPaths.h"

bool CVKGameDetector::DetectOne(const CVKIniStore::Section& e, VKDetectedGame* game) {
    auto v = [&](const char* key) { return CVKIniStore::Get(e, key); };
    std::string append = Backslashes(v("LaunchDirAppend"));
    std::string launchExe = Backslashes(v("LaunchExe"));
    std::string detectExe = Backslashes(v("DetectExe"));
    if (!IsSafeRelativePath(append) || !IsSafeRelativePath(launchExe) || !IsSafeRelativePath(detectExe)) return false;

    std::string launchDir;
    if (!v("LaunchDirKey").empty()) launchDir = m_registry->ReadFolder(v("LaunchDirKey"));
    std::string trunc = Backslashes(v("LaunchDirTruncAt"));
    if (!trunc.empty() && launchDir.size() >= trunc.size()) launchDir = TruncAtNoCase(launchDir, trunc);
    // Without a folder from the registry there is nothing to append to: the
    // relative path alone would name a folder at the root of the current drive.
    if (!append.empty() && !launchDir.empty()) launchDir = JoinPath(launchDir, append, m_fs);

    std::string detectDir;
    if (!v("DetectDirKey").empty()) detectDir = m_registry->ReadFolder(v("DetectDirKey"));
    std::string test = detectDir.empty() ? launchDir : detectDir;
    if (test.empty()) return false;
    // The program itself must exist, not only its folder: an uninstalled
    // game often leaves its folder (saved games) and its registry key.
    const std::string& exe = !detectExe.empty() ? detectExe : launchExe;
    if (!exe.empty()) {
        std::string program = JoinPath(test, exe, m_fs);
        if (!m_fs->Exists(program)) return false;
        test = FolderOf(program);
    }
    if (test.empty() || !m_fs->IsDirectory(test)) return false;
    game->shortName = v("ShortName");
    game->genre = v("Genre");
    game->releaseDate = v("ReleaseDate");
    game->rating = v("Rating");
    game->name = v("Name");
    game->publisher = v("Publisher");
    game->developer = v("Developer");
    game->launcher = JoinPath(launchDir, launchExe, m_fs);
    game->binFolder = test;
    game->renderer = v("InGameRenderer");
    return true;
}

std::vector<VKDetectedGame> CVKGameDetector::Detect(const CVKIniStore& catalogue) {
    std::vector<VKDetectedGame> found;
    for (const CVKIniStore::Section& e : catalogue.Sections()) {
        VKDetectedGame g;
        if (DetectOne(e, &g)) found.push_back(g);
    }
    return found;
}
