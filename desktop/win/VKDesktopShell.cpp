#include "VKDesktopShell.h"

#include <shellapi.h>

#include "CVKDialog.h"
#include "VKDesktopPaths.h"
#include "VKLog.h"
#include "VKNetEndpoints.h"
#include "VKUrlText.h"
#include "VKWinRegistry.h"

namespace {
std::string g_user, g_password;
}

std::string ProgramPath() {
    char path[MAX_PATH * 2] = {0};
    GetModuleFileNameA(nullptr, path, sizeof path - 1);
    return path;
}

std::string ProgramFolder() { return FolderOf(ProgramPath()); }

std::string DllPlacerPath() {
    std::string path = ProgramPath();
    for (const char* name : {"\\OrvaloHUDDesktop.exe", "\\Desktop.exe"}) {
        size_t n = strlen(name);
        if (path.size() >= n && SameTextNoCase(path.substr(path.size() - n), name))
            return path.substr(0, path.size() - n) + "\\DllPlacer.exe";
    }
    return ProgramFolder() + "\\DllPlacer.exe";
}

bool IsWindowsVistaOrLater() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&info);
#pragma GCC diagnostic pop
    return info.dwMajorVersion >= 6;
}

int RunDllPlacer(HWND owner, const std::string& parameters) {
    std::string helper = DllPlacerPath();
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = "runas";
    info.lpFile = helper.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info)) {
        std::string text = "Failed to run DllPlacer.exe " + parameters;
        MessageBoxA(owner, text.c_str(), "Orvalo HUD Desktop", MB_ICONEXCLAMATION);
        return 0;
    }
    CVKWaitCursor wait;
    // The folder is tested again afterwards: wait for the helper to finish
    // rather than a fixed time, so the test sees its work.
    if (info.hProcess) {
        if (WaitForSingleObject(info.hProcess, 15000) != WAIT_OBJECT_0) {
            LogMessage("RunDllPlacer(): DllPlacer.exe %s did not finish in time\r\n", parameters.c_str());
        } else {
            DWORD code = 0;
            GetExitCodeProcess(info.hProcess, &code);
            if (code != 0) LogMessage("RunDllPlacer(): DllPlacer.exe %s ended with %lu\r\n", parameters.c_str(), code);
        }
        CloseHandle(info.hProcess);
    } else {
        Sleep(1000);
    }
    return 1;
}

int64_t NowMilliseconds() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    uint64_t t = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<int64_t>((t - 116444736000000000ull) / 10000ull);
}

std::string WebServerAddress() {
    std::string address = std::string("http://") + VKWebServerHost().Str();
    unsigned short port = VKWebServerPort();
    if (port != 80) address += ":" + std::to_string(port);
    return address;
}

void SetWebCredentials(const std::string& user, const std::string& password) {
    g_user = user;
    g_password = password;
}
const std::string& WebUser() { return g_user; }
const std::string& WebPassword() { return g_password; }

// The browser program of a command line: its first token, quoted or not.
static std::string FirstToken(const std::string& command) {
    std::string c = command;
    size_t start = c.find_first_not_of(" \t");
    if (start == std::string::npos) return std::string();
    if (c[start] == '"') {
        size_t end = c.find('"', start + 1);
        return c.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
    }
    size_t end = c.find_first_of(" \t", start);
    return c.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

void OpenWebPage(HWND owner, const std::string& target, bool withCredentials) {
    std::string browser = FirstToken(
        ReadRegistryString("HKEY_CLASSES_ROOT\\CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32", "", ""));
    std::string address = WebServerAddress() + "/services/desktop." VK_VERSION "/browserlogin.php?" +
                          BrowserLoginQuery(target, withCredentials, g_user, g_password);
    // The address is one argument (quoted, and holding no quote after the
    // encoding), and the browser runs as the user, never elevated.
    std::string parameter = "\"" + address + "\"";
    CVKWaitCursor wait;
    HINSTANCE rc = browser.empty()
                       ? nullptr
                       : ShellExecuteA(owner, "open", browser.c_str(), parameter.c_str(), nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(rc) <= 32) {
        std::string text = "Failed to start Internet Explorer. Please navigate to: " + address;
        MessageBoxA(owner, text.c_str(), "Orvalo HUD Desktop", MB_ICONEXCLAMATION);
    }
}
