// The encoder side of recording: the session recorder fed by a back buffer
// in memory (a moving counter picture) at a game's 60 frames per second,
// for a fixed number of frames at 1280x720 and 1920x1080; then the reader's
// decode rate on the file it wrote.
//   media_record_bench [frames] [folder]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "CVKRECDecoder.h"
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

void Run(uint32_t width, uint32_t height, int frames) {
    ResizeFakeBackBuffer(22, width, height);
    FakeBackBuffer& b = TheFakeBackBuffer();
    CVQRecordSE recorder;
    if (!recorder.BeginRecording()) {
        printf("record_bench %ux%u: could not start\n", width, height);
        return;
    }
    const std::string path = recorder.GetPath();
    // A full picture with some grain (so it codes like a game, not like a
    // flat fill); the counter rows change every frame.
    DrawCounterPicture(b.pixels.data(), static_cast<int>(width), static_cast<int>(height), static_cast<int>(b.pitch),
                       0);
    uint32_t seed = 12345;
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width * 4; x++) {
            seed = seed * 1103515245 + 12345;
            b.pixels[y * b.pitch + x] ^= static_cast<uint8_t>((seed >> 16) & 7);
        }
    const double start = Seconds();
    double next = start;
    for (int i = 0; i < frames; i++) {
        DrawCounterPicture(b.pixels.data(), static_cast<int>(width), 64, static_cast<int>(b.pitch),
                           static_cast<uint32_t>(i));
        recorder.ProcessFrame();
        next += 1.0 / 60;
        const double wait = next - Seconds();
        if (wait > 0) Sleep(static_cast<DWORD>(wait * 1000));
    }
    recorder.EndRecording();  // the frame still being coded is counted too
    const double elapsed = Seconds() - start;
    const CVQRecordSE::Stats s = recorder.GetStats();
    printf(
        "record_bench %ux%u: offered %u recorded %u skipped-busy %u no-sound %u audio-buffers %lld "
        "capture %.2f ms/frame encode %.2f ms/frame written %.1f MB/s over %.2f s\n",
        width, height, s.offered, s.recorded, s.skippedBusy, s.noSound, static_cast<long long>(s.audioBuffers),
        s.recorded ? s.captureMicros / 1000.0 / s.recorded : 0.0,
        s.recorded ? s.encodeMicros / 1000.0 / s.recorded : 0.0, s.bytes / 1e6 / elapsed, elapsed);

    CVKRECDecoder d;
    if (!d.Open(path.c_str())) return;
    AVPacket* packet = av_packet_alloc();
    int decoded = 0;
    const double decodeStart = Seconds();
    for (char tag; (tag = d.ReadTag()) != 0;) {
        if (tag == 'A') {
            if (!d.SkipSampleAudio()) break;
        } else if (tag == 'V') {
            int64_t ts;
            if (!d.ReadSampleVideo(packet, &ts) || !d.DecodeVideoSample(packet)) break;
            decoded++;
        } else {
            break;
        }
    }
    const double decodeTime = Seconds() - decodeStart;
    av_packet_free(&packet);
    d.Close();
    printf("record_bench %ux%u: decoded %d frames at %.1f frames/s (%.2f ms/frame)\n", width, height, decoded,
           decodeTime > 0 ? decoded / decodeTime : 0.0, decoded ? decodeTime * 1000 / decoded : 0.0);
    DeleteFileA(path.c_str());
    DeleteFileA((path.substr(0, path.size() - 4) + ".di").c_str());
}
}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? atoi(argv[1]) : 300;
    BenchSettings settings;
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    settings.folder = argc > 2 ? argv[2] : std::string(cwd) + "\\";
    VKSetSettingsStore(&settings);
    Run(1280, 720, frames);
    Run(1920, 1080, frames);
    VKSetSettingsStore(nullptr);
    return 0;
}
