// The Direct3D 8 runtime's entry points as this library exports them (names
// and ordinals in d3d8.def). All but Direct3DCreate8 and the two input
// exports hand the call on to the runtime.
#include <windows.h>
#include <d3d8.h>

#include "ProxyInput.h"
#include "ProxyRuntime.h"
#include "ProxyState8.h"
#include "VKLog.h"
#include "myIDirect3D8.h"

namespace {
const char* const kForwardedNames[k8ForwardedCount] = {
    "CheckFullscreen",
    "ValidatePixelShader",
    "ValidateVertexShader",
    "DebugSetMute",
};
}  // namespace

// Logs the export's call (every call, except DebugSetMute, whose first call
// only is logged).
extern "C" FARPROC ProxyResolveQuiet(int index) {
    return ProxyResolveForwarded(kForwardedNames[index], &g_proxy8.firstCallLogged[index], index != k8DebugSetMute);
}

// Every forwarder hands the caller's whole argument frame over (the vertex
// shader validator takes five arguments).
PROXY_FORWARD_JUMP(CheckFullscreen, 0, 1, 0)
PROXY_FORWARD_JUMP(ValidatePixelShader, 1, 1, 16)
PROXY_FORWARD_JUMP(ValidateVertexShader, 2, 1, 20)
PROXY_FORWARD_JUMP(DebugSetMute, 3, 0x80004005, 0)

extern "C" {

IDirect3D8* WINAPI Proxy_Direct3DCreate8(UINT sdkVersion) {
    typedef IDirect3D8*(WINAPI * Fn)(UINT);
    Fn create = reinterpret_cast<Fn>(reinterpret_cast<void*>(ProxyRuntimeProc("Direct3DCreate8")));
    if (g_frame.passive) return create ? create(sdkVersion) : nullptr;  // the system's object, unwrapped
    if (!create) {
        LogMessage("Proxydx8: Pointer to original D3DCreate8 function not received ERROR\r\n");
        ExitProcess(0);
    }
    IDirect3D8* real = create(sdkVersion);
    if (!real) return nullptr;  // nothing to wrap, and no hooks for a game without Direct3D
    myIDirect3D8* wrapper = new myIDirect3D8(real);
    g_proxy8.d3d = wrapper;
    ProxyKeepLoaded();  // the game's wrappers, the hooks and the HUD run code of this library
    ProxyInstallHooks();
    return wrapper;
}

}  // extern "C"
