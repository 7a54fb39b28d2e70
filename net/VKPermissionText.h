#pragma once
#include <cstddef>
#include <string>
#include <vector>

// The text of the HUD's permission requests and answers. Permissions come
// in threes, always in the order contact, chat, video.

// The query of a permission request: "un=..&pw=.." for reading; with values,
// "..&handle=..&contact=..&chat=..&video=.." for saving (no handle: the
// player's defaults). Every value is percent-encoded.
std::string VKPermissionQuery(const char* user, const char* password);
std::string VKPermissionQuery(const char* user, const char* password, const char* handle, const char* contact,
                              const char* chat, const char* video);

// The player's default permission box (0 own state, 1 allowed, 2 refused)
// as sent ("2", "1", "0") and as received (0 -> 2, 1 -> 1, other -> 0).
const char* VKDefaultPermissionWire(int boxState);
int VKDefaultPermissionBox(int wireValue);

struct VKFriendPermission {
    std::string handle;
    int contact, chat, video;
};

struct VKPermissionReply {
    bool hasDefaults = false;  // the second line gave all three values
    int contact = 0, chat = 0, video = 0;
    std::vector<VKFriendPermission> friends;
};

// Takes an answer apart: lines split at line feeds (carriage returns
// dropped, a last line without a line feed counts). False, with nothing
// filled, unless the first line is "player permissions". Friend lines
// ("handle contact chat video") longer than kMaxFriendLine or without all
// four fields are skipped.
bool VKParsePermissions(const char* body, size_t length, VKPermissionReply* reply);

static const size_t kMaxFriendLine = 100;
// Friend lines taken from one answer at most.
static const size_t kMaxFriendLines = 10000;
