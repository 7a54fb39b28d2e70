#pragma once
#include <windows.h>

class CVQMouseRelay9;

// Installs the keyboard hook (WH_KEYBOARD) and the low-level mouse hook
// (WH_MOUSE_LL) for every thread of the desktop, replacing an earlier pair.
// The mouse hook is left out once DirectInput delivers the mouse.
void ProxyInstallHooks();
void ProxyRemoveHooks();
// As ProxyRemoveHooks, but leaves the hooks alone while another thread is
// installing or removing them (at the end of the process, when that thread
// may be gone for good).
void ProxyRemoveHooksIfFree();

// The mouse events the hook left for the next holder of the HUD lock, and
// the HUD's layout as the hook sees it: whoever holds the HUD lock delivers
// the events before giving the HUD new work and publishes the layout after
// the HUD changed.
CVQMouseRelay9& ProxyMouseRelay();

// The hook procedures (exposed for tests).
LRESULT CALLBACK ProxyKeyboardHook(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ProxyMouseHook(int code, WPARAM wParam, LPARAM lParam);

// Input from the DirectInput proxy (the exports KeyboardProcDI and MouseProcDI).
extern "C" int WINAPI Proxy_KeyboardProcDI(UINT message, UINT virtualKey, UINT keyData, int* out);
extern "C" int WINAPI Proxy_MouseProcDI(UINT message, UINT flags, UINT data, int* handled);
