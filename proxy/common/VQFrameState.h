#pragma once
#include <windows.h>
#include <unknwn.h>

#include <mutex>

// What a Direct3D frame (proxy/dx9, proxy/dx8) tells the code both frames
// share: its names in the log, its system runtime, and how its HUD goes.
struct VQFrameInfo {
    const char* name;            // "proxydx9": the library's load and unload lines
    const char* logPrefix;       // "Proxydx9: ": every other line of the frame
    const char* version;         // in the load line
    const char* runtimeFile;     // the system runtime's file name, "d3d9.dll"
    const char* runtimeMissing;  // logged when the system runtime cannot be loaded
    void (*destroyHud)();        // shuts the HUD down and deletes it (the frame's compositor)
};

// Everything a proxy keeps for the process that does not depend on the
// Direct3D version: one game, one focus window and one pair of input hooks as
// far as the proxy is concerned. The frame keeps its Direct3D objects and
// presentation parameters beside it (ProxyState); the HUD belongs to the
// engine (VQHud()).
struct VQFrameState {
    const VQFrameInfo* info;  // the frame's once reset; never null
    HMODULE runtimeModule;    // the real runtime, loaded lazily
    HWND hudFocusWindow;      // focus window given to CreateDevice
    HHOOK keyboardHook;
    HHOOK mouseHook;
    volatile LONG directInputKeyboardActive;  // keyboard now comes through KeyboardProcDI
    volatile LONG directInputMouseActive;     // mouse now comes through MouseProcDI
    volatile LONG pointerPosition;            // x low 16 bits, y high 16 bits, signed
    HINSTANCE instance;                       // this library
    // What the input needs of the presentation parameters of the latest
    // CreateDevice or Reset (ProxyStorePresentation).
    HWND deviceWindow;
    BOOL windowed;
    UINT backBufferWidth;
    UINT backBufferHeight;
    // The process did not take this library as its Direct3D runtime (the
    // system mapped it here for another program's keyboard hook): every
    // export goes straight to the system runtime; no wrapper, hook, HUD or log.
    LONG passive;
};

extern VQFrameState g_frame;

static const LONG kPointerPositionAtLoad = 0x014000F0;  // x 240, y 320

// Sets every variable to its value at load (the frame's ProxyResetState
// calls it with the frame's description).
void VQFrameResetState(HINSTANCE instance, const VQFrameInfo* info);

// Defined by each frame: sets every variable of the frame's own state and of
// g_frame to its value at load.
void ProxyResetState(HINSTANCE instance);

// Keeps what the input needs of the game's presentation parameters.
void ProxyStorePresentation(HWND deviceWindow, BOOL windowed, UINT backBufferWidth, UINT backBufferHeight);

// The HUD is used by the render thread (Present) and by the input hooks and
// exports on other threads. This lock is held only while one of them is in
// the HUD, never while the runtime presents; it is recursive because a HUD
// window's handler may cause input to be delivered on the same thread.
std::recursive_mutex& ProxyHudLock();

// Guards the two hook handles: installing, removing, and the switch-over to
// DirectInput's mouse. Never held while calling into the HUD.
std::mutex& ProxyHookLock();

// The HUD's own device objects (surfaces, queries), each holding one
// reference on the runtime device it was made on. The device wrapper leaves
// those references out of the counts the game sees, so a game counts the same
// with and without the HUD. Every object the HUD makes on the device is
// registered when made and unregistered just before its release.
void ProxyHudObjectMade(IUnknown* device, IUnknown* object);
void ProxyHudObjectReleased(IUnknown* object);
ULONG ProxyHudDeviceRefs(IUnknown* device);

// Whether this library is the process's Direct3D runtime (VQIsProcessRuntime
// with the paths from the loader); staticImport: the loader bound an import
// to it.
bool ProxyLoadedAsRuntime(HINSTANCE instance, bool staticImport);

// Keeps this library loaded until the process ends. Once the game holds
// wrapped objects, hooks point here and the HUD's worker threads may run,
// unloading would leave them in unmapped code, and a shutdown inside the
// unload would wait for threads under the loader lock.
void ProxyKeepLoaded();

// Tells the HUD engine which module holds its resources (pictures, fonts).
void ProxyAttachEngine(HINSTANCE instance);
