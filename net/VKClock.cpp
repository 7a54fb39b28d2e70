#include <chrono>

#include "IVKClock.h"

namespace {
class CSystemClock : public IVKClock {
public:
    // The same seconds since 1970 as time(), without its cost: under Wine the
    // C library's time() takes microseconds a call (this takes tens of
    // nanoseconds), and the HUD asks for the time every frame.
    int64_t Seconds() override {
        using namespace std::chrono;
        return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
    }
    int64_t Millis() override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
};
}  // namespace

IVKClock* VKSystemClock() {
    static CSystemClock clock;
    return &clock;
}
