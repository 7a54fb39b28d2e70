// What the Direct3D 8 wrapper adds to each call the game makes and to each
// frame: device methods called through our wrapper and directly on the same
// object, many times, in alternating rounds. On a stand-in device whose
// methods return at once the figure is the wrapper's own thunk; on a real
// device (made through the system runtime) it is the same calls in context.
// Frames: a frame drawn and presented through the wrapper with the HUD shown
// against the same frame presented on the runtime's device directly.
//   call_bench8.exe [calls per round] [rounds] [frames per round]
#include <windows.h>
#include <d3d8.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "CVQGameHarness.h"
#include "MemorySettings.h"
#include "Stub_IDirect3DDevice8.h"
#include "myIDirect3DDevice8.h"

namespace {

double NowNs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart);
}

// The calls timed in a loop; the object comes through a volatile pointer so
// the compiler cannot see through the virtual call.
void DeviceStateCalls(IDirect3DDevice8* object, int calls) {
    IDirect3DDevice8* volatile device = object;
    DWORD value = 0;
    for (int i = 0; i < calls; i += 4) {
        device->SetRenderState(D3DRS_ZENABLE, (i >> 2) & 1);
        device->GetRenderState(D3DRS_ZENABLE, &value);
        device->SetTexture(0, nullptr);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    }
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Rounds alternate which way goes first; prints ns per call both ways.
void CompareCalls(const char* what, IDirect3DDevice8* direct, IDirect3DDevice8* wrapped, int calls, int rounds) {
    std::vector<double> directNs, wrappedNs, addedNs;
    DeviceStateCalls(direct, calls / 10);  // warm up both
    DeviceStateCalls(wrapped, calls / 10);
    for (int r = 0; r < rounds; r++) {
        double d = 0, w = 0;
        for (int k = 0; k < 2; k++) {
            const bool wrappedTurn = (r + k) % 2 == 1;
            const double start = NowNs();
            DeviceStateCalls(wrappedTurn ? wrapped : direct, calls);
            const double ns = (NowNs() - start) / calls;
            (wrappedTurn ? w : d) = ns;
        }
        directNs.push_back(d);
        wrappedNs.push_back(w);
        addedNs.push_back(w - d);
    }
    std::sort(addedNs.begin(), addedNs.end());
    printf("call_bench8: %-24s direct_ns=%.2f wrapped_ns=%.2f added_ns median=%.2f min=%.2f max=%.2f (%d x %d calls)\n",
           what, Median(directNs), Median(wrappedNs), Median(addedNs), addedNs.front(), addedNs.back(), rounds, calls);
}

// One frame as a game makes it, presented through `device`; ms.
double FrameMs(CVQGameHarness& game, IDirect3DDevice8* device, unsigned frame) {
    const double start = NowNs();
    game.DrawScene(frame);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    return (NowNs() - start) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::max(1000, atoi(argv[1])) : 4000000;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 9;
    const int frames = argc > 3 ? std::max(10, atoi(argv[3])) : 200;

    // The stand-in: the wrapper's thunk alone.
    Stub_IDirect3DDevice8 stubDevice;
    myIDirect3DDevice8* wrappedStub = new myIDirect3DDevice8(&stubDevice);
    CompareCalls("stub device state calls", &stubDevice, wrappedStub, calls, rounds);
    delete wrappedStub;

    // A real device made through the system runtime, wrapped as a game's,
    // with the HUD shown (logo and dashboard).
    MemorySettings settings;
    settings.Set("loginShowIntro", "1");
    CVQGameHarness game;
    if (!game.Start(640, 480)) return 1;
    IDirect3DDevice8* real = game.RealDevice();
    IDirect3DDevice8* wrapped = game.Device();
    CompareCalls("real device state calls", real, wrapped, std::max(1000, calls / 10), rounds);

    // Frames: presenting on the runtime's device directly skips the HUD.
    std::vector<double> directMs, wrappedMs, addedMs;
    unsigned frame = 1;
    for (int i = 0; i < 10; ++i) FrameMs(game, wrapped, frame++);  // the HUD is made on the first
    for (int r = 0; r < rounds; r++) {
        std::vector<double> d, w;
        for (int i = 0; i < frames; ++i) {
            const bool wrappedFirst = (r + i) % 2 == 1;
            for (int k = 0; k < 2; ++k) {
                const bool wrappedTurn = (k == 0) == wrappedFirst;
                (wrappedTurn ? w : d).push_back(FrameMs(game, wrappedTurn ? wrapped : real, frame++));
            }
        }
        directMs.push_back(Median(d));
        wrappedMs.push_back(Median(w));
        addedMs.push_back(Median(w) - Median(d));
    }
    std::sort(addedMs.begin(), addedMs.end());
    printf(
        "call_bench8: %-24s direct_ms=%.4f wrapped_ms=%.4f added_ms median=%.4f min=%.4f max=%.4f (%d x %d frames)\n",
        "frame with HUD shown", Median(directMs), Median(wrappedMs), Median(addedMs), addedMs.front(), addedMs.back(),
        rounds, frames);
    game.Stop();
    return 0;
}
