// The recordings folder on the Wine prefix's disk: listing and deleting.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "VKRecordingFiles.h"

namespace {

std::string Folder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "orvalo-recordings\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void Touch(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD n;
    WriteFile(h, "x", 1, &n, nullptr);
    CloseHandle(h);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(RecordingFiles, ListsRecordingsOfAnyCaseOnly) {
    const std::string folder = Folder() + "list\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const char* name : {"a.REC", "b.wmv", "c.Avi", "d.txt", "a.jpg", "a.di"}) Touch(folder + name);
    std::vector<std::string> names = ListRecordings(folder);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.REC", "b.wmv", "c.Avi"}));
}

TEST(RecordingFiles, DeletingAsksAndTakesTheCompanionsAlong) {
    const std::string f = Folder();
    for (const char* name : {"g.rec", "g.wmv", "g.jpg", "g.di"}) Touch(f + name);
    std::vector<std::string> asked;
    int answer = IDNO;
    auto ask = [&](const std::string& text, UINT) {
        asked.push_back(text);
        return answer;
    };
    EXPECT_FALSE(DeleteRecording(f + "g.rec", ask));
    EXPECT_TRUE(Exists(f + "g.rec"));
    answer = IDYES;
    EXPECT_TRUE(DeleteRecording(f + "g.rec", ask));
    EXPECT_FALSE(Exists(f + "g.rec"));
    EXPECT_FALSE(Exists(f + "g.di"));
    EXPECT_TRUE(Exists(f + "g.jpg"));  // the video still shows it
    EXPECT_TRUE(DeleteRecording(f + "g.wmv", ask));
    EXPECT_FALSE(Exists(f + "g.jpg"));
    EXPECT_EQ(asked, std::vector<std::string>(3, "Are you sure you want to delete this file?"));
}

TEST(RecordingFiles, AFileInUseIsKeptWithItsCompanions) {
    const std::string f = Folder();
    for (const char* name : {"busy.rec", "busy.jpg", "busy.di"}) Touch(f + name);
    HANDLE open = CreateFileA((f + "busy.rec").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    std::vector<std::string> asked;
    auto ask = [&](const std::string& text, UINT flags) {
        asked.push_back(text);
        return IDYES;
    };
    EXPECT_FALSE(DeleteRecording(f + "busy.rec", ask));
    CloseHandle(open);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1], "Unable to delete file");
    EXPECT_TRUE(Exists(f + "busy.rec"));
    EXPECT_TRUE(Exists(f + "busy.jpg"));
    EXPECT_TRUE(Exists(f + "busy.di"));
}

}  // namespace
