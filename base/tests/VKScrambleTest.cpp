// The stored sign-in password's scrambler, shared by the HUD and the desktop.
#include <gtest/gtest.h>

#include <string>

#include "VKScramble.h"

namespace {
// The key byte used at each position: a zero password byte scrambles to it.
std::string Key() { return VKScramblePassword(std::string(8, '\0')); }
}  // namespace

TEST(Scrambler, RoundTripsEveryByteAtEveryLengthUpTo64) {
    const std::string key = Key();
    for (int length = 0; length <= 64; ++length) {
        for (int value = 0; value < 256; ++value) {
            // Each length filled with one byte value, and with every value
            // passing through every position of the key.
            std::string same(static_cast<size_t>(length), static_cast<char>(value));
            std::string mixed;
            for (int i = 0; i < length; ++i) mixed.push_back(static_cast<char>((value + 37 * i) & 0xFF));
            for (const std::string& text : {same, mixed}) {
                const std::string scrambled = VKScramblePassword(text);
                ASSERT_EQ(text.size(), scrambled.size());
                ASSERT_EQ(text, VKScramblePassword(scrambled)) << "length " << length << " value " << value;
                // Storable exactly when no byte meets its key byte.
                bool meets = false;
                for (size_t i = 0; i < text.size(); ++i) meets |= text[i] == key[i % 8];
                ASSERT_EQ(!meets, VKScrambledStorable(scrambled)) << "length " << length << " value " << value;
            }
        }
    }
}

TEST(Scrambler, KeyBytesAreHighSoTypedTextNeverScramblesToZero) {
    const std::string key = Key();
    ASSERT_EQ(8u, key.size());
    for (char k : key) EXPECT_GE(static_cast<unsigned char>(k), 0x80);
    // Every printable and control character a keyboard gives, at every position.
    std::string typed;
    for (int i = 0; i < 8; ++i)
        for (int c = 1; c < 0x80; ++c) typed.push_back(static_cast<char>(c));
    EXPECT_TRUE(VKScrambledStorable(VKScramblePassword(typed)));
    EXPECT_NE(typed, VKScramblePassword(typed));
}
