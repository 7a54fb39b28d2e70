#pragma once
#include <windows.h>

class CVQMouseRelay9;

// Installs the keyboard hook (WH_KEYBOARD) and the low-level mouse hook
// (WH_MOUSE_LL) for every thread of the desktop, replacing an earlier pair.
// The mouse hook is left out once DirectInput delivers the mouse.
void Proxy8InstallHooks();
void Proxy8RemoveHooks();
// As Proxy8RemoveHooks, but leaves the hooks alone while another thread is
// installing or removing them (at the end of the process, when that thread
// may be gone for good).
void Proxy8RemoveHooksIfFree();

// The mouse events the hook left for the next holder of the HUD lock, and the
// HUD's layout as the hook sees it (the relay of the Direct3D 9 frame, which
// knows nothing of Direct3D).
CVQMouseRelay9& Proxy8MouseRelay();

// The hook procedures (exposed for tests).
LRESULT CALLBACK Proxy8KeyboardHook(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK Proxy8MouseHook(int code, WPARAM wParam, LPARAM lParam);

// Input from the DirectInput proxy (exports 6 and 7).
extern "C" int WINAPI Proxy8_KeyboardProcDI(UINT message, UINT virtualKey, UINT keyData, int* out);
extern "C" int WINAPI Proxy8_MouseProcDI(UINT message, UINT flags, UINT data, int* handled);
