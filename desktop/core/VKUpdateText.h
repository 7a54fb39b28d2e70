#pragma once
#include <string>

// The update check's texts: the reply of "checkupdate.php", the Update
// dialog's text, and the checks an installer download passes before it is
// started.

// The update offered by the service.
struct VKUpdateInfo {
    std::string download;
    std::string webPage;
    std::string title;
    std::string version;
    std::string date;
    std::string size;
    std::string description;  // every line followed by "\r\n"
};

enum VKUpdateReply {
    kUpdateNone,        // at most 6 bytes: no newer version
    kUpdateIncomplete,  // fewer than six CR-ended lines: nothing is shown
    kUpdateOffered,
};

// Lines end at each carriage return (a line feed after it is skipped; a last
// piece without a carriage return is not a line). Six lines give the fields,
// the lines after them the description.
VKUpdateReply ParseUpdateReply(const std::string& body, VKUpdateInfo* info);

// description + "\r\nVersion: " + version + "\r\n\r\nDate: " + date +
// "\r\n\r\nSize: " + size.
std::string UpdateDialogText(const VKUpdateInfo& info);

// An address the installer may come from: "http://" or "https://" (any case)
// and a host. Local files and other schemes are refused.
bool IsWebAddress(const std::string& address);

// A Windows program: the "MZ" header, and the "PE\0\0" signature where the
// header's offset at 0x3C points, inside the file.
bool LooksLikeWindowsProgram(const std::string& bytes);
