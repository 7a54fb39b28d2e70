#include <gtest/gtest.h>

#include <cstdint>
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

TEST(CVKString, AppendingItsOwnTextSurvivesTheBlockMoving) {
    // Long enough that realloc moves the block; ASan reports a read of the
    // freed block if the source is not found again.
    std::string text(5000, 'a');
    text += "end";
    CVKString s(text.c_str());
    s.Append(s.Get());
    EXPECT_EQ(text + text, s.Get());
    s.Append(s.Get() + s.Length() - 3);  // a tail of itself
    EXPECT_EQ(text + text + "end", s.Get());

    CVKString bulk("xyz");
    bulk.AppendBytes("-", 1);
    for (int i = 0; i < 16; ++i) bulk.AppendBytes(bulk.Get(), bulk.Length());  // grows past several steps
    EXPECT_EQ(4u << 16, bulk.Length());
    EXPECT_EQ(0, memcmp(bulk.Get() + (4u << 15), "xyz-xyz-", 8));
}

TEST(CVKString, HugeAppendsFailInsteadOfWrapping) {
    // Growth arithmetic at the limits of 32-bit and 64-bit builds.
    const size_t step = CVKString::kGrowStep;
    size_t grown = 0;
    EXPECT_TRUE(CVKString::GrowthFor(0, 0, 10, UINT32_MAX, &grown));
    EXPECT_EQ(step, grown);
    EXPECT_TRUE(CVKString::GrowthFor(step, 100, step - 101, UINT32_MAX, &grown));
    EXPECT_EQ(step, grown);  // fits exactly with its terminator
    EXPECT_TRUE(CVKString::GrowthFor(step, 100, step - 100, UINT32_MAX, &grown));
    EXPECT_EQ(2 * step, grown);
    // The largest block of whole steps in 32 bits still fits; one byte more does not.
    EXPECT_TRUE(CVKString::GrowthFor(0, 0, UINT32_MAX - step, UINT32_MAX, &grown));
    EXPECT_EQ(static_cast<size_t>(UINT32_MAX) + 1 - step, grown);
    EXPECT_FALSE(CVKString::GrowthFor(0, 0, UINT32_MAX - step + 1, UINT32_MAX, &grown));
    EXPECT_FALSE(CVKString::GrowthFor(step, 10, UINT32_MAX - 10, UINT32_MAX, &grown));
    EXPECT_FALSE(CVKString::GrowthFor(step, 10, UINT32_MAX, UINT32_MAX, &grown));
    EXPECT_FALSE(CVKString::GrowthFor(0, 0, SIZE_MAX, SIZE_MAX, &grown));
    EXPECT_FALSE(CVKString::GrowthFor(step, 5, SIZE_MAX - 5, SIZE_MAX, &grown));

    // A huge append leaves the string as it was (and returns at all).
    CVKString s("keep");
    s.AppendBytes("x", 1);
    s.AppendBytes("y", SIZE_MAX - 2);
    s.AppendBytes("z", SIZE_MAX);
    EXPECT_STREQ("keepx", s.Get());
    s.AppendBytes("!", 1);
    EXPECT_STREQ("keepx!", s.Get());
}
