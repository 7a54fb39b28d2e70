#include "VKRecordingFiles.h"

#include "VKThumbnail.h"

std::vector<std::string> ListRecordings(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (VKRecordingKindOf(data.cFileName) != kVKNotRecording) names.push_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

bool DeleteRecording(const std::string& path, const std::function<int(const std::string&, UINT)>& ask) {
    if (ask("Are you sure you want to delete this file?", MB_YESNOCANCEL | MB_ICONQUESTION) != IDYES) return false;
    if (!DeleteFileA(path.c_str())) {
        ask("Unable to delete file", MB_ICONEXCLAMATION);
        return false;
    }
    auto exists = [](const std::string& f) { return GetFileAttributesA(f.c_str()) != INVALID_FILE_ATTRIBUTES; };
    for (const std::string& companion : VKCompanionFiles(path, exists)) DeleteFileA(companion.c_str());
    return true;
}
