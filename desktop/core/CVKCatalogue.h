#pragma once
#include <cstddef>
#include <string>

// The game catalogue as the service sends it: "LBZ00", a zero byte, three
// bytes not interpreted, the unpacked length (32-bit little-endian) at
// offset 9, then the INI text as a zlib stream.
class CVKCatalogue {
public:
    enum Result { kOk = 0, kBadMagic, kTooShort, kTooLarge, kBadData, kWrongLength };
    // Largest unpacked text accepted; a larger declared length is refused
    // before anything is allocated.
    static const size_t kMaxText = 64u * 1024u * 1024u;

    // Unpacks body into text; anything but kOk leaves text empty.
    static Result Unpack(const unsigned char* body, size_t length, std::string* text);
    // Builds a body from text (the test service and benchmarks make theirs
    // this way).
    static std::string Pack(const std::string& text);
};
