#pragma once
#include <windows.h>
#include <d3d8.h>

#include <mutex>

class myIDirect3D8;
class myIDirect3DDevice8;

// The forwarded exports besides Direct3DCreate8, in export order; index into
// the names and flags below.
enum Proxy8Forwarded {
    k8CheckFullscreen,
    k8ValidatePixelShader,
    k8ValidateVertexShader,
    k8DebugSetMute,
    k8ForwardedCount
};

// Everything the Direct3D 8 proxy keeps for the process: one game, one
// Direct3D object and one current device as far as the proxy is concerned.
// The HUD belongs to the engine (VQHud()).
struct ProxyState8 {
    HMODULE runtimeModule;       // the real runtime, loaded lazily
    myIDirect3D8* d3d;           // wrapper of the latest Direct3DCreate8
    myIDirect3DDevice8* device;  // wrapper of the current device
    HWND hudFocusWindow;         // focus window given to CreateDevice
    HHOOK keyboardHook;
    HHOOK mouseHook;
    volatile LONG directInputKeyboardActive;        // keyboard now comes through KeyboardProcDI
    volatile LONG directInputMouseActive;           // mouse now comes through MouseProcDI
    D3DPRESENT_PARAMETERS storedPresentParameters;  // 52 bytes, of the latest CreateDevice or Reset
    volatile LONG pointerPosition;                  // x low 16 bits, y high 16 bits, signed
    HINSTANCE instance;                             // this library
    volatile LONG firstCallLogged[k8ForwardedCount];
    // Frames the current device presented; the capture ring reads a copy
    // once enough frames went by (Direct3D 8 cannot tell when a copy is done).
    volatile LONG presentCount;
    // The process did not take this library as its Direct3D runtime (the
    // system mapped it here for another program's keyboard hook): every
    // export goes straight to the system runtime; no wrapper, hook, HUD or log.
    LONG passive;
};

// The Direct3D 8 presentation parameters are 13 32-bit fields (the window
// handle widens on 64-bit builds).
static_assert(sizeof(void*) != 4 || sizeof(D3DPRESENT_PARAMETERS) == 52, "Direct3D 8 presentation parameters");

extern ProxyState8 g_proxy8;

// The HUD is used by the render thread (Present) and by the input hooks and
// exports on other threads. Held only while one of them is in the HUD, never
// while the runtime presents; recursive because a HUD window's handler may
// cause input to be delivered on the same thread.
std::recursive_mutex& Proxy8HudLock();

// Guards the two hook handles: installing, removing, and the switch-over to
// DirectInput's mouse. Never held while calling into the HUD.
std::mutex& Proxy8HookLock();

// The HUD's own device objects (surfaces), each holding one reference on the
// runtime device it was made on. The device wrapper leaves those references
// out of the counts the game sees, so a game counts the same with and without
// the HUD. Registered when made, unregistered just before their release.
void Proxy8HudObjectMade(IDirect3DDevice8* device, IUnknown* object);
void Proxy8HudObjectReleased(IUnknown* object);
ULONG Proxy8HudDeviceRefs(IDirect3DDevice8* device);

// Sets every variable to its value at load.
void Proxy8ResetState(HINSTANCE instance);

// Whether this library, in this process, is the process's Direct3D 8 runtime
// (see VQProcessRuntime.h); staticImport: the loader bound an import to it.
bool Proxy8LoadedAsRuntime(HINSTANCE instance, bool staticImport);

// Keeps this library loaded until the process ends: once the game holds
// wrapped objects, hooks point here and the HUD's worker threads may run.
void Proxy8KeepLoaded();

static const char* const kProxy8Version = "4.0.6.0";
static const LONG kProxy8PointerPositionAtLoad = 0x014000F0;  // x 240, y 320
