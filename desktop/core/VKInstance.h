#pragma once
#include <cstdint>
#include <string>

// The arithmetic of the desktop program's single-instance hand-shake and of
// its other start-up decisions, kept apart from the registry.

// Another instance counts as alive when its last heartbeat (milliseconds
// since 1970) lies between 3 seconds ago and now. A heartbeat from the
// future (the clock was set back) does not count, so it cannot block starts.
bool OtherInstanceAlive(int64_t nowMs, int64_t runningMs);

// Parses a signed 64-bit decimal heartbeat; anything unreadable gives 0.
int64_t ParseHeartbeat(const std::string& text);

// What a show request asks for: -2 nothing, -1 show without changing the
// tab, 0..3 show with that tab selected.
int ShowRequestTab(int value);

// The weekly update trigger. lastSeconds is the stored time (0 when never
// stored). Returns true when the time is to be stored again; *fire tells
// whether an update check is to be requested (never on the first run).
bool WeeklyUpdateDue(int64_t lastSeconds, int64_t nowSeconds, bool* fire);

// An encode job left at any progress other than 100 was interrupted.
bool EncodeJobNeedsReset(const std::string& progress);

// True when a command line holds "-startup" anywhere.
bool HasStartupSwitch(const std::string& commandLine);
