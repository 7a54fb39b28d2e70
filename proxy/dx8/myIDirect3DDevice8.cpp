#include "myIDirect3DDevice8.h"

#include <cstring>

#include "CVQCompositor8.h"
#include "ProxyState8.h"
#include "ProxyLibrary.h"
#include "VKLog.h"
#include "VQFrameMath.h"
#include "myIDirect3D8.h"

uint32_t myIDirect3DDevice8::s_pointerColor = kVQPointerColorStart;

HRESULT STDMETHODCALLTYPE myIDirect3DDevice8::QueryInterface(REFIID riid, void** out) {
    return Proxy8QueryInterface(m_real, this, IID_IDirect3DDevice8, riid, out);
}

ULONG myIDirect3DDevice8::GameCount(ULONG runtimeCount) const {
    ULONG hud = ProxyHudDeviceRefs(m_real);
    return runtimeCount > hud ? runtimeCount - hud : 0;
}

ULONG STDMETHODCALLTYPE myIDirect3DDevice8::AddRef() { return GameCount(m_real->AddRef()); }

ULONG STDMETHODCALLTYPE myIDirect3DDevice8::Release() {
    ULONG count = m_real->Release();
    if (count != 0) {
        ULONG seen = GameCount(count);
        if (seen != 0) return seen;
        // The game's last reference is gone; only the HUD's surfaces hold the
        // device. Dropping them ends it (they are made again on a new device).
        // Not at process exit: a thread killed inside the HUD may hold its
        // lock, and the device goes with the process anyway.
        if (ProxyProcessEnding()) return End();
        CVQCompositor8::ReleaseSurfaces();
    }
    return End();
}

ULONG myIDirect3DDevice8::End() {
    // Only the current device's end ends the HUD; an older device released
    // after a newer one was made leaves the newer one's HUD alone.
    bool current = g_proxy8.device == this;
    if (current) g_proxy8.device = nullptr;
    IDirect3DDevice8* real = m_real;
    delete this;
    if (ProxyProcessEnding()) {
        // A library of the game releasing the device at process exit: the
        // HUD's threads are gone and may have left the log and the HUD taken;
        // the HUD and the device go with the process.
        LogMessageIfFree("Proxydx8: Final device release!\r\n");
        return 0;
    }
    LogMessage("Proxydx8: Final device release!\r\n");
    // Also drops what ReleaseSurfaces does not cover; under the loader lock
    // the HUD ends once the lock is free (its worker threads need it to end).
    if (current) ProxyEndHud(&CVQCompositor8::DestroyHud);
    if (ProxyHudDeviceRefs(real) != 0) LogMessage("Proxydx8: Warning: HUD objects still hold the released device\r\n");
    return 0;
}

HRESULT STDMETHODCALLTYPE myIDirect3DDevice8::Reset(D3DPRESENT_PARAMETERS* parameters) {
    ProxyStorePresentParameters(parameters);
    // The HUD's window surfaces live in system memory and would survive, but
    // the capture ring's copies are default-pool render targets, which the
    // runtime refuses a Reset for; everything is made again on demand.
    if (g_proxy8.device == this) CVQCompositor8::ReleaseSurfaces();
    HRESULT hr = m_real->Reset(parameters);
    if (SUCCEEDED(hr)) ProxyStorePresentParameters(parameters);
    return hr;
}

HRESULT STDMETHODCALLTYPE myIDirect3DDevice8::Present(const RECT* sourceRect, const RECT* destRect,
                                                      HWND destWindowOverride, const RGNDATA* dirtyRegion) {
    const bool current = g_proxy8.device == this;
    if (current) CVQCompositor8::ComposeFrame(m_real, &s_pointerColor);
    HRESULT hr = m_real->Present(sourceRect, destRect, destWindowOverride, dirtyRegion);
    if (current) InterlockedIncrement(&g_proxy8.presentCount);
    return hr;
}
