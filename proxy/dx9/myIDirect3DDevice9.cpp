#include "myIDirect3DDevice9.h"

#include <cstring>

#include "CVQCompositor9.h"
#include "CVQHUD.h"
#include "ProxyState.h"
#include "ProxyLibrary.h"
#include "VKLog.h"
#include "VQFrameMath.h"
#include "myIDirect3D9.h"
#include "myIDirect3DSwapChain9.h"

uint32_t myIDirect3DDevice9::s_pointerColor = kVQPointerColorStart;

myIDirect3DDevice9::~myIDirect3DDevice9() {
    for (myIDirect3DSwapChain9* wrapper : m_swapChains) delete wrapper;
}

HRESULT STDMETHODCALLTYPE myIDirect3DDevice9::QueryInterface(REFIID riid, void** out) {
    return ProxyQueryInterface(m_real, this, IID_IDirect3DDevice9, riid, out);
}

ULONG myIDirect3DDevice9::GameCount(ULONG runtimeCount) const {
    ULONG hud = ProxyHudDeviceRefs(m_real);
    return runtimeCount > hud ? runtimeCount - hud : 0;
}

ULONG STDMETHODCALLTYPE myIDirect3DDevice9::AddRef() { return GameCount(m_real->AddRef()); }

ULONG STDMETHODCALLTYPE myIDirect3DDevice9::Release() {
    ULONG count = m_real->Release();
    if (count != 0) {
        ULONG seen = GameCount(count);
        if (seen != 0) return seen;
        // The game's last reference is gone; only the HUD's surfaces hold the
        // device. Dropping them ends it (they are made again on a new device).
        // Not at process exit: a thread killed inside the HUD may hold its
        // lock, and the device goes with the process anyway.
        if (ProxyProcessEnding()) return End();
        std::lock_guard<std::recursive_mutex> lock(ProxyHudLock());
        if (CVQHUD* hud = VQHud()) hud->ReleaseSurfaces();
    }
    return End();
}

ULONG myIDirect3DDevice9::End() {
    // Only the current device's end ends the HUD; an older device released
    // after a newer one was made leaves the newer one's HUD alone.
    bool current = g_proxy.device == this;
    if (current) g_proxy.device = nullptr;
    IDirect3DDevice9* real = m_real;
    delete this;
    if (ProxyProcessEnding()) {
        // A library of the game releasing the device at process exit: the
        // HUD's threads are gone and may have left the log and the HUD taken;
        // the HUD and the device go with the process.
        LogMessageIfFree("Proxydx9: Final device release!\r\n");
        return 0;
    }
    LogMessage("Proxydx9: Final device release!\r\n");
    // Also drops what ReleaseSurfaces does not cover; under the loader lock
    // the HUD ends once the lock is free (its worker threads need it to end).
    if (current) ProxyEndHud(&CVQCompositor9::DestroyHud);
    if (ProxyHudDeviceRefs(real) != 0) LogMessage("Proxydx9: Warning: HUD objects still hold the released device\r\n");
    return 0;
}

HRESULT STDMETHODCALLTYPE myIDirect3DDevice9::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* parameters,
                                                                        IDirect3DSwapChain9** swapChain) {
    LogMessage("myIDirect3DDevice9::CreateAdditionalSwapChain() called! We only cover swapchain 0!\r\n");
    return m_real->CreateAdditionalSwapChain(parameters, swapChain);
}

HRESULT STDMETHODCALLTYPE myIDirect3DDevice9::GetSwapChain(UINT index, IDirect3DSwapChain9** swapChain) {
    if (index != 0 || !swapChain) return m_real->GetSwapChain(index, swapChain);
    // The runtime adds the game's reference (and counts it); the game gets the
    // one wrapper of that runtime object.
    IDirect3DSwapChain9* real = nullptr;
    HRESULT hr = m_real->GetSwapChain(0, &real);
    if (FAILED(hr) || !real) {
        *swapChain = real;
        return hr;
    }
    std::lock_guard<std::mutex> lock(m_swapChainsLock);
    for (myIDirect3DSwapChain9* wrapper : m_swapChains)
        if (wrapper->Real() == real) {
            *swapChain = wrapper;
            return hr;
        }
    myIDirect3DSwapChain9* wrapper = new myIDirect3DSwapChain9(real, m_real);
    m_swapChains.push_back(wrapper);
    *swapChain = wrapper;
    return hr;
}

HRESULT STDMETHODCALLTYPE myIDirect3DDevice9::Reset(D3DPRESENT_PARAMETERS* parameters) {
    ProxyStorePresentParameters(parameters);
    // The runtime refuses a Reset while default-pool surfaces live.
    {
        std::lock_guard<std::recursive_mutex> lock(ProxyHudLock());
        if (CVQHUD* hud = VQHud()) hud->ReleaseSurfaces();
    }
    HRESULT hr = m_real->Reset(parameters);
    if (SUCCEEDED(hr)) ProxyStorePresentParameters(parameters);
    return hr;
}

HRESULT STDMETHODCALLTYPE myIDirect3DDevice9::Present(const RECT* sourceRect, const RECT* destRect,
                                                      HWND destWindowOverride, const RGNDATA* dirtyRegion) {
    if (g_proxy.device == this) CVQCompositor9::ComposeFrame(m_real, nullptr, &s_pointerColor);
    return m_real->Present(sourceRect, destRect, destWindowOverride, dirtyRegion);
}
