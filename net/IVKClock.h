#pragma once
#include <cstdint>

// Time source of the network classes. The game build uses the system clock;
// tests hand in a clock they move themselves.
class IVKClock {
public:
    virtual ~IVKClock() {}
    // Wall-clock seconds (keep-alive and login retries).
    virtual int64_t Seconds() = 0;
    // Milliseconds of a monotonic clock (connect retries).
    virtual int64_t Millis() = 0;
};

// The process's system clock (never null).
IVKClock* VKSystemClock();

// A clock that only moves when told to: for tests and simulations.
class CVKManualClock : public IVKClock {
public:
    CVKManualClock() : m_ms(0) {}
    int64_t Seconds() override { return m_ms / 1000; }
    int64_t Millis() override { return m_ms; }
    void Advance(int64_t ms) { m_ms += ms; }
    void Set(int64_t ms) { m_ms = ms; }

private:
    int64_t m_ms;
};
