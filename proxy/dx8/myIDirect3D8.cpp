#include "myIDirect3D8.h"

#include <cstring>

#include "CVQCompositor8.h"
#include "ProxyState8.h"
#include "myIDirect3DDevice8.h"

HRESULT Proxy8QueryInterface(IUnknown* real, void* wrapper, REFIID own, REFIID riid, void** out) {
    if (out) *out = nullptr;
    HRESULT hr = real->QueryInterface(riid, out);
    // The runtime added its reference to itself; the wrapper shares that count.
    if (hr == S_OK && out && (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, own))) *out = wrapper;
    return hr;
}

HRESULT STDMETHODCALLTYPE myIDirect3D8::QueryInterface(REFIID riid, void** out) {
    return Proxy8QueryInterface(m_real, this, IID_IDirect3D8, riid, out);
}

ULONG STDMETHODCALLTYPE myIDirect3D8::Release() {
    ULONG count = m_real->Release();
    if (count != 0) return count;
    if (g_proxy8.d3d == this) g_proxy8.d3d = nullptr;
    delete this;
    return 0;
}

HRESULT STDMETHODCALLTYPE myIDirect3D8::CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                                                     DWORD behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                                                     IDirect3DDevice8** returnedDevice) {
    ProxyStorePresentParameters(parameters);
    g_frame.hudFocusWindow = focusWindow;
    HRESULT hr = m_real->CreateDevice(adapter, deviceType, focusWindow, behaviorFlags, parameters, returnedDevice);
    if (SUCCEEDED(hr) && returnedDevice && *returnedDevice) {
        // The runtime fills in what the game left to it (a windowed back buffer's size).
        ProxyStorePresentParameters(parameters);
        myIDirect3DDevice8* wrapper = new myIDirect3DDevice8(*returnedDevice);
        // The HUD draws on the current device only: its surfaces are made
        // again on the new one, and the old device is left to the game.
        CVQCompositor8::ReleaseSurfaces();
        g_proxy8.device = wrapper;
        *returnedDevice = wrapper;
    }
    return hr;
}
