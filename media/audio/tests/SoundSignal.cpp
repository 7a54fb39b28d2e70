#include "SoundSignal.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int16_t SignalSample(int64_t frame, int channel) {
    const double phase = 2.0 * 3.14159265358979323846 * static_cast<double>(frame % 441) / 441.0;
    return static_cast<int16_t>(channel == 0 ? lround(12000.0 * sin(phase)) : lround(7000.0 * cos(phase)) + 17);
}

bool WriteSignalFile(int channels, int seconds) {
    const char* home = getenv("ORVALO_SOUND_HOME");
    // Only into the signal device's own home, never into the shared null one.
    if (!home || !strstr(home, "media-signal-home")) return false;
    std::string path = std::string("Z:") + home + "/signal.raw";
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    std::vector<int32_t> period(static_cast<size_t>(441 * channels));
    for (int f = 0; f < 441; f++)
        for (int c = 0; c < channels; c++)
            period[static_cast<size_t>(f * channels + c)] =
                static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(SignalSample(f, c))) << 16);
    bool ok = true;
    for (int i = 0; i < seconds * 100 && ok; i++)
        ok = fwrite(period.data(), sizeof(int32_t), period.size(), file) == period.size();
    return fclose(file) == 0 && ok;
}

int64_t CountSignalFrames(const std::vector<int16_t>& samples, int channels) {
    const int64_t frames = static_cast<int64_t>(samples.size()) / channels;
    if (frames == 0) return 0;
    int phase = -1;
    for (int p = 0; p < 441 && phase < 0; p++) {
        bool match = true;
        for (int c = 0; c < channels; c++) match = match && samples[static_cast<size_t>(c)] == SignalSample(p, c);
        // Two following frames pin the phase down (a tone repeats values).
        for (int k = 1; k < 3 && k < frames; k++)
            for (int c = 0; c < channels; c++)
                match = match && samples[static_cast<size_t>(k * channels + c)] == SignalSample(p + k, c);
        if (match) phase = p;
    }
    if (phase < 0) return -1;
    for (int64_t f = 0; f < frames; f++)
        for (int c = 0; c < channels; c++)
            if (samples[static_cast<size_t>(f * channels + c)] != SignalSample(phase + f, c)) return f;
    return frames;
}
