#pragma once
#include <cstdint>

// Milliseconds of a monotonic clock (the multimedia timer on Windows), used
// for pacing, blinking and frame-rate reports. Tests install their own clock.
uint32_t VKClockMs();
typedef uint32_t (*VKClockFn)();
void VKSetClock(VKClockFn clock);  // null restores the system clock
