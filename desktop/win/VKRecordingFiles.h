#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The recordings of a folder in listing order: .rec, .wmv and .avi files by
// their extension (any case). folder ends with a backslash.
std::vector<std::string> ListRecordings(const std::string& folder);

// Deletes a recording after asking ask("Are you sure ...", flags); on Yes
// the file and its companion files go. A file that cannot be deleted shows
// "Unable to delete file" and nothing else is touched. True when deleted.
bool DeleteRecording(const std::string& path, const std::function<int(const std::string&, UINT)>& ask);
