#pragma once
#include <string>

#include "VKLog.h"

// Collects every message logged during its lifetime (through the log's test
// hook, which it takes and gives back empty). One at a time.
class LogCapture {
public:
    LogCapture() { VKSetLogHook(&LogCapture::Hook, this); }
    ~LogCapture() { VKSetLogHook(nullptr, nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // How often what occurs in the text logged so far.
    int Count(const std::string& what) const {
        int n = 0;
        if (what.empty()) return 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) n++;
        return n;
    }

    std::string text;

private:
    static void Hook(const char* t, int n, void* self) { static_cast<LogCapture*>(self)->text.append(t, n); }
};
