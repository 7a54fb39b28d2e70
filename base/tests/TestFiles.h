#pragma once
#include <cstdio>
#include <string>

// File helpers for tests that run under Wine.

// A path of the build machine as a Windows program sees it ("Z:\..."); a
// path that is already a Windows path is kept.
inline std::string TestWindowsPath(const char* path) {
    std::string result = path;
    for (char& c : result)
        if (c == '/') c = '\\';
    return !result.empty() && result[0] == '\\' ? "Z:" + result : result;
}

// The whole file, or "" when it cannot be read.
inline std::string TestReadFile(const std::string& path) {
    std::string text;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return text;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    fclose(f);
    return text;
}
