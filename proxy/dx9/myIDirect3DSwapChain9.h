#pragma once
#include <windows.h>
#include <d3d9.h>

#include <cstdint>

#include "Forward_IDirect3DSwapChain9.h"

// The game's swap chain 0: hands every call on; Present composes the HUD like
// the device's Present (both share one back buffer). AddRef and Release are
// the runtime's: the wrapper is owned by the device wrapper and lives as long
// as the device, as the runtime's swap chain 0 does, so a game may use it
// after releasing it to 0.
class myIDirect3DSwapChain9 : public Forward_IDirect3DSwapChain9 {
public:
    myIDirect3DSwapChain9(IDirect3DSwapChain9* real, IDirect3DDevice9* device)
        : Forward_IDirect3DSwapChain9(real), m_device(device) {}
    virtual ~myIDirect3DSwapChain9() {}

    IDirect3DDevice9* RealDevice() const { return m_device; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    HRESULT STDMETHODCALLTYPE Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                                      const RGNDATA* dirtyRegion, DWORD flags) override;

private:
    IDirect3DDevice9* m_device;  // the runtime's device the swap chain belongs to
    // The last Present was refused as still drawing: the back buffer already
    // holds the composed frame, which the game presents again.
    bool m_stillDrawing = false;
    static uint32_t s_pointerColor;
};
