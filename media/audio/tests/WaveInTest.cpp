#include <gtest/gtest.h>

#include <string>

#include "CWaveIn.h"
#include "CWaveInT.h"
#include "LogCapture.h"
#include "VKLog.h"
#include "VQAudioFormat.h"

namespace {
WAVEFORMATEX Stereo22k() {
    WAVEFORMATEX f = {};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 2;
    f.nSamplesPerSec = 22050;
    f.nAvgBytesPerSec = 88200;
    f.nBlockAlign = 4;
    f.wBitsPerSample = 16;
    return f;
}

template <class T>
bool WaitDone(const T& in, int ms) {
    for (int i = 0; i < ms / 5; i++) {
        if (in.IsCurrentDone()) return true;
        Sleep(5);
    }
    return false;
}
}  // namespace

TEST(ChooseAudioFormat, DefaultDeviceGivesACompletePcmFormat) {
    WAVEFORMATEX f = {};
    ASSERT_EQ(1, ChooseAudioFormat(0, &f));
    EXPECT_EQ(WAVE_FORMAT_PCM, f.wFormatTag);
    EXPECT_EQ(f.wBitsPerSample / 8 * f.nChannels, f.nBlockAlign);
    EXPECT_EQ(f.nSamplesPerSec * f.nBlockAlign, f.nAvgBytesPerSec);
    EXPECT_EQ(0, f.cbSize);
    EXPECT_EQ(0, ChooseAudioFormat(99, &f));
}

TEST(CWaveIn, OpenStartRequeueClose) {
    WAVEFORMATEX f = Stereo22k();
    CWaveIn in;
    // Buffer size 0: two seconds each.
    ASSERT_EQ(1, in.Open(0, &f, 0));
    EXPECT_EQ(176400u, in.GetBufferSize());
    // Device 1 is the first device; reopening closes the old one first.
    ASSERT_EQ(1, in.Open(1, &f, 2940));
    EXPECT_EQ(2940u, in.GetBufferSize());
    EXPECT_EQ(0, in.Requeue());  // not started: nothing changes
    EXPECT_EQ(0, in.GetReadPosition());
    ASSERT_EQ(1, in.Start());
    ASSERT_TRUE(WaitDone(in, 3000));
    EXPECT_EQ(2940u, in.GetCurrentBytes());
    EXPECT_EQ(1, in.Requeue());
    EXPECT_EQ(1, in.GetReadPosition());
    EXPECT_EQ(1, in.Stop());
    in.Close();
    EXPECT_EQ(0, in.IsOpen());
    EXPECT_EQ(0, in.Start());
}

TEST(CWaveIn, MissingDeviceFailsAndLeavesNothingOpen) {
    LogCapture log;
    WAVEFORMATEX f = Stereo22k();
    CWaveIn in;
    EXPECT_EQ(0, in.Open(99, &f, 2940));
    EXPECT_EQ(0, in.IsOpen());
    EXPECT_NE(std::string::npos, log.text.find("CWaveIn::Open(): Can't open WAVE In Device!\r\n"));
}

TEST(CWaveInT, RequestsRunOnTheCaptureThread) {
    WAVEFORMATEX f = Stereo22k();
    CWaveInT in;
    EXPECT_EQ(0, in.Start());  // no thread yet
    EXPECT_EQ(0, in.Requeue());
    EXPECT_EQ(0, in.Open(99, &f, 2940));
    EXPECT_EQ(0, in.IsRunning());  // a failed open ends its thread
    ASSERT_EQ(1, in.Open(0, &f, 2940));
    EXPECT_EQ(1, in.IsRunning());
    EXPECT_EQ(0, in.Requeue());  // before Start
    ASSERT_EQ(1, in.Start());
    for (int i = 0; i < 40; i++) {  // more than the ring holds
        ASSERT_TRUE(WaitDone(in, 3000)) << i;
        EXPECT_EQ(2940u, in.GetCurrentBytes());
        ASSERT_EQ(1, in.Requeue());
        in.IncrementCount();
    }
    EXPECT_EQ(40, in.GetCount());
    ASSERT_EQ(1, in.Open(0, &f, 5880));  // reopening replaces the thread
    EXPECT_EQ(5880u, in.GetBufferSize());
    in.Close();
    EXPECT_EQ(0, in.IsRunning());
    EXPECT_EQ(0, in.Start());
}
