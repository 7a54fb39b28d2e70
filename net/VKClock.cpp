#include <chrono>
#include <ctime>

#include "IVKClock.h"

namespace {
class CSystemClock : public IVKClock {
public:
    int64_t Seconds() override { return static_cast<int64_t>(time(nullptr)); }
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
