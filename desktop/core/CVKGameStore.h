#pragma once
#include <string>
#include <vector>

#include "CVKIniStore.h"
#include "IVKFileSystem.h"

// One game of the local store.
struct VKGame {
    int id = 0;
    std::string shortName, platform, genre, releaseDate, rating, title, publisher, developer, userRating,
        registeredDate, launcher, binFolder, renderer;
};

// The local game store "game.dat" (an INI file, one section per game named by
// its decimal identifier, in list order) in the data folder's "Games"
// sub-folder. Every change is written back at once.
class CVKGameStore {
public:
    CVKGameStore(IVKFileSystem* fs, const std::string& gamesFolder);

    const std::string& Folder() const { return m_folder; }
    std::string FilePath() const;
    // Reads the file again (a missing file is an empty store).
    void Load();
    std::vector<int> Ids() const;
    bool Get(int id, VKGame* game) const;
    // The identifier of a game with this short name, platform and genre
    // (ignoring case), or 0.
    int FindSame(const std::string& shortName, const std::string& platform, const std::string& genre) const;
    bool Add(const VKGame& game);
    // Changes the launcher and binaries folder of a game.
    bool SetFolders(int id, const std::string& launcher, const std::string& binFolder);
    bool Remove(int id);

private:
    bool Save();
    IVKFileSystem* m_fs;
    std::string m_folder;
    CVKIniStore m_ini;
};
