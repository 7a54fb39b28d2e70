#pragma once
#include <windows.h>

// Installs the keyboard hook (WH_KEYBOARD) and the low-level mouse hook
// (WH_MOUSE_LL) for every thread of the desktop, replacing an earlier pair.
void ProxyInstallHooks();
void ProxyRemoveHooks();

// The hook procedures (exposed for tests).
LRESULT CALLBACK ProxyKeyboardHook(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ProxyMouseHook(int code, WPARAM wParam, LPARAM lParam);

// Input from the DirectInput proxy (exports 16 and 17).
extern "C" int WINAPI Proxy_KeyboardProcDI(UINT message, UINT virtualKey, UINT keyData, int* out);
extern "C" int WINAPI Proxy_MouseProcDI(UINT message, UINT flags, UINT data, int* handled);
