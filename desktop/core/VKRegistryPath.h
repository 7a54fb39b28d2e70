#pragma once
#include <string>

// Roots a key path may name.
enum VKRegistryRoot { kRootClassesRoot, kRootCurrentUser, kRootLocalMachine, kRootUsers, kRootCurrentConfig };

// A key path as the program writes it: an optional root name
// ("HKEY_LOCAL_MACHINE\...") selecting the root, cut off with its backslash;
// without one the path is under HKEY_CURRENT_USER.
struct VKRegistryPath {
    VKRegistryRoot root;
    std::string path;
};
VKRegistryPath RegistryPath(const std::string& text);

// Splits "Key\Sub\Name" at its last backslash into key and value name
// (the whole text is the value name when there is no backslash).
void SplitValuePath(const std::string& path, std::string* key, std::string* name);
