#pragma once
#include <windows.h>
#include <d3d9.h>

#include <cstdint>
#include <mutex>
#include <vector>

#include "Forward_IDirect3DDevice9.h"

class myIDirect3DSwapChain9;

// The game's device: hands every call on; the slots below do more. Present is
// where the HUD is updated and composed over the game's frame.
//
// Counts: the game sees the runtime's reference count less the references
// the HUD's own surfaces hold, i.e. what it would see without the HUD.
class myIDirect3DDevice9 : public Forward_IDirect3DDevice9 {
public:
    explicit myIDirect3DDevice9(IDirect3DDevice9* real) : Forward_IDirect3DDevice9(real) {}
    virtual ~myIDirect3DDevice9();  // the swap-chain wrappers end with the device

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* parameters,
                                                        IDirect3DSwapChain9** swapChain) override;
    HRESULT STDMETHODCALLTYPE GetSwapChain(UINT index, IDirect3DSwapChain9** swapChain) override;
    HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* parameters) override;
    HRESULT STDMETHODCALLTYPE Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                                      const RGNDATA* dirtyRegion) override;

private:
    ULONG GameCount(ULONG runtimeCount) const;
    ULONG End();

    // Wrappers of swap chain 0. The runtime's swap chain 0 lives as long as
    // the device and a game may go on using it after releasing it to 0, so
    // its wrapper does too: one per runtime object, kept until the device ends.
    std::mutex m_swapChainsLock;
    std::vector<myIDirect3DSwapChain9*> m_swapChains;
    static uint32_t s_pointerColor;
};
