#include "VKInstance.h"

#include <cerrno>
#include <cstdlib>

bool OtherInstanceAlive(int64_t nowMs, int64_t runningMs) {
    // running <= now and now - running < 3000, written so nothing overflows.
    return runningMs <= nowMs && runningMs > nowMs - 3000;
}

int64_t ParseHeartbeat(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    long long v = strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str()) return 0;
    return static_cast<int64_t>(v);
}

int ShowRequestTab(int value) {
    if (value <= 0) return -2;
    if (value <= 4) return value - 1;
    return -1;
}

bool WeeklyUpdateDue(int64_t lastSeconds, int64_t nowSeconds, bool* fire) {
    *fire = false;
    if (lastSeconds >= nowSeconds - 604800) return false;
    *fire = lastSeconds != 0;
    return true;
}

bool EncodeJobNeedsReset(const std::string& progress) { return atoi(progress.c_str()) != 100; }

bool HasStartupSwitch(const std::string& commandLine) { return commandLine.find("-startup") != std::string::npos; }
