#include "VKRegistryPath.h"

#include <cstring>

VKRegistryPath RegistryPath(const std::string& text) {
    static const struct {
        const char* name;
        VKRegistryRoot root;
    } kRoots[] = {{"HKEY_CLASSES_ROOT", kRootClassesRoot},
                  {"HKEY_CURRENT_USER", kRootCurrentUser},
                  {"HKEY_LOCAL_MACHINE", kRootLocalMachine},
                  {"HKEY_USERS", kRootUsers},
                  {"HKEY_CURRENT_CONFIG", kRootCurrentConfig}};
    for (const auto& r : kRoots) {
        std::string prefix = std::string(r.name) + "\\";
        if (text.compare(0, prefix.size(), prefix) == 0) return VKRegistryPath{r.root, text.substr(prefix.size())};
    }
    return VKRegistryPath{kRootCurrentUser, text};
}

void SplitValuePath(const std::string& path, std::string* key, std::string* name) {
    size_t slash = path.rfind('\\');
    if (slash == std::string::npos) {
        key->clear();
        *name = path;
        return;
    }
    *key = path.substr(0, slash);
    *name = path.substr(slash + 1);
}
