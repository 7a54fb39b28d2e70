#pragma once
#include <windows.h>
#include <d3d9.h>

#include <cstdint>

#include "Forward_IDirect3DSwapChain9.h"

// The game's swap chain 0: hands every call on; Present composes the HUD like
// the device's Present (both share one back buffer).
class myIDirect3DSwapChain9 : public Forward_IDirect3DSwapChain9 {
public:
    myIDirect3DSwapChain9(IDirect3DSwapChain9* real, IDirect3DDevice9* device)
        : Forward_IDirect3DSwapChain9(real), m_device(device) {}
    virtual ~myIDirect3DSwapChain9() {}

    IDirect3DDevice9* RealDevice() const { return m_device; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                                      const RGNDATA* dirtyRegion, DWORD flags) override;

private:
    IDirect3DDevice9* m_device;  // the runtime's device the swap chain belongs to
    static uint32_t s_pointerColor;
};
