// Thumbnails and companion files of the recordings page.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "RecFileMaker.h"
#include "VKJpeg.h"
#include "VKThumbnail.h"

namespace {

std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
    fclose(f);
    return bytes;
}

TEST(Recordings, KindsByExtensionWithoutCase) {
    EXPECT_EQ(VKRecordingKindOf("game_1.REC"), kVKRec);
    EXPECT_EQ(VKRecordingKindOf("clip.Wmv"), kVKWmv);
    EXPECT_EQ(VKRecordingKindOf("seg0001.avi"), kVKAvi);
    EXPECT_EQ(VKRecordingKindOf("game_1.jpg"), kVKNotRecording);
    EXPECT_EQ(VKRecordingKindOf("game_1.di"), kVKNotRecording);
    EXPECT_EQ(VKRecordingKindOf("ec"), kVKNotRecording);
}

TEST(Recordings, ThumbnailsOfRecordingsAtTheirHalvedSizes) {
    struct Case {
        int w, h, tw, th;
    } cases[] = {{1280, 1024, 320, 256}, {1024, 768, 256, 192}, {640, 480, 320, 240}, {320, 200, 320, 200}};
    for (const Case& c : cases) {
        int tw, th;
        VKThumbnailSize(c.w, c.h, &tw, &th);
        EXPECT_EQ(tw, c.tw);
        EXPECT_EQ(th, c.th);
        const std::string name = "thumb_" + std::to_string(c.w) + ".rec";
        const std::vector<uint8_t> rec = MakeRecFile(c.w, c.h, 2, 5880, nullptr);
        ASSERT_TRUE(WriteBytes(name, rec.data(), rec.size()));
        ASSERT_TRUE(MakeThumbnail("", name, 1)) << name;
        int w = 0, h = 0;
        std::vector<unsigned char> rgb;
        ASSERT_TRUE(DecodeJpeg(ReadFileBytes("thumb_" + std::to_string(c.w) + ".jpg"), &w, &h, &rgb));
        EXPECT_EQ(w, c.tw);
        EXPECT_EQ(h, c.th);
    }
}

TEST(Recordings, FrameNOfARecordingAndPastItsEnd) {
    const std::vector<uint8_t> rec = MakeRecFile(64, 48, 3, 5880, nullptr);
    ASSERT_TRUE(WriteBytes("frames.rec", rec.data(), rec.size()));
    int w, h;
    std::vector<uint8_t> first, third;
    ASSERT_TRUE(VKReadFrame("frames.rec", 0, &w, &h, &first));
    ASSERT_TRUE(VKReadFrame("frames.rec", 2, &w, &h, &third));
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 48);
    EXPECT_EQ(first.size(), 64u * 48u * 3u);
    EXPECT_NE(first, third);  // the counter cells differ
    std::vector<uint8_t> none;
    EXPECT_FALSE(VKReadFrame("frames.rec", 3, &w, &h, &none));
    EXPECT_FALSE(VKReadFrame("frames.rec", -1, &w, &h, &none));
    EXPECT_FALSE(MakeThumbnail("", "frames.rec", 3));
    EXPECT_FALSE(MakeThumbnail("", "missing.rec", 0));
    EXPECT_FALSE(MakeThumbnail("", "frames.txt", 0));
}

TEST(Recordings, HalvingAveragesBlocks) {
    std::vector<uint8_t> rgb = {0,   0,   0,   100, 100, 100, 9, 9, 9,  //
                                200, 200, 200, 100, 100, 100, 9, 9, 9};
    int w, h;
    std::vector<uint8_t> out = VKHalveRgb(rgb, 3, 2, &w, &h);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(out, (std::vector<uint8_t>{100, 100, 100}));
}

TEST(Recordings, SharedThumbnailsStayWhileAnotherRecordingUsesThem) {
    std::set<std::string> files = {"a.rec", "a.wmv", "a.jpg", "a.di"};
    auto exists = [&files](const std::string& f) { return files.count(f) > 0; };
    // The .rec goes first: its input record goes, the thumbnail stays for the .wmv.
    EXPECT_EQ(VKCompanionFiles("a.rec", exists), (std::vector<std::string>{"a.di"}));
    files.erase("a.rec");
    files.erase("a.di");
    EXPECT_EQ(VKCompanionFiles("a.wmv", exists), (std::vector<std::string>{"a.jpg"}));
    // The other way round.
    files = {"b.rec", "b.wmv", "b.jpg"};
    EXPECT_TRUE(VKCompanionFiles("b.wmv", exists).empty());
    files.erase("b.wmv");
    EXPECT_EQ(VKCompanionFiles("b.rec", exists), (std::vector<std::string>{"b.jpg"}));
    files = {"c.avi", "c.wmv", "c.jpg", "c.di"};
    EXPECT_EQ(VKCompanionFiles("c.avi", exists), (std::vector<std::string>{"c.di"}));
    EXPECT_TRUE(VKCompanionFiles("c.wmv", exists).empty());
}

}  // namespace
