#include "VKVersionText.h"

#include <cstdlib>
#include <vector>

static std::vector<long> SplitNumbers(const std::string& text, char sep, size_t maxParts) {
    std::vector<long> parts;
    size_t pos = 0;
    while (parts.size() < maxParts) {
        size_t end = text.find(sep, pos);
        std::string part = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        parts.push_back(strtol(part.c_str(), nullptr, 10));
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return parts;
}

bool ParseFileVersion(const std::string& text, uint64_t* version) {
    if (text.find(',') == std::string::npos) return false;
    std::vector<long> parts = SplitNumbers(text, ',', 4);
    uint64_t v = 0;
    for (size_t i = 0; i < 4; ++i) {
        uint64_t part = i < parts.size() ? static_cast<uint64_t>(parts[i]) & 0xFFFFu : 0;
        v |= part << (48 - 16 * i);
    }
    *version = v;
    return true;
}

bool DirectXNeedsUpgrade(const std::string& text) {
    std::vector<long> parts = SplitNumbers(text, '.', 16);
    if (parts.size() < 4) return false;
    return parts[0] == 4 && parts[1] == 9 && parts[2] == 0 && parts[3] < 904;
}
