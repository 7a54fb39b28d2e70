#include <gtest/gtest.h>

#include <map>

#include "CVKGameDetector.h"
#include "CVKGameStore.h"
#include "CVKHudInstaller.h"
#include "FakeFileSystem.h"

namespace {

class FakeFolders : public IVKFolderReader {
public:
    std::map<std::string, std::string> values;
    std::string ReadFolder(const std::string& path) override {
        auto it = values.find(path);
        return it == values.end() ? std::string() : it->second;
    }
};

CVKIniStore Catalogue(const std::string& text) {
    CVKIniStore ini;
    ini.Parse(text);
    return ini;
}

TEST(GameDetector, FindsGamesThroughKeysTruncAndAppend) {
    FakeFileSystem fs;
    FakeFolders reg;
    fs.AddDir("C:\\Games");
    fs.AddDir("C:\\Games\\Quake");
    fs.AddDir("C:\\Games\\Quake\\v1");
    fs.AddDir("C:\\Games\\Quake\\v2");
    fs.AddFile("C:\\Games\\Quake\\v2\\quake.exe", "MZ");
    reg.values["HKEY_LOCAL_MACHINE\\Software\\Quake\\Path"] = "C:\\Games\\Quake\\Bin\\Sub";
    auto found = CVKGameDetector(&fs, &reg).Detect(Catalogue(
        "[a]\nName=Quake\nShortName=quake\nGenre=action\nLaunchDirKey=HKEY_LOCAL_MACHINE\\Software\\Quake\\Path\n"
        "LaunchDirTruncAt=/bin\nLaunchDirAppend=v*\nLaunchExe=quake.exe\nInGameRenderer=OpenGL\n"
        "[b]\nName=Missing\nShortName=missing\nLaunchDirKey=Software\\Nowhere\nLaunchExe=x.exe\n"));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].shortName, "quake");
    EXPECT_EQ(found[0].launcher, "C:\\Games\\Quake\\v2\\quake.exe");
    EXPECT_EQ(found[0].binFolder, "C:\\Games\\Quake\\v2");
    EXPECT_EQ(found[0].renderer, "OpenGL");
}

TEST(GameDetector, DetectFolderAndProgramMustExist) {
    FakeFileSystem fs;
    FakeFolders reg;
    fs.AddDir("C:\\Sample");
    fs.AddDir("C:\\Sample\\bin");
    fs.AddFile("C:\\Sample\\bin\\sample9.exe", "MZ");
    fs.AddDir("C:\\Left");  // folder left behind by an uninstalled game
    reg.values["Software\\Sample\\Folder"] = "C:/Sample";
    reg.values["Software\\Left\\Folder"] = "C:\\Left";
    CVKGameDetector d(&fs, &reg);
    auto found = d.Detect(Catalogue(
        "[s]\nShortName=sample9\nLaunchDirKey=Software\\Sample\\Folder\nDetectDirKey=Software\\Sample\\Folder\n"
        "DetectExe=bin\\sample9.exe\nLaunchExe=bin\\sample9.exe\n"
        "[l]\nShortName=left\nDetectDirKey=Software\\Left\\Folder\nDetectExe=left.exe\n"));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].binFolder, "C:/Sample\\bin");
    EXPECT_EQ(found[0].launcher, "C:/Sample\\bin\\sample9.exe");
}

TEST(GameDetector, RefusesPathsLeavingTheirFolder) {
    FakeFileSystem fs;
    FakeFolders reg;
    fs.AddDir("C:\\Windows");
    fs.AddDir("C:\\Windows\\system32");
    fs.AddFile("C:\\Windows\\system32\\cmd.exe", "MZ");
    fs.AddDir("C:\\Game");
    reg.values["Software\\G\\Folder"] = "C:\\Game";
    CVKGameDetector d(&fs, &reg);
    EXPECT_TRUE(d.Detect(Catalogue("[x]\nDetectDirKey=Software\\G\\Folder\nDetectExe=..\\Windows\\system32\\cmd.exe\n"))
                    .empty());
    EXPECT_TRUE(d.Detect(Catalogue("[x]\nDetectDirKey=Software\\G\\Folder\nLaunchExe=C:\\Windows\\system32\\cmd.exe\n"))
                    .empty());
    EXPECT_TRUE(d.Detect(Catalogue("[x]\nLaunchDirKey=Software\\G\\Folder\nLaunchDirAppend=..\\Windows\n"
                                   "LaunchExe=system32\\cmd.exe\n"))
                    .empty());
    // A missing registry value never turns the relative part into a path
    // from the root of the drive.
    fs.AddDir("\\Windows");
    fs.AddDir("\\Windows\\system32");
    fs.AddFile("\\Windows\\system32\\cmd.exe", "MZ");
    EXPECT_TRUE(d.Detect(Catalogue("[x]\nLaunchDirKey=Software\\Missing\nLaunchDirAppend=Windows\n"
                                   "LaunchExe=system32\\cmd.exe\n"))
                    .empty());
}

TEST(GameStore, KeepsRecordsInOrderAndFindsDuplicates) {
    FakeFileSystem fs;
    fs.AddDir("C:\\Data\\Games");
    CVKGameStore store(&fs, "C:\\Data\\Games\\");
    store.Load();
    EXPECT_TRUE(store.Ids().empty());
    VKGame a;
    a.id = 17;
    a.shortName = "sample9";
    a.platform = "pc";
    a.genre = "action";
    a.title = "Sample\r\nGame";
    a.launcher = "C:\\Sample\\sample9.exe";
    ASSERT_TRUE(store.Add(a));
    VKGame b = a;
    b.id = 5;
    b.shortName = "other";
    ASSERT_TRUE(store.Add(b));
    CVKGameStore again(&fs, "C:\\Data\\Games");
    again.Load();
    ASSERT_EQ(again.Ids(), (std::vector<int>{17, 5}));
    VKGame got;
    ASSERT_TRUE(again.Get(17, &got));
    EXPECT_EQ(got.title, "Sample  Game");
    EXPECT_EQ(again.FindSame("SAMPLE9", "PC", "Action"), 17);
    EXPECT_EQ(again.FindSame("sample9", "pc", "rpg"), 0);
    ASSERT_TRUE(again.SetFolders(17, "D:\\g.exe", "D:\\"));
    ASSERT_TRUE(again.Remove(5));
    EXPECT_FALSE(again.Remove(5));
    store.Load();
    ASSERT_EQ(store.Ids(), std::vector<int>{17});
    ASSERT_TRUE(store.Get(17, &got));
    EXPECT_EQ(got.binFolder, "D:\\");
    EXPECT_TRUE(fs.Content("C:\\Data\\Games\\game.dat").rfind("[17]\r\nShortName=sample9\r\nPlatform=pc\r\n", 0) == 0);
}

// A program folder with the HUD set and a game folder.
class HudFolders : public ::testing::Test {
protected:
    void SetUp() override {
        fs.AddDir("C:\\Prog");
        for (const char* n : {"d3d8.dll", "d3d9.dll", "avcodec-59.dll", "swscale-6.dll", "swresample-4.dll",
                              "avformat-59.dll", "avutil-57.dll"})
            fs.AddFile(std::string("C:\\Prog\\") + n, std::string("ours:") + n, 0x0004000000060000ull);
        fs.AddDir("C:\\Game");
        fs.AddFile("C:\\Game\\game.exe", "not a PE image");
    }
    unsigned Status(bool* inserted) {
        std::string messages;
        return hud.HudStatus("C:\\Game", inserted, &messages);
    }
    FakeFileSystem fs;
    CVKHudInstaller hud{&fs, "C:\\Prog\\"};
};

TEST_F(HudFolders, StatusCountsLibrariesNotTheNote) {
    bool inserted = true;
    EXPECT_EQ(Status(&inserted), 0u);
    EXPECT_FALSE(inserted);
    fs.AddFile("C:\\Game\\orvalo.txt", CVKHudInstaller::NoteText());
    EXPECT_EQ(Status(&inserted), 1u);
    EXPECT_FALSE(inserted);
    fs.Copy("C:\\Prog\\d3d9.dll", "C:\\Game\\d3d9.dll");
    fs.Copy("C:\\Prog\\avcodec-59.dll", "C:\\Game\\avcodec-59.dll");
    fs.Copy("C:\\Prog\\swscale-6.dll", "C:\\Game\\swscale-6.dll");
    fs.Copy("C:\\Prog\\swresample-4.dll", "C:\\Game\\swresample-4.dll");
    fs.Copy("C:\\Prog\\avformat-59.dll", "C:\\Game\\avformat-59.dll");
    EXPECT_EQ(Status(&inserted), 0x3021u);  // two of the three codec libraries: the row is not complete
    EXPECT_TRUE(inserted);
    std::string messages;
    EXPECT_EQ(hud.HudStatus("C:\\Nowhere", &inserted, &messages), 0u);
    EXPECT_FALSE(inserted);
}

TEST_F(HudFolders, InsertCopiesTheMaskAndTheNote) {
    std::string messages;
    ASSERT_EQ(hud.Insert("C:\\Game", 0x0101, &messages), 1) << messages;  // DirectInput only: not shipped
    EXPECT_EQ(fs.Content("C:\\Game\\orvalo.txt"), CVKHudInstaller::NoteText());
    EXPECT_FALSE(fs.Exists("C:\\Game\\d3d9.dll"));
    ASSERT_EQ(hud.Insert("C:\\Game", 0xF021, &messages), 1) << messages;
    bool inserted;
    EXPECT_EQ(Status(&inserted), 0x7021u);
    EXPECT_FALSE(fs.Exists("C:\\Game\\d3d8.dll"));
    EXPECT_EQ(hud.Insert("C:\\Missing", 0xFFFF, &messages), 0);
}

TEST_F(HudFolders, InsertRefusesAGamesOwnLibrary) {
    fs.AddFile("C:\\Game\\d3d9.dll", "the game's own");
    std::string messages;
    EXPECT_EQ(hud.Insert("C:\\Game", 0xFFFF, &messages), 0);
    EXPECT_NE(messages.find("Try to 'Remove All' first."), std::string::npos);
    EXPECT_FALSE(fs.Exists("C:\\Game\\orvalo.txt"));
}

TEST_F(HudFolders, RemoveDirectX9KeepsCodecsWhileDirectX8Remains) {
    std::string messages;
    ASSERT_EQ(hud.Insert("C:\\Game", 0xFFFF, &messages), 1);
    ASSERT_TRUE(fs.Exists("C:\\Game\\d3d8.dll"));
    ASSERT_EQ(hud.Remove("C:\\Game", 0x0020, &messages), 1);
    EXPECT_FALSE(fs.Exists("C:\\Game\\d3d9.dll"));
    EXPECT_TRUE(fs.Exists("C:\\Game\\avcodec-59.dll"));
    EXPECT_TRUE(fs.Exists("C:\\Game\\swscale-6.dll"));
    ASSERT_EQ(hud.Remove("C:\\Game", 0xFFFF, &messages), 1);
    std::vector<VKDirEntry> left;
    fs.List("C:\\Game\\*", &left);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].name, "game.exe");
}

TEST_F(HudFolders, RemoveNeverDeletesTheGamesOwnRuntime) {
    std::string messages;
    ASSERT_EQ(hud.Insert("C:\\Game", 0xF011, &messages), 1);
    // The game brings its own d3d9.dll later (a system version, not ours).
    fs.AddFile("C:\\Game\\d3d9.dll", "system runtime", 0x0005000300020000ull);
    fs.AddFile("C:\\Game\\dinput8.dll", "no version at all");
    ASSERT_EQ(hud.Remove("C:\\Game", 0xFFFF, &messages), 1);
    EXPECT_EQ(fs.Content("C:\\Game\\d3d9.dll"), "system runtime");
    EXPECT_TRUE(fs.Exists("C:\\Game\\dinput8.dll"));
    EXPECT_FALSE(fs.Exists("C:\\Game\\d3d8.dll"));
    EXPECT_NE(messages.find("Kept C:\\Game\\d3d9.dll"), std::string::npos);
    // Without the note file even a differing copy of our own line is kept.
    fs.AddFile("C:\\Game\\d3d8.dll", "older ours", 0x0004000000050000ull);
    ASSERT_EQ(hud.Remove("C:\\Game", 0x0010, &messages), 1);
    EXPECT_TRUE(fs.Exists("C:\\Game\\d3d8.dll"));
}

TEST_F(HudFolders, OutdatedCopyWithNoteIsDeletedByTheStatusTest) {
    fs.AddFile("C:\\Game\\orvalo.txt", CVKHudInstaller::NoteText());
    fs.AddFile("C:\\Game\\d3d9.dll", "older ours", 0x0004000000050000ull);
    fs.AddFile("C:\\Game\\d3d8.dll", "newer ours", 0x0004000000070000ull);
    bool inserted;
    EXPECT_EQ(Status(&inserted), 1u);
    EXPECT_FALSE(fs.Exists("C:\\Game\\d3d9.dll"));
    EXPECT_TRUE(fs.Exists("C:\\Game\\d3d8.dll"));  // equal or higher version stays and blocks insertion
    std::string messages;
    EXPECT_EQ(hud.Insert("C:\\Game", 0xF021, &messages), 0);
    fs.Lock("C:\\Game\\d3d8.dll");
    fs.AddFile("C:\\Game\\d3d8.dll", "older ours", 0x0004000000050000ull);
    hud.HudStatus("C:\\Game", &inserted, &messages);
    EXPECT_NE(messages.find("Failed to delete old DLL: C:\\Game\\d3d8.dll"), std::string::npos);
}

TEST(PeMachineTest, ReadsTheMachineField) {
    std::string image(0x100, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    image[0x3C] = static_cast<char>(0x80);
    image.replace(0x80, 4, std::string("PE\0\0", 4));
    image[0x84] = static_cast<char>(0x64);
    image[0x85] = static_cast<char>(0x86);
    EXPECT_EQ(PeMachine(image), 0x8664u);
    image[0x3C] = static_cast<char>(0xFE);  // header offset past the end
    EXPECT_EQ(PeMachine(image), 0u);
    EXPECT_EQ(PeMachine("MZ"), 0u);
}

TEST(HudSource, SixtyFourBitGamesGetTheOtherSet) {
    FakeFileSystem fs;
    fs.AddDir("C:\\Game");
    std::string image(0x100, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    image[0x3C] = static_cast<char>(0x80);
    image.replace(0x80, 4, std::string("PE\0\0", 4));
    image[0x84] = static_cast<char>(0x4C);
    image[0x85] = static_cast<char>(0x01);
    fs.AddFile("C:\\Game\\game.exe", image);
    CVKHudInstaller hud(&fs, "C:\\Prog");
    EXPECT_EQ(hud.SourceFolder("C:\\Game"), sizeof(void*) == 8 ? "C:\\Prog\\x86" : "C:\\Prog");
    image[0x84] = static_cast<char>(0x64);
    image[0x85] = static_cast<char>(0x86);
    fs.AddFile("C:\\Game\\game.exe", image);
    EXPECT_EQ(hud.SourceFolder("C:\\Game"), sizeof(void*) == 8 ? "C:\\Prog" : "C:\\Prog\\x64");
    EXPECT_EQ(hud.SourceFolder("C:\\Empty"), "C:\\Prog");
}

}  // namespace
