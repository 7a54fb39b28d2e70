#pragma once
#include <string>

// The command line of DllPlacer.exe.
struct DllPlacerArgs {
    enum Command { kInsert, kRemove, kStartup };
    Command command = kInsert;
    unsigned mask = 0;
    std::string folder;  // the rest of the line, spaces kept
    bool startupOn = false;
};

// Parses a whole command line (the program's own name first, quoted or not):
// "-insertdlls MASK FOLDER", "-removedlls MASK FOLDER" with a decimal mask
// of 1 to 65535 and a non-empty folder, or "-desktopstartup 1|0". False for
// anything else.
bool ParseDllPlacerArgs(const std::string& commandLine, DllPlacerArgs* args);
