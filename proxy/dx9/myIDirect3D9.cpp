#include "myIDirect3D9.h"

#include <cstring>

#include "CVQHUD.h"
#include "ProxyState.h"
#include "myIDirect3DDevice9.h"

HRESULT ProxyQueryInterface(IUnknown* real, void* wrapper, REFIID own, REFIID riid, void** out) {
    if (out) *out = nullptr;
    HRESULT hr = real->QueryInterface(riid, out);
    // The runtime added its reference to itself; the wrapper shares that count.
    if (hr == S_OK && out && (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, own))) *out = wrapper;
    return hr;
}

HRESULT STDMETHODCALLTYPE myIDirect3D9::QueryInterface(REFIID riid, void** out) {
    return ProxyQueryInterface(m_real, this, IID_IDirect3D9, riid, out);
}

ULONG STDMETHODCALLTYPE myIDirect3D9::Release() {
    ULONG count = m_real->Release();
    if (count != 0) return count;
    if (g_proxy.d3d == this) g_proxy.d3d = nullptr;
    delete this;
    return 0;
}

HRESULT STDMETHODCALLTYPE myIDirect3D9::CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                                                     DWORD behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                                                     IDirect3DDevice9** returnedDevice) {
    ProxyStorePresentParameters(parameters);
    g_frame.hudFocusWindow = focusWindow;
    HRESULT hr = m_real->CreateDevice(adapter, deviceType, focusWindow, behaviorFlags, parameters, returnedDevice);
    if (SUCCEEDED(hr) && returnedDevice && *returnedDevice) {
        // The runtime fills in what the game left to it (a windowed back buffer's size).
        ProxyStorePresentParameters(parameters);
        myIDirect3DDevice9* wrapper = new myIDirect3DDevice9(*returnedDevice);
        {
            // The HUD draws on the current device only: its surfaces are made
            // again on the new one, and the old device is left to the game.
            std::lock_guard<std::recursive_mutex> lock(ProxyHudLock());
            if (CVQHUD* hud = VQHud()) hud->ReleaseSurfaces();
        }
        g_proxy.device = wrapper;
        *returnedDevice = wrapper;
    }
    return hr;
}
