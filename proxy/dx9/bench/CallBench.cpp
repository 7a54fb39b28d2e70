// What the wrappers add to each call the game makes: device and swap-chain
// methods called through our wrapper and directly on the same object, many
// times, in alternating rounds. On a stand-in device whose methods return at
// once the figure is the wrapper's own thunk; on a real device (made through
// the system runtime) it is the same calls in context.
//   call_bench.exe [calls per round] [rounds]
#include <windows.h>
#include <d3d9.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "CVQGameHarness.h"
#include "Stub_IDirect3DDevice9.h"
#include "Stub_IDirect3DSwapChain9.h"
#include "myIDirect3DDevice9.h"
#include "myIDirect3DSwapChain9.h"

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

// The calls of one kind, timed in a loop; the object comes through a volatile
// pointer so the compiler cannot see through the virtual call.
typedef void (*CallLoop)(IUnknown* object, int calls);

void DeviceStateCalls(IUnknown* object, int calls) {
    IDirect3DDevice9* volatile device = static_cast<IDirect3DDevice9*>(object);
    DWORD value = 0;
    for (int i = 0; i < calls; i += 4) {
        device->SetRenderState(D3DRS_ZENABLE, (i >> 2) & 1);
        device->GetRenderState(D3DRS_ZENABLE, &value);
        device->SetTexture(0, nullptr);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    }
}

void SwapChainCalls(IUnknown* object, int calls) {
    IDirect3DSwapChain9* volatile chain = static_cast<IDirect3DSwapChain9*>(object);
    D3DPRESENT_PARAMETERS parameters;
    IDirect3DDevice9* device = nullptr;
    // Calls that stay in the runtime: GetRasterStatus would ask the display
    // server each time and drown the thunk's cost in its noise.
    for (int i = 0; i < calls; i += 3) {
        chain->GetPresentParameters(&parameters);
        if (SUCCEEDED(chain->GetDevice(&device)) && device) device->Release();
    }
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Rounds alternate which way goes first; prints ns per call both ways.
void Compare(const char* what, CallLoop loop, IUnknown* direct, IUnknown* wrapped, int calls, int rounds) {
    std::vector<double> directNs, wrappedNs, addedNs;
    loop(direct, calls / 10);  // warm up both
    loop(wrapped, calls / 10);
    for (int r = 0; r < rounds; r++) {
        double d = 0, w = 0;
        for (int k = 0; k < 2; k++) {
            const bool wrappedTurn = (r + k) % 2 == 1;
            const double start = NowNs();
            loop(wrappedTurn ? wrapped : direct, calls);
            const double ns = (NowNs() - start) / calls;
            (wrappedTurn ? w : d) = ns;
        }
        directNs.push_back(d);
        wrappedNs.push_back(w);
        addedNs.push_back(w - d);
    }
    std::sort(addedNs.begin(), addedNs.end());
    printf("call_bench: %-28s direct_ns=%.2f wrapped_ns=%.2f added_ns median=%.2f min=%.2f max=%.2f (%d x %d calls)\n",
           what, Median(directNs), Median(wrappedNs), Median(addedNs), addedNs.front(), addedNs.back(), rounds, calls);
}

}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::max(1000, atoi(argv[1])) : 4000000;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 9;

    // The stand-in: the wrapper's thunk alone.
    Stub_IDirect3DDevice9 stubDevice;
    Stub_IDirect3DSwapChain9 stubChain;
    myIDirect3DDevice9* wrappedStub = new myIDirect3DDevice9(&stubDevice);
    myIDirect3DSwapChain9* wrappedStubChain = new myIDirect3DSwapChain9(&stubChain, &stubDevice);
    Compare("stub device state calls", DeviceStateCalls, &stubDevice, wrappedStub, calls, rounds);
    Compare("stub swap-chain calls", SwapChainCalls, &stubChain, wrappedStubChain, calls, rounds);
    delete wrappedStubChain;
    delete wrappedStub;

    // A real device made through the system runtime, wrapped as a game's.
    CVQGameHarness game;
    if (!game.Start(640, 480)) return 1;
    IDirect3DDevice9* real = game.RealDevice();
    IDirect3DDevice9* wrapped = game.Device();
    const int realCalls = std::max(1000, calls / 10);
    Compare("real device state calls", DeviceStateCalls, real, wrapped, realCalls, rounds);
    IDirect3DSwapChain9* chain = nullptr;
    IDirect3DSwapChain9* realChain = nullptr;
    if (SUCCEEDED(wrapped->GetSwapChain(0, &chain)) && SUCCEEDED(real->GetSwapChain(0, &realChain))) {
        Compare("real swap-chain calls", SwapChainCalls, realChain, chain, realCalls, rounds);
    }
    if (chain) chain->Release();
    if (realChain) realChain->Release();
    game.Stop();
    return 0;
}
