#pragma once
#include <string>
#include <utility>
#include <vector>

#include "CVKString.h"

// The game a folder belongs to, from the GameBinFolders key that the desktop
// program maintains: one value per game, named by the game's number, whose
// data is the game's binaries folder.
typedef std::vector<std::pair<std::string, std::string>> VKGameFolderList;  // (name, folder)

// The name of the first entry whose folder equals folder, ignoring case and
// one trailing backslash on either side; "0" when none does.
CVKString VKMatchGameFolder(const char* folder, const VKGameFolderList& entries);

#ifdef _WIN32
// The entries of the GameBinFolders key of the current user (empty when the
// key is missing). Names and folders longer than the setting limit are
// skipped.
VKGameFolderList VKReadGameFolders();
// The folder of a loaded module (its file name cut at the last backslash);
// null for the program itself.
CVKString VKModuleFolder(void* module);
// VKMatchGameFolder over VKReadGameFolders.
CVKString VKGameNumberForFolder(const char* folder);
// The game number of the folder the library holding this code was loaded from.
CVKString VKGameNumberOfThisLibrary();
#endif
