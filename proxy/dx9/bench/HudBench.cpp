// The HUD's cost on the game's render thread: the time spent at the
// composition point per frame (the HUD's update and its copies onto the back
// buffer) with the HUD hidden, shown but unchanged, and while the dashboard
// is dragged, at 1280x1024 and 1920x1080. The device is a real one made
// through the system runtime and wrapped as the proxy wraps a game's.
// With the session recorder running it also gives the render thread's cost per
// captured frame and the recorder's counts at 1280x720 and 1920x1080.
//   hud_bench.exe [frames]
#include <windows.h>
#include <d3d9.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

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
    double mean, median, max;
};

Figures Summarise(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    double sum = 0;
    for (double x : v) sum += x;
    return {sum / v.size(), v[v.size() / 2], v.back()};
}

enum State { kHidden, kShown, kDragging, kRecording };
const char* const kStateNames[] = {"hidden", "shown-unchanged", "dragging", "recording"};

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
    for (int state = kHidden; state <= (record ? kRecording : kDragging); ++state) {
        if (state == kRecording) {
            int handled = 0;
            g_proxy.hud->OnMouseInput(WM_LBUTTONUP, 0, 0, &handled);
            if (!CurrentRecorder() || !CurrentRecorder()->BeginRecording()) {
                printf("hud_bench: %dx%d recording could not start\n", width, height);
                continue;
            }
        }
        std::vector<double> hudMs, frameMs;
        for (int f = -10; f < frames; ++f) {  // ten frames to settle first
            if (f == -10 && state == kHidden) {
                CVQCompositor9::ComposeFrame(real, nullptr, &colour);  // makes the HUD
                PressHotKey(g_proxy.hud);                              // and hides it
            }
            if (f == -10 && state == kShown) PressHotKey(g_proxy.hud);
            CVQHUD* hud = g_proxy.hud;
            if (state == kDragging) {
                int handled = 0;
                CVQWindow* dash = hud->Dashboard();
                if (f == -10) hud->OnMouseInput(WM_LBUTTONDOWN, 0, VQPackPoint(dash->GetX() + 100, dash->GetY() + 5), &handled);
                int x = 200 + (f & 63) * 4, y = 100 + (f & 31) * 2;
                hud->OnMouseInput(WM_MOUSEMOVE, 0, VQPackPoint(x, y), &handled);
            }
            double start = Now();
            device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(32, 64, 96), 1.0f, 0);
            device->BeginScene();
            device->EndScene();
            double hudStart = Now();
            CVQCompositor9::ComposeFrame(real, nullptr, &colour);
            double hudEnd = Now();
            real->Present(nullptr, nullptr, nullptr, nullptr);
            double end = Now();
            if (f >= 0) {
                hudMs.push_back(hudEnd - hudStart);
                frameMs.push_back(end - start);
            }
        }
        Figures h = Summarise(hudMs), fr = Summarise(frameMs);
        if (state == kRecording) {
            CVQRecordSE::Stats stats = g_proxy.hud->SessionRecorder()->GetStats();
            CurrentRecorder()->EndRecording();
            printf("hud_bench: %dx%d recording: frames offered=%u recorded=%u skipped_busy=%u skipped_no_sound=%u "
                   "encode_ms_per_frame=%.2f MB_written=%.1f\n",
                   width, height, stats.offered, stats.recorded, stats.skippedBusy, stats.noSound,
                   stats.recorded ? stats.encodeMicros / 1000.0 / stats.recorded : 0.0, stats.bytes / 1e6);
        }
        if (state == kHidden) hiddenMedian = h.median;
        printf("hud_bench: %dx%d %-16s hud_ms mean=%.4f median=%.4f max=%.3f  added_vs_hidden_ms=%.4f  frame_ms median=%.3f\n",
               width, height, kStateNames[state], h.mean, h.median, h.max, h.median - hiddenMedian, fr.median);
    }
    int handled = 0;
    g_proxy.hud->OnMouseInput(WM_LBUTTONUP, 0, 0, &handled);
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
