#include "VKClock.h"

#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>
#else
#include <chrono>
#endif

namespace {
uint32_t SystemClock() {
#ifdef _WIN32
    return timeGetTime();  // the multimedia timer: 1 ms steps where GetTickCount takes 10 to 16
#else
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
#endif
}
VKClockFn g_clock = SystemClock;
}  // namespace

uint32_t VKClockMs() { return g_clock(); }
void VKSetClock(VKClockFn clock) { g_clock = clock ? clock : SystemClock; }
