// What a piece of sound costs its caller (the render thread): the time
// CVQHUD_AudioT::Play takes to post it to the playback thread, with a sink
// that does nothing and with the platform's wave-out (the null device here),
// one piece a millisecond. Prints median, 99th percentile and longest call
// in microseconds, and what became of the pieces.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    // Beside each call, a plain copy of the same bytes timed the same way:
    // what any code of that size costs on this machine now (preemption
    // included), for comparison.
    std::vector<char> copy(sound.size());
    std::vector<double> us, copyUs;
    int posted = 0;
    for (int i = 0; i < calls; ++i) {
        QueryPerformanceCounter(&a);
        memcpy(copy.data(), sound.data(), sound.size());
        QueryPerformanceCounter(&b);
        copyUs.push_back(static_cast<double>(b.QuadPart - a.QuadPart) * 1e6 / static_cast<double>(f.QuadPart));
        QueryPerformanceCounter(&a);
        posted += audio.Play(channel, sound.data(), static_cast<int>(sound.size()));
        QueryPerformanceCounter(&b);
        us.push_back(static_cast<double>(b.QuadPart - a.QuadPart) * 1e6 / static_cast<double>(f.QuadPart));
        sound[static_cast<size_t>(i) % sound.size()] = copy[static_cast<size_t>(i * 7) % copy.size()];
        Sleep(1);
    }
    audio.Flush(10000);
    const long long full = audio.Dropped(CVQHUD_AudioT::kDropQueueFull) + audio.Dropped(CVQHUD_AudioT::kDropQueueBytes);
    const long long device = audio.Dropped(CVQHUD_AudioT::kDropDevice);
    audio.Stop();
    std::sort(us.begin(), us.end());
    std::sort(copyUs.begin(), copyUs.end());
    printf(
        "%s: caller's time per Play over %d calls: median %.1f us, p99 %.1f us, max %.1f us "
        "(%d posted, %lld dropped with the queue full, %lld not taken by the device); a plain copy of the same "
        "bytes: median %.1f us, p99 %.1f us, max %.1f us\n",
        label, calls, us[us.size() / 2], us[us.size() * 99 / 100], us.back(), posted, full, device,
        copyUs[copyUs.size() / 2], copyUs[copyUs.size() * 99 / 100], copyUs.back());
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
