#pragma once
#include <string>

// The desktop program's start-up before its main window: the single-instance
// hand-shake, the first-run data folders, the version value and the reset of
// an interrupted encode job. False when another instance of this version is
// running (it was asked to come forward); the program then ends at once.
bool DesktopStartup(const std::string& commandLine, bool* startedWithStartup);

// The first-run folders: when the HUD's settings have no "dataFolder", makes
// the per-user and the all-users "Orvalo 4.0.6.0\" folders and writes
// dataFolder, recorderFolder and logFileName.
void CreateFirstRunFolders();
