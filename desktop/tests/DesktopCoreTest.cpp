#include <gtest/gtest.h>

#include <zlib.h>

#include "CVKCatalogue.h"
#include "CVKIniStore.h"
#include "FakeFileSystem.h"
#include "VKDesktopPaths.h"
#include "VKGameSearch.h"
#include "VKInstance.h"
#include "VKRegistryPath.h"
#include "VKScramble.h"
#include "VKUrlText.h"
#include "VKVersionText.h"

namespace {

std::string Unpacked(const std::string& body, CVKCatalogue::Result* result) {
    std::string text = "left over";
    *result = CVKCatalogue::Unpack(reinterpret_cast<const unsigned char*>(body.data()), body.size(), &text);
    return text;
}

std::string WithLength(std::string body, unsigned length) {
    for (int i = 0; i < 4; ++i) body[9 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    return body;
}

TEST(Catalogue, UnpacksWhatWasPacked) {
    std::string ini = "[1]\r\nName=Sample Game\r\nShortName=sample9\r\n";
    CVKCatalogue::Result r;
    EXPECT_EQ(Unpacked(CVKCatalogue::Pack(ini), &r), ini);
    EXPECT_EQ(r, CVKCatalogue::kOk);
}

TEST(Catalogue, RefusesBadEnvelopes) {
    std::string good = CVKCatalogue::Pack("[a]\nName=x\n");
    CVKCatalogue::Result r;
    std::string bad = good;
    bad[4] = '1';
    EXPECT_EQ(Unpacked(bad, &r), "");
    EXPECT_EQ(r, CVKCatalogue::kBadMagic);
    bad = good;
    bad[5] = 'x';  // the magic must end with a zero byte
    Unpacked(bad, &r);
    EXPECT_EQ(r, CVKCatalogue::kBadMagic);
    Unpacked(good.substr(0, 5), &r);
    EXPECT_EQ(r, CVKCatalogue::kBadMagic);
    // 12 bytes: the length field is cut short.
    Unpacked(good.substr(0, 12), &r);
    EXPECT_EQ(r, CVKCatalogue::kTooShort);
    // A valid header and nothing to unpack.
    Unpacked(good.substr(0, 13), &r);
    EXPECT_EQ(r, CVKCatalogue::kBadData);
    bad = good;
    for (size_t i = 13; i < bad.size(); ++i) bad[i] = static_cast<char>(bad[i] ^ 0x5A);
    Unpacked(bad, &r);
    EXPECT_EQ(r, CVKCatalogue::kBadData);
}

TEST(Catalogue, ChecksDeclaredLengthAgainstRealOutput) {
    std::string good = CVKCatalogue::Pack("[a]\nName=x\n");  // 11 bytes
    CVKCatalogue::Result r;
    EXPECT_EQ(Unpacked(WithLength(good, 5), &r), "");
    EXPECT_EQ(r, CVKCatalogue::kWrongLength);
    EXPECT_EQ(Unpacked(WithLength(good, 400), &r), "");
    EXPECT_EQ(r, CVKCatalogue::kWrongLength);
    EXPECT_EQ(Unpacked(WithLength(good, 0), &r), "");
    EXPECT_EQ(r, CVKCatalogue::kBadData);
    // A huge declared length is refused before anything is allocated.
    Unpacked(WithLength(good, 0xFFFFFFFFu), &r);
    EXPECT_EQ(r, CVKCatalogue::kTooLarge);
    Unpacked(WithLength(good, CVKCatalogue::kMaxText + 1), &r);
    EXPECT_EQ(r, CVKCatalogue::kTooLarge);
}

TEST(IniStore, ReadsSectionsAndKeysInOrderIgnoringCase) {
    CVKIniStore ini;
    ini.Parse(
        "; comment\r\n[Game A]\r\n Name = First \r\nshortname=a\r\n\r\n[B]\nName=\"Quoted\"\nName=Second\n"
        "junk line\n[game a]\nGenre=action\n");
    ASSERT_EQ(ini.Sections().size(), 2u);
    EXPECT_EQ(ini.Sections()[0].name, "Game A");
    EXPECT_EQ(ini.Get("GAME A", "NAME"), "First");
    EXPECT_EQ(ini.Get("game a", "ShortName"), "a");
    EXPECT_EQ(ini.Get("Game A", "Genre"), "action");  // a repeated section adds to the first
    EXPECT_EQ(ini.Get("B", "Name"), "Second");
    EXPECT_EQ(ini.Get("B", "Missing", "def"), "def");
    EXPECT_EQ(ini.Get("Nope", "Name", "def"), "def");
}

TEST(IniStore, ValuesCannotInjectKeysOrSections) {
    CVKIniStore ini;
    ini.Set("10", "Title", "Evil\r\n[11]\r\nBinFolder=C:\\Windows");
    ini.Set("10", "Genre", "x");
    ini.Set("10", "Title", "Replaced\nTitle");
    CVKIniStore again;
    again.Parse(ini.Text());
    ASSERT_EQ(again.Sections().size(), 1u);
    EXPECT_EQ(again.Get("10", "Title"), "Replaced Title");
    EXPECT_EQ(again.Sections()[0].keys[1].first, "Genre");
    EXPECT_TRUE(again.Remove("10"));
    EXPECT_FALSE(again.Remove("10"));
    EXPECT_EQ(again.Text(), "");
}

TEST(JoinPath, JoinsWithOneBackslash) {
    FakeFileSystem fs;
    EXPECT_EQ(JoinPath("C:\\Games", "", &fs), "C:\\Games");
    EXPECT_EQ(JoinPath("C:\\Games\\", "\\bin\\game.exe", &fs), "C:\\Games\\bin\\game.exe");
    EXPECT_EQ(JoinPath("C:\\Games", "bin", &fs), "C:\\Games\\bin");
    EXPECT_EQ(JoinPath("C:\\Games\\\\", "\\\\bin", &fs), "C:\\Games\\\\\\bin");  // only one of each is dropped
}

TEST(JoinPath, ExpandsTheStarToADirectory) {
    FakeFileSystem fs;
    fs.AddDir("C:\\Games");
    fs.AddDir("C:\\Games\\.hidden");
    fs.AddDir("C:\\Games\\Alpha");
    fs.AddFile("C:\\Games\\Zeta.txt", "file, not a folder");
    fs.AddDir("C:\\Games\\Beta");
    fs.AddDir("C:\\Games\\Game 2");
    fs.AddFile("C:\\Games\\Game 3", "file");
    EXPECT_EQ(JoinPath("C:\\Games", "*\\bin", &fs), "C:\\Games\\Game 2\\bin");
    EXPECT_EQ(JoinPath("C:\\Games", "*\\bin", &fs, true), "C:\\Games\\Alpha\\bin");
    // A partial pattern replaces the whole component, never doubling it.
    EXPECT_EQ(JoinPath("C:\\Games", "Game*\\bin", &fs), "C:\\Games\\Game 2\\bin");
    EXPECT_EQ(JoinPath("C:\\Games", "B*", &fs), "C:\\Games\\Beta");
    // No match: the star is dropped.
    EXPECT_EQ(JoinPath("C:\\Games", "Q*\\bin", &fs), "C:\\Games\\Q\\bin");
    EXPECT_EQ(JoinPath("C:\\None", "*\\bin", &fs), "C:\\None\\\\bin");
    // Only the first star is expanded.
    EXPECT_EQ(JoinPath("C:\\Games", "A*\\*.exe", &fs), "C:\\Games\\Alpha\\*.exe");
}

TEST(Paths, TruncAtIgnoresCase) {
    EXPECT_EQ(TruncAtNoCase("C:\\Games\\Quake\\Bin\\Sub", "\\bin"), "C:\\Games\\Quake");
    EXPECT_EQ(TruncAtNoCase("C:\\Games\\Quake", "\\bin"), "C:\\Games\\Quake");
    EXPECT_EQ(TruncAtNoCase("\\bi", "\\bin"), "\\bi");
    EXPECT_EQ(TruncAtNoCase("\\BIN", "\\bin"), "");
    EXPECT_EQ(TruncAtNoCase("C:\\x", ""), "C:\\x");
}

TEST(Paths, CatalogueNamesAndPathsStayInside) {
    EXPECT_TRUE(IsSafeRelativePath("bin\\game.exe"));
    EXPECT_TRUE(IsSafeRelativePath("Game*/bin/run.exe"));
    EXPECT_TRUE(IsSafeRelativePath(""));
    EXPECT_TRUE(IsSafeRelativePath("v1.2\\a..b.exe"));
    EXPECT_FALSE(IsSafeRelativePath("..\\..\\Windows\\system32\\x.exe"));
    EXPECT_FALSE(IsSafeRelativePath("bin/../../x.exe"));
    EXPECT_FALSE(IsSafeRelativePath("bin\\.. \\x.exe"));
    EXPECT_FALSE(IsSafeRelativePath("\\Windows\\x.exe"));
    EXPECT_FALSE(IsSafeRelativePath("C:\\Windows\\x.exe"));
    EXPECT_FALSE(IsSafeRelativePath("C:x.exe"));
    EXPECT_TRUE(IsSafeNameComponent("sample9"));
    for (const char* bad : {"", "a\\b", "a/b", "c:", "..", "x..y"}) EXPECT_FALSE(IsSafeNameComponent(bad)) << bad;
}

TEST(SearchReply, SplitsRecordsOfTenFields) {
    auto r = ParseSearchReply("1;sam;pc;action;2007;M;Sample Game;Pub;Dev;x;\r\n2;;ps2;;;;Other;;;;\r\n");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].shortName, "sam");
    EXPECT_EQ(r[0].title, "Sample Game");
    EXPECT_EQ(r[0].developer, "Dev");
    EXPECT_EQ(SearchRecordLine(r[0]), "Sample Game (pc,action,2007,Pub)");
    EXPECT_EQ(r[1].shortName, "");
    EXPECT_EQ(r[1].platform, "ps2");
    EXPECT_EQ(r[1].title, "Other");
    // Line ends alone end fields too, and runs of them are one separator.
    auto lines = ParseSearchReply("1\n2\n3\n4\n5\n6\n7\n8\n9\n10\r\n\r\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].shortName, "2");
    EXPECT_EQ(lines[0].developer, "9");
    EXPECT_TRUE(ParseSearchReply("").empty());
    EXPECT_TRUE(ParseSearchReply("\r\n\r\n").empty());
    // A record cut short keeps what it has.
    auto cut = ParseSearchReply("1;short;pc");
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].platform, "pc");
    EXPECT_EQ(cut[0].title, "");
}

TEST(SearchReply, ListsAtMost999) {
    std::string body;
    for (int i = 0; i < 1200; ++i) body += std::to_string(i) + ";s" + std::to_string(i) + ";pc;action;;;T;;;;\r\n";
    auto r = ParseSearchReply(body);
    ASSERT_EQ(r.size(), 999u);
    EXPECT_EQ(r[998].shortName, "s998");
}

TEST(Versions, FileVersionStrings) {
    uint64_t v = 0;
    ASSERT_TRUE(ParseFileVersion("1,2,3,4", &v));
    EXPECT_EQ(v, 0x0001000200030004ull);
    ASSERT_TRUE(ParseFileVersion("1, 2", &v));
    EXPECT_EQ(v, 0x0001000200000000ull);
    EXPECT_FALSE(ParseFileVersion("7", &v));
    ASSERT_TRUE(ParseFileVersion("65537,1,0,70000", &v));  // parts masked to 16 bits
    EXPECT_EQ(v, 0x0001000100000000ull | (70000u & 0xFFFF));
    uint64_t older, newer;
    ParseFileVersion("4,0,5,9", &older);
    ParseFileVersion("4,0,6,0", &newer);
    EXPECT_LT(older, newer);
}

TEST(Versions, DirectXCheck) {
    EXPECT_TRUE(DirectXNeedsUpgrade("4.09.00.0902"));
    EXPECT_FALSE(DirectXNeedsUpgrade("4.09.00.0904"));
    EXPECT_FALSE(DirectXNeedsUpgrade("4.08.01.0881"));
    EXPECT_FALSE(DirectXNeedsUpgrade("4.09.00"));
    EXPECT_FALSE(DirectXNeedsUpgrade(""));
}

TEST(RegistryPathTest, RootNamesSelectTheRoot) {
    VKRegistryPath p = RegistryPath("HKEY_LOCAL_MACHINE\\Software\\Game");
    EXPECT_EQ(p.root, kRootLocalMachine);
    EXPECT_EQ(p.path, "Software\\Game");
    EXPECT_EQ(RegistryPath("HKEY_CLASSES_ROOT\\CLSID").root, kRootClassesRoot);
    EXPECT_EQ(RegistryPath("HKEY_USERS\\.DEFAULT").root, kRootUsers);
    EXPECT_EQ(RegistryPath("HKEY_CURRENT_CONFIG\\x").root, kRootCurrentConfig);
    p = RegistryPath("Software\\Game");
    EXPECT_EQ(p.root, kRootCurrentUser);
    EXPECT_EQ(p.path, "Software\\Game");
    // Without its backslash a root name is just part of the path.
    EXPECT_EQ(RegistryPath("HKEY_LOCAL_MACHINE").root, kRootCurrentUser);
    std::string key, name;
    SplitValuePath("Software\\Game\\Folder", &key, &name);
    EXPECT_EQ(key, "Software\\Game");
    EXPECT_EQ(name, "Folder");
}

TEST(Instance, HeartbeatArithmetic) {
    const int64_t now = 1765000000000;
    EXPECT_TRUE(OtherInstanceAlive(now, now));
    EXPECT_TRUE(OtherInstanceAlive(now, now - 2999));
    EXPECT_FALSE(OtherInstanceAlive(now, now - 3000));
    EXPECT_FALSE(OtherInstanceAlive(now, now + 1));  // from the future: the clock was set back
    EXPECT_FALSE(OtherInstanceAlive(now, INT64_MIN));
    EXPECT_FALSE(OtherInstanceAlive(now, INT64_MAX));
    EXPECT_EQ(ParseHeartbeat("1765000000123"), 1765000000123);
    EXPECT_EQ(ParseHeartbeat("-5"), -5);
    EXPECT_EQ(ParseHeartbeat("junk"), 0);
    EXPECT_EQ(ParseHeartbeat("99999999999999999999999"), 0);
    EXPECT_EQ(ShowRequestTab(0), -2);
    EXPECT_EQ(ShowRequestTab(-3), -2);
    EXPECT_EQ(ShowRequestTab(3), 2);
    EXPECT_EQ(ShowRequestTab(100), -1);
}

TEST(Instance, WeeklyTriggerAndJobReset) {
    bool fire = true;
    EXPECT_TRUE(WeeklyUpdateDue(0, 1000000000, &fire));
    EXPECT_FALSE(fire);  // first run only stores the time
    EXPECT_FALSE(WeeklyUpdateDue(1000000000 - 604800, 1000000000, &fire));
    EXPECT_TRUE(WeeklyUpdateDue(1000000000 - 604801, 1000000000, &fire));
    EXPECT_TRUE(fire);
    EXPECT_TRUE(EncodeJobNeedsReset("57"));
    EXPECT_TRUE(EncodeJobNeedsReset("-1"));
    EXPECT_FALSE(EncodeJobNeedsReset("100"));
    EXPECT_TRUE(HasStartupSwitch("\"C:\\x.exe\" -startup"));
    EXPECT_FALSE(HasStartupSwitch("\"C:\\x.exe\""));
}

TEST(Queries, ValuesArePercentEncoded) {
    EXPECT_EQ(PercentEncode("a b&c=d/%\xff"), "a%20b%26c%3Dd%2F%25%FF");
    EXPECT_EQ(RegisterGameQuery("s&op=1", "pc", "action", "anna", "p w", 0, "C:\\G\\g.exe", ""),
              "gameshortname=s%26op%3D1&gameplatform=pc&gamegenre=action&un=anna&pw=p%20w&op=0"
              "&launcherapp1=C%3A%5CG%5Cg.exe&binfolder=");
    EXPECT_EQ(GameSearchQuery("Half Life", "pc", ""), "title=Half%20Life&folder=&platform=pc&genre=");
    EXPECT_EQ(BrowserLoginQuery("/user.php", true, "anna", "x&y"), "target=%2Fuser.php&un=anna&pw=x%26y");
    EXPECT_EQ(BrowserLoginQuery("/faq.php", false, "anna", "pw"), "target=%2Ffaq.php");
    EXPECT_EQ(BoxPictureFile("pc", "action", "sample9"), "pc-action-sample9-box.jpg");
}

TEST(Scrambler, RoundTripsAndNeverMakesZeroFromAscii) {
    std::string pw = "anna-pw with spaces 0123456789";
    std::string s = VKScramblePassword(pw);
    EXPECT_NE(s, pw);
    EXPECT_EQ(VKScramblePassword(s), pw);
    std::string ascii;
    for (int c = 1; c < 128; ++c) ascii.push_back(static_cast<char>(c));
    EXPECT_TRUE(VKScrambledStorable(VKScramblePassword(ascii)));
    EXPECT_EQ(VKScramblePassword(""), "");
}

}  // namespace
