// The AVI recorder's cost on the render thread against the .rec recorder's:
// both fed by a back buffer in memory at a game's 60 frames per second, for
// a fixed number of frames at 1024x768 and 1920x1080. Every ProcessFrame
// call is timed; the AVI recorder copies, converts and writes uncompressed on
// that thread, the .rec recorder copies and hands over to its encoder thread.
// Run with a capture device that delivers in real time (scripts/bench.d/record-avi.sh).
//   media_avi_bench [frames] [folder]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "CVQRecordAvi.h"
#include "CVQRecordSE.h"
#include "FakeSurface.h"
#include "MediaTestUtil.h"
#include "VKSettings.h"

namespace {
class BenchSettings : public IVKSettingsStore {
public:
    std::string folder;
    bool Read(const char*, const char* name, CVKString* value) override {
        if (strcmp(name, "recorderFolder") != 0) return false;
        value->Set(folder.c_str());
        return true;
    }
    bool Write(const char*, const char*, const char*) override { return false; }
};

double Seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Timing {
    std::vector<double> ms;  // every call
    double total = 0;
};

// Offers `frames` frames at 60 per second; `step` is one ProcessFrame.
template <class Step>
Timing Offer(uint32_t width, uint32_t height, int frames, Step step) {
    FakeBackBuffer& b = TheFakeBackBuffer();
    Timing t;
    double next = Seconds();
    for (int i = 0; i < frames; i++) {
        DrawCounterPicture(b.pixels.data(), static_cast<int>(width), 64, static_cast<int>(b.pitch),
                           static_cast<uint32_t>(i));
        const double start = Seconds();
        step();
        const double ms = (Seconds() - start) * 1000;
        t.ms.push_back(ms);
        t.total += ms;
        next += 1.0 / 60;
        const double wait = next - Seconds();
        if (wait > 0) Sleep(static_cast<DWORD>(wait * 1000));
    }
    return t;
}

void Print(const char* what, uint32_t width, uint32_t height, const Timing& t, uint32_t working, uint32_t written,
           uint32_t sound) {
    std::vector<double> sorted = t.ms;
    std::sort(sorted.begin(), sorted.end());
    const double p95 = sorted.empty() ? 0 : sorted[sorted.size() * 95 / 100];
    printf(
        "avi_bench %ux%u %s: calls %u, %.3f ms per call, %.3f ms per call that took a picture (%u), "
        "p95 %.3f ms, max %.3f ms; frames written %u, sound buffers %u\n",
        width, height, what, static_cast<unsigned>(t.ms.size()), t.ms.empty() ? 0 : t.total / t.ms.size(),
        working ? t.total / working : 0.0, working, p95, sorted.empty() ? 0 : sorted.back(), written, sound);
}

void Run(uint32_t width, uint32_t height, int frames) {
    ResizeFakeBackBuffer(22, width, height);
    {
        CVQRecordAvi avi;
        if (!avi.BeginRecording()) {
            printf("avi_bench %ux%u avi: could not start\n", width, height);
        } else {
            const std::string path = avi.GetPath();
            const Timing t = Offer(width, height, frames, [&] { avi.ProcessFrame(); });
            avi.EndRecording();
            const CVQRecordAvi::Stats s = avi.GetStats();
            Print("avi", width, height, t, s.picturesCopied, s.framesWritten, s.audioBuffers);
            DeleteFileA(path.c_str());
        }
    }
    {
        CVQRecordSE rec;
        if (!rec.BeginRecording()) {
            printf("avi_bench %ux%u rec: could not start\n", width, height);
            return;
        }
        const std::string path = rec.GetPath();
        const Timing t = Offer(width, height, frames, [&] { rec.ProcessFrame(); });
        rec.EndRecording();
        const CVQRecordSE::Stats s = rec.GetStats();
        Print("rec", width, height, t, s.recorded, s.recorded, static_cast<uint32_t>(s.audioBuffers));
        DeleteFileA(path.c_str());
        DeleteFileA((path.substr(0, path.size() - 4) + ".di").c_str());
    }
}
}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? atoi(argv[1]) : 300;
    BenchSettings settings;
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    settings.folder = argc > 2 ? argv[2] : std::string(cwd) + "\\";
    VKSetSettingsStore(&settings);
    Run(1024, 768, frames);
    Run(1920, 1080, frames);
    VKSetSettingsStore(nullptr);
    return 0;
}
