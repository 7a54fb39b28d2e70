#pragma once
#include <cstdint>

// The settings of a live share as read when it starts, and the clocks of
// its packets. Platform-free, so the rules are tested natively.
struct VQShareSettings {
    int threads;
    int reduceMethod;
    int reduceFactor;
    int frameRate;
    int videoBitRate;
    int audioBitRate;
    int audioDevice;
};

// Settings at construction of a share recorder.
VQShareSettings VQDefaultShareSettings();

// The automatic reduction (method 0: factor 2 for back buffers of at least
// 1280 x 960, else 1) and the limits, comparing as unsigned so that negative
// values count as too large: factor 1..4 (0 -> 1), frame rate 1..100
// (0 -> 1), video bit rate 28000..10000000, audio bit rate 100..1000000.
void VQLimitShareSettings(VQShareSettings* settings, uint32_t backBufferWidth, uint32_t backBufferHeight);

// A side of the shared picture: the back buffer's side divided by the
// factor, rounded down to a multiple of 4.
int VQShareSide(uint32_t side, int factor);

// Time stamp (milliseconds) of audio packet number `packets` (0 for the
// first) when every packet codes frameBytes bytes of PCM. In 64 bits: the
// product overflows 32 bits after about 12 s of 44.1 kHz stereo.
int64_t VQShareAudioTime(int64_t packets, int frameBytes, int channels, int bitsPerSample, int samplesPerSecond);

// Time stamp (milliseconds) of the picture taken after `buffers` sound
// buffers of 1 / frameRate s each.
int64_t VQShareVideoTime(int64_t buffers, int frameRate);
