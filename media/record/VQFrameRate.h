#pragma once
#include <cstdint>

// The frame-rate report of the recorders: per-frame times in milliseconds,
// logged as "Framerate@<frames>: avg <fps> min <fps> max <fps>" either every N
// frames (setting "logFPSReporting" = N >= 0) or once for the whole recording
// at its end (N = -1, the default). "min" is the lowest frame rate (from the
// longest frame time), "max" the highest. Time is passed in by the caller.
struct VQFrameRateReport {
    int32_t interval;
    uint32_t frames;
    uint32_t lastReportFrames;
    uint32_t lastReportTime;
    uint32_t lastFrameTime;
    uint64_t sum;
    int64_t minimum;  // -1 = none yet
    uint32_t maximum;
};

// Reads "logFPSReporting" (default "-1") and starts counting at now.
void InitFrameRateReport(VQFrameRateReport* report, uint32_t now);
// Accounts one frame (unless final) and logs when a report is due. Returns
// the frame count; the caller increments it (the session recorder does).
uint32_t ReportFrameRate(VQFrameRateReport* report, int final, uint32_t now);
