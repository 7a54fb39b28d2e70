#include "CVKWinFileSystem.h"

#include <windows.h>

#include <vector>

#include "VKLog.h"
#include "VKVersionText.h"

static const DWORD kBlock = 4096;

bool CVKWinFileSystem::Exists(const std::string& path) {
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CVKWinFileSystem::IsDirectory(const std::string& path) {
    if (path.empty()) return false;
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void CVKWinFileSystem::List(const std::string& pattern, std::vector<VKDirEntry>* entries) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        entries->push_back(VKDirEntry{data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

static HANDLE OpenRead(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool CVKWinFileSystem::SameFile(const std::string& a, const std::string& b) {
    HANDLE fa = OpenRead(a);
    if (fa == INVALID_HANDLE_VALUE) return false;
    HANDLE fb = OpenRead(b);
    if (fb == INVALID_HANDLE_VALUE) {
        CloseHandle(fa);
        return false;
    }
    LARGE_INTEGER sa, sb;
    bool same = GetFileSizeEx(fa, &sa) && GetFileSizeEx(fb, &sb) && sa.QuadPart == sb.QuadPart;
    std::vector<char> ba(kBlock), bb(kBlock);
    while (same) {
        DWORD na = 0, nb = 0;
        if (!::ReadFile(fa, ba.data(), kBlock, &na, nullptr) || !::ReadFile(fb, bb.data(), kBlock, &nb, nullptr) ||
            na != nb) {
            same = false;
            break;
        }
        if (na == 0) break;
        if (memcmp(ba.data(), bb.data(), na) != 0) same = false;
    }
    CloseHandle(fa);
    CloseHandle(fb);
    return same;
}

bool CVKWinFileSystem::FileVersion(const std::string& path, uint64_t* version) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0 || size > (1u << 20)) return false;
    std::vector<char> info(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data())) return false;
    char* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), "\\StringFileInfo\\041404b0\\FileVersion", reinterpret_cast<void**>(&text),
                        &length) ||
        !text || length == 0) {
        // Files built with another language block: take the first one listed.
        struct Translation {
            WORD language, codePage;
        }* t = nullptr;
        if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&t), &length) || !t ||
            length < sizeof(Translation))
            return false;
        char query[64];
        snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\FileVersion", t->language, t->codePage);
        if (!VerQueryValueA(info.data(), query, reinterpret_cast<void**>(&text), &length) || !text || length == 0)
            return false;
    }
    return ParseFileVersion(std::string(text, strnlen(text, length)), version);
}

bool CVKWinFileSystem::Delete(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool CVKWinFileSystem::Copy(const std::string& from, const std::string& to) {
    HANDLE in = OpenRead(from);
    if (in == INVALID_HANDLE_VALUE) return false;
    HANDLE out = CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        CloseHandle(in);
        return false;
    }
    std::vector<char> block(kBlock);
    bool ok = true;
    for (;;) {
        DWORD n = 0, written = 0;
        if (!::ReadFile(in, block.data(), kBlock, &n, nullptr)) {
            ok = false;
            break;
        }
        if (n == 0) break;
        if (!::WriteFile(out, block.data(), n, &written, nullptr) || written != n) {
            ok = false;
            break;
        }
    }
    CloseHandle(in);
    CloseHandle(out);
    if (!ok) {
        DeleteFileA(to.c_str());
        LogMessage("CVKWinFileSystem::Copy(): Failed to copy %s to %s\r\n", from.c_str(), to.c_str());
    }
    return ok;
}

bool CVKWinFileSystem::WriteFile(const std::string& path, const std::string& bytes) {
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = bytes.empty() || (::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                                written == bytes.size());
    CloseHandle(out);
    if (!ok) DeleteFileA(path.c_str());
    return ok;
}

bool CVKWinFileSystem::ReadFile(const std::string& path, size_t maxBytes, std::string* bytes) {
    HANDLE in = OpenRead(path);
    if (in == INVALID_HANDLE_VALUE) return false;
    bytes->clear();
    std::vector<char> block(65536);
    bool ok = true;
    while (bytes->size() < maxBytes) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(block.size(), maxBytes - bytes->size()));
        DWORD n = 0;
        if (!::ReadFile(in, block.data(), want, &n, nullptr)) {
            ok = false;
            break;
        }
        if (n == 0) break;
        bytes->append(block.data(), n);
    }
    CloseHandle(in);
    return ok;
}
