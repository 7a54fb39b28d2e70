#pragma once
#include <windows.h>

// The module whose resources hold the HUD's pictures (type "BINDATA"). By
// default the module this code is linked into (the proxy library); tests and
// other hosts may name another one.
void VQSetResourceModule(HMODULE module);
HMODULE VQResourceModule();

// Finds resource id of type "BINDATA" in the resource module and gives its
// bytes (valid as long as the module is loaded). 1, or 0 if any step fails.
int VQFindImageResource(int id, const void** data, DWORD* size);
