// The library's entry: logs its life and keeps the process-wide state. The
// runtime is loaded lazily by the first export the game calls, never here.
#include <windows.h>

#include "CVQCompositor8.h"
#include "CVQHUD.h"
#include "ProxyInput8.h"
#include "ProxyState8.h"
#include "VKLog.h"

namespace {

// The library is unloaded (FreeLibrary). Once Direct3DCreate8 has wrapped an
// object the library stays loaded until the process ends (Proxy8KeepLoaded),
// so no HUD and no HUD worker thread exists here: nothing waits for a thread
// under the loader lock.
void DetachOnUnload() {
    LogMessage("Unloaded: proxydx8\r\n\r\n");
    Proxy8RemoveHooks();
    if (VQHud()) {
        LogMessage("Proxydx8: Warning: Destroying HUD in ExitInstance\r\n");
        CVQCompositor8::DestroyHud();
    }
    if (g_proxy8.runtimeModule) {
        FreeLibrary(g_proxy8.runtimeModule);
        g_proxy8.runtimeModule = nullptr;
    }
}

// The process ends. Its other threads are gone already, perhaps from inside
// the HUD, the log or the hook switch-over, whose locks then stay taken for
// good, and the HUD's recorders would wait for threads. So nothing here waits
// or takes a lock that may be taken; the rest is the system's to clean up.
void DetachAtExit() {
    LogMessageIfFree("Unloaded: proxydx8\r\n\r\n");
    Proxy8RemoveHooksIfFree();
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        Proxy8ResetState(instance);
        // Static imports are bound with a non-null reserved argument.
        if (!Proxy8LoadedAsRuntime(instance, reserved != nullptr)) {
            g_proxy8.passive = 1;
            break;
        }
        LogMessage("Loaded: proxydx8 ver %s\r\n", kProxy8Version);
        break;
    case DLL_PROCESS_DETACH:
        if (g_proxy8.passive) {
            if (!reserved && g_proxy8.runtimeModule) FreeLibrary(g_proxy8.runtimeModule);
        } else if (reserved) {
            DetachAtExit();
        } else {
            DetachOnUnload();
        }
        break;
    default: break;
    }
    return TRUE;
}
