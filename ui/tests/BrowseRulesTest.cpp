// The recordings browser's platform-free rules: what a folder lists, the
// texts and hand-off decisions, the player's arithmetic, the .di reader and
// the key table the keyboard picture is drawn from.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <string>

#include "CVQDiReader.h"
#include "VQBrowseRules.h"
#include "VQKeyTable.h"

namespace {
std::vector<std::string> Names(const std::vector<VQFolderItem>& items) {
    std::vector<std::string> names;
    for (const VQFolderItem& item : items) names.push_back(item.name);
    return names;
}

std::string WriteText(const char* name, const std::string& text) {
    FILE* f = fopen(name, "wb");
    if (!f) return "";
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
    return name;
}
}  // namespace

TEST(BrowseRules, SizesShowTheirUnitAndAJobItsProgress) {
    EXPECT_EQ(VQFormatSize(1073741824LL), "1.00 gb");
    EXPECT_EQ(VQFormatSize(1023), "1023.00 b");
    EXPECT_EQ(VQFormatSize(1024), "1.00 kb");
    EXPECT_EQ(VQFormatSize(0x100000), "1.00 mb");
    EXPECT_EQ(VQFormatSize(0x3FFFFFFF), "1024.00 mb");
    EXPECT_EQ(VQFormatSize(5LL << 32), "20.00 gb");  // past 32 bits
    EXPECT_EQ(VQFormatSize(0), "0.00 b");

    EXPECT_EQ(VQEntryText("clip.rec", 1023, false, nullptr), "clip.rec - 1023.00 b");
    EXPECT_EQ(VQEntryText("clip.rec", 1023, false, "45"), "clip.rec - 1023.00 b (45%)");
    EXPECT_EQ(VQEntryText("clip.rec", 1023, false, "-1"), "clip.rec - 1023.00 b (-1%)");
    EXPECT_EQ(VQEntryText("sub", -1, true, nullptr), "sub");
}

TEST(BrowseRules, FolderStepsStayInsideTheDrive) {
    EXPECT_EQ(VQParentFolder("C:\\rec\\sub\\"), "C:\\rec\\");
    EXPECT_EQ(VQParentFolder("C:\\rec\\"), "C:\\");
    EXPECT_EQ(VQParentFolder("C:\\"), "C:\\");  // ".." at the root stays at the root
    EXPECT_EQ(VQParentFolder("\\\\host\\share\\"), "\\\\host\\share\\");
    EXPECT_EQ(VQParentFolder("\\\\host\\share\\clips\\"), "\\\\host\\share\\");
    EXPECT_TRUE(VQIsRootFolder("Z:\\"));
    EXPECT_FALSE(VQIsRootFolder("Z:\\tmp\\"));
    EXPECT_EQ(VQWithBackslash("C:\\rec"), "C:\\rec\\");
    EXPECT_EQ(VQWithBackslash("C:\\rec\\"), "C:\\rec\\");
    EXPECT_EQ(VQWithBackslash(""), "\\");
}

TEST(BrowseRules, ListingSkipsDotsByNameAndKeepsTheFirstRealEntry) {
    // A drive root has no "." or ".." entries: its first entry is a real one.
    const std::vector<VQFolderItem> root = {{"b.wmv", false, 10}, {"a.rec", false, 20}, {"notes.txt", false, 1},
                                            {"Games", true, 0},   {"x.WMV", false, 30}, {"clip.Rec", false, 40}};
    EXPECT_EQ(Names(VQFilterFolder(root, true)),
              (std::vector<std::string>{"a.rec", "b.wmv", "clip.Rec", "Games", "x.WMV"}));

    // Elsewhere "." and ".." may come anywhere; ".." is listed once, first.
    const std::vector<VQFolderItem> sub = {{"z.rec", false, 5}, {".", true, 0}, {"..", true, 0}, {"a", true, 7}};
    const std::vector<VQFolderItem> listed = VQFilterFolder(sub, false);
    EXPECT_EQ(Names(listed), (std::vector<std::string>{"..", "a", "z.rec"}));
    EXPECT_EQ(listed[1].size, -1);  // folders carry no size
    EXPECT_EQ(listed[2].size, 5);
    // A folder that could not be read still offers the way up.
    EXPECT_EQ(Names(VQFilterFolder({}, false)), (std::vector<std::string>{".."}));
}

TEST(BrowseRules, KindsFollowTheEntryNotJustTheName) {
    EXPECT_EQ(VQEntryKind("..", true), kVQBrowseFolder);
    EXPECT_EQ(VQEntryKind("clip.wmv", false), kVQBrowseVideo);
    EXPECT_EQ(VQEntryKind("CLIP.WMV", false), kVQBrowseVideo);
    EXPECT_EQ(VQEntryKind("clip.rec", false), kVQBrowseRecording);
    EXPECT_EQ(VQEntryKind("clip.wmv", true), kVQBrowseFolder);  // a folder named like a video
    EXPECT_FALSE(VQIsVideoName(".wmv"));                        // nothing in front of the extension
}

TEST(BrowseRules, CompanionAndDeleteTexts) {
    EXPECT_EQ(VQCompanionInputPath("C:\\rec\\clip.wmv"), "C:\\rec\\clip.di");
    EXPECT_EQ(VQCompanionInputPath("clip.WMV"), "clip.di");
    EXPECT_EQ(VQCompanionInputPath("wmv"), "");

    const std::string path(130, 'p');
    EXPECT_EQ(VQDeleteQuestion(path),
              "You are about to delete:\n" + path.substr(0, 60) + "\n" + path.substr(60, 60) + "\n" + path.substr(120));
    EXPECT_EQ(VQDeleteQuestion("C:\\a.rec"), "You are about to delete:\nC:\\a.rec");
}

TEST(BrowseRules, HandOverDecisionTable) {
    const std::string me = "C:\\rec\\clip.rec";
    EXPECT_EQ(VQDecideJob("100", "C:\\rec\\other.rec", me), kVQJobAskIdle);
    EXPECT_EQ(VQDecideJob("100", me, me), kVQJobAskIdle);
    EXPECT_EQ(VQDecideJob("45", "C:\\rec\\other.rec", me), kVQJobAskReplaceActive);
    EXPECT_EQ(VQDecideJob("-1", "C:\\rec\\other.rec", me), kVQJobAskReplaceQueued);
    EXPECT_EQ(VQDecideJob("45", "c:\\REC\\clip.rec", me), kVQJobAlreadyActive);
    EXPECT_EQ(VQDecideJob("-1", me, me), kVQJobAlreadyQueued);
    EXPECT_EQ(VQDecideJob("-1", "N/A", me), kVQJobAskReplaceQueued);

    int lines = 0;
    EXPECT_EQ(VQJobText(kVQJobAskReplaceActive, 0, "45", &lines),
              "Do you want to enqueue the selected file for encoding?\nProgress indication of file currently being "
              "encoded will\nbe lost.\n\nCurrent encoding progress: 45");
    EXPECT_EQ(lines, 5);
    EXPECT_EQ(
        VQJobText(kVQJobAskIdle, 1, "100", &lines),
        "Orvalo Desktop will upload the file\n(also after you exit the game).\n\nDo you wish to upload the file?");
    EXPECT_EQ(lines, 4);
    EXPECT_EQ(VQJobText(kVQJobAlreadyQueued, 1, "-1", &lines),
              "This file is already enqueued for upload.\nIf it does not start, make sure that Orvalo Desktop "
              "(desktop.exe)\nis running.");
    EXPECT_EQ(lines, 3);
    EXPECT_EQ(VQJobText(kVQJobAlreadyActive, 0, "45", &lines), "You are already encoding this file.");
    EXPECT_EQ(lines, 1);
    // A progress value of any length shows at most its first characters.
    EXPECT_EQ(VQProgressText(std::string(70000, '9')), std::string(kVQProgressMax, '9'));
}

TEST(BrowseRules, PlayerCascadeZoomRateAndTitle) {
    int counter = 0;
    std::vector<int> offsets;
    for (int i = 0; i < 8; ++i) offsets.push_back(VQNextCascade(&counter));
    EXPECT_EQ(offsets, (std::vector<int>{0, 1, 2, 3, 4, 5, 0, 1}));

    double zoom = 100.0;
    for (int i = 0; i < 100; ++i) zoom = VQStepZoom(zoom, 1.1, 320, 240);
    EXPECT_DOUBLE_EQ(zoom, 400.0);
    for (int i = 0; i < 100; ++i) zoom = VQStepZoom(zoom, 0.9, 320, 240);
    EXPECT_DOUBLE_EQ(zoom, 10.0);
    // A large video never grows past 4096 pixels a side.
    zoom = 100.0;
    for (int i = 0; i < 100; ++i) zoom = VQStepZoom(zoom, 1.1, 1920, 1080);
    EXPECT_LE(1920 * zoom * 0.01, 4096.0);
    EXPECT_DOUBLE_EQ(VQStepZoom(std::nan(""), 1.1, 320, 240), 10.0);

    double rate = 1.0;
    for (int i = 0; i < 40; ++i) rate = VQStepRate(rate, 2.0);
    EXPECT_DOUBLE_EQ(rate, 64.0);
    for (int i = 0; i < 40; ++i) rate = VQStepRate(rate, 0.5);
    EXPECT_DOUBLE_EQ(rate, 1.0 / 64);

    EXPECT_EQ(VQPlayerTitle("C:\\clip.wmv", 109.99, 65999), "C:\\clip.wmv, size: 109%, 01:05");
    EXPECT_EQ(VQPlayerTitle("a", 100.0, -5), "a, size: 100%, 00:00");
    EXPECT_EQ(VQPlayerTitle("a", 100.0, 6000000), "a, size: 100%, 100:00");
    EXPECT_EQ(VQFramesPerSecond(130, 100, 1000), 30);
    EXPECT_EQ(VQFramesPerSecond(130, 100, 0), 0);
    EXPECT_EQ(VQFramesPerSecond(10, 100, 1000), 0);  // the counter went back: never negative
}

TEST(BrowseRules, ScrollingKeepsTheSelectionInView) {
    // A page of 183 pixels shows 15 rows of 12.
    EXPECT_EQ(VQScrollForSelection(3, 0, 183), 0);
    EXPECT_EQ(VQScrollForSelection(14, 0, 183), 12 * 14 - 183 + 24);
    EXPECT_EQ(VQScrollForSelection(2, 120, 183), 24);
    EXPECT_EQ(VQRowAt(5, 0), -1);  // the folder line
    EXPECT_EQ(VQRowAt(12, 0), 0);
    EXPECT_EQ(VQRowAt(23, 0), 0);
    EXPECT_EQ(VQRowAt(24, 0), 1);
    EXPECT_EQ(VQRowAt(0, 120), 9);
}

TEST(BrowseRules, DiReaderCapsFieldsAndBoundsKeyNames) {
    const std::string path = WriteText("browse_rules_test.di",
                                       "\"120\",\"0\",\"c30\",\"186\",\"1\",\"c30\", junk ,\"200\",\"0\",\"e255\","
                                       "\"250\",\"0\",\"c30000000000000000000000000000000000000000000000000000\","
                                       "\"99999999999999\",\"1\",\"mm\",\"-40\",\"0\",\"ml\",\"300\",\"0\",\"c3");
    ASSERT_FALSE(path.empty());
    CVQDiReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    VQDiEntry e;
    std::vector<std::string> names;
    std::vector<int> times, releases;
    while (reader.Next(&e)) {
        names.push_back(e.name);
        times.push_back(e.time);
        releases.push_back(e.release);
    }
    // The cut-off last entry is not given.
    ASSERT_EQ(names.size(), 6u);
    EXPECT_EQ(names[0], "c30");
    EXPECT_EQ(times[0], 120);
    EXPECT_EQ(releases[1], 1);
    EXPECT_EQ(names[3].size(), static_cast<size_t>(CVQDiReader::kFieldMax));  // cut, no overrun
    EXPECT_EQ(times[4], INT32_MAX);
    EXPECT_EQ(times[5], -40);

    EXPECT_EQ(VQDiKeyIndex("ml"), 0);
    EXPECT_EQ(VQDiKeyIndex("mr"), 2);
    EXPECT_EQ(VQDiKeyIndex("c30"), 32);
    EXPECT_EQ(VQDiKeyIndex("c255"), 257);
    EXPECT_EQ(VQDiKeyIndex("e253"), 511);
    EXPECT_EQ(VQDiKeyIndex(names[2].c_str()), -1);  // e255 would fall past the table
    EXPECT_EQ(VQDiKeyIndex("e254"), -1);
    EXPECT_EQ(VQDiKeyIndex(names[3].c_str()), -1);
    EXPECT_EQ(VQDiKeyIndex("c256"), -1);
    EXPECT_EQ(VQDiKeyIndex("c"), -1);
    EXPECT_EQ(VQDiKeyIndex("c-1"), -1);
    EXPECT_EQ(VQDiKeyIndex("x30"), -1);

    // Rewinding starts at the first event again.
    ASSERT_TRUE(reader.Rewind());
    ASSERT_TRUE(reader.Next(&e));
    EXPECT_EQ(e.time, 120);
    reader.Close();  // a file open for reading cannot be deleted on Windows
    remove(path.c_str());
    EXPECT_FALSE(reader.Rewind());  // the file went: nothing to read
}

TEST(BrowseRules, KeyTableFitsThePictureWithoutOverlaps) {
    // The rows draw the keyboard picture (491 x 121 at (2, 12)) and mark the
    // keys: each names one slot, lies on the picture and covers no other key.
    std::set<int> slots;
    const VQKeyRow* rows = VQKeyRows();
    auto overlap = [](int ax, int ay, int aw, int ah, int bx, int by, int bw, int bh) {
        return ax < bx + bw && bx < ax + aw && ay < by + bh && by < ay + ah;
    };
    for (int i = 0; i < VQKeyRowCount(); ++i) {
        const VQKeyRow& r = rows[i];
        const int slot = VQDiKeyIndex(r.name);
        EXPECT_GE(slot, 0) << r.name;
        EXPECT_TRUE(slots.insert(slot).second) << r.name;
        EXPECT_GE(r.x - 2, 0) << r.name;
        EXPECT_GE(r.y - 12, 0) << r.name;
        EXPECT_LE(r.x - 2 + r.width, 491) << r.name;
        EXPECT_LE(r.y - 12 + r.height, 121) << r.name;
        EXPECT_FALSE(
            overlap(r.x, r.y, r.width, r.height, kVQOtherKey.x, kVQOtherKey.y, kVQOtherKey.width, kVQOtherKey.height))
            << r.name;
        for (int j = 0; j < i; ++j)
            EXPECT_FALSE(overlap(r.x, r.y, r.width, r.height, rows[j].x, rows[j].y, rows[j].width, rows[j].height))
                << r.name << " " << rows[j].name;
    }
    VQKeyRect table[kVQKeyTableSize];
    VQFillKeyTable(table);
    EXPECT_EQ(table[VQDiKeyIndex("c1")].x, 8);  // escape opens row 1
    EXPECT_EQ(table[VQDiKeyIndex("c1")].y, 43);
    EXPECT_EQ(table[0].x, 445);  // the left mouse button
    EXPECT_EQ(table[VQDiKeyIndex("e200")].x, kVQOtherKey.x);
}
