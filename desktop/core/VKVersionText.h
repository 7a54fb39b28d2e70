#pragma once
#include <cstdint>
#include <string>

// A file version string of comma-separated decimal parts ("1,2,3,4") as one
// 64-bit number: the first part in bits 48-63 down to the fourth in bits
// 0-15, each part masked to 16 bits, missing parts 0. False (no version) when
// the text holds no comma.
bool ParseFileVersion(const std::string& text, uint64_t* version);

// The DirectX "Version" value ("4.09.00.0904"): true when it names DirectX 9.0
// older than 9.0c (parts 4, 9, 0 and a fourth part below 904). Texts with
// fewer than four parts are not judged.
bool DirectXNeedsUpgrade(const std::string& text);
