#include "VKGameNumber.h"

#include <cctype>
#include <cstring>

namespace {
// Length without one trailing backslash or slash.
size_t Trimmed(const char* text) {
    size_t n = strlen(text);
    if (n > 0 && (text[n - 1] == '\\' || text[n - 1] == '/')) --n;
    return n;
}

bool SameFolder(const char* a, const char* b) {
    size_t n = Trimmed(a);
    if (n == 0 || n != Trimmed(b)) return false;
    for (size_t i = 0; i < n; ++i)
        if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}
}  // namespace

CVKString VKMatchGameFolder(const char* folder, const VKGameFolderList& entries) {
    if (folder && *folder)
        for (const auto& entry : entries)
            if (!entry.first.empty() && SameFolder(folder, entry.second.c_str())) return CVKString(entry.first.c_str());
    return CVKString("0");
}
