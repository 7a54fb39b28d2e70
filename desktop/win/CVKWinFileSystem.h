#pragma once
#include "IVKFileSystem.h"

// The disk through the Win32 file API.
class CVKWinFileSystem : public IVKFileSystem {
public:
    bool Exists(const std::string& path) override;
    bool IsDirectory(const std::string& path) override;
    void List(const std::string& pattern, std::vector<VKDirEntry>* entries) override;
    bool SameFile(const std::string& a, const std::string& b) override;
    bool FileVersion(const std::string& path, uint64_t* version) override;
    bool Delete(const std::string& path) override;
    bool Copy(const std::string& from, const std::string& to) override;
    bool WriteFile(const std::string& path, const std::string& bytes) override;
    bool ReadFile(const std::string& path, size_t maxBytes, std::string* bytes) override;
};
