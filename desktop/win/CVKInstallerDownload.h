#pragma once
#include <windows.h>

#include <string>

// Fetches an installer and keeps it where nobody else can put a file of
// their own in its place: a new folder made for this download under the
// user's temporary folder, holding "orvaloupdate.exe". Only an http(s)
// address is fetched, the body must be as long as the announced
// Content-Length and must be a Windows program; anything else stores and
// runs nothing.
class CVKInstallerDownload {
public:
    enum Result {
        kOk,
        kNotWebAddress,
        kFetchFailed,  // no connection, a status other than 200, a short body
        kNotProgram,
        kNoFile,  // no temporary folder, or the file could not be made
    };

    // Fetches address (waiting for it); on kOk *path is the stored file.
    Result Download(const std::string& address, std::string* path);
    // Removes the stored file and its folder (a download that is not run).
    static void Discard(const std::string& path);
    // Starts the installer: elevated ("runas") from Windows version 6 on,
    // plainly before. Shows "Failed to run " + path when it cannot start.
    static bool Run(HWND owner, const std::string& path);
    // The message the user sees for a result other than kOk.
    static const char* Message(Result result);

    static constexpr size_t kMaxBytes = 256u * 1024u * 1024u;
};
