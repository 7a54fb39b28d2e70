#pragma once
#include <cstdint>

// Sound output of the recording players: PCM channels opened with a format,
// fed with blocks, closed when the player stops or goes.
class IVQSoundOut {
public:
    virtual ~IVQSoundOut() {}
    // A channel number, or -1 when no output could be opened.
    virtual int OpenChannel(int samplesPerSecond, int channels, int bytesPerSample) = 0;
    virtual void Play(int channel, const uint8_t* data, int size) = 0;
    virtual void CloseChannel(int channel) = 0;
};

// The output the players use: the HUD's playback thread (CVQHUD_AudioT),
// unless another output is installed. Never null.
IVQSoundOut* VQPlayerSound();
// Installs an output (null: the HUD's again); returns the one used before.
IVQSoundOut* VQSetPlayerSound(IVQSoundOut* sound);
