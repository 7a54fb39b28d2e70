#include "VKFriendsText.h"

#include <cctype>
#include <cstring>

#include "VKDesktopPaths.h"
#include "VKUrlText.h"

std::vector<std::string> SplitFriendsLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size() && lines.size() < kMaxFriendLines) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (!line.empty()) lines.push_back(line);
        pos = end + 1;
    }
    return lines;
}

std::vector<std::string> FriendFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t pos = 0;
    while (pos < line.size()) {
        size_t end = line.find(';', pos);
        if (end == std::string::npos) end = line.size();
        fields.push_back(line.substr(pos, end - pos));
        pos = end + 1;
    }
    return fields;
}

int FindFriendLine(const std::vector<std::string>& lines, const std::string& name) {
    // The user name is compared as the whole field 1: a search for ";name;"
    // anywhere could also hit an identifier or a later field of another line.
    for (size_t i = 0; i < lines.size(); ++i) {
        std::vector<std::string> f = FriendFields(lines[i]);
        if (f.size() > 1 && f[1] == name) return static_cast<int>(i);
    }
    return -1;
}

std::string FriendIdentifier(const std::vector<std::string>& lines, const std::string& name) {
    int i = FindFriendLine(lines, name);
    if (i < 0) return std::string();
    return FriendFields(lines[i])[0];
}

std::string AvatarPath(const std::string& line) {
    std::vector<std::string> f = FriendFields(line);
    bool own = f.size() > 2 && f[2] == "1" && !f[0].empty();
    return "/img/avatars/" + PercentEncode(own ? f[0] : "avatar") + ".jpg";
}

static bool IsDeviceName(const std::string& name) {
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$")
        return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '0' &&
           base[3] <= '9';
}

bool AvatarFileName(const std::string& name, std::string* file) {
    if (!IsSafeNameComponent(name) || IsDeviceName(name)) return false;
    for (char c : name)
        if (strchr("<>\"|?*", c)) return false;
    // Windows drops trailing dots and spaces, which would make another name.
    if (name.back() == '.' || name.back() == ' ') return false;
    *file = name + ".jpg";
    return true;
}

std::string FriendsInfoPath(const std::string& user, const std::string& password) {
    return "/services/desktop.4.0.6.0/getfriendsinfo.php?un=" + PercentEncode(user) + "&pw=" + PercentEncode(password);
}

std::string ContactSearchQuery(const std::string& text) { return "search=" + PercentEncode(text); }

std::string AddContactQuery(const std::string& handle, const std::string& user, const std::string& password) {
    return "contacthandle=" + PercentEncode(handle) + "&un=" + PercentEncode(user) + "&pw=" + PercentEncode(password);
}

std::string SendMessageTarget(const std::string& identifier) { return "/send.php?to=" + PercentEncode(identifier); }
std::string ProfileTarget(const std::string& identifier) { return "/user.php?id=" + PercentEncode(identifier); }

std::vector<VKContact> ParseContactSearch(const std::string& body) {
    std::vector<VKContact> records;
    std::vector<std::string> fields;
    size_t pos = 0;
    while (pos < body.size() && static_cast<int>(records.size()) < kMaxContacts) {
        size_t end = body.find_first_of(";\r\n", pos);
        if (end == std::string::npos) end = body.size();
        fields.push_back(body.substr(pos, end - pos));
        pos = end;
        if (pos < body.size() && body[pos] == ';') ++pos;
        while (pos < body.size() && (body[pos] == '\r' || body[pos] == '\n')) ++pos;
        if (fields.size() == 2) {
            records.push_back(VKContact{fields[0], fields[1]});
            fields.clear();
        }
    }
    return records;
}

bool AddContactSucceeded(const std::string& reply) { return reply == "ok"; }
