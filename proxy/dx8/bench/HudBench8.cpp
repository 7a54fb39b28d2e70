// The HUD's cost on the game's render thread in the Direct3D 8 frame: the
// time spent at the composition point per frame (the HUD's update and its
// copies onto the back buffer) with the HUD hidden and shown, and with the
// session recorder running at 1280x720 and 1920x1080, capturing through the
// ring of device-side copies (render targets, read into system memory a
// present later and locked two presents after that) and, for comparison,
// synchronously (CopyRects into system memory at once). Frames that hand a
// copy to the encoder are shown apart, with the time the runtime's lock and
// unlock took on them. The device is a real one made through the system
// runtime and wrapped as the proxy wraps a game's.
//   hud_bench8.exe [frames]
#include <windows.h>
#include <d3d8.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "CVQCaptureRing.h"
#include "CVQCompositor8.h"
#include "CVQGameHarness.h"
#include "CVQHUD.h"
#include "MemorySettings.h"
#include "ProxyState8.h"
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
    double median, p99, max;
};

Figures Summarise(std::vector<double> v) {
    if (v.empty()) return {0, 0, 0};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)], v.back()};
}

// hidden-system-keys: hidden, with the hot key's state read from the system
// as in a game (the other states read a stand-in that is never down).
enum State { kHidden, kHiddenSystemKeys, kShown, kRecording, kRecordingSync };
const char* const kStateNames[] = {"hidden", "hidden-system-keys", "shown-unchanged", "recording", "recording-sync"};

bool KeyDownNever(uint32_t) { return false; }

void PressHotKey(CVQHUD* hud) {
    int handled = 0;
    hud->OnKeyboardInput(WM_KEYDOWN, hud->HotKey(), 0x01520001, &handled);
    hud->OnKeyboardInput(WM_KEYUP, hud->HotKey(), 0xC1520001u, &handled);
}

int Run(int width, int height, int frames, bool record) {
    CVQGameHarness game;
    if (!game.Start(width, height)) return 1;
    IDirect3DDevice8* device = game.Device();
    IDirect3DDevice8* real = game.RealDevice();
    uint32_t colour = kVQPointerColorStart;
    for (int state = record ? kRecording : kHidden; state <= (record ? kRecordingSync : kShown); ++state) {
        CVQCompositor8::ComposeFrame(real, &colour);  // makes the HUD
        VQSetKeyStateSource(state == kHiddenSystemKeys ? nullptr : KeyDownNever);
        // Hidden for the first two states, shown again for the third.
        if (state == kHidden || state == kShown) PressHotKey(VQHud());
        if (state >= kRecording) {
            CVQCaptureRing::SetForceSynchronous(state == kRecordingSync);
            VQHud()->ReleaseSurfaces();  // the ring is made again the way asked
            if (!VQHud()->CurrentRecorder() || !VQHud()->CurrentRecorder()->BeginRecording()) {
                printf("hud_bench8: %dx%d recording could not start\n", width, height);
                continue;
            }
        }
        std::vector<double> hudMs, captureMs, handOverMs, lockMs;
        for (int f = -10; f < frames; ++f) {  // ten frames to settle first
            device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(32, 64, 96), 1.0f, 0);
            device->BeginScene();
            device->EndScene();
            const CVQRecordSE::Stats before = VQHud()->SessionRecorder()->GetStats();
            const double hudStart = Now();
            CVQCompositor8::ComposeFrame(real, &colour);
            const double hudEnd = Now();
            const CVQRecordSE::Stats after = VQHud()->SessionRecorder()->GetStats();
            const bool captured = after.offered > before.offered && after.noSound == before.noSound &&
                                  after.skippedBusy == before.skippedBusy;
            // A frame that read a finished copy for the encoder; the runtime's
            // part of it is the time its lock and unlock calls took.
            const bool handedOver = after.captureMicros > before.captureMicros;
            // Presented as the wrapper's Present does, which counts the frame
            // for the ring.
            real->Present(nullptr, nullptr, nullptr, nullptr);
            InterlockedIncrement(&g_proxy8.presentCount);
            if (f >= 0) {
                hudMs.push_back(hudEnd - hudStart);
                if (state >= kRecording && captured) captureMs.push_back(hudEnd - hudStart);
                if (state >= kRecording && handedOver) {
                    handOverMs.push_back(hudEnd - hudStart);
                    lockMs.push_back((after.lockMicros - before.lockMicros) / 1000.0);
                }
            }
        }
        Figures h = Summarise(hudMs);
        if (state >= kRecording) {
            CVQRecordSE::Stats stats = VQHud()->SessionRecorder()->GetStats();
            VQHud()->CurrentRecorder()->EndRecording();
            CVQCaptureRing::SetForceSynchronous(0);
            Figures c = Summarise(captureMs), o = Summarise(handOverMs), l = Summarise(lockMs);
            printf("hud_bench8: %dx%d %-18s frames offered=%u recorded=%u skipped_busy=%u skipped_no_sound=%u\n", width,
                   height, kStateNames[state], stats.offered, stats.recorded, stats.skippedBusy, stats.noSound);
            printf("hud_bench8: %dx%d %-18s capturing frames (%zu) hud_ms median=%.4f p99=%.4f max=%.3f\n", width,
                   height, kStateNames[state], captureMs.size(), c.median, c.p99, c.max);
            printf(
                "hud_bench8: %dx%d %-18s handing-over frames (%zu) hud_ms median=%.4f p99=%.4f max=%.3f  "
                "runtime_lock_ms median=%.4f p99=%.4f max=%.3f\n",
                width, height, kStateNames[state], handOverMs.size(), o.median, o.p99, o.max, l.median, l.p99, l.max);
        }
        printf("hud_bench8: %dx%d %-18s hud_ms median=%.4f p99=%.4f max=%.3f\n", width, height, kStateNames[state],
               h.median, h.p99, h.max);
    }
    game.Stop();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(10, atoi(argv[1])) : 300;
    VQSetKeyStateSource(KeyDownNever);
    printf("hud_bench8: %d frames per state; hud_ms is the render thread's time at the composition point\n", frames);
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    lstrcatA(folder, "hud_bench8\\");
    CreateDirectoryA(folder, nullptr);
    MemorySettings settings;
    settings.Set("recorderFolder", folder);
    settings.Set("recorderType", "0");
    settings.Set("loginShowIntro", "1");
    return Run(1280, 1024, frames, false) | Run(1280, 720, frames, true) | Run(1920, 1080, frames, true);
}
