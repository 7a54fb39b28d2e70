#include <gtest/gtest.h>

#include <cstdlib>

#include "VKStr.h"

TEST(VKStr, DupAndComparisons) {
    EXPECT_EQ(nullptr, VKStrDup(nullptr));
    char* copy = VKStrDup("text");
    EXPECT_STREQ("text", copy);
    free(copy);

    EXPECT_TRUE(VKStrEqual(nullptr, nullptr));
    EXPECT_TRUE(VKStrEqual(nullptr, ""));
    EXPECT_TRUE(VKStrEqual("", nullptr));
    EXPECT_FALSE(VKStrEqual(nullptr, "a"));
    EXPECT_FALSE(VKStrEqual("a", ""));
    EXPECT_TRUE(VKStrEqual("abc", "abc"));
    EXPECT_FALSE(VKStrEqual("abc", "ABC"));
    EXPECT_TRUE(VKStrEqualNoCase("abc", "ABC"));
    EXPECT_TRUE(VKStrEqualNoCase("", nullptr));
    EXPECT_FALSE(VKStrEqualNoCase("abc", "abd"));
}

TEST(VKStr, Utf8DecodeOneCharacter) {
    struct Case {
        const char* text;
        unsigned code;
        int length;
    } cases[] = {
        {"A", 'A', 1},
        {"\xC3\xA9", 0xE9, 2},          // two bytes
        {"\xE2\x82\xAC", 0x20AC, 3},    // three bytes
        {"\x80", 0x80, 1},              // lone continuation byte
        {"\xF0\x9F\x98\x80", 0x80, 1},  // four-byte lead is not decoded
        {"\xC3", 0x80, 1},              // truncated at the terminator
        {"\xE2\x82", 0x80, 1},
        {"\xC3\x41", 0x80, 1},  // lead without continuation
    };
    for (const Case& c : cases) {
        int length = 0;
        EXPECT_EQ(c.code, VKUtf8Decode(c.text, &length)) << c.text;
        EXPECT_EQ(c.length, length) << c.text;
    }
}

TEST(VKStr, Utf8CharacterCount) {
    EXPECT_EQ(0, VKUtf8Length(nullptr));
    EXPECT_EQ(0, VKUtf8Length(""));
    EXPECT_EQ(3, VKUtf8Length("a\xC3\xA9\xE2\x82\xAC"));
    EXPECT_EQ(4, VKUtf8Length("\xF0\x9F\x98\x80"));  // each byte counts alone
}

TEST(VKStr, CopyAlwaysTerminates) {
    char buf[4];
    VKStrCopy(buf, sizeof buf, "abcdef");
    EXPECT_STREQ("abc", buf);
    VKStrCopy(buf, sizeof buf, nullptr);
    EXPECT_STREQ("", buf);
}
