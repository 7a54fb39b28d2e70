#include "CVKGameStore.h"

#include <cstdlib>

#include "VKDesktopPaths.h"

static const size_t kMaxStoreBytes = 64u * 1024u * 1024u;

CVKGameStore::CVKGameStore(IVKFileSystem* fs, const std::string& gamesFolder) : m_fs(fs), m_folder(gamesFolder) {}

std::string CVKGameStore::FilePath() const { return JoinPath(m_folder, "game.dat", nullptr); }

void CVKGameStore::Load() {
    std::string text;
    if (!m_fs->ReadFile(FilePath(), kMaxStoreBytes, &text)) text.clear();
    m_ini.Parse(text);
}

std::vector<int> CVKGameStore::Ids() const {
    std::vector<int> ids;
    for (const CVKIniStore::Section& s : m_ini.Sections()) {
        int id = atoi(s.name.c_str());
        if (id != 0) ids.push_back(id);
    }
    return ids;
}

bool CVKGameStore::Get(int id, VKGame* g) const {
    const CVKIniStore::Section* s = m_ini.Find(std::to_string(id));
    if (!s) return false;
    auto v = [&](const char* key) { return CVKIniStore::Get(*s, key); };
    g->id = id;
    g->shortName = v("ShortName");
    g->platform = v("Platform");
    g->genre = v("Genre");
    g->releaseDate = v("ReleaseDate");
    g->rating = v("Rating");
    g->title = v("Title");
    g->publisher = v("Publisher");
    g->developer = v("Developer");
    g->userRating = v("UserRating");
    g->registeredDate = v("UserRegisteredDate");
    g->launcher = v("LauncherApp1");
    g->binFolder = v("BinFolder");
    g->renderer = v("InGameRenderer");
    return true;
}

int CVKGameStore::FindSame(const std::string& shortName, const std::string& platform, const std::string& genre) const {
    for (int id : Ids()) {
        VKGame g;
        if (Get(id, &g) && SameTextNoCase(g.shortName, shortName) && SameTextNoCase(g.platform, platform) &&
            SameTextNoCase(g.genre, genre))
            return id;
    }
    return 0;
}

bool CVKGameStore::Add(const VKGame& g) {
    std::string s = std::to_string(g.id);
    m_ini.Set(s, "ShortName", g.shortName);
    m_ini.Set(s, "Platform", g.platform);
    m_ini.Set(s, "Genre", g.genre);
    m_ini.Set(s, "ReleaseDate", g.releaseDate);
    m_ini.Set(s, "Rating", g.rating);
    m_ini.Set(s, "Title", g.title);
    m_ini.Set(s, "Publisher", g.publisher);
    m_ini.Set(s, "Developer", g.developer);
    m_ini.Set(s, "UserRating", g.userRating);
    m_ini.Set(s, "UserRegisteredDate", g.registeredDate);
    m_ini.Set(s, "LauncherApp1", g.launcher);
    m_ini.Set(s, "BinFolder", g.binFolder);
    m_ini.Set(s, "InGameRenderer", g.renderer);
    return Save();
}

bool CVKGameStore::SetFolders(int id, const std::string& launcher, const std::string& binFolder) {
    std::string s = std::to_string(id);
    if (!m_ini.Find(s)) return false;
    m_ini.Set(s, "LauncherApp1", launcher);
    m_ini.Set(s, "BinFolder", binFolder);
    return Save();
}

bool CVKGameStore::Remove(int id) {
    if (!m_ini.Remove(std::to_string(id))) return false;
    return Save();
}

bool CVKGameStore::Save() { return m_fs->WriteFile(FilePath(), m_ini.Text()); }
