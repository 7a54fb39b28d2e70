#pragma once
#include <string>
#include <vector>

#include "CVKIniStore.h"
#include "IVKFileSystem.h"

// Reads a folder named by a registry path (the catalogue's LaunchDirKey and
// DetectDirKey): the key's default value, or else the value named by the
// last component in the parent key. "" when missing.
class IVKFolderReader {
public:
    virtual ~IVKFolderReader() {}
    virtual std::string ReadFolder(const std::string& registryPath) = 0;
};

// A catalogue game found on this machine.
struct VKDetectedGame {
    std::string shortName, genre, releaseDate, rating, name, publisher, developer, launcher, binFolder, renderer;
};

// Looks for the catalogue's games on this machine.
class CVKGameDetector {
public:
    CVKGameDetector(IVKFileSystem* fs, IVKFolderReader* registry) : m_fs(fs), m_registry(registry) {}
    // The games of the catalogue (in its order) whose program exists here.
    // Entries whose relative paths leave their folder ("..", drives,
    // absolute paths) are skipped.
    std::vector<VKDetectedGame> Detect(const CVKIniStore& catalogue);
    bool DetectOne(const CVKIniStore::Section& entry, VKDetectedGame* game);

private:
    IVKFileSystem* m_fs;
    IVKFolderReader* m_registry;
};
