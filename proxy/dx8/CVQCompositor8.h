#pragma once
#include <windows.h>
#include <d3d8.h>

#include <cstdint>

// The composition point of the Direct3D 8 frame: on every presented frame the
// HUD is made (first frame), updated, and its visible windows and its pointer
// are copied onto back buffer 0 before the runtime presents it. With no
// window and no pointer showing, the back buffer is left alone.
//
// Everything reaches the back buffer through CopyRects, which writes the
// pixels and leaves the device's render target, viewport and render states
// as the game set them (Direct3D 8 has no colour fill, and Clear would draw
// into whatever target and viewport the game left bound).
class CVQCompositor8 {
public:
    // device: the runtime's device of the current device wrapper.
    static void ComposeFrame(IDirect3DDevice8* device, uint32_t* pointerColor);
    // Drops every device object of the HUD and of the frame (window surfaces,
    // recorders' copies, the pointer's surface); made again on demand.
    static void ReleaseSurfaces();
    // Shuts the HUD down and deletes it (final device release, unloading).
    static void DestroyHud();
};
