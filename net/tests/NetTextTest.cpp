#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>

#include "MemorySettings.h"
#include "VKGameNumber.h"
#include "VKNetEndpoints.h"
#include "VKNetText.h"
#include "VKSettings.h"

TEST(VKNetText, NumbersReadLikeAtoiButSaturate) {
    EXPECT_EQ(42, VKParseInt("42abc"));
    EXPECT_EQ(-7, VKParseInt(" -7"));
    EXPECT_EQ(0, VKParseInt("abc"));
    EXPECT_EQ(INT_MAX, VKParseInt("99999999999999999999"));
    EXPECT_EQ(INT_MIN, VKParseInt("-99999999999999999999"));
    EXPECT_EQ(INT64_MIN, VKParseInt64("-9223372036854775808"));
    EXPECT_EQ(INT64_MAX, VKParseInt64("9223372036854775808"));
}

namespace {}  // namespace

TEST(VKNetEndpoints, SettingsOverrideEveryEndpoint) {
    MemorySettings store;
    EXPECT_EQ(13578, VKChatServerPort());
    EXPECT_EQ(13580, VKShareServerPort());
    EXPECT_STREQ("10.0.0.9", VKShareServerHost("10.0.0.9").Str());  // the chat server's answer
    store.Set("serverAddr", "127.0.0.1");
    store.Set("serverPort", "40001");
    store.Set("serverAddrVS", "127.0.0.2");
    store.Set("serverPortVS", "40002");
    store.Set("serverPortHTTP", "40003");
    EXPECT_STREQ("127.0.0.1", VKChatServerHost().Str());
    EXPECT_EQ(40001, VKChatServerPort());
    EXPECT_STREQ("127.0.0.2", VKShareServerHost("10.0.0.9").Str());
    EXPECT_EQ(40002, VKShareServerPort());
    EXPECT_STREQ("http://127.0.0.1:40003/services/vqhud.4.0.6.0/getPermissions.php?",
                 VKHudServiceUrl("getPermissions.php?").Str());
    EXPECT_STREQ("http://www.orvalohud.net/faq.php", VKWebSiteUrl("/faq.php").Str());
    store.Set("serverPort", "70000");  // not a port: the default
    EXPECT_EQ(13578, VKChatServerPort());
}

TEST(VKGameNumber, FolderMatchIgnoresCaseAndATrailingBackslash) {
    VKGameFolderList entries = {{"17", "C:\\Games\\Other"}, {"31", "C:\\Games\\Racer\\"}, {"44", "c:\\games\\racer"}};
    EXPECT_STREQ("31", VKMatchGameFolder("c:\\GAMES\\Racer", entries).Str());
    EXPECT_STREQ("17", VKMatchGameFolder("C:\\Games\\Other\\", entries).Str());
    EXPECT_STREQ("0", VKMatchGameFolder("C:\\Games", entries).Str());
    EXPECT_STREQ("0", VKMatchGameFolder("", entries).Str());
    EXPECT_STREQ("0", VKMatchGameFolder("C:\\Games\\Racer", {}).Str());
}
