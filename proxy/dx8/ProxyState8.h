#pragma once
#include <windows.h>
#include <d3d8.h>

#include "VQFrameState.h"

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

// What the Direct3D 8 proxy keeps for the process beside the frame state
// both frames share (g_frame): one Direct3D object and one current device as
// far as the proxy is concerned.
struct ProxyState8 {
    myIDirect3D8* d3d;                              // wrapper of the latest Direct3DCreate8
    myIDirect3DDevice8* device;                     // wrapper of the current device
    D3DPRESENT_PARAMETERS storedPresentParameters;  // 52 bytes, of the latest CreateDevice or Reset
    volatile LONG firstCallLogged[k8ForwardedCount];
    // Frames the current device presented; the capture ring reads a copy
    // once enough frames went by (Direct3D 8 cannot tell when a copy is done).
    volatile LONG presentCount;
};

// The Direct3D 8 presentation parameters are 13 32-bit fields (the window
// handle widens on 64-bit builds).
static_assert(sizeof(void*) != 4 || sizeof(D3DPRESENT_PARAMETERS) == 52, "Direct3D 8 presentation parameters");

extern ProxyState8 g_proxy8;

// Keeps the presentation parameters of a CreateDevice or Reset (the frame
// state gets what the input needs of them).
void ProxyStorePresentParameters(const D3DPRESENT_PARAMETERS* parameters);

static const char* const kProxy8Version = "4.0.6.0";
