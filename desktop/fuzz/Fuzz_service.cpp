// The desktop's readers of what the service sends: the catalogue envelope and
// its INI text, the search reply, and JPEG box pictures.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CVKCatalogue.h"
#include "CVKIniStore.h"
#include "VKGameSearch.h"
#include "VKJpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string text;
    CVKCatalogue::Unpack(data, size, &text);
    CVKIniStore ini;
    ini.Parse(text.empty() ? bytes : text);
    CVKIniStore again;
    again.Parse(ini.Text());
    ParseSearchReply(bytes);
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    DecodeJpeg(bytes, &w, &h, &rgb);
    return 0;
}
