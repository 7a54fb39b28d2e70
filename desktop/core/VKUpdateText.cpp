#include "VKUpdateText.h"

#include <cctype>
#include <cstdint>
#include <vector>

VKUpdateReply ParseUpdateReply(const std::string& body, VKUpdateInfo* info) {
    if (body.size() <= 6) return kUpdateNone;
    std::vector<std::string> lines;
    size_t pos = 0;
    for (;;) {
        size_t cr = body.find('\r', pos);
        if (cr == std::string::npos) break;
        lines.push_back(body.substr(pos, cr - pos));
        pos = cr + 1;
        if (pos < body.size() && body[pos] == '\n') ++pos;
    }
    if (lines.size() < 6) return kUpdateIncomplete;
    *info = VKUpdateInfo();
    info->download = lines[0];
    info->webPage = lines[1];
    info->title = lines[2];
    info->version = lines[3];
    info->date = lines[4];
    info->size = lines[5];
    for (size_t i = 6; i < lines.size(); ++i) info->description += lines[i] + "\r\n";
    return kUpdateOffered;
}

std::string UpdateDialogText(const VKUpdateInfo& info) {
    return info.description + "\r\nVersion: " + info.version + "\r\n\r\nDate: " + info.date +
           "\r\n\r\nSize: " + info.size;
}

bool IsWebAddress(const std::string& address) {
    std::string lower;
    for (char c : address.substr(0, 8)) lower.push_back(static_cast<char>(tolower(static_cast<unsigned char>(c))));
    size_t host;
    if (lower.compare(0, 7, "http://") == 0)
        host = 7;
    else if (lower.compare(0, 8, "https://") == 0)
        host = 8;
    else
        return false;
    return address.size() > host && address[host] != '/' && address[host] != '\\';
}

bool LooksLikeWindowsProgram(const std::string& bytes) {
    if (bytes.size() < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') return false;
    uint32_t offset = 0;
    for (int i = 0; i < 4; ++i) offset |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[0x3C + i])) << (8 * i);
    if (offset < 0x40 || offset > bytes.size() - 4) return false;
    return bytes.compare(offset, 4, std::string("PE\0\0", 4)) == 0;
}
