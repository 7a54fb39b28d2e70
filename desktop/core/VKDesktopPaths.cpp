#include "VKDesktopPaths.h"

#include <cctype>

std::string JoinPath(const std::string& folder, const std::string& tail, IVKFileSystem* fs, bool pickFirst) {
    if (tail.empty()) return folder;
    std::string head = folder;
    if (!head.empty() && head.back() == '\\') head.pop_back();
    std::string rest = tail[0] == '\\' ? tail.substr(1) : tail;
    std::string joined = head + "\\" + rest;

    size_t star = joined.find('*');
    if (star == std::string::npos) return joined;
    // The component holding the "*" is replaced as a whole by the matched
    // name, so a partial pattern ("Game*") never doubles its prefix.
    size_t start = joined.rfind('\\', star);
    start = start == std::string::npos ? 0 : start + 1;
    size_t end = joined.find('\\', star);
    if (end == std::string::npos) end = joined.size();
    std::string found;
    if (fs) {
        std::vector<VKDirEntry> entries;
        fs->List(joined.substr(0, end), &entries);
        for (const VKDirEntry& e : entries) {
            if (!e.directory || e.name.empty() || e.name[0] == '.') continue;
            found = e.name;
            if (pickFirst) break;
        }
    }
    if (found.empty()) return joined.substr(0, star) + joined.substr(star + 1);
    return joined.substr(0, start) + found + joined.substr(end);
}

static char Lower(char c) { return static_cast<char>(tolower(static_cast<unsigned char>(c))); }

bool SameTextNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::string TruncAtNoCase(const std::string& text, const std::string& cut) {
    if (cut.empty() || cut.size() > text.size()) return text;
    for (size_t i = 0; i + cut.size() <= text.size(); ++i)
        if (SameTextNoCase(text.substr(i, cut.size()), cut)) return text.substr(0, i);
    return text;
}

std::string Backslashes(std::string text) {
    for (char& c : text)
        if (c == '/') c = '\\';
    return text;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool IsSafeRelativePath(const std::string& path) {
    std::string p = Backslashes(path);
    if (p.empty()) return true;
    if (p[0] == '\\' || p.find(':') != std::string::npos) return false;
    size_t start = 0;
    while (start <= p.size()) {
        size_t end = p.find('\\', start);
        if (end == std::string::npos) end = p.size();
        std::string part = p.substr(start, end - start);
        // ".." and its variants with trailing dots or spaces, which Windows
        // treats as "..".
        if (part.size() >= 2 && part.find_first_not_of(". ") == std::string::npos) return false;
        start = end + 1;
    }
    return true;
}

bool IsSafeNameComponent(const std::string& name) {
    if (name.empty() || name.find("..") != std::string::npos) return false;
    for (char c : name)
        if (c == '\\' || c == '/' || c == ':' || static_cast<unsigned char>(c) < 32) return false;
    return true;
}
