#pragma once

// Installs the keyboard hook (WH_KEYBOARD) and the low-level mouse hook
// (WH_MOUSE_LL) for every thread of the desktop, replacing an earlier pair.
void ProxyInstallHooks();
void ProxyRemoveHooks();
