#pragma once
#include <string>
#include <vector>

// Texts of the friends features: the friends-information file (friends.txt),
// the addresses of the friends page's and the Add Friend dialog's service
// requests, and the contact-search reply. Every value placed into an address
// is percent-encoded.

// Lines of friends.txt without their line ends; empty lines are dropped and
// at most kMaxFriendLines are kept.
const size_t kMaxFriendLines = 20000;
std::vector<std::string> SplitFriendsLines(const std::string& text);
// The ";"-separated fields of a line (a last field without ";" counts).
std::vector<std::string> FriendFields(const std::string& line);
// Index of the line whose user name (field 1) is name, or -1.
int FindFriendLine(const std::vector<std::string>& lines, const std::string& name);
// The friend's identifier on the web site (field 0 of the line), or "".
std::string FriendIdentifier(const std::vector<std::string>& lines, const std::string& name);
// Path of a line's avatar on the web site: "/img/avatars/" + the identifier
// when field 2 is "1", else "avatar", + ".jpg".
std::string AvatarPath(const std::string& line);
// The local avatar file of a user: name + ".jpg". False for a name that is no
// plain file name of its own (separators, "..", ":", characters Windows
// refuses, a device name such as "CON"): such a file is never written.
bool AvatarFileName(const std::string& name, std::string* file);

// Request addresses (the caller puts the host in front).
std::string FriendsInfoPath(const std::string& user, const std::string& password);
std::string ContactSearchQuery(const std::string& text);
std::string AddContactQuery(const std::string& handle, const std::string& user, const std::string& password);
// Site pages of a friend (the identifier encoded as a query value).
std::string SendMessageTarget(const std::string& identifier);
std::string ProfileTarget(const std::string& identifier);

// One record of the contact search: the handle to add and the text shown.
struct VKContact {
    std::string handle;
    std::string text;
};
const int kMaxContacts = 999;
// Records of two fields; a field ends at ";" or a line end, line ends after a
// ";" are skipped. At most kMaxContacts records.
std::vector<VKContact> ParseContactSearch(const std::string& body);
// The service answers exactly "ok" (two bytes, lower case) on success.
bool AddContactSucceeded(const std::string& reply);
