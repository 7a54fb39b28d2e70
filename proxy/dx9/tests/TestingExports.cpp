// Extra entries of the test builds of d3d9.dll and d3d8.dll: let a test program start a
// recording in the library's own HUD, as the player does from the dashboard,
// and see whether the HUD still lives.
#include <windows.h>

#include "CVQHUD.h"
#include "VQFrameState.h"

extern "C" __declspec(dllexport) int WINAPI TestBeginRecording() {
    std::lock_guard<std::recursive_mutex> lock(ProxyHudLock());
    IVQRecord* recorder = VQHud() ? VQHud()->CurrentRecorder() : nullptr;
    return recorder ? recorder->BeginRecording() : 0;
}

extern "C" __declspec(dllexport) int WINAPI TestHudAlive() {
    std::lock_guard<std::recursive_mutex> lock(ProxyHudLock());
    return VQHud() ? 1 : 0;
}
