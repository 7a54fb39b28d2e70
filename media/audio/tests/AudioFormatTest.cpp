#include <gtest/gtest.h>

#include "VQAudioFormat.h"

TEST(ChooseAudioFormat, PrefersStereoThenRateThenBits) {
    VQPcmFormat f = {0, 0, 0};
    ASSERT_EQ(1, ChooseAudioFormatFromCaps(0xFFF, &f));
    EXPECT_EQ(44100, f.rate);
    EXPECT_EQ(2, f.channels);
    EXPECT_EQ(16, f.bits);
    // Only 11025 stereo 8-bit (0x2) and 11025 mono 16-bit (0x4): stereo 8-bit wins.
    ASSERT_EQ(1, ChooseAudioFormatFromCaps(0x2 | 0x4, &f));
    EXPECT_EQ(11025, f.rate);
    EXPECT_EQ(2, f.channels);
    EXPECT_EQ(8, f.bits);
    // 22050 stereo 16 before 44100 stereo 8.
    ASSERT_EQ(1, ChooseAudioFormatFromCaps(0x80 | 0x200, &f));
    EXPECT_EQ(22050, f.rate);
    EXPECT_EQ(16, f.bits);
    ASSERT_EQ(1, ChooseAudioFormatFromCaps(0x1, &f));
    EXPECT_EQ(11025, f.rate);
    EXPECT_EQ(1, f.channels);
    EXPECT_EQ(8, f.bits);
}

TEST(ChooseAudioFormat, NoKnownFormatIsRefusedAndLeavesTheFormat) {
    VQPcmFormat f = {123, 4, 5};
    EXPECT_EQ(0, ChooseAudioFormatFromCaps(0, &f));
    EXPECT_EQ(0, ChooseAudioFormatFromCaps(0xFFFFF000u, &f));
    EXPECT_EQ(123, f.rate);
    EXPECT_EQ(4, f.channels);
    EXPECT_EQ(5, f.bits);
}
