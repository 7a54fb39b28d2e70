#include "VQRecordingName.h"

#include <cstdio>
#include <cstring>

namespace {
const char* BaseName(const char* path) {
    const char* base = path;
    for (const char* p = path; *p; p++)
        if (*p == '\\' || *p == '/' || *p == ':') base = p + 1;
    return base;
}
}  // namespace

size_t VQBuildRecordingPath(char* out, size_t size, const char* folder, const char* exePath, const VQLocalTime& time,
                            const char* extension) {
    const char* base = BaseName(exePath ? exePath : "");
    const char* dot = strrchr(base, '.');
    const int nameLength = static_cast<int>(dot ? dot - base : static_cast<ptrdiff_t>(strlen(base)));
    int n = snprintf(out, size, "%s%.*s_%04d-%02d-%02d_%02d-%02d-%02d%s", folder ? folder : "", nameLength, base,
                     time.year, time.month, time.day, time.hour, time.minute, time.second, extension);
    return n < 0 ? size : static_cast<size_t>(n);
}

int VQReplaceExtension(char* path, size_t size, const char* extension) {
    char* base = const_cast<char*>(BaseName(path));
    char* dot = strrchr(base, '.');
    size_t keep = dot ? static_cast<size_t>(dot - path) : strlen(path);
    if (keep + strlen(extension) + 1 > size) return 0;
    strcpy(path + keep, extension);
    return 1;
}
