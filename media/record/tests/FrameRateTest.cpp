#include <gtest/gtest.h>

#include <string>

#include "LogCapture.h"
#include "MemorySettings.h"
#include "VKLog.h"
#include "VQFrameRate.h"

namespace {
// Runs the recorder's pattern: a frame every frameMs[i % size] milliseconds.
void RunFrames(VQFrameRateReport* r, uint32_t* clock, int frames, const std::vector<uint32_t>& frameMs) {
    for (int i = 0; i < frames; i++) {
        *clock += frameMs[static_cast<size_t>(i) % frameMs.size()];
        ReportFrameRate(r, 0, *clock);
        r->frames++;
    }
}
}  // namespace

TEST(FrameRateReport, DefaultReportsOnceAtTheEnd) {
    MemorySettings settings;
    LogCapture log;
    VQFrameRateReport r;
    uint32_t clock = 1000;
    InitFrameRateReport(&r, clock);
    RunFrames(&r, &clock, 90, {20, 50});  // 50 and 20 frames per second alternately
    EXPECT_EQ(0, log.Count("Framerate@"));
    ReportFrameRate(&r, 1, clock);
    // 90 frames in 3150 ms: 28 fps average; slowest frame 50 ms, fastest 20 ms.
    EXPECT_EQ("Framerate@90: avg 28 min 20 max 50\r\n", log.text);
}

TEST(FrameRateReport, EveryNFramesAndNoneAtTheEnd) {
    MemorySettings settings;
    settings.Set("logFPSReporting", "30");
    LogCapture log;
    VQFrameRateReport r;
    uint32_t clock = 0xFFFFFF00u;  // the millisecond timer wraps during the run
    InitFrameRateReport(&r, clock);
    RunFrames(&r, &clock, 100, {25});
    EXPECT_EQ(3, log.Count("Framerate@"));
    EXPECT_NE(std::string::npos, log.text.find("Framerate@30: avg 38 min 40 max 40\r\n"));
    ReportFrameRate(&r, 1, clock);
    EXPECT_EQ(3, log.Count("Framerate@"));
}

TEST(FrameRateReport, ZeroTimesCountAsOneMillisecond) {
    MemorySettings settings;
    LogCapture log;
    VQFrameRateReport r;
    uint32_t clock = 5;
    InitFrameRateReport(&r, clock);
    ReportFrameRate(&r, 1, clock);  // no frames at all
    EXPECT_EQ("Framerate@0: avg 0 min 1000 max 1000\r\n", log.text);
}
