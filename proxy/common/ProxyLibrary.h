#pragma once
#include <windows.h>

// The library's entry for either Direct3D frame: logs its life and keeps the
// process-wide state. The frame's DllMain resets its state (ProxyResetState,
// which names the frame) on DLL_PROCESS_ATTACH and hands every call here. The
// runtime is loaded lazily by the first export the game calls, never here.
BOOL ProxyLibraryEntry(HINSTANCE instance, DWORD reason, LPVOID reserved);
