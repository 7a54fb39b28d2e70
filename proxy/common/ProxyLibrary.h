#pragma once
#include <windows.h>

// The library's entry for either Direct3D frame: logs its life and keeps the
// process-wide state. The frame's DllMain resets its state (ProxyResetState,
// which names the frame) on DLL_PROCESS_ATTACH and hands every call here. The
// runtime is loaded lazily by the first export the game calls, never here.
BOOL ProxyLibraryEntry(HINSTANCE instance, DWORD reason, LPVOID reserved);

// True once the process is ending: its other threads are gone, perhaps from
// inside a lock of the HUD or the log, so nothing may wait for them.
bool ProxyProcessEnding();

// Ends the HUD when the device it draws on ends (destroyHud: the frame's).
// Ending it waits for its worker threads, and a thread can only end once it
// gets the loader lock. When the game releases its device while this thread
// holds that lock (inside a DllMain: a library of the game that owns the
// device is being unloaded), the end is handed to a thread of its own, which
// starts once the lock is let go; the library is pinned by then, so that
// thread's code stays mapped. Not for process exit (ProxyProcessEnding).
void ProxyEndHud(void (*destroyHud)());
