#pragma once
#include <windows.h>
#include <d3d9.h>

#include <cstdint>

// The composition point of the Direct3D 9 frame: on every presented frame the
// HUD is made (first frame), updated, and its visible windows and its pointer
// are copied onto back buffer 0 before the runtime presents it. With no
// window and no pointer showing, the back buffer is left alone.
class CVQCompositor9 {
public:
    // device: the runtime's device; swapChain: the runtime's swap chain 0 when
    // presenting through it (its back buffer is used), else null.
    static void ComposeFrame(IDirect3DDevice9* device, IDirect3DSwapChain9* swapChain, uint32_t* pointerColor);
    // Shuts the HUD down and deletes it (final device release, unloading).
    static void DestroyHud();
};
