#include "VKLog.h"

#include <cstdio>
#include <mutex>

#include "VKLogSink.h"

namespace {
std::mutex g_lock;  // one message at a time: the buffers below are shared
char g_text[kLogMaxText + 1];
char g_codecText[kLogMaxText + 1];
VKLogHook g_hook = nullptr;
void* g_hookContext = nullptr;

int Format(char* buffer, const char* format, va_list args) {
    int n = vsnprintf(buffer, kLogMaxText + 1, format, args);
    if (n < 0) {
        buffer[0] = 0;
        return 0;
    }
    if (n > kLogMaxText) {
        buffer[kLogMaxText] = 0;
        return kLogMaxText;
    }
    return n;
}
}  // namespace

void LogMessage(const char* format, ...) {
    std::lock_guard<std::mutex> guard(g_lock);
    va_list args;
    va_start(args, format);
    int length = Format(g_text, format, args);
    va_end(args);
    if (g_hook) g_hook(g_text, length, g_hookContext);
    VKLogSinkWrite(g_text, length, true);
}

int LogMessageIfFree(const char* format, ...) {
    std::unique_lock<std::mutex> guard(g_lock, std::try_to_lock);
    if (!guard.owns_lock()) return 0;
    va_list args;
    va_start(args, format);
    int length = Format(g_text, format, args);
    va_end(args);
    if (g_hook) g_hook(g_text, length, g_hookContext);
    VKLogSinkWrite(g_text, length, true);
    return 1;
}

void LogMessageNoFile(const char* format, va_list args) {
    std::lock_guard<std::mutex> guard(g_lock);
    int length = Format(g_codecText, format, args);
    if (g_hook) g_hook(g_codecText, length, g_hookContext);
    VKLogSinkWrite(g_codecText, length, false);
}

void VKSetLogHook(VKLogHook hook, void* context) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_hook = hook;
    g_hookContext = context;
}
