#pragma once
#include <cstdint>
#include <vector>

// The known sound of the signal capture device: a 100 Hz tone at 44,100 Hz
// (exactly 441 frames per period), a different one on each channel. The
// device may start late and drop whole periods, so captured sound is checked
// as a continuation of the signal from whatever phase it starts at.
int16_t SignalSample(int64_t frame, int channel);
// Writes signal.raw (32-bit samples, the 16-bit value shifted left by 16) into
// the sound home named by ORVALO_SOUND_HOME (the test's own signal home, as
// ctest sets it). false when it cannot.
bool WriteSignalFile(int channels, int seconds);
// Number of frames that continue the signal without a break; -1 when the
// first frame matches no phase.
int64_t CountSignalFrames(const std::vector<int16_t>& samples, int channels);
