// The friends page's, the chat windows' and the update check's decisions,
// without windows or network.
#include <gtest/gtest.h>

#include "CVKChatSessions.h"
#include "CVKFriendList.h"
#include "CVKFriendsCache.h"
#include "FakeFileSystem.h"
#include "VKFriendsText.h"
#include "VKUpdateText.h"

namespace {

TEST(FriendList, RowsPerGroupOnlineFirstAndPresenceIgnoringCase) {
    CVKFriendList list;
    std::vector<VKFriendGroupNames> groups = {{"Mates", {"bo"}, {"cy", "Dee"}}, {"Work", {}, {"bo"}}};
    const std::vector<VKFriendRow>& rows = list.SetGroups(groups);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].text, "bo");
    EXPECT_EQ(rows[1].text, "cy (offline)");
    EXPECT_EQ(rows[2].text, "Dee (offline)");
    // The same friend listed offline in a second group is a row of its own.
    EXPECT_EQ(rows[3].text, "bo (offline)");
    EXPECT_EQ(rows[3].group, "Work");
    EXPECT_EQ(rows[3].name, "bo");

    bool ask = true;
    EXPECT_EQ(list.SetStatus("DEE", true, &ask), std::vector<int>({2}));
    EXPECT_FALSE(ask);
    EXPECT_EQ(list.Rows()[2].text, "DEE");
    EXPECT_EQ(list.Rows()[2].name, "Dee");  // the key stays
    // Both rows of a friend in two groups follow the change.
    EXPECT_EQ(list.SetStatus("bo", false, &ask), std::vector<int>({0, 3}));
    EXPECT_EQ(list.Rows()[0].text, "bo (offline)");
}

TEST(FriendList, UnknownNameIsAskedAboutOncePerRun) {
    CVKFriendList list;
    list.SetGroups({{"Mates", {"bo"}, {}}});
    bool ask = false;
    EXPECT_TRUE(list.SetStatus("eve", true, &ask).empty());
    EXPECT_TRUE(ask);
    for (int i = 0; i < 3; ++i) {
        list.SetStatus(i % 2 ? "EVE" : "eve", i % 2 == 0, &ask);
        EXPECT_FALSE(ask) << i;
    }
    // A new friends list does not make the question come back.
    list.SetGroups({{"Mates", {"bo"}, {}}});
    list.SetStatus("eve", true, &ask);
    EXPECT_FALSE(ask);
    // A flood of strangers is asked about only up to the limit.
    int asked = 1;
    for (int i = 0; i < 100; ++i) {
        list.SetStatus("stranger" + std::to_string(i), true, &ask);
        asked += ask ? 1 : 0;
    }
    EXPECT_EQ(asked, static_cast<int>(CVKFriendList::kMaxQuestions));
}

TEST(ChatSessions, TitleMembersAndOneUsersLinePerChange) {
    CVKChatSessions s;
    VKChatSessionUpdate u = s.OnSession(7, {"a", "b"});
    EXPECT_TRUE(u.created);
    EXPECT_EQ(u.title, "a, b - Orvalo Chat");
    EXPECT_EQ(u.membersLine, "Users: a, b");
    EXPECT_EQ(u.append, "");
    u = s.OnSession(7, {"a", "b"});
    EXPECT_FALSE(u.created);
    EXPECT_EQ(u.append, "");  // an identical repeat adds nothing
    u = s.OnSession(7, {"a", "b", "c"});
    EXPECT_EQ(u.append, "\r\nUsers: a, b, c");
    EXPECT_EQ(u.title, "a, b, c - Orvalo Chat");
    EXPECT_EQ(s.OnSession(7, {"a", "b", "c"}).append, "");
    s.Close(7);
    EXPECT_TRUE(s.OnSession(7, {"a"}).created);
}

TEST(ChatSessions, ServerCannotOpenWindowsWithoutBound) {
    CVKChatSessions s;
    for (int i = 0; i < static_cast<int>(CVKChatSessions::kMaxOpen); ++i) EXPECT_TRUE(s.OnSession(i, {"a"}).created);
    VKChatSessionUpdate u = s.OnSession(1000, {"a", "b"});
    EXPECT_TRUE(u.refused);
    EXPECT_FALSE(u.created);
    EXPECT_EQ(s.Count(), CVKChatSessions::kMaxOpen);
    // Known sessions still update; a closed window makes room.
    EXPECT_FALSE(s.OnSession(3, {"a", "b"}).refused);
    s.Close(3);
    EXPECT_TRUE(s.OnSession(1000, {"a", "b"}).created);
}

class FakeFetcher : public IVKFetcher {
public:
    void Start(const std::string& address) override {
        started.push_back(address);
        state = kOpening;
    }
    State Poll(long long* a) override {
        *a = announced;
        return state;
    }
    std::string Body() override { return body; }
    void Done(const std::string& b) {
        state = kDone;
        body = b;
    }
    std::vector<std::string> started;
    State state = kIdle;
    long long announced = -1;
    std::string body;
};

class FriendsCache : public ::testing::Test {
protected:
    FriendsCache() : cache(&fs, "C:\\data\\Friends", &fetcher, "http://site") { fs.AddDir("C:\\data\\Friends"); }
    FakeFileSystem fs;
    FakeFetcher fetcher;
    CVKFriendsCache cache;
};

TEST_F(FriendsCache, MissingAvatarOrLineMakesARequest) {
    fs.AddFile("C:\\data\\Friends\\friends.txt", "11;bo;1;\r\n\r\n12;cy;0;x\n");
    fs.AddFile("C:\\data\\Friends\\bo.jpg", "jpeg");
    cache.Load();
    EXPECT_EQ(cache.Lines().size(), 2u);
    EXPECT_FALSE(cache.Missing("bo"));
    EXPECT_TRUE(cache.Missing("cy"));   // no picture
    EXPECT_TRUE(cache.Missing("dee"));  // no line
    fs.AddFile("C:\\data\\Friends\\cy.jpg", "jpeg");
    EXPECT_FALSE(cache.Missing("cy"));
}

TEST_F(FriendsCache, PhasesFromFriendsInformationThroughEveryAvatar) {
    cache.Request("anna b", "p&w=1");
    EXPECT_EQ(cache.Phase(), 1u);
    ASSERT_EQ(fetcher.started.size(), 1u);
    EXPECT_EQ(fetcher.started[0], "http://site/services/desktop.4.0.6.0/getfriendsinfo.php?un=anna%20b&pw=p%26w%3D1");
    CVKFriendsCache::Step s = cache.Advance();
    EXPECT_TRUE(s.statusChanged);
    EXPECT_EQ(s.status, "Connecting to Orvalo to receive friends information..");
    EXPECT_FALSE(cache.Advance().statusChanged);  // unchanged text is not set again
    fetcher.state = IVKFetcher::kReading;
    fetcher.announced = 42;
    EXPECT_EQ(cache.Advance().status, "Receiving friends information: 42 bytes");

    fetcher.Done("11;bo;1;\r\n12;cy;0;\r\n13;dee;1;\r\n");
    cache.Advance();
    EXPECT_EQ(fs.Content("C:\\data\\Friends\\friends.txt"), "11;bo;1;\r\n12;cy;0;\r\n13;dee;1;\r\n");
    EXPECT_EQ(cache.Phase(), 2u);
    EXPECT_EQ(fetcher.started.back(), "http://site/img/avatars/11.jpg");

    fetcher.Done("bo-picture");
    EXPECT_EQ(cache.Advance().avatarName, "bo");
    EXPECT_EQ(fs.Content("C:\\data\\Friends\\bo.jpg"), "bo-picture");
    EXPECT_EQ(cache.Phase(), 3u);
    EXPECT_EQ(fetcher.started.back(), "http://site/img/avatars/avatar.jpg");  // no own picture

    // A failed fetch keeps its phase and starts nothing new.
    fetcher.state = IVKFetcher::kFailed;
    size_t starts = fetcher.started.size();
    for (int i = 0; i < 3; ++i) cache.Advance();
    EXPECT_EQ(cache.Phase(), 3u);
    EXPECT_EQ(fetcher.started.size(), starts);
    EXPECT_FALSE(fs.Exists("C:\\data\\Friends\\cy.jpg"));

    fetcher.Done("default-picture");
    cache.Advance();
    EXPECT_EQ(fs.Content("C:\\data\\Friends\\cy.jpg"), "default-picture");
    EXPECT_EQ(cache.Phase(), 4u);
    fetcher.Done("dee-picture");
    s = cache.Advance();
    EXPECT_EQ(s.avatarName, "dee");
    EXPECT_EQ(cache.Phase(), 0u);
    EXPECT_TRUE(s.statusChanged);
    EXPECT_EQ(s.status, "");
    EXPECT_FALSE(cache.Missing("dee"));
}

TEST_F(FriendsCache, NamesThatLeaveTheFolderAreRefused) {
    fs.AddDir("C:\\data");
    cache.Request("anna", "pw");
    fetcher.Done("1;..\\evil;1;\r\n2;../x;1;\r\n3;C:evil;1;\r\n4;CON;1;\r\n5;a/b;1;\r\n6;ok;1;\r\n");
    cache.Advance();
    for (int i = 0; i < 5; ++i) {
        fetcher.Done("bytes");
        EXPECT_EQ(cache.Advance().avatarName, "") << i;
    }
    fetcher.Done("ok-picture");
    EXPECT_EQ(cache.Advance().avatarName, "ok");
    std::vector<VKDirEntry> outside, inside;
    fs.List("C:\\data\\*", &outside);
    EXPECT_EQ(outside.size(), 1u);  // only the Friends folder
    fs.List("C:\\data\\Friends\\*", &inside);
    EXPECT_EQ(inside.size(), 2u);  // friends.txt and ok.jpg
    EXPECT_EQ(cache.Phase(), 0u);
}

TEST_F(FriendsCache, UnwritableFriendsFileEndsThePhase) {
    CVKFriendsCache elsewhere(&fs, "C:\\missing", &fetcher, "http://site");
    elsewhere.Request("anna", "pw");
    fetcher.Done("1;bo;1;\r\n");
    elsewhere.Advance();
    EXPECT_EQ(elsewhere.Phase(), 0u);
    EXPECT_EQ(fetcher.started.size(), 1u);
}

TEST(FriendsText, EveryRequestValueIsEncoded) {
    EXPECT_EQ(ContactSearchQuery("a b&c=d"), "search=a%20b%26c%3Dd");
    EXPECT_EQ(AddContactQuery("x&un=admin", "anna", "p w"), "contacthandle=x%26un%3Dadmin&un=anna&pw=p%20w");
    EXPECT_EQ(SendMessageTarget("1&2"), "/send.php?to=1%262");
    EXPECT_EQ(ProfileTarget("7"), "/user.php?id=7");
    EXPECT_EQ(AvatarPath("a/../b;bo;1;"), "/img/avatars/a%2F..%2Fb.jpg");
    EXPECT_EQ(AvatarPath(";bo;1;"), "/img/avatars/avatar.jpg");
    std::vector<std::string> lines = {"11;bob;1;", "12;bo;0;"};
    EXPECT_EQ(FindFriendLine(lines, "bo"), 1);  // the whole field, not a part of another name
    EXPECT_EQ(FriendIdentifier(lines, "bo"), "12");
    EXPECT_EQ(FriendIdentifier(lines, "cy"), "");
}

TEST(FriendsText, AvatarNamesStayInTheFolder) {
    std::string file;
    EXPECT_TRUE(AvatarFileName("bo", &file));
    EXPECT_EQ(file, "bo.jpg");
    for (const char* bad : {"", "..", "a\\b", "a/b", "c:x", "nul", "Com1", "lpt9.x", "a?", "a*", "a\"b", "x.", "x "})
        EXPECT_FALSE(AvatarFileName(bad, &file)) << bad;
    EXPECT_TRUE(AvatarFileName("console", &file));
}

TEST(FriendsText, ContactSearchRecordsAndReply) {
    std::vector<VKContact> r = ParseContactSearch("dee;Dee Dale;\r\neve;Eve;\r\nfay;Fay\r\n");
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].handle, "dee");
    EXPECT_EQ(r[0].text, "Dee Dale");
    EXPECT_EQ(r[2].handle, "fay");
    EXPECT_EQ(r[2].text, "Fay");
    std::string many;
    for (int i = 0; i < 1200; ++i) many += "h;t;\r\n";
    EXPECT_EQ(ParseContactSearch(many).size(), static_cast<size_t>(kMaxContacts));
    EXPECT_TRUE(AddContactSucceeded("ok"));
    for (const char* bad : {"OK", "ok\r\n", " ok", "Ok", ""}) EXPECT_FALSE(AddContactSucceeded(bad)) << bad;
}

TEST(UpdateText, RepliesThatOfferNothing) {
    VKUpdateInfo info;
    EXPECT_EQ(ParseUpdateReply("", &info), kUpdateNone);
    EXPECT_EQ(ParseUpdateReply("1\r\n2\r\n", &info), kUpdateNone);  // 6 bytes
    EXPECT_EQ(ParseUpdateReply("a\r\nb\r\nc\r\nd\r\ne\r\n", &info), kUpdateIncomplete);
    EXPECT_EQ(ParseUpdateReply("a\nb\nc\nd\ne\nf\ng\n", &info), kUpdateIncomplete);  // line feeds only
    // The sixth piece needs its carriage return.
    EXPECT_EQ(ParseUpdateReply("a\r\nb\r\nc\r\nd\r\ne\r\nf", &info), kUpdateIncomplete);
}

TEST(UpdateText, OfferFieldsAndDialogText) {
    VKUpdateInfo info;
    ASSERT_EQ(ParseUpdateReply("http://h/u.exe\r\nhttp://h/p\r\nNew\r\n4.0.7.0\r\n2026-12-01\r\n123\r\nOne\r\nTwo\r\n"
                               "cut",
                               &info),
              kUpdateOffered);
    EXPECT_EQ(info.download, "http://h/u.exe");
    EXPECT_EQ(info.webPage, "http://h/p");
    EXPECT_EQ(info.title, "New");
    EXPECT_EQ(info.description, "One\r\nTwo\r\n");
    EXPECT_EQ(UpdateDialogText(info), "One\r\nTwo\r\n\r\nVersion: 4.0.7.0\r\n\r\nDate: 2026-12-01\r\n\r\nSize: 123");
    // Carriage returns without line feeds end lines too.
    ASSERT_EQ(ParseUpdateReply("d\rw\rt\rv\rx\rs\r", &info), kUpdateOffered);
    EXPECT_EQ(info.size, "s");
    EXPECT_EQ(info.description, "");
}

TEST(UpdateText, InstallerAddressAndContentChecks) {
    EXPECT_TRUE(IsWebAddress("http://h/u.exe"));
    EXPECT_TRUE(IsWebAddress("HTTPS://h/u.exe"));
    for (const char* bad : {"file://C:/x.exe", "C:\\x.exe", "\\\\server\\x.exe", "ftp://h/x", "http://", "http:///x"})
        EXPECT_FALSE(IsWebAddress(bad)) << bad;

    std::string exe(0x100, '\0');
    exe[0] = 'M';
    exe[1] = 'Z';
    exe[0x3C] = static_cast<char>(0x80);
    exe.replace(0x80, 4, std::string("PE\0\0", 4));
    EXPECT_TRUE(LooksLikeWindowsProgram(exe));
    EXPECT_FALSE(LooksLikeWindowsProgram(exe.substr(0, 0x82)));  // signature cut off
    std::string far = exe;
    far[0x3D] = 0x7F;  // points far past the end
    EXPECT_FALSE(LooksLikeWindowsProgram(far));
    EXPECT_FALSE(LooksLikeWindowsProgram("MZ<html>not found</html>"));
    EXPECT_FALSE(LooksLikeWindowsProgram(std::string(0x100, 'x')));
}

}  // namespace
