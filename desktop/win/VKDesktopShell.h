#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

// Helpers of the desktop program around the shell and the service.

// The running program's path and folder (no trailing backslash).
std::string ProgramPath();
std::string ProgramFolder();
// The helper beside the program: the program's path with
// "\OrvaloHUDDesktop.exe" or "\Desktop.exe" replaced by "\DllPlacer.exe".
std::string DllPlacerPath();
// Windows version 6 (Vista) or later.
bool IsWindowsVistaOrLater();
// Starts DllPlacer.exe elevated ("runas") with the parameters and waits for
// it to finish (at most 15 seconds). Shows "Failed to run DllPlacer.exe " +
// parameters when it cannot be started. 1 when it ran.
int RunDllPlacer(HWND owner, const std::string& parameters);
// Milliseconds since 1 January 1970 (seconds x 1000 + milliseconds).
int64_t NowMilliseconds();
// "http://" + the web server's host, with ":port" unless it is 80.
std::string WebServerAddress();
// Opens a page of the service's web site in the browser through
// "browserlogin.php"; the query values are percent-encoded and the address
// reaches the browser as one argument.
void OpenWebPage(HWND owner, const std::string& target, bool withCredentials);
// The signed-in user's name and password (set by the sign-in page).
void SetWebCredentials(const std::string& user, const std::string& password);
const std::string& WebUser();
const std::string& WebPassword();
