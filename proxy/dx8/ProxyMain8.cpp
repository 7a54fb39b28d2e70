// The entry of the Direct3D 8 proxy library (see ProxyLibrary.h).
#include <windows.h>

#include "ProxyLibrary.h"
#include "ProxyState8.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) ProxyResetState(instance);
    return ProxyLibraryEntry(instance, reason, reserved);
}
