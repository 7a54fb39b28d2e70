#pragma once
#include <windows.h>
#include <d3d8.h>

#include "myIDirect3D8.h"
#include "myIDirect3DDevice8.h"

// The Direct3D 8 frame's types and names for the game harness (CVQGameHarness.h).
typedef IDirect3D8 VQFrameD3D;
typedef IDirect3DDevice8 VQFrameDevice;
static const char kVQFrameRuntime[] = "d3d8.dll";
static const char kVQFrameCreate[] = "Direct3DCreate8";
static const char kVQFrameName[] = "Direct3D 8";

inline VQFrameD3D* VQFrameWrapD3D(VQFrameD3D* real) { return new myIDirect3D8(real); }
inline VQFrameDevice* VQFrameRealDevice(VQFrameDevice* wrapper) {
    return static_cast<myIDirect3DDevice8*>(wrapper)->Real();
}
// A windowed Direct3D 8 device takes the default presentation interval.
inline void VQFrameHarnessParameters(D3DPRESENT_PARAMETERS*) {}
