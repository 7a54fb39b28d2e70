// How long the render thread waits for the playback thread: the round trip
// of CVQHUD_AudioT::Play, with a sink that does nothing and with the
// platform's wave-out (the null device here). Prints median, 99th
// percentile and longest wait in microseconds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "CVQHUD_AudioT.h"

namespace {
// Takes every buffer and hands it back at once.
class NullSink : public IVQSoundSink {
public:
    MMRESULT Open(HWAVEOUT* device, const WAVEFORMATEX*) override {
        *device = reinterpret_cast<HWAVEOUT>(1);
        return MMSYSERR_NOERROR;
    }
    MMRESULT Prepare(HWAVEOUT, WAVEHDR* h) override {
        h->dwFlags |= WHDR_PREPARED;
        return MMSYSERR_NOERROR;
    }
    MMRESULT Unprepare(HWAVEOUT, WAVEHDR* h) override {
        h->dwFlags &= ~WHDR_PREPARED;
        return MMSYSERR_NOERROR;
    }
    MMRESULT Write(HWAVEOUT, WAVEHDR* h) override {
        h->dwFlags |= WHDR_DONE;
        return MMSYSERR_NOERROR;
    }
    MMRESULT Reset(HWAVEOUT) override { return MMSYSERR_NOERROR; }
    MMRESULT Close(HWAVEOUT) override { return MMSYSERR_NOERROR; }
};

int Run(const char* label, IVQSoundSink* sink, int calls) {
    CVQHUD_AudioT audio(sink);
    if (!audio.Start()) {
        printf("%s: playback thread did not start\n", label);
        return 1;
    }
    const int channel = audio.OpenChannel(44100, 2, 2);
    if (channel < 0) {
        printf("%s: no channel\n", label);
        return 1;
    }
    // One view packet's worth of sound: 1/4 s of 44.1 kHz stereo.
    std::vector<char> sound(44100);
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    std::vector<double> us;
    int played = 0;
    for (int i = 0; i < calls; ++i) {
        QueryPerformanceCounter(&a);
        played += audio.Play(channel, sound.data(), static_cast<int>(sound.size()));
        QueryPerformanceCounter(&b);
        us.push_back(static_cast<double>(b.QuadPart - a.QuadPart) * 1e6 / static_cast<double>(f.QuadPart));
        if (sink == nullptr) Sleep(1);
    }
    audio.Stop();
    std::sort(us.begin(), us.end());
    printf("%s: Play round trip over %d calls (%d queued): median %.0f us, p99 %.0f us, max %.0f us\n", label, calls,
           played, us[us.size() / 2], us[us.size() * 99 / 100], us.back());
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? atoi(argv[1]) : 2000;
    NullSink null;
    int failed = Run("null sink", &null, calls);
    failed |= Run("platform wave-out", nullptr, calls / 10 > 0 ? calls / 10 : 1);
    return failed;
}
