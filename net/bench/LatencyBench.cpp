// End-to-end latency of a live share at its default settings, over loopback:
// the sharer's game draws its frame number into its picture (16 cells, each
// a white-over-black or black-over-white pair), the share recorder captures
// it through the capture ring as in a game, its worker codes it and sends it
// to the relay of the local test service, which forwards it to a viewer
// whose view window decodes and draws it. The viewer reads the number back
// from the window's own pixels. Both games run in this process, one frame
// of each every 1/60 s on one thread, on one clock:
//   latency = the time the view window first shows frame N
//           - the time the sharer's frame N was captured.
// The share's sound comes from the wave-in device (scripts/bench.d/latency.sh
// gives it a source paced in real time), so pictures follow the sound clock
// as in a game.
//   latency_bench <relay port> [seconds] [width height]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "CVKPixels.h"
#include "CVQDecodeVS.h"
#include "CVQRecordVS.h"
#include "CVQViewWnd.h"
#include "FakeSurface.h"
#include "ShareBenchUtil.h"
#include "VKSettings.h"
#include "VQResource.h"

namespace {
// No stored settings: every share setting takes its default.
class DefaultSettings : public IVKSettingsStore {
public:
    bool Read(const char*, const char*, CVKString*) override { return false; }
    bool Write(const char*, const char*, const char*) override { return false; }
};

// The stamp: bit i of the frame number in cell i, 24 pixels wide, at x = 8 +
// 24 i; the upper half (y 24 to 55) white for a set bit, the lower half (y 56
// to 87) the opposite. Large enough to survive the codec and a view at a
// quarter of the picture's size.
const int kBits = 16, kCellX = 8, kCellW = 24, kCellY = 24, kCellH = 32;
// Where the view window draws the picture in its own pixels.
const int kPictureX = 2, kPictureY = 10;

void DrawStamped(uint8_t* pixels, int width, int height, int stride, uint32_t frame) {
    DrawGamePicture(pixels, width, height, stride, frame);
    for (int i = 0; i < kBits; i++) {
        const bool set = (frame >> i) & 1;
        for (int half = 0; half < 2; half++) {
            const uint32_t colour = set == (half == 0) ? 0xFFFFFFFFu : 0xFF000000u;
            for (int y = kCellY + half * kCellH; y < kCellY + (half + 1) * kCellH && y < height; y++) {
                uint32_t* row = reinterpret_cast<uint32_t*>(pixels + static_cast<size_t>(y) * stride);
                for (int x = kCellX + kCellW * i; x < kCellX + kCellW * (i + 1) && x < width; x++) row[x] = colour;
            }
        }
    }
}

int Grey(const CVKPixels* canvas, int x, int y) {
    const uint32_t p =
        reinterpret_cast<const uint32_t*>(canvas->Data() + static_cast<ptrdiff_t>(y) * canvas->Stride())[x];
    return static_cast<int>(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3;
}

// The frame number in the view window's picture (the sharer's picture is
// sourceW x sourceH). 0 when a cell pair is not clearly one way or the other.
int ReadStamp(CVQViewWnd* window, int sourceW, int sourceH, uint32_t* frame) {
    CVKPixels* canvas = nullptr;
    if (window->GetGraphics()->GetPixels(&canvas) != S_OK || !canvas || !canvas->Data()) return 0;
    const int vw = window->ViewWidth(), vh = window->ViewHeight();
    if (vw <= 0 || vh <= 0) return 0;
    uint32_t value = 0;
    for (int i = 0; i < kBits; i++) {
        const int x = kPictureX + (kCellX + kCellW * i + kCellW / 2) * vw / sourceW;
        const int top = kPictureY + (kCellY + kCellH / 2) * vh / sourceH;
        const int bottom = kPictureY + (kCellY + kCellH + kCellH / 2) * vh / sourceH;
        if (x >= static_cast<int>(canvas->Width()) || bottom >= static_cast<int>(canvas->Height())) return 0;
        const int upper = Grey(canvas, x, top), lower = Grey(canvas, x, bottom);
        if (upper > 160 && lower < 96)
            value |= 1u << i;
        else if (!(upper < 96 && lower > 160))
            return 0;
    }
    *frame = value;
    return 1;
}

double Percentile(const std::vector<double>& sorted, int p) {
    return sorted[std::min(sorted.size() - 1, sorted.size() * static_cast<size_t>(p) / 100)];
}

int Run(int port, int seconds, int width, int height) {
    ResizeFakeBackBuffer(22, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    FakeBackBuffer& b = TheFakeBackBuffer();
    // The device finishes a copy into the capture ring by the next frame.
    b.eventQueries = true;
    b.doneDelay = 1;

    // The sharer, as the HUD starts a share.
    CVQShareVS* client = new CVQShareVS();
    CVQRecordVS recorder(client);
    if (!client->Open() || !recorder.ReadBackBuffer()) {
        printf("latency_bench %dx%d: cannot open the share client\n", width, height);
        return 0;
    }
    recorder.ReadShareSettings();
    const VQShareSettings& settings = recorder.GetSettings();
    const WAVEFORMATEX& format = recorder.GetAudioFormat();
    client->SetServer("127.0.0.1", port);
    client->SetGameNumber("0");
    client->SetWidth(recorder.GetVideoWidth());
    client->SetHeight(recorder.GetVideoHeight());
    client->SetFrameRate(settings.frameRate);
    client->SetSamplesPerSec(static_cast<int>(format.nSamplesPerSec));
    client->SetChannels(format.nChannels);
    client->SetBitsPerSample(format.wBitsPerSample);
    char option[64];
    snprintf(option, sizeof option, "AudioBitrate=%d", settings.audioBitRate);
    client->AddOption(CVKString(option));
    snprintf(option, sizeof option, "VideoBitrate=%d", settings.videoBitRate);
    client->AddOption(CVKString(option));
    client->Login("anna", "anna-pw");

    std::vector<double> capturedAt(1u << kBits, -1.0);
    uint32_t frame = 0;
    const double period = 1000.0 / 60;
    double next = BenchMillis();
    auto sharerFrame = [&] {
        frame++;
        b.frame++;
        DrawStamped(b.pixels.data(), width, height, static_cast<int>(b.pitch), frame);
        capturedAt[frame & ((1u << kBits) - 1)] = BenchMillis();
        recorder.ProcessFrame();
    };
    auto pace = [&] {
        next += period;
        const double left = next - BenchMillis();
        if (left >= 1)
            Sleep(static_cast<DWORD>(left));
        else if (left < -period)
            next = BenchMillis();  // far behind: no burst of frames to catch up
    };
    for (int i = 0; i < 600 && !recorder.IsRecording(); i++) {
        sharerFrame();
        pace();
    }
    if (!recorder.IsRecording()) {
        printf("latency_bench %dx%d: the share did not start (relay at port %d, a sound device?)\n", width, height,
               port);
        return 0;
    }

    // The viewer: a view window over a session of its own.
    CVQViewWnd window;
    window.CreateFrame(536, 50, 250, 160);
    CVQDecodeVS* view = window.GetViewSession();
    view->Connect("bo", "bo-pw", client->GetSession(), "127.0.0.1", port);

    std::vector<double> latency;
    int shown = 0, unreadable = 0, warmup = 4;
    const double end = BenchMillis() + seconds * 1000.0;
    while (BenchMillis() < end) {
        sharerFrame();
        view->Update();
        view->TakeAudio(nullptr, nullptr, nullptr);  // a game plays it; here it is dropped
        window.PrepareSurface();
        if (window.PicturesShown() != shown) {
            const double now = BenchMillis();
            shown = window.PicturesShown();
            uint32_t stamp = 0;
            if (!ReadStamp(&window, width, height, &stamp) || capturedAt[stamp] < 0 || capturedAt[stamp] > now) {
                unreadable++;
            } else if (warmup > 0) {
                warmup--;  // the first pictures wait for the decoder and the first key picture
            } else {
                latency.push_back(now - capturedAt[stamp]);
            }
        }
        pace();
    }
    const CVQRecordVS::Stats stats = recorder.GetStats();
    view->Logout();
    recorder.EndRecording();
    client->Logout();
    client->Update();
    if (latency.empty()) {
        printf("latency_bench %dx%d: no picture reached the view window (%d shown, %d unreadable)\n", width, height,
               shown, unreadable);
        return 0;
    }
    std::sort(latency.begin(), latency.end());
    printf(
        "latency_bench share %dx%d (coded %dx%d, %d pictures/s, %d bit/s) -> relay -> view window %dx%d: "
        "capture to shown: median %.1f ms, p99 %.1f ms (min %.1f, max %.1f) over %d pictures; "
        "%d unreadable; %lld pictures sent, %u frames skipped (capture slots busy)\n",
        width, height, recorder.GetVideoWidth(), recorder.GetVideoHeight(), settings.frameRate, settings.videoBitRate,
        window.ViewWidth(), window.ViewHeight(), Percentile(latency, 50), Percentile(latency, 99), latency.front(),
        latency.back(), static_cast<int>(latency.size()), unreadable, static_cast<long long>(stats.pictures),
        stats.skippedBusy);
    return 1;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: latency_bench <relay port> [seconds] [width height]\n");
        return 2;
    }
    const int port = atoi(argv[1]);
    const int seconds = argc > 2 ? atoi(argv[2]) : 40;
    const int width = argc > 4 ? atoi(argv[3]) : 640;
    const int height = argc > 4 ? atoi(argv[4]) : 512;
    if (port <= 0 || port > 65535 || seconds <= 0 || width < 400 || height < 100 || width > 4096 || height > 4096) {
        fprintf(stderr, "latency_bench: bad arguments\n");
        return 2;
    }
    VQSetResourceModule(GetModuleHandleA(nullptr));
    DefaultSettings settings;
    VKSetSettingsStore(&settings);
    const int ok = Run(port, seconds, width, height);
    VKSetSettingsStore(nullptr);
    return ok ? 0 : 1;
}
