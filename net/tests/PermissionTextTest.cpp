// Permission requests and answers as text: what goes into the address and
// what an answer may hold.
#include <gtest/gtest.h>

#include <string>

#include "VKNetText.h"
#include "VKPermissionText.h"

TEST(PermissionText, EveryValueIsPercentEncoded) {
    EXPECT_EQ("a%20b%26c%3Dd%23e%25f%2Bg~h-i_j.k%FF", VKPercentEncode("a b&c=d#e%f+g~h-i_j.k\xff"));
    EXPECT_EQ("", VKPercentEncode(nullptr));
    EXPECT_EQ("un=ed%26d&pw=p%23%25%20w", VKPermissionQuery("ed&d", "p#% w"));
    // A name holding "&chat=0" cannot add a field of its own.
    EXPECT_EQ("un=u&pw=p&handle=bo%26chat%3D0&contact=1&chat=1&video=0",
              VKPermissionQuery("u", "p", "bo&chat=0", "1", "1", "0"));
    EXPECT_EQ("un=u&pw=p&contact=2&chat=1&video=0", VKPermissionQuery("u", "p", nullptr, "2", "1", "0"));
}

TEST(PermissionText, DefaultBoxStatesMapBothWays) {
    EXPECT_STREQ("1", VKDefaultPermissionWire(1));
    EXPECT_STREQ("2", VKDefaultPermissionWire(0));  // the third state
    EXPECT_STREQ("0", VKDefaultPermissionWire(2));
    EXPECT_EQ(2, VKDefaultPermissionBox(0));
    EXPECT_EQ(1, VKDefaultPermissionBox(1));
    EXPECT_EQ(0, VKDefaultPermissionBox(2));
    EXPECT_EQ(0, VKDefaultPermissionBox(-7));
}

TEST(PermissionText, AnswerIsTakenApartLineByLine) {
    const std::string body = "player permissions\r\n1 0 2\r\nbo 1 1 0\n" + std::string(120, 'x') + " 1 1 1\n" +
                             "broken 1 1\n\ncy 0 0 1";  // the last line has no line feed
    VKPermissionReply r;
    ASSERT_TRUE(VKParsePermissions(body.data(), body.size(), &r));
    EXPECT_TRUE(r.hasDefaults);
    EXPECT_EQ(1, r.contact);
    EXPECT_EQ(0, r.chat);
    EXPECT_EQ(2, r.video);
    ASSERT_EQ(2u, r.friends.size());  // the long, the short and the empty line are skipped
    EXPECT_EQ("bo", r.friends[0].handle);
    EXPECT_EQ(0, r.friends[0].video);
    EXPECT_EQ("cy", r.friends[1].handle);
    EXPECT_EQ(1, r.friends[1].video);

    // A line of exactly 100 characters still counts.
    std::string edge = "player permissions\n1 1\n" + std::string(94, 'h') + " 1 0 1\n";
    ASSERT_TRUE(VKParsePermissions(edge.data(), edge.size(), &r));
    EXPECT_FALSE(r.hasDefaults);  // two values are not enough
    ASSERT_EQ(1u, r.friends.size());
    EXPECT_EQ(94u, r.friends[0].handle.size());

    // Any other first line changes nothing.
    VKPermissionReply untouched;
    untouched.contact = 9;
    EXPECT_FALSE(VKParsePermissions("OK\n", 3, &untouched));
    EXPECT_EQ(9, untouched.contact);
    EXPECT_FALSE(VKParsePermissions(nullptr, 0, &untouched));
    // A body with a zero byte inside is read up to its length, safely.
    const char zero[] = "player permissions\n1 1 1\nbo\0 1 1 1\n";
    EXPECT_TRUE(VKParsePermissions(zero, sizeof zero - 1, &r));
    EXPECT_TRUE(r.friends.empty());
}
