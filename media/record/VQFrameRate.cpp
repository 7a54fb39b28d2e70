#include "VQFrameRate.h"

#include "VKLog.h"
#include "VKSettings.h"

void InitFrameRateReport(VQFrameRateReport* r, uint32_t now) {
    r->interval = VKGetSettingInt("logFPSReporting", "-1");
    r->frames = 0;
    r->lastReportFrames = 0;
    r->sum = 0;
    r->maximum = 0;
    r->minimum = -1;
    r->lastFrameTime = now;
    r->lastReportTime = now;
}

uint32_t ReportFrameRate(VQFrameRateReport* r, int final, uint32_t now) {
    if (!final) {
        const uint32_t dt = now - r->lastFrameTime;  // unsigned: survives the timer's wrap
        r->sum += dt;
        if (r->minimum == -1 || dt < r->minimum) r->minimum = dt;
        if (dt > r->maximum) r->maximum = dt;
    }
    const bool due = r->interval == -1 ? final != 0
                                       : !final && r->interval >= 0 &&
                                             r->frames - r->lastReportFrames >= static_cast<uint32_t>(r->interval);
    if (due) {
        const uint64_t frames = r->interval == -1 ? r->frames : static_cast<uint64_t>(r->interval);
        const uint64_t sum = r->sum ? r->sum : 1;
        const uint64_t longest = r->maximum ? r->maximum : 1;
        const uint64_t shortest = r->minimum > 0 ? static_cast<uint64_t>(r->minimum) : 1;
        LogMessage("Framerate@%d: avg %d min %d max %d\r\n", static_cast<int>(r->frames),
                   static_cast<int>(frames * 1000 / sum), static_cast<int>(1000 / longest),
                   static_cast<int>(1000 / shortest));
        r->lastReportFrames = r->frames;
        r->lastReportTime = now;
        r->sum = 0;
        r->minimum = -1;
        r->maximum = 0;
    }
    r->lastFrameTime = now;
    return r->frames;
}
