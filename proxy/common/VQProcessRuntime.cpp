#include "VQProcessRuntime.h"

#include <cwchar>
#include <cwctype>

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Length of a file path's folder, without its last separator.
size_t FolderLength(const wchar_t* path) {
    size_t cut = 0;
    for (size_t i = 0; path[i]; ++i)
        if (IsSeparator(path[i])) cut = i;
    return cut;
}

// A folder's length without trailing separators.
size_t TrimmedLength(const wchar_t* folder) {
    size_t n = wcslen(folder);
    while (n > 0 && IsSeparator(folder[n - 1])) --n;
    return n;
}

bool SameFolder(const wchar_t* a, size_t na, const wchar_t* b, size_t nb) {
    if (na == 0 || na != nb) return false;
    for (size_t i = 0; i < na; ++i) {
        if (IsSeparator(a[i]) && IsSeparator(b[i])) continue;
        if (std::towupper(a[i]) != std::towupper(b[i])) return false;
    }
    return true;
}

}  // namespace

bool VQIsProcessRuntime(bool staticImport, const wchar_t* modulePath, const wchar_t* exePath,
                        const wchar_t* dllDirectory) {
    if (staticImport) return true;
    if (!modulePath || !exePath) return false;
    const size_t own = FolderLength(modulePath);
    if (SameFolder(modulePath, own, exePath, FolderLength(exePath))) return true;
    return dllDirectory && SameFolder(modulePath, own, dllDirectory, TrimmedLength(dllDirectory));
}
