// Extra entry of the test build of d3d9.dll: lets a test program start a
// recording in the library's own HUD, as the player does from the dashboard.
#include <windows.h>

#include "CVQHUD.h"
#include "ProxyState.h"

extern "C" __declspec(dllexport) int WINAPI TestBeginRecording() {
    std::lock_guard<std::recursive_mutex> lock(ProxyHudLock());
    IVQRecord* recorder = VQHud() ? VQHud()->CurrentRecorder() : nullptr;
    return recorder ? recorder->BeginRecording() : 0;
}
