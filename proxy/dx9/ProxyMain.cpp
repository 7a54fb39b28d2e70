// The library's entry: logs its life and keeps the process-wide state. The
// runtime is loaded lazily by the first export the game calls, never here.
#include <windows.h>

#include "CVQCompositor9.h"
#include "ProxyInput.h"
#include "ProxyState.h"
#include "VKLog.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        LogMessage("Loaded: proxydx9 ver %s\r\n", kProxyVersion);
        ProxyResetState(instance);
        ProxyAttachEngine(instance);
        break;
    case DLL_PROCESS_DETACH:
        LogMessage("Unloaded: proxydx9\r\n\r\n");
        ProxyRemoveHooks();
        if (g_proxy.hud) {
            LogMessage("Proxydx9: Warning: Destroying HUD in ExitInstance\r\n");
            CVQCompositor9::DestroyHud();
        }
        if (g_proxy.runtimeModule) {
            FreeLibrary(g_proxy.runtimeModule);
            g_proxy.runtimeModule = nullptr;
        }
        break;
    default:
        break;
    }
    return TRUE;
}
