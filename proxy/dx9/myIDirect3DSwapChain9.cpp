#include "myIDirect3DSwapChain9.h"

#include "CVQCompositor9.h"
#include "ProxyState.h"
#include "VQFrameMath.h"
#include "myIDirect3D9.h"
#include "myIDirect3DDevice9.h"

uint32_t myIDirect3DSwapChain9::s_pointerColor = kVQPointerColorStart;

HRESULT STDMETHODCALLTYPE myIDirect3DSwapChain9::QueryInterface(REFIID riid, void** out) {
    return ProxyQueryInterface(m_real, this, IID_IDirect3DSwapChain9, riid, out);
}

HRESULT STDMETHODCALLTYPE myIDirect3DSwapChain9::Present(const RECT* sourceRect, const RECT* destRect,
                                                         HWND destWindowOverride, const RGNDATA* dirtyRegion,
                                                         DWORD flags) {
    // A retried frame is not composed (nor captured) again: the HUD is on it.
    if (!m_stillDrawing && g_proxy.device && g_proxy.device->Real() == m_device)
        CVQCompositor9::ComposeFrame(m_device, m_real, &s_pointerColor);
    // Presented by the swap chain itself, with the game's flags: a game that
    // asks not to wait must get D3DERR_WASSTILLDRAWING when the runtime says so.
    HRESULT hr = m_real->Present(sourceRect, destRect, destWindowOverride, dirtyRegion, flags);
    m_stillDrawing = hr == D3DERR_WASSTILLDRAWING;
    return hr;
}
