#include <gtest/gtest.h>

#include <cstring>

#include "VQRecordingName.h"

TEST(VQRecordingName, GameNameAndStartTime) {
    char path[260];
    VQLocalTime t = {2007, 3, 4, 5, 6, 7};
    VQBuildRecordingPath(path, sizeof path, "C:\\", "C:\\Games\\My Game\\game.exe", t, ".rec");
    EXPECT_STREQ("C:\\game_2007-03-04_05-06-07.rec", path);
    // A folder without its backslash is glued to the name, as configured.
    VQBuildRecordingPath(path, sizeof path, "D:\\Videos", "D:\\x\\game.exe", t, ".rec");
    EXPECT_STREQ("D:\\Videosgame_2007-03-04_05-06-07.rec", path);
    // Without the executable's path the name falls back to the given one.
    VQBuildRecordingPath(path, sizeof path, "C:\\", "\\vqhud.exe", t, ".rec");
    EXPECT_STREQ("C:\\vqhud_2007-03-04_05-06-07.rec", path);
    // Only the last extension goes; dots in folders stay.
    VQBuildRecordingPath(path, sizeof path, "E:\\a.b\\", "C:\\x.y\\the.game.exe", t, ".asf");
    EXPECT_STREQ("E:\\a.b\\the.game_2007-03-04_05-06-07.asf", path);
}

TEST(VQRecordingName, TooLongPathIsReportedAndTerminated) {
    char path[16];
    VQLocalTime t = {2007, 3, 4, 5, 6, 7};
    size_t needed = VQBuildRecordingPath(path, sizeof path, "C:\\", "game.exe", t, ".rec");
    EXPECT_GE(needed, sizeof path);
    EXPECT_EQ(sizeof path - 1, strlen(path));
}

TEST(VQRecordingName, ReplaceExtension) {
    char path[260] = "C:\\v.d\\game_2007-03-04_05-06-07.rec";
    ASSERT_EQ(1, VQReplaceExtension(path, sizeof path, ".di"));
    EXPECT_STREQ("C:\\v.d\\game_2007-03-04_05-06-07.di", path);
    char bare[260] = "C:\\v.d\\noext";
    ASSERT_EQ(1, VQReplaceExtension(bare, sizeof bare, ".di"));
    EXPECT_STREQ("C:\\v.d\\noext.di", bare);
    char tiny[8] = "a.rec";
    EXPECT_EQ(0, VQReplaceExtension(tiny, sizeof tiny, ".longer"));
}
