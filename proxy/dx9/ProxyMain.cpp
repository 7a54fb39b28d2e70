// The library's entry: logs its life and keeps the process-wide state. The
// runtime is loaded lazily by the first export the game calls, never here.
#include <windows.h>

#include "CVQCompositor9.h"
#include "CVQHUD.h"
#include "ProxyInput.h"
#include "ProxyState.h"
#include "VKLog.h"

namespace {

// The library is unloaded (FreeLibrary). Once Direct3DCreate9 has wrapped an
// object the library stays loaded until the process ends (ProxyKeepLoaded),
// so no HUD and no HUD worker thread exists here: nothing waits for a thread
// under the loader lock.
void DetachOnUnload() {
    LogMessage("Unloaded: proxydx9\r\n\r\n");
    ProxyRemoveHooks();
    if (VQHud()) {
        LogMessage("Proxydx9: Warning: Destroying HUD in ExitInstance\r\n");
        CVQCompositor9::DestroyHud();
    }
    if (g_proxy.runtimeModule) {
        FreeLibrary(g_proxy.runtimeModule);
        g_proxy.runtimeModule = nullptr;
    }
}

// The process ends. Its other threads are gone already, perhaps from inside
// the HUD, the log or the hook switch-over, whose locks then stay taken for
// good, and the HUD's recorders would wait for threads. So nothing here waits
// or takes a lock that may be taken: the line is written when the log is
// free, the hooks are removed when nobody was changing them, and the HUD, the
// runtime and the hooks left are the system's to clean up with the process.
void DetachAtExit() {
    LogMessageIfFree("Unloaded: proxydx9\r\n\r\n");
    ProxyRemoveHooksIfFree();
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        ProxyResetState(instance);
        // Static imports are bound with a non-null reserved argument.
        if (!ProxyLoadedAsRuntime(instance, reserved != nullptr)) {
            g_proxy.passive = 1;
            break;
        }
        LogMessage("Loaded: proxydx9 ver %s\r\n", kProxyVersion);
        ProxyAttachEngine(instance);
        break;
    case DLL_PROCESS_DETACH:
        if (g_proxy.passive) {
            if (!reserved && g_proxy.runtimeModule) FreeLibrary(g_proxy.runtimeModule);
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
