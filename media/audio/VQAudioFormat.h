#pragma once
#include <cstdint>

// The PCM formats a wave-in device can report, in the order of preference:
// 16-bit stereo first, then 8-bit stereo, then the mono ones, each from the
// highest rate down. Stereo 8-bit is preferred over mono 16-bit.
struct VQPcmFormat {
    int rate;
    int channels;
    int bits;
};

// Picks the first supported format from a device's capability bits (the
// WAVE_FORMAT_* bits of the wave-in capabilities). 0 when none is supported
// (the format is left as it was).
int ChooseAudioFormatFromCaps(uint32_t formats, VQPcmFormat* format);

// The size of a capture buffer: bytes rounded down to whole sample frames of
// blockAlign bytes, so no buffer splits a frame. Capture (CWaveIn) and the
// recording header both size their buffers with it, so they agree.
uint32_t VQWholeFrameBytes(uint32_t bytes, int blockAlign);

#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>

// Device numbers as stored in the settings: 0 the wave mapper, n the
// platform's wave-in device n - 1. Fills a complete PCM format; 1, or 0 when
// the capabilities cannot be read or name no supported format.
int ChooseAudioFormat(int device, WAVEFORMATEX* format);
// The platform's device id of a settings device number.
UINT WaveInDeviceId(int device);
#endif
