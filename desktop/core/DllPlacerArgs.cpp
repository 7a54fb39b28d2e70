#include "DllPlacerArgs.h"

#include <cctype>
#include <cstdlib>

static std::string SkipProgramName(const std::string& line) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos) return std::string();
    if (line[i] == '"') {
        size_t end = line.find('"', i + 1);
        if (end == std::string::npos) return std::string();
        i = end + 1;
    } else {
        i = line.find_first_of(" \t", i);
        if (i == std::string::npos) return std::string();
    }
    size_t start = line.find_first_not_of(" \t", i);
    return start == std::string::npos ? std::string() : line.substr(start);
}

bool ParseDllPlacerArgs(const std::string& commandLine, DllPlacerArgs* args) {
    std::string rest = SkipProgramName(commandLine);
    size_t space = rest.find(' ');
    std::string verb = rest.substr(0, space);
    std::string tail = space == std::string::npos ? std::string() : rest.substr(space + 1);
    if (verb == "-desktopstartup") {
        if (tail != "1" && tail != "0") return false;
        args->command = DllPlacerArgs::kStartup;
        args->startupOn = tail == "1";
        return true;
    }
    if (verb == "-insertdlls") {
        args->command = DllPlacerArgs::kInsert;
    } else if (verb == "-removedlls") {
        args->command = DllPlacerArgs::kRemove;
    } else {
        return false;
    }
    size_t digits = 0;
    while (digits < tail.size() && isdigit(static_cast<unsigned char>(tail[digits]))) ++digits;
    if (digits == 0 || digits > 5 || digits >= tail.size() || tail[digits] != ' ') return false;
    unsigned long mask = strtoul(tail.substr(0, digits).c_str(), nullptr, 10);
    if (mask == 0 || mask > 0xFFFF) return false;
    args->mask = static_cast<unsigned>(mask);
    args->folder = tail.substr(digits + 1);
    // A folder passed in quotes by a caller is taken without them.
    if (args->folder.size() >= 2 && args->folder.front() == '"' && args->folder.back() == '"')
        args->folder = args->folder.substr(1, args->folder.size() - 2);
    return !args->folder.empty() && args->folder.find('"') == std::string::npos;
}
