#pragma once
#include <windows.h>
#include <d3d9.h>

#include "myIDirect3D9.h"
#include "myIDirect3DDevice9.h"

// The Direct3D 9 frame's types and names for the game harness (CVQGameHarness.h).
typedef IDirect3D9 VQFrameD3D;
typedef IDirect3DDevice9 VQFrameDevice;
static const char kVQFrameRuntime[] = "d3d9.dll";
static const char kVQFrameCreate[] = "Direct3DCreate9";
static const char kVQFrameName[] = "Direct3D 9";

inline VQFrameD3D* VQFrameWrapD3D(VQFrameD3D* real) { return new myIDirect3D9(real); }
inline VQFrameDevice* VQFrameRealDevice(VQFrameDevice* wrapper) {
    return static_cast<myIDirect3DDevice9*>(wrapper)->Real();
}
// The harness presents at once, unpaced.
inline void VQFrameHarnessParameters(D3DPRESENT_PARAMETERS* pp) {
    pp->PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
}
