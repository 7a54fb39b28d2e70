#include "CVKInstallerDownload.h"

#include <shellapi.h>

#include "CVKInternet.h"
#include "CVKInternetFetcher.h"
#include "VKDesktopShell.h"
#include "VKLog.h"
#include "VKUpdateText.h"

// A folder of our own: a fresh name is made (CreateDirectory fails for one
// that exists, so a folder planted beforehand is never used).
static bool MakePrivateFolder(std::string* folder) {
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH) return false;
    LARGE_INTEGER counter;
    for (int attempt = 0; attempt < 20; ++attempt) {
        QueryPerformanceCounter(&counter);
        char name[96];
        wsprintfA(name, "orvalo-update-%lu-%lx%lx", GetCurrentProcessId(), static_cast<unsigned long>(counter.LowPart),
                  static_cast<unsigned long>(GetTickCount() + attempt));
        std::string path = std::string(temp) + name;
        if (CreateDirectoryA(path.c_str(), nullptr)) {
            *folder = path;
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

CVKInstallerDownload::Result CVKInstallerDownload::Download(const std::string& address, std::string* path) {
    if (!IsWebAddress(address)) {
        LogMessage("CVKInstallerDownload::Download(): Refused the address %s\r\n", address.c_str());
        return kNotWebAddress;
    }
    CVKInternet* net = new CVKInternet();
    net->SetLimit(kMaxBytes);
    net->Open(address);
    bool complete = CVKInternetFetcher::Complete(net);
    std::string body = complete ? net->Data() : std::string();
    if (!complete)
        LogMessage("CVKInstallerDownload::Download(): Failed to fetch %s (%ld, status %d, %lu of %ld bytes)\r\n",
                   address.c_str(), net->Failed(), net->StatusCode(), static_cast<unsigned long>(net->Length()),
                   static_cast<long>(net->ContentLength()));
    net->Release();
    if (!complete) return kFetchFailed;
    if (!LooksLikeWindowsProgram(body)) {
        LogMessage("CVKInstallerDownload::Download(): %s is not a Windows program\r\n", address.c_str());
        return kNotProgram;
    }
    std::string folder;
    if (!MakePrivateFolder(&folder)) return kNoFile;
    std::string file = folder + "\\orvaloupdate.exe";
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        RemoveDirectoryA(folder.c_str());
        return kNoFile;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(h, body.data(), static_cast<DWORD>(body.size()), &written, nullptr);
    ok = CloseHandle(h) && ok && written == body.size();
    if (!ok) {
        Discard(file);
        return kNoFile;
    }
    *path = file;
    return kOk;
}

void CVKInstallerDownload::Discard(const std::string& path) {
    DeleteFileA(path.c_str());
    size_t slash = path.rfind('\\');
    if (slash != std::string::npos) RemoveDirectoryA(path.substr(0, slash).c_str());
}

bool CVKInstallerDownload::Run(HWND owner, const std::string& path) {
    bool started;
    if (IsWindowsVistaOrLater()) {
        HINSTANCE rc = ShellExecuteA(owner, "runas", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        started = reinterpret_cast<INT_PTR>(rc) > 32;
    } else {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::string line = "\"" + path + "\"";
        started = CreateProcessA(path.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != 0;
        if (started) {
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
    if (!started) {
        std::string text = "Failed to run " + path;
        MessageBoxA(owner, text.c_str(), "Orvalo HUD Desktop", MB_ICONEXCLAMATION);
    }
    return started;
}

const char* CVKInstallerDownload::Message(Result result) {
    switch (result) {
    case kOk: return "";
    case kNotWebAddress: return "The update's download address is not a web address!";
    case kNotProgram: return "The downloaded update is not a Windows program!";
    case kNoFile: return "Failed to create file on your local disk!";
    default: return "Failed to connect to server";
    }
}
