// The runtime's entry points as this library exports them (names and
// ordinals in d3d9.def). All but Direct3DCreate9 hand the call on quietly.
#include <windows.h>
#include <d3d9.h>

#include "ProxyInput.h"
#include "ProxyRuntime.h"
#include "ProxyState.h"
#include "VKLog.h"
#include "myIDirect3D9.h"

namespace {
const char* const kQuietNames[kQuietExportCount] = {
    "CheckFullscreen",    "Direct3DShaderValidatorCreate9",
    "PSGPError",          "PSGPSampleTexture",
    "D3DPERF_BeginEvent", "D3DPERF_EndEvent",
    "D3DPERF_GetStatus",  "D3DPERF_QueryRepeatFrame",
    "D3DPERF_SetMarker",  "D3DPERF_SetOptions",
    "D3DPERF_SetRegion",  "DebugSetLevel",
    "DebugSetMute",
};
}  // namespace

// Logs the export's first call once (see ProxyResolveForwarded).
extern "C" FARPROC ProxyResolveQuiet(int index) {
    return ProxyResolveForwarded(kQuietNames[index], &g_proxy.firstCallLogged[index], false);
}

PROXY_FORWARD_JUMP(CheckFullscreen, 0, 1, 0)
PROXY_FORWARD_JUMP(Direct3DShaderValidatorCreate9, 1, 0x80004005, 0)
PROXY_FORWARD_JUMP(PSGPError, 2, 0x80004005, 12)
PROXY_FORWARD_JUMP(PSGPSampleTexture, 3, 0x80004005, 20)
PROXY_FORWARD_JUMP(D3DPERF_EndEvent, 5, -1, 0)
PROXY_FORWARD_JUMP(D3DPERF_GetStatus, 6, 0, 0)
PROXY_FORWARD_JUMP(D3DPERF_QueryRepeatFrame, 7, 0, 0)
PROXY_FORWARD_JUMP(DebugSetLevel, 11, 0x80004005, 0)

extern "C" {

int WINAPI Proxy_D3DPERF_BeginEvent(D3DCOLOR colour, LPCWSTR name) {
    typedef int(WINAPI * Fn)(D3DCOLOR, LPCWSTR);
    Fn fn = reinterpret_cast<Fn>(ProxyResolveQuiet(kD3DPERF_BeginEvent));
    return fn ? fn(colour, name) : -1;
}

void WINAPI Proxy_D3DPERF_SetMarker(D3DCOLOR colour, LPCWSTR name) {
    typedef void(WINAPI * Fn)(D3DCOLOR, LPCWSTR);
    Fn fn = reinterpret_cast<Fn>(ProxyResolveQuiet(kD3DPERF_SetMarker));
    if (fn) fn(colour, name);
}

void WINAPI Proxy_D3DPERF_SetOptions(DWORD options) {
    typedef void(WINAPI * Fn)(DWORD);
    Fn fn = reinterpret_cast<Fn>(ProxyResolveQuiet(kD3DPERF_SetOptions));
    if (fn) fn(options);
}

void WINAPI Proxy_D3DPERF_SetRegion(D3DCOLOR colour, LPCWSTR name) {
    typedef void(WINAPI * Fn)(D3DCOLOR, LPCWSTR);
    Fn fn = reinterpret_cast<Fn>(ProxyResolveQuiet(kD3DPERF_SetRegion));
    if (fn) fn(colour, name);
}

HRESULT WINAPI Proxy_DebugSetMute(DWORD mute) {
    typedef HRESULT(WINAPI * Fn)(DWORD);
    Fn fn = reinterpret_cast<Fn>(ProxyResolveQuiet(kDebugSetMute));
    return fn ? fn(mute) : E_FAIL;
}

IDirect3D9* WINAPI Proxy_Direct3DCreate9(UINT sdkVersion) {
    typedef IDirect3D9*(WINAPI * Fn)(UINT);
    Fn create = reinterpret_cast<Fn>(ProxyRuntimeProc("Direct3DCreate9"));
    if (g_frame.passive) return create ? create(sdkVersion) : nullptr;  // the system's object, unwrapped
    if (!create) {
        LogMessage("Proxydx9: Pointer to original D3DCreate9 function not received ERROR\r\n");
        ExitProcess(0);
    }
    IDirect3D9* real = create(sdkVersion);
    if (!real) return nullptr;  // nothing to wrap, and no hooks for a game without Direct3D
    myIDirect3D9* wrapper = new myIDirect3D9(real);
    g_proxy.d3d = wrapper;
    ProxyKeepLoaded();  // the game's wrappers, the hooks and the HUD run code of this library
    ProxyInstallHooks();
    return wrapper;
}

HRESULT WINAPI Proxy_Direct3DCreate9Ex(UINT sdkVersion, IDirect3D9Ex** out) {
    typedef HRESULT(WINAPI * Fn)(UINT, IDirect3D9Ex**);
    Fn create = reinterpret_cast<Fn>(ProxyRuntimeProc("Direct3DCreate9Ex"));
    if (g_frame.passive) return create ? create(sdkVersion, out) : D3DERR_NOTAVAILABLE;
    if (!create) {
        // Games ask for this entry to find out whether the extended runtime is
        // there and fall back to Direct3DCreate9 when it is not: tell them so.
        LogMessage("Proxydx9: Pointer to original D3DCreate9Ex function not received ERROR\r\n");
        if (out) *out = nullptr;
        return D3DERR_NOTAVAILABLE;
    }
    LogMessage("Proxydx9: Direct3DCreate9Ex(0x%x) called!\r\n", sdkVersion);
    return create(sdkVersion, out);
}

}  // extern "C"
