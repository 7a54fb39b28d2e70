// The HUD's cost on the game's render thread: the time spent at the
// composition point per frame (the HUD's update and its copies onto the back
// buffer) with the HUD hidden, shown but unchanged, and while the dashboard
// is dragged, at 1280x1024 and 1920x1080; and shown while the game adds and
// drops a device reference each frame. The device is a real one made
// through the system runtime and wrapped as the proxy wraps a game's.
// With the session recorder running it also gives the render thread's cost
// per frame (median, 99th percentile, maximum; over all frames, over the
// frames that took a copy of the back buffer and over the frames that read a
// finished copy into the encoder's queue; each also without the time the
// runtime's calls took to give the finished copy, which is the runtime's
// share, not ours) and the recorder's counts at
// 1280x720 and 1920x1080, capturing through the ring of device-side copies
// and, for comparison, synchronously. hud_ms of the hidden HUD is what the
// proxy adds to every frame of a game whose player never opens the HUD;
// hidden-system-keys is the same with the hot key's state read from the
// system, as a game reads it.
//   hud_bench.exe [frames]
#include <windows.h>
#include <d3d9.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "CVQCaptureRing.h"
#include "CVQCompositor9.h"
#include "CVQGameHarness.h"
#include "CVQHUD.h"
#include "ProxyState.h"
#include "VKSettings.h"
#include "VQFrameMath.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct Figures {
    double mean, median, p99, max;
};

Figures Summarise(std::vector<double> v) {
    if (v.empty()) return {0, 0, 0, 0};
    std::sort(v.begin(), v.end());
    double sum = 0;
    for (double x : v) sum += x;
    return {sum / v.size(), v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)], v.back()};
}

// shown-addref-release: shown and unchanged, with the game adding and
// dropping one device reference per frame (through the wrapper).
// hidden-system-keys: hidden, with the hot key's state read from the system
// as in a game (the other states read a stand-in that is never down).
enum State { kHidden, kHiddenSystemKeys, kShown, kShownRefs, kDragging, kRecording, kRecordingSync };
const char* const kStateNames[] = {"hidden",   "hidden-system-keys", "shown-unchanged", "shown-addref-release",
                                   "dragging", "recording",          "recording-sync"};

bool KeyDownNever(uint32_t) { return false; }

// Settings of the benchmark (the registry is left alone).
class MemoryStore : public IVKSettingsStore {
public:
    bool Read(const char*, const char* name, CVKString* value) override {
        for (auto& v : values)
            if (v.first == name) {
                value->Set(v.second.c_str());
                return true;
            }
        return false;
    }
    bool Write(const char*, const char*, const char*) override { return false; }
    std::vector<std::pair<std::string, std::string>> values;
};

void PressHotKey(CVQHUD* hud) {
    int handled = 0;
    hud->OnKeyboardInput(WM_KEYDOWN, hud->HotKey(), 0x01520001, &handled);
    hud->OnKeyboardInput(WM_KEYUP, hud->HotKey(), 0xC1520001u, &handled);
}

int Run(CVQGameHarness& game, int width, int height, int frames, bool record) {
    if (!game.Reset(width, height)) return 1;
    IDirect3DDevice9* device = game.Device();
    IDirect3DDevice9* real = game.RealDevice();
    uint32_t colour = kVQPointerColorStart;
    double hiddenMedian = 0;
    for (int state = kHidden; state <= (record ? kRecordingSync : kDragging); ++state) {
        if (state >= kRecording) {
            CVQCaptureRing::SetForceSynchronous(state == kRecordingSync);
            int handled = 0;
            VQHud()->OnMouseInput(WM_LBUTTONUP, 0, 0, &handled);
            if (!VQHud()->CurrentRecorder() || !VQHud()->CurrentRecorder()->BeginRecording()) {
                printf("hud_bench: %dx%d recording could not start\n", width, height);
                continue;
            }
        }
        std::vector<double> hudMs, frameMs, captureMs, handOverMs, ownCaptureMs, ownHandOverMs;
        for (int f = -10; f < frames; ++f) {  // ten frames to settle first
            if (f == -10 && state == kHidden) {
                CVQCompositor9::ComposeFrame(real, nullptr, &colour);  // makes the HUD
                PressHotKey(VQHud());                                  // and hides it
            }
            if (f == -10) VQSetKeyStateSource(state == kHiddenSystemKeys ? nullptr : KeyDownNever);
            if (f == -10 && state == kShown) PressHotKey(VQHud());
            CVQHUD* hud = VQHud();
            if (state == kDragging) {
                int handled = 0;
                CVQWindow* dash = hud->Dashboard();
                if (f == -10)
                    hud->OnMouseInput(WM_LBUTTONDOWN, 0, VQPackPoint(dash->GetX() + 100, dash->GetY() + 5), &handled);
                int x = 200 + (f & 63) * 4, y = 100 + (f & 31) * 2;
                hud->OnMouseInput(WM_MOUSEMOVE, 0, VQPackPoint(x, y), &handled);
            }
            double start = Now();
            if (state == kShownRefs) {
                device->AddRef();
                device->Release();
            }
            device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(32, 64, 96), 1.0f, 0);
            device->BeginScene();
            device->EndScene();
            const CVQRecordSE::Stats before = VQHud()->SessionRecorder()->GetStats();
            double hudStart = Now();
            CVQCompositor9::ComposeFrame(real, nullptr, &colour);
            double hudEnd = Now();
            const CVQRecordSE::Stats after = VQHud()->SessionRecorder()->GetStats();
            // A frame that took a copy: offered, with sound, and a free slot.
            const bool captured = after.offered > before.offered && after.noSound == before.noSound &&
                                  after.skippedBusy == before.skippedBusy;
            // A frame that read a finished copy for the encoder (the copy takes time).
            const bool handedOver = after.captureMicros > before.captureMicros;
            real->Present(nullptr, nullptr, nullptr, nullptr);
            double end = Now();
            if (f >= 0) {
                hudMs.push_back(hudEnd - hudStart);
                const double own = (hudEnd - hudStart) - (after.lockMicros - before.lockMicros) / 1000.0;
                if (state >= kRecording && captured) {
                    captureMs.push_back(hudEnd - hudStart);
                    ownCaptureMs.push_back(own);
                }
                if (state >= kRecording && handedOver) {
                    handOverMs.push_back(hudEnd - hudStart);
                    ownHandOverMs.push_back(own);
                }
                frameMs.push_back(end - start);
            }
        }
        Figures h = Summarise(hudMs), fr = Summarise(frameMs);
        if (state >= kRecording) {
            CVQRecordSE::Stats stats = VQHud()->SessionRecorder()->GetStats();
            VQHud()->CurrentRecorder()->EndRecording();
            CVQCaptureRing::SetForceSynchronous(0);
            Figures c = Summarise(captureMs), o = Summarise(handOverMs), oc = Summarise(ownCaptureMs),
                    oo = Summarise(ownHandOverMs);
            printf(
                "hud_bench: %dx%d %-16s frames offered=%u recorded=%u skipped_busy=%u (device_behind=%u) "
                "skipped_no_sound=%u sound_records=%lld encode_ms_per_frame=%.2f copy_for_encoder_ms=%.3f "
                "sound_write_ms=%.3f MB_written=%.1f\n",
                width, height, kStateNames[state], stats.offered, stats.recorded, stats.skippedBusy, stats.deviceBehind,
                stats.noSound, static_cast<long long>(stats.audioBuffers),
                stats.recorded ? stats.encodeMicros / 1000.0 / stats.recorded : 0.0,
                stats.recorded ? stats.captureMicros / 1000.0 / stats.recorded : 0.0,
                stats.recorded ? stats.soundMicros / 1000.0 / stats.recorded : 0.0, stats.bytes / 1e6);
            printf(
                "hud_bench: %dx%d %-16s capturing frames (%zu) hud_ms median=%.4f p99=%.4f max=%.3f  "
                "without_runtime_lock median=%.4f p99=%.4f\n",
                width, height, kStateNames[state], captureMs.size(), c.median, c.p99, c.max, oc.median, oc.p99);
            printf(
                "hud_bench: %dx%d %-16s handing-over frames (%zu) hud_ms median=%.4f p99=%.4f max=%.3f  "
                "without_runtime_lock median=%.4f p99=%.4f\n",
                width, height, kStateNames[state], handOverMs.size(), o.median, o.p99, o.max, oo.median, oo.p99);
        }
        if (state == kHidden) hiddenMedian = h.median;
        printf(
            "hud_bench: %dx%d %-16s hud_ms mean=%.4f median=%.4f p99=%.4f max=%.3f  added_vs_hidden_ms=%.4f  "
            "frame_ms median=%.3f\n",
            width, height, kStateNames[state], h.mean, h.median, h.p99, h.max, h.median - hiddenMedian, fr.median);
    }
    int handled = 0;
    VQHud()->OnMouseInput(WM_LBUTTONUP, 0, 0, &handled);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int frames = argc > 1 ? std::max(10, atoi(argv[1])) : 300;
    VQSetKeyStateSource(KeyDownNever);
    CVQGameHarness game;
    if (!game.Start(640, 480)) return 1;
    printf("hud_bench: %d frames per state; hud_ms is the render thread's time at the composition point\n", frames);
    // The session recorder writes into a folder of its own.
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    lstrcatA(folder, "hud_bench\\");
    CreateDirectoryA(folder, nullptr);
    MemoryStore settings;
    settings.values.emplace_back("recorderFolder", folder);
    VKSetSettingsStore(&settings);
    int rc = Run(game, 1280, 1024, frames, false) | Run(game, 1920, 1080, frames, false) |
             Run(game, 1280, 720, frames, true) | Run(game, 1920, 1080, frames, true);
    game.Stop();
    VKSetSettingsStore(nullptr);
    return rc;
}
