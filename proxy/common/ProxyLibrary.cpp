#include "ProxyLibrary.h"

#include "CVQHUD.h"
#include "ProxyInput.h"
#include "VKLog.h"
#include "VQFrameState.h"

namespace {

// The library is unloaded (FreeLibrary). Once the game's Direct3D object has
// been wrapped the library stays loaded until the process ends
// (ProxyKeepLoaded), so no HUD and no HUD worker thread exists here: nothing
// waits for a thread under the loader lock.
void DetachOnUnload() {
    LogMessage("Unloaded: %s\r\n\r\n", g_frame.info->name);
    ProxyRemoveHooks();
    if (VQHud()) {
        LogMessage("%sWarning: Destroying HUD in ExitInstance\r\n", g_frame.info->logPrefix);
        g_frame.info->destroyHud();
    }
    if (g_frame.runtimeModule) {
        FreeLibrary(g_frame.runtimeModule);
        g_frame.runtimeModule = nullptr;
    }
}

// The process ends. Its other threads are gone already, perhaps from inside
// the HUD, the log or the hook switch-over, whose locks then stay taken for
// good, and the HUD's recorders would wait for threads. So nothing here waits
// or takes a lock that may be taken: the line is written when the log is
// free, the hooks are removed when nobody was changing them, and the HUD, the
// runtime and the hooks left are the system's to clean up with the process.
void DetachAtExit() {
    LogMessageIfFree("Unloaded: %s\r\n\r\n", g_frame.info->name);
    ProxyRemoveHooksIfFree();
}

}  // namespace

BOOL ProxyLibraryEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        // Static imports are bound with a non-null reserved argument.
        if (!ProxyLoadedAsRuntime(instance, reserved != nullptr)) {
            g_frame.passive = 1;
            break;
        }
        LogMessage("Loaded: %s ver %s\r\n", g_frame.info->name, g_frame.info->version);
        ProxyAttachEngine(instance);
        break;
    case DLL_PROCESS_DETACH:
        if (g_frame.passive) {
            if (!reserved && g_frame.runtimeModule) FreeLibrary(g_frame.runtimeModule);
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
