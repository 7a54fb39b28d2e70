#include "ProxyRuntime.h"

#include "VQFrameState.h"
#include "VKLog.h"

void LoadSystemRuntime() {
    char path[MAX_PATH + 16];
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) path[0] = 0;
    lstrcatA(path, "\\");
    lstrcatA(path, g_frame.info->runtimeFile);
    if (g_frame.runtimeModule) return;
    g_frame.runtimeModule = LoadLibraryA(path);
    // Another program's process is not ours to end: its calls simply fail.
    if (!g_frame.runtimeModule && !g_frame.passive) {
        LogMessage("%s", g_frame.info->runtimeMissing);
        ExitProcess(0);
    }
}

FARPROC ProxyRuntimeProc(const char* name) {
    if (!g_frame.runtimeModule) LoadSystemRuntime();
    return g_frame.runtimeModule ? GetProcAddress(g_frame.runtimeModule, name) : nullptr;
}

FARPROC ProxyResolveForwarded(const char* name, volatile LONG* logged, bool everyCall) {
    if (g_frame.passive) return ProxyRuntimeProc(name);
    if (everyCall || InterlockedExchange(logged, 1) == 0) LogMessage("%s%s() call!\r\n", g_frame.info->logPrefix, name);
    FARPROC fn = ProxyRuntimeProc(name);
    if (!fn) LogMessage("%sPointer to original %s function not found ERROR\r\n", g_frame.info->logPrefix, name);
    return fn;
}
