#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One entry of a folder listing.
struct VKDirEntry {
    std::string name;
    bool directory;
};

// The file operations the game library and the HUD installer need, so their
// decisions can be tested without a real disk. Paths are Windows paths.
class IVKFileSystem {
public:
    virtual ~IVKFileSystem() {}
    virtual bool Exists(const std::string& path) = 0;
    virtual bool IsDirectory(const std::string& path) = 0;
    // Entries matching a pattern with wildcards in its last component, in
    // the order the system lists them.
    virtual void List(const std::string& pattern, std::vector<VKDirEntry>* entries) = 0;
    // Same length and same bytes (compared in blocks of 4,096 bytes).
    virtual bool SameFile(const std::string& a, const std::string& b) = 0;
    // The file's version as four 16-bit parts (high to low); false without one.
    virtual bool FileVersion(const std::string& path, uint64_t* version) = 0;
    virtual bool Delete(const std::string& path) = 0;
    // Copies in blocks; a copy that fails part-way removes the partial target.
    virtual bool Copy(const std::string& from, const std::string& to) = 0;
    virtual bool WriteFile(const std::string& path, const std::string& bytes) = 0;
    // At most maxBytes of the file; false when it cannot be read.
    virtual bool ReadFile(const std::string& path, size_t maxBytes, std::string* bytes) = 0;
};
