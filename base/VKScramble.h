#pragma once
#include <string>

// The stored sign-in password ("loginPassword") is the typed password with
// each byte i combined (XOR) with byte i mod 8 of a fixed key. The HUD and the
// desktop program share this routine; applying it twice gives the original.
std::string VKScramblePassword(const std::string& text);

// True when the scrambled form holds no zero byte, so it survives being
// stored as a REG_SZ string (a zero would cut the stored password short).
bool VKScrambledStorable(const std::string& scrambled);
