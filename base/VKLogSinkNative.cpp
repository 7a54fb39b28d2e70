#include <cstdio>
#include <cstdlib>

#include "VKLogSink.h"

// Off Windows the log goes to standard error when VK_LOG_STDERR is set;
// tests read it through the log hook.
void VKLogSinkWrite(const char* text, int length, bool) {
    static const bool toStderr = getenv("VK_LOG_STDERR") != nullptr;
    if (toStderr) fwrite(text, 1, static_cast<size_t>(length), stderr);
}
