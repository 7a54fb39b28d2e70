#include "myIDirect3DDevice9.h"

#include <cstring>

#include "CVQCompositor9.h"
#include "CVQHUD.h"
#include "ProxyState.h"
#include "VKLog.h"
#include "VQFrameMath.h"
#include "myIDirect3D9.h"
#include "myIDirect3DSwapChain9.h"

uint32_t myIDirect3DDevice9::s_pointerColor = kVQPointerColorStart;

HRESULT STDMETHODCALLTYPE myIDirect3DDevice9::QueryInterface(REFIID riid, void** out) {
    return ProxyQueryInterface(m_real, this, IID_IDirect3DDevice9, riid, out);
}

ULONG STDMETHODCALLTYPE myIDirect3DDevice9::Release() {
    // The HUD's surfaces hold references on the device: drop them so the
    // game's last Release really ends the device. They are made again when needed.
    {
        std::lock_guard<std::recursive_mutex> lock(ProxyHudLock());
        if (g_proxy.hud) g_proxy.hud->ReleaseSurfaces();
    }
    ULONG count = m_real->Release();
    if (count != 0) return count;

    // Only the current device's end ends the HUD; an older device released
    // after a newer one was made leaves the newer one's HUD alone.
    bool current = g_proxy.device == this;
    if (current) g_proxy.device = nullptr;
    delete this;
    LogMessage("Proxydx9: Final device release!\r\n");
    if (current) CVQCompositor9::DestroyHud();
    return 0;
}

HRESULT STDMETHODCALLTYPE myIDirect3DDevice9::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* parameters,
                                                                        IDirect3DSwapChain9** swapChain) {
    LogMessage("myIDirect3DDevice9::CreateAdditionalSwapChain() called! We only cover swapchain 0!\r\n");
    return m_real->CreateAdditionalSwapChain(parameters, swapChain);
}

HRESULT STDMETHODCALLTYPE myIDirect3DDevice9::GetSwapChain(UINT index, IDirect3DSwapChain9** swapChain) {
    if (index != 0 || !swapChain) return m_real->GetSwapChain(index, swapChain);
    myIDirect3DSwapChain9* cached = g_proxy.swapChain;
    if (cached && cached->RealDevice() == m_real) {
        // The game releases what it gets: give it a reference of its own.
        cached->AddRef();
        *swapChain = cached;
        return D3D_OK;
    }
    IDirect3DSwapChain9* real = nullptr;
    HRESULT hr = m_real->GetSwapChain(0, &real);
    if (FAILED(hr) || !real) {
        *swapChain = real;
        return hr;
    }
    myIDirect3DSwapChain9* wrapper = new myIDirect3DSwapChain9(real, m_real);
    g_proxy.swapChain = wrapper;
    *swapChain = wrapper;
    return hr;
}

HRESULT STDMETHODCALLTYPE myIDirect3DDevice9::Reset(D3DPRESENT_PARAMETERS* parameters) {
    if (parameters) memcpy(&g_proxy.storedPresentParameters, parameters, sizeof(D3DPRESENT_PARAMETERS));
    // The runtime refuses a Reset while default-pool surfaces live.
    {
        std::lock_guard<std::recursive_mutex> lock(ProxyHudLock());
        if (g_proxy.hud) g_proxy.hud->ReleaseSurfaces();
    }
    HRESULT hr = m_real->Reset(parameters);
    if (SUCCEEDED(hr) && parameters)
        memcpy(&g_proxy.storedPresentParameters, parameters, sizeof(D3DPRESENT_PARAMETERS));
    return hr;
}

HRESULT STDMETHODCALLTYPE myIDirect3DDevice9::Present(const RECT* sourceRect, const RECT* destRect,
                                                      HWND destWindowOverride, const RGNDATA* dirtyRegion) {
    if (g_proxy.device == this) CVQCompositor9::ComposeFrame(m_real, nullptr, &s_pointerColor);
    return m_real->Present(sourceRect, destRect, destWindowOverride, dirtyRegion);
}
