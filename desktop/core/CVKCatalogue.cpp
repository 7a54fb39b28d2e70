#include "CVKCatalogue.h"

#include <cstring>
#include <zlib.h>

CVKCatalogue::Result CVKCatalogue::Unpack(const unsigned char* body, size_t length, std::string* text) {
    text->clear();
    if (!body || length < 6 || body[5] != 0 || memcmp(body, "LBZ00", 5) != 0) return kBadMagic;
    if (length < 13) return kTooShort;
    unsigned long declared = static_cast<unsigned long>(body[9]) | static_cast<unsigned long>(body[10]) << 8 |
                             static_cast<unsigned long>(body[11]) << 16 | static_cast<unsigned long>(body[12]) << 24;
    if (declared > kMaxText) return kTooLarge;
    if (declared == 0) return kBadData;
    std::string out(declared, '\0');
    uLongf produced = declared;
    int rc = uncompress(reinterpret_cast<Bytef*>(&out[0]), &produced, body + 13, static_cast<uLong>(length - 13));
    if (rc == Z_BUF_ERROR) return kWrongLength;  // more text than declared
    if (rc != Z_OK) return kBadData;
    if (produced != declared) return kWrongLength;
    text->swap(out);
    return kOk;
}

std::string CVKCatalogue::Pack(const std::string& text) {
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(&packed[0]), &size, reinterpret_cast<const Bytef*>(text.data()),
             static_cast<uLong>(text.size()));
    packed.resize(size);
    std::string body("LBZ00\0\0\0\0", 9);
    unsigned n = static_cast<unsigned>(text.size());
    for (int i = 0; i < 4; ++i) body.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
    return body + packed;
}
