#pragma once
#include <map>
#include <string>
#include <vector>

#include "IVKFileSystem.h"
#include "VKDesktopPaths.h"

// An in-memory disk with Windows path rules (names compare without case,
// listings in the order entries were made) for the platform-free tests.
class FakeFileSystem : public IVKFileSystem {
public:
    void AddDir(const std::string& path) {
        if (!IsDirectory(path)) m_order.push_back(Key(path));
        m_dirs[Key(path)] = true;
        m_names[Key(path)] = LastName(path);
    }
    void AddFile(const std::string& path, const std::string& bytes, uint64_t version = 0) {
        if (!Exists(path)) m_order.push_back(Key(path));
        m_files[Key(path)] = bytes;
        m_names[Key(path)] = LastName(path);
        if (version) m_versions[Key(path)] = version;
    }
    std::string Content(const std::string& path) { return m_files[Key(path)]; }

    bool Exists(const std::string& path) override { return m_files.count(Key(path)) || m_dirs.count(Key(path)); }
    bool IsDirectory(const std::string& path) override { return m_dirs.count(Key(path)) != 0; }
    void List(const std::string& pattern, std::vector<VKDirEntry>* entries) override {
        std::string folder = Key(FolderOf(pattern));
        std::string mask = Key(pattern.substr(folder.size() + 1));
        for (const std::string& key : m_order) {
            if (FolderOf(key) != folder || !(m_files.count(key) || m_dirs.count(key))) continue;
            std::string name = m_names.count(key) ? m_names[key] : key.substr(folder.size() + 1);
            if (Match(mask, key.substr(folder.size() + 1))) entries->push_back(VKDirEntry{name, IsDirectory(key)});
        }
    }
    bool SameFile(const std::string& a, const std::string& b) override {
        return m_files.count(Key(a)) && m_files.count(Key(b)) && m_files[Key(a)] == m_files[Key(b)];
    }
    bool FileVersion(const std::string& path, uint64_t* version) override {
        auto it = m_versions.find(Key(path));
        if (it == m_versions.end()) return false;
        *version = it->second;
        return true;
    }
    bool Delete(const std::string& path) override {
        if (m_locked.count(Key(path))) return false;
        return m_files.erase(Key(path)) != 0;
    }
    bool Copy(const std::string& from, const std::string& to) override {
        if (!m_files.count(Key(from)) || !IsDirectory(FolderOf(to))) return false;
        AddFile(to, m_files[Key(from)]);
        if (m_versions.count(Key(from))) m_versions[Key(to)] = m_versions[Key(from)];
        return true;
    }
    bool WriteFile(const std::string& path, const std::string& bytes) override {
        if (!IsDirectory(FolderOf(path))) return false;
        AddFile(path, bytes);
        return true;
    }
    bool ReadFile(const std::string& path, size_t maxBytes, std::string* bytes) override {
        auto it = m_files.find(Key(path));
        if (it == m_files.end()) return false;
        *bytes = it->second.substr(0, maxBytes);
        return true;
    }
    void Lock(const std::string& path) { m_locked[Key(path)] = true; }

private:
    static std::string Key(const std::string& path) {
        std::string k = Backslashes(path);
        if (k.size() > 1 && k.back() == '\\') k.pop_back();
        for (char& c : k) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return k;
    }
    static std::string LastName(const std::string& path) {
        std::string p = Backslashes(path);
        if (p.size() > 1 && p.back() == '\\') p.pop_back();
        size_t slash = p.rfind('\\');
        return slash == std::string::npos ? p : p.substr(slash + 1);
    }
    static bool Match(const std::string& mask, const std::string& name) {
        if (mask.empty()) return name.empty();
        if (mask[0] == '*') {
            for (size_t i = 0; i <= name.size(); ++i)
                if (Match(mask.substr(1), name.substr(i))) return true;
            return false;
        }
        return !name.empty() && (mask[0] == '?' || mask[0] == name[0]) && Match(mask.substr(1), name.substr(1));
    }
    std::map<std::string, std::string> m_files, m_names;
    std::map<std::string, bool> m_dirs, m_locked;
    std::map<std::string, uint64_t> m_versions;
    std::vector<std::string> m_order;
};
