#include <gtest/gtest.h>

#include <vector>

#include "CWaveInT.h"
#include "SoundSignal.h"
#include "VQAudioFormat.h"

// The capture device of this test plays a known tone; what the capture thread
// hands over must continue it sample for sample, across the ring's wrap.
TEST(CWaveInT, CapturesTheDevicesSignalSampleForSample) {
    ASSERT_TRUE(WriteSignalFile(2, 30));
    WAVEFORMATEX f = {};
    ASSERT_EQ(1, ChooseAudioFormat(0, &f));
    ASSERT_EQ(16, f.wBitsPerSample);
    ASSERT_EQ(2, f.nChannels);
    const DWORD bufferBytes = f.nAvgBytesPerSec / 30;
    CWaveInT in;
    ASSERT_EQ(1, in.Open(0, &f, bufferBytes));
    ASSERT_EQ(1, in.Start());
    std::vector<int16_t> samples;
    for (int taken = 0; taken < 90;) {
        int waited = 0;
        while (!in.IsCurrentDone() && waited++ < 600) Sleep(5);
        ASSERT_TRUE(in.IsCurrentDone()) << taken;
        const int16_t* data = reinterpret_cast<const int16_t*>(in.GetCurrentData());
        samples.insert(samples.end(), data, data + in.GetCurrentBytes() / 2);
        ASSERT_EQ(1, in.Requeue());
        taken++;
    }
    in.Close();
    ASSERT_EQ(90u * bufferBytes / 2, samples.size());
    EXPECT_EQ(static_cast<int64_t>(samples.size() / 2), CountSignalFrames(samples, 2));
}
