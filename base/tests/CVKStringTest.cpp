#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "CVKString.h"

TEST(CVKString, EmptyAndNeverSetAreTheSameValue) {
    CVKString never;
    CVKString empty("");
    CVKString fromNull(nullptr);
    EXPECT_EQ(never.Get(), nullptr);
    EXPECT_EQ(0u, never.Length());
    EXPECT_EQ(0u, empty.Length());
    EXPECT_TRUE(never.Equals(""));
    EXPECT_TRUE(never.Equals(nullptr));
    EXPECT_TRUE(empty.Equals(nullptr));
    EXPECT_TRUE(fromNull.Equals(empty.Get()));
    EXPECT_FALSE(empty.Equals("a"));
    EXPECT_STREQ("", never.Str());
}

TEST(CVKString, SetAppendCopyAndDetach) {
    CVKString s("abc");
    s.Append("def");
    EXPECT_STREQ("abcdef", s.Get());
    EXPECT_EQ(6u, s.Length());
    EXPECT_FALSE(s.Equals("ABCDEF"));  // case-sensitive

    CVKString copy(s);
    s.Set("x");
    EXPECT_STREQ("abcdef", copy.Get());
    copy = s;
    EXPECT_STREQ("x", copy.Get());
    copy.Set(copy.Get());  // setting to itself keeps the text
    EXPECT_STREQ("x", copy.Get());

    CVKString empty;
    empty.Append("tail");
    EXPECT_STREQ("tail", empty.Get());
    empty.Append(nullptr);
    EXPECT_STREQ("tail", empty.Get());

    char* block = s.Detach();
    EXPECT_STREQ("x", block);
    EXPECT_EQ(nullptr, s.Get());
    free(block);
}

TEST(CVKString, AppendBytesGrowsInSteps) {
    CVKString s;
    std::string big(100000, 'q');
    s.AppendBytes(big.data(), big.size());
    EXPECT_EQ(2 * CVKString::kGrowStep, s.Capacity());
    EXPECT_EQ(big.size(), s.Length());
    EXPECT_EQ(0, s.Get()[100000]);

    // Continues at the cursor, not at the first zero byte.
    const char withZero[3] = {'a', 0, 'b'};
    s.AppendBytes(withZero, 3);
    EXPECT_EQ('a', s.Get()[100000]);
    EXPECT_EQ('b', s.Get()[100002]);
    EXPECT_EQ(0, s.Get()[100003]);
    EXPECT_EQ(2 * CVKString::kGrowStep, s.Capacity());
}

TEST(CVKString, AppendBytesLeavesRoomForTheTerminator) {
    // Exactly one step of bytes needs a second step for the terminating zero.
    CVKString s;
    std::string step(CVKString::kGrowStep, 'z');
    s.AppendBytes(step.data(), step.size());
    EXPECT_EQ(2 * CVKString::kGrowStep, s.Capacity());
    EXPECT_EQ(0, s.Get()[CVKString::kGrowStep]);

    CVKString prefixed("ab");
    prefixed.AppendBytes("cd", 2);
    EXPECT_STREQ("abcd", prefixed.Get());
    prefixed.Set("new");  // other operations reset the appender
    EXPECT_EQ(0u, prefixed.Capacity());
}
