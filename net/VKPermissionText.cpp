#include "VKPermissionText.h"

#include <cstdio>

#include "VKNetText.h"

std::string VKPermissionQuery(const char* user, const char* password) {
    return "un=" + VKPercentEncode(user) + "&pw=" + VKPercentEncode(password);
}

std::string VKPermissionQuery(const char* user, const char* password, const char* handle, const char* contact,
                              const char* chat, const char* video) {
    std::string q = VKPermissionQuery(user, password);
    if (handle) q += "&handle=" + VKPercentEncode(handle);
    q += "&contact=" + VKPercentEncode(contact);
    q += "&chat=" + VKPercentEncode(chat);
    q += "&video=" + VKPercentEncode(video);
    return q;
}

const char* VKDefaultPermissionWire(int boxState) {
    switch (boxState) {
    case 1: return "1";
    case 0: return "2";
    default: return "0";
    }
}

int VKDefaultPermissionBox(int wireValue) {
    switch (wireValue) {
    case 0: return 2;
    case 1: return 1;
    default: return 0;
    }
}

bool VKParsePermissions(const char* body, size_t length, VKPermissionReply* reply) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; body && i < length; ++i) {
        const char c = body[i];
        if (c == '\r') continue;
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
            if (lines.size() > kMaxFriendLines + 2) break;
            continue;
        }
        // A line past any useful length is kept short; it is skipped anyway.
        if (line.size() <= kMaxFriendLine) line += c;
    }
    if (!line.empty()) lines.push_back(line);
    if (lines.empty() || lines[0] != "player permissions") return false;
    VKPermissionReply r;
    if (lines.size() > 1 && sscanf(lines[1].c_str(), "%i %i %i", &r.contact, &r.chat, &r.video) == 3)
        r.hasDefaults = true;
    for (size_t i = 2; i < lines.size(); ++i) {
        if (lines[i].size() > kMaxFriendLine) continue;
        char handle[kMaxFriendLine + 1] = {0};
        VKFriendPermission f;
        if (sscanf(lines[i].c_str(), "%100[^ ] %i %i %i", handle, &f.contact, &f.chat, &f.video) != 4) continue;
        f.handle = handle;
        r.friends.push_back(f);
    }
    *reply = r;
    return true;
}
