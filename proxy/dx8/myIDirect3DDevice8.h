#pragma once
#include <windows.h>
#include <d3d8.h>

#include <cstdint>

#include "Forward_IDirect3DDevice8.h"

// The game's Direct3D 8 device: hands every call on; the slots below do more.
// Present is where the HUD is updated and composed over the game's frame.
// There is no swap-chain wrapper: Direct3D 8 gives games no access to swap
// chain 0, and additional swap chains are forwarded (they show no HUD).
//
// Counts: the game sees the runtime's reference count less the references
// the HUD's own surfaces hold, i.e. what it would see without the HUD.
class myIDirect3DDevice8 : public Forward_IDirect3DDevice8 {
public:
    explicit myIDirect3DDevice8(IDirect3DDevice8* real) : Forward_IDirect3DDevice8(real) {}
    virtual ~myIDirect3DDevice8() {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* parameters) override;
    HRESULT STDMETHODCALLTYPE Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                                      const RGNDATA* dirtyRegion) override;

private:
    ULONG GameCount(ULONG runtimeCount) const;
    ULONG End();

    static uint32_t s_pointerColor;
};
