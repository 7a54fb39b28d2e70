#pragma once
#include <windows.h>
#include <d3d9.h>

#include <mutex>

class myIDirect3D9;
class myIDirect3DDevice9;

// The quietly forwarded exports, in export order; index into the flags below.
enum ProxyQuietExport {
    kCheckFullscreen,
    kDirect3DShaderValidatorCreate9,
    kPSGPError,
    kPSGPSampleTexture,
    kD3DPERF_BeginEvent,
    kD3DPERF_EndEvent,
    kD3DPERF_GetStatus,
    kD3DPERF_QueryRepeatFrame,
    kD3DPERF_SetMarker,
    kD3DPERF_SetOptions,
    kD3DPERF_SetRegion,
    kDebugSetLevel,
    kDebugSetMute,
    kQuietExportCount
};

// Everything the proxy keeps for the process: one game, one Direct3D object
// and one current device as far as the proxy is concerned. The HUD belongs to
// the engine (VQHud()).
struct ProxyState {
    HMODULE runtimeModule;       // the real runtime, loaded lazily
    myIDirect3D9* d3d;           // wrapper of the latest Direct3DCreate9
    myIDirect3DDevice9* device;  // wrapper of the current device (it keeps its swap chain 0)
    HWND hudFocusWindow;         // focus window given to CreateDevice
    HHOOK keyboardHook;
    HHOOK mouseHook;
    volatile LONG directInputKeyboardActive;        // keyboard now comes through KeyboardProcDI
    volatile LONG directInputMouseActive;           // mouse now comes through MouseProcDI
    D3DPRESENT_PARAMETERS storedPresentParameters;  // of the latest CreateDevice or Reset
    volatile LONG pointerPosition;                  // x low 16 bits, y high 16 bits, signed
    HINSTANCE instance;                             // this library
    volatile LONG firstCallLogged[kQuietExportCount];
    // The process did not take this library as its Direct3D runtime (the
    // system mapped it here for another program's keyboard hook): every
    // export goes straight to the system runtime; no wrapper, hook, HUD or log.
    LONG passive;
};

extern ProxyState g_proxy;

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
void ProxyHudObjectMade(IDirect3DDevice9* device, IUnknown* object);
void ProxyHudObjectReleased(IUnknown* object);
ULONG ProxyHudDeviceRefs(IDirect3DDevice9* device);

// Sets every variable to its value at load.
void ProxyResetState(HINSTANCE instance);

// Whether this library is the process's Direct3D runtime (VQIsProcessRuntime
// with the paths from the loader).
bool ProxyLoadedAsRuntime(HINSTANCE instance, bool staticImport);

// Keeps this library loaded until the process ends. Once the game holds
// wrapped objects, hooks point here and the HUD's worker threads may run,
// unloading would leave them in unmapped code, and a shutdown inside the
// unload would wait for threads under the loader lock.
void ProxyKeepLoaded();

static const char* const kProxyVersion = "4.0.6.0";
static const LONG kPointerPositionAtLoad = 0x014000F0;  // x 240, y 320

// Tells the HUD engine which module holds its resources (pictures, fonts).
void ProxyAttachEngine(HINSTANCE instance);
