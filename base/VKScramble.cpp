#include "VKScramble.h"

namespace {
// The key is computed rather than stored as one literal. Every byte has its
// high bit set, so no ASCII password byte can turn into a zero.
void MakeKey(unsigned char key[8]) {
    unsigned value = 0x9D;
    for (int i = 0; i < 8; ++i) {
        value = (value * 29u + 0x47u) & 0xFFu;
        key[i] = static_cast<unsigned char>(value | 0x80u);
    }
}
}  // namespace

std::string VKScramblePassword(const std::string& text) {
    unsigned char key[8];
    MakeKey(key);
    std::string result(text);
    for (size_t i = 0; i < result.size(); ++i)
        result[i] = static_cast<char>(static_cast<unsigned char>(result[i]) ^ key[i % 8]);
    return result;
}

bool VKScrambledStorable(const std::string& scrambled) { return scrambled.find('\0') == std::string::npos; }
