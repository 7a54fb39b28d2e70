#pragma once
#include <windows.h>

// Loads the system's Direct3D 8 runtime once (from the system directory,
// never from the game's folder, where this library itself sits). Ends the
// process when it cannot be loaded: the game cannot run without it.
void Proxy8LoadSystemRuntime();

// Looks an entry up in the runtime, loading the runtime first if needed.
FARPROC Proxy8RuntimeProc(const char* name);
