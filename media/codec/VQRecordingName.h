#pragma once
#include <cstddef>

// Recording file names: <folder><game>_<YYYY-MM-DD_hh-mm-ss><extension>,
// where <game> is the executable's file name without folder and extension.
// The folder is used unchanged as a prefix (it should end with a backslash).
struct VQLocalTime {
    int year, month, day, hour, minute, second;
};

// Writes the path into out (always terminated, cut to size). Returns the
// length it needed, so a result >= size means the path did not fit.
size_t VQBuildRecordingPath(char* out, size_t size, const char* folder, const char* exePath, const VQLocalTime& time,
                            const char* extension);

// Replaces the extension (everything from the last '.' after the last
// backslash or slash) with extension; appends it when there is none. 1, or 0
// when the result does not fit.
int VQReplaceExtension(char* path, size_t size, const char* extension);
