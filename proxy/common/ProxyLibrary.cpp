#include "ProxyLibrary.h"

#include <winternl.h>

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

// Whether this thread holds the loader lock (it runs inside a DllMain or a
// loader call). The process block points to the lock at a fixed place; a
// critical section names the id of the thread that holds it, and only that
// thread can see its own id there.
bool HoldsLoaderLock() {
#ifdef _WIN64
    const size_t kLoaderLockAt = 0x110;
#else
    const size_t kLoaderLockAt = 0xA0;
#endif
    typedef NTSTATUS(WINAPI * QueryFn)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    QueryFn query =
        ntdll ? reinterpret_cast<QueryFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationProcess")))
              : nullptr;
    PROCESS_BASIC_INFORMATION info = {};
    if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &info, sizeof info, nullptr) != 0 ||
        !info.PebBaseAddress)
        return false;
    const BYTE* peb = reinterpret_cast<const BYTE*>(info.PebBaseAddress);
    const RTL_CRITICAL_SECTION* lock = *reinterpret_cast<RTL_CRITICAL_SECTION* const*>(peb + kLoaderLockAt);
    return lock && HandleToULong(lock->OwningThread) == GetCurrentThreadId();
}

DWORD WINAPI EndHudThread(LPVOID destroyHud) {
    reinterpret_cast<void (*)()>(destroyHud)();
    LogMessage("%sThe HUD ended after the loader lock was let go\r\n", g_frame.info->logPrefix);
    return 0;
}

}  // namespace

bool ProxyProcessEnding() {
    typedef BOOLEAN(WINAPI * ShutdownFn)();
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    ShutdownFn inProgress =
        ntdll ? reinterpret_cast<ShutdownFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlDllShutdownInProgress")))
              : nullptr;
    return inProgress && inProgress();
}

void ProxyEndHud(void (*destroyHud)()) {
    if (!HoldsLoaderLock()) {
        destroyHud();
        return;
    }
    LogMessage("%sDevice released under the loader lock: the HUD ends on a thread of its own\r\n",
               g_frame.info->logPrefix);
    HANDLE thread = CreateThread(nullptr, 0, EndHudThread, reinterpret_cast<LPVOID>(destroyHud), 0, nullptr);
    if (thread) {
        CloseHandle(thread);
        return;
    }
    // The HUD stays as it is; the next device's first frame takes it on.
    LogMessage("%sWarning: Can't start the thread that ends the HUD (%d)\r\n", g_frame.info->logPrefix,
               static_cast<int>(GetLastError()));
}

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
