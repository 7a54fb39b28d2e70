#pragma once
#include <windows.h>
#include <d3d9.h>

#include "VQFrameState.h"

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

// What the Direct3D 9 proxy keeps for the process beside the frame state
// both frames share (g_frame): one Direct3D object and one current device as
// far as the proxy is concerned.
struct ProxyState {
    myIDirect3D9* d3d;                              // wrapper of the latest Direct3DCreate9
    myIDirect3DDevice9* device;                     // wrapper of the current device (it keeps its swap chain 0)
    D3DPRESENT_PARAMETERS storedPresentParameters;  // of the latest CreateDevice or Reset
    volatile LONG firstCallLogged[kQuietExportCount];
};

extern ProxyState g_proxy;

// Keeps the presentation parameters of a CreateDevice or Reset (the frame
// state gets what the input needs of them).
void ProxyStorePresentParameters(const D3DPRESENT_PARAMETERS* parameters);

static const char* const kProxyVersion = "4.0.6.0";
