// The device operations of CVQSurface in the Direct3D 9 frame: surfaces are
// made on the process's current device, in the back buffer's format.
#include <windows.h>
#include <d3d9.h>

#include "CVKPixels.h"
#include "CVQSurface.h"
#include "ProxyState.h"
#include "VKLog.h"
#include "myIDirect3DDevice9.h"

namespace {
IDirect3DDevice9* CurrentDevice() { return g_proxy.device ? g_proxy.device->Real() : nullptr; }
IDirect3DSurface9* Surface9(void* surface) { return static_cast<IDirect3DSurface9*>(surface); }

// Level 0 of a one-level dynamic texture in the default pool, or null when the
// device cannot copy from textures with StretchRect or has no dynamic
// textures. A HUD window is refreshed by locking its surface: a plain
// default-pool surface can only be mapped once the device has finished the
// work already queued (under some runtimes the whole previous frame), while a
// dynamic texture locked with D3DLOCK_DISCARD gets fresh memory at once. The
// level keeps its texture alive; the texture holds the one device reference.
IDirect3DSurface9* DynamicTextureLevel(IDirect3DDevice9* device, uint32_t width, uint32_t height, D3DFORMAT format) {
    D3DCAPS9 caps;
    if (FAILED(device->GetDeviceCaps(&caps))) return nullptr;
    if (!(caps.Caps2 & D3DCAPS2_DYNAMICTEXTURES) || !(caps.DevCaps2 & D3DDEVCAPS2_CAN_STRETCHRECT_FROM_TEXTURES))
        return nullptr;
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(device->CreateTexture(width, height, 1, D3DUSAGE_DYNAMIC, format, D3DPOOL_DEFAULT, &texture, nullptr)) ||
        !texture)
        return nullptr;
    IDirect3DSurface9* level = nullptr;
    HRESULT hr = texture->GetSurfaceLevel(0, &level);
    texture->Release();
    return SUCCEEDED(hr) ? level : nullptr;
}

bool IsDynamic(IDirect3DSurface9* surface) {
    D3DSURFACE_DESC desc;
    return SUCCEEDED(surface->GetDesc(&desc)) && (desc.Usage & D3DUSAGE_DYNAMIC);
}

}  // namespace

int CVQSurface::Create(uint32_t width, uint32_t height) {
    Release();
    IDirect3DDevice9* device = CurrentDevice();
    if (!device) {
        LogMessage("Proxydx9: Failed to create DX9 surface (GetBackBuffer): %d\r\n",
                   static_cast<int>(D3DERR_INVALIDCALL));
        return 0;
    }
    IDirect3DSurface9* backBuffer = nullptr;
    HRESULT hr = device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer);
    if (FAILED(hr) || !backBuffer) {
        LogMessage("Proxydx9: Failed to create DX9 surface (GetBackBuffer): %d\r\n", static_cast<int>(hr));
        return 0;
    }
    D3DSURFACE_DESC desc;
    hr = backBuffer->GetDesc(&desc);
    backBuffer->Release();
    if (FAILED(hr)) {
        LogMessage("Proxydx9: Failed to create DX9 surface (GetBackBuffer): %d\r\n", static_cast<int>(hr));
        return 0;
    }
    IDirect3DSurface9* surface = DynamicTextureLevel(device, width, height, desc.Format);
    if (!surface)
        hr = device->CreateOffscreenPlainSurface(width, height, desc.Format, D3DPOOL_DEFAULT, &surface, nullptr);
    if (FAILED(hr) || !surface) {
        LogMessage("Proxydx9: Failed to create DX9 surface (CreateImageSurface): %d\r\n", static_cast<int>(hr));
        return 0;
    }
    ProxyHudObjectMade(device, surface);  // the device wrapper leaves it out of the game's counts
    m_surface = surface;
    m_format = desc.Format;
    m_width = width;
    m_height = height;
    return 1;
}

int CVQSurface::Lock(CVKPixels* pixels, uint32_t flags) {
    if (!m_surface || !pixels) return 0;
    // Only a dynamic surface may be discarded; any other keeps its contents.
    if ((flags & D3DLOCK_DISCARD) && !IsDynamic(Surface9(m_surface))) flags &= ~static_cast<uint32_t>(D3DLOCK_DISCARD);
    D3DLOCKED_RECT locked;
    if (FAILED(Surface9(m_surface)->LockRect(&locked, nullptr, flags))) return 0;
    pixels->Init(CVKPixels::LayoutOfFormat(m_format), m_width, m_height, locked.pBits,
                 static_cast<int32_t>(locked.Pitch * static_cast<int32_t>(m_height)), locked.Pitch, 0);
    return 1;
}

int CVQSurface::Unlock() {
    if (!m_surface) return 0;
    return SUCCEEDED(Surface9(m_surface)->UnlockRect()) ? 1 : 0;
}

int CVQSurface::CopyBackBuffer() {
    IDirect3DDevice9* device = CurrentDevice();
    if (!device) return 0;
    IDirect3DSurface9* backBuffer = nullptr;
    HRESULT hr = device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer);
    if (FAILED(hr) || !backBuffer) {
        LogMessage("Proxydx9: Failed to get DX9 surface for copy (GetBackBuffer): %d\r\n", static_cast<int>(hr));
        return 0;
    }
    D3DSURFACE_DESC desc;
    hr = backBuffer->GetDesc(&desc);
    if (FAILED(hr)) {  // an unfilled description would size the copy at random
        LogMessage("Proxydx9: Failed to get DX9 surface for copy (GetBackBuffer): %d\r\n", static_cast<int>(hr));
        backBuffer->Release();
        return 0;
    }
    if (!m_surface || m_width != desc.Width || m_height != desc.Height ||
        m_format != static_cast<uint32_t>(desc.Format)) {
        Release();
        IDirect3DSurface9* surface = nullptr;
        hr = device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &surface,
                                                 nullptr);
        if (FAILED(hr) || !surface) {
            LogMessage("Proxydx9: Failed to create DX9 surface (CreateImageSurface): %d\r\n", static_cast<int>(hr));
            backBuffer->Release();
            return 0;
        }
        ProxyHudObjectMade(device, surface);
        m_surface = surface;
        m_format = desc.Format;
        m_width = desc.Width;
        m_height = desc.Height;
    }
    hr = device->GetRenderTargetData(backBuffer, Surface9(m_surface));
    backBuffer->Release();
    if (FAILED(hr)) {
        LogMessage("Proxydx9: Failed to get render target data (GetRenderTargetData): %d\r\n", static_cast<int>(hr));
        return 0;
    }
    return 1;
}

int CVQSurface::GetBackBufferInfo(uint32_t* format, uint32_t* width, uint32_t* height, uint32_t* multisampleType) {
    IDirect3DDevice9* device = CurrentDevice();
    IDirect3DSurface9* backBuffer = nullptr;
    HRESULT hr = device ? device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer) : D3DERR_INVALIDCALL;
    if (FAILED(hr) || !backBuffer) {
        LogMessage("Proxydx9: Failed to get DX9 surface (GetBackBuffer): %d\r\n", static_cast<int>(hr));
        return 0;
    }
    D3DSURFACE_DESC desc;
    hr = backBuffer->GetDesc(&desc);
    backBuffer->Release();
    if (FAILED(hr)) return 0;
    if (format) *format = desc.Format;
    if (width) *width = desc.Width;
    if (height) *height = desc.Height;
    if (multisampleType) *multisampleType = desc.MultiSampleType;
    return 1;
}
