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

ULONG STDMETHODCALLTYPE myIDirect3DSwapChain9::Release() {
    ULONG count = m_real->Release();
    if (count != 0) return count;
    if (g_proxy.swapChain == this) g_proxy.swapChain = nullptr;
    delete this;
    return 0;
}

HRESULT STDMETHODCALLTYPE myIDirect3DSwapChain9::Present(const RECT* sourceRect, const RECT* destRect,
                                                         HWND destWindowOverride, const RGNDATA* dirtyRegion,
                                                         DWORD flags) {
    if (g_proxy.device && g_proxy.device->Real() == m_device)
        CVQCompositor9::ComposeFrame(m_device, m_real, &s_pointerColor);
    // Swap chain 0 and the device share one back buffer: the device's Present shows it.
    return m_device->Present(sourceRect, destRect, destWindowOverride, dirtyRegion);
}
