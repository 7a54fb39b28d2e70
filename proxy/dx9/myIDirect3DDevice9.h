#pragma once
#include <windows.h>
#include <d3d9.h>

#include <cstdint>

#include "Forward_IDirect3DDevice9.h"

// The game's device: hands every call on; the slots below do more. Present is
// where the HUD is updated and composed over the game's frame.
class myIDirect3DDevice9 : public Forward_IDirect3DDevice9 {
public:
    explicit myIDirect3DDevice9(IDirect3DDevice9* real) : Forward_IDirect3DDevice9(real) {}
    virtual ~myIDirect3DDevice9() {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* parameters,
                                                        IDirect3DSwapChain9** swapChain) override;
    HRESULT STDMETHODCALLTYPE GetSwapChain(UINT index, IDirect3DSwapChain9** swapChain) override;
    HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* parameters) override;
    HRESULT STDMETHODCALLTYPE Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                                      const RGNDATA* dirtyRegion) override;

private:
    static uint32_t s_pointerColor;
};
