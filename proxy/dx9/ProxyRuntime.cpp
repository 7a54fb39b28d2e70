#include "ProxyRuntime.h"

#include "ProxyState.h"
#include "VKLog.h"

void LoadSystemRuntime() {
    char path[MAX_PATH + 16];
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) path[0] = 0;
    lstrcatA(path, "\\d3d9.dll");
    if (g_proxy.runtimeModule) return;
    g_proxy.runtimeModule = LoadLibraryA(path);
    // Another program's process is not ours to end: its calls simply fail.
    if (!g_proxy.runtimeModule && !g_proxy.passive) {
        LogMessage("Proxydx9: Original proxy9.dll not loaded ERROR\r\n");
        ExitProcess(0);
    }
}

FARPROC ProxyRuntimeProc(const char* name) {
    if (!g_proxy.runtimeModule) LoadSystemRuntime();
    return g_proxy.runtimeModule ? GetProcAddress(g_proxy.runtimeModule, name) : nullptr;
}
