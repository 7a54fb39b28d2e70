#include "ProxyRuntime8.h"

#include "ProxyState8.h"
#include "VKLog.h"

void Proxy8LoadSystemRuntime() {
    char path[MAX_PATH + 16];
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) path[0] = 0;
    lstrcatA(path, "\\d3d8.dll");
    if (g_proxy8.runtimeModule) return;
    g_proxy8.runtimeModule = LoadLibraryA(path);
    // Another program's process is not ours to end: its calls simply fail.
    if (!g_proxy8.runtimeModule && !g_proxy8.passive) {
        LogMessage("Proxydx8: Original proxy8.dll not loaded ERROR\r\n");
        ExitProcess(0);
    }
}

FARPROC Proxy8RuntimeProc(const char* name) {
    if (!g_proxy8.runtimeModule) Proxy8LoadSystemRuntime();
    return g_proxy8.runtimeModule ? GetProcAddress(g_proxy8.runtimeModule, name) : nullptr;
}
