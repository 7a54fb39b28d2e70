// A library of a game that owns the game's Direct3D objects, as engines that
// keep their renderer in a DLL do: it releases them from its DllMain, so
// under the loader lock, when it is unloaded (FreeLibrary) or when the
// process ends. Tells what it did on stdout ("lifecycle: renderer ...").
#include <windows.h>
#include <unknwn.h>

#include <cstdio>

namespace {

IUnknown* g_device = nullptr;
IUnknown* g_direct3d = nullptr;

void Say(const char* what, unsigned long refs) {
    char line[160];
    int n = snprintf(line, sizeof line, "lifecycle: renderer %s refs=%lu\n", what, refs);
    DWORD written = 0;
    if (n > 0) WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(n), &written, nullptr);
}

}  // namespace

// The renderer takes over the caller's references to the device and the
// Direct3D object.
extern "C" __declspec(dllexport) void KeepObjects(IUnknown* device, IUnknown* direct3d) {
    g_device = device;
    g_direct3d = direct3d;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason != DLL_PROCESS_DETACH || !g_device) return TRUE;
    ULONG device = g_device->Release();
    Say(reserved ? "released the device at process exit" : "released the device at unload", device);
    Say("released direct3d", g_direct3d->Release());
    g_device = g_direct3d = nullptr;
    return TRUE;
}
