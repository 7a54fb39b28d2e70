// The device operations of CVQSurface in the Direct3D 8 frame: surfaces are
// image surfaces (lockable, in system memory) made on the process's current
// device in the back buffer's format; CopyRects places them on the back
// buffer and copies the back buffer into them.
#include <windows.h>
#include <d3d8.h>

#include "CVKPixels.h"
#include "CVQSurface.h"
#include "ProxyState8.h"
#include "VKLog.h"
#include "myIDirect3DDevice8.h"

namespace {
IDirect3DDevice8* CurrentDevice() { return g_proxy8.device ? g_proxy8.device->Real() : nullptr; }
IDirect3DSurface8* Surface8(void* surface) { return static_cast<IDirect3DSurface8*>(surface); }

// Back buffer 0 and its description; null (after releasing it) on failure.
IDirect3DSurface8* BackBuffer(IDirect3DDevice8* device, D3DSURFACE_DESC* desc, HRESULT* result) {
    IDirect3DSurface8* backBuffer = nullptr;
    HRESULT hr = device ? device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer) : D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr) && !backBuffer) hr = D3DERR_INVALIDCALL;
    // An unfilled description would size a copy at random.
    if (SUCCEEDED(hr)) hr = backBuffer->GetDesc(desc);
    *result = hr;
    if (FAILED(hr) && backBuffer) {
        backBuffer->Release();
        backBuffer = nullptr;
    }
    return backBuffer;
}
}  // namespace

int CVQSurface::Create(uint32_t width, uint32_t height) {
    Release();
    IDirect3DDevice8* device = CurrentDevice();
    D3DSURFACE_DESC desc;
    HRESULT hr;
    IDirect3DSurface8* backBuffer = BackBuffer(device, &desc, &hr);
    if (!backBuffer) {
        LogMessage("Proxydx8: Failed to create DX8 surface (GetBackBuffer): %d\r\n", static_cast<int>(hr));
        return 0;
    }
    backBuffer->Release();
    IDirect3DSurface8* surface = nullptr;
    hr = device->CreateImageSurface(width, height, desc.Format, &surface);
    if (FAILED(hr) || !surface) {
        LogMessage("Proxydx8: Failed to create DX8 surface (CreateImageSurface): %d\r\n", static_cast<int>(hr));
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
    // The frame's surfaces are never dynamic: none may be discarded.
    flags &= ~static_cast<uint32_t>(D3DLOCK_DISCARD);
    D3DLOCKED_RECT locked;
    if (FAILED(Surface8(m_surface)->LockRect(&locked, nullptr, flags))) return 0;
    pixels->Init(CVKPixels::LayoutOfFormat(m_format), m_width, m_height, locked.pBits,
                 static_cast<int32_t>(locked.Pitch * static_cast<int32_t>(m_height)), locked.Pitch, 0);
    return 1;
}

int CVQSurface::Unlock() {
    if (!m_surface) return 0;
    return SUCCEEDED(Surface8(m_surface)->UnlockRect()) ? 1 : 0;
}

int CVQSurface::CopyBackBuffer() {
    IDirect3DDevice8* device = CurrentDevice();
    if (!device) return 0;
    D3DSURFACE_DESC desc;
    HRESULT hr;
    IDirect3DSurface8* backBuffer = BackBuffer(device, &desc, &hr);
    if (!backBuffer) {
        LogMessage("Proxydx8: Failed to get DX8 surface for copy (GetBackBuffer): %d\r\n", static_cast<int>(hr));
        return 0;
    }
    if (!m_surface || m_width != desc.Width || m_height != desc.Height ||
        m_format != static_cast<uint32_t>(desc.Format)) {
        Release();
        IDirect3DSurface8* surface = nullptr;
        hr = device->CreateImageSurface(desc.Width, desc.Height, desc.Format, &surface);
        if (FAILED(hr) || !surface) {
            LogMessage("Proxydx8: Failed to create DX8 surface (CreateImageSurface): %d\r\n", static_cast<int>(hr));
            backBuffer->Release();
            return 0;
        }
        ProxyHudObjectMade(device, surface);
        m_surface = surface;
        m_format = desc.Format;
        m_width = desc.Width;
        m_height = desc.Height;
    }
    // No rectangles: the whole back buffer to the same place.
    hr = device->CopyRects(backBuffer, nullptr, 0, Surface8(m_surface), nullptr);
    backBuffer->Release();
    if (FAILED(hr)) {
        LogMessage("Proxydx8: Failed to get render target data (GetRenderTargetData): %d\r\n", static_cast<int>(hr));
        return 0;
    }
    return 1;
}

int CVQSurface::GetBackBufferInfo(uint32_t* format, uint32_t* width, uint32_t* height, uint32_t* multisampleType) {
    D3DSURFACE_DESC desc;
    HRESULT hr;
    IDirect3DSurface8* backBuffer = BackBuffer(CurrentDevice(), &desc, &hr);
    if (!backBuffer) {
        LogMessage("Proxydx8: Failed to get DX8 surface (GetBackBuffer): %d\r\n", static_cast<int>(hr));
        return 0;
    }
    backBuffer->Release();
    if (format) *format = desc.Format;
    if (width) *width = desc.Width;
    if (height) *height = desc.Height;
    if (multisampleType) *multisampleType = desc.MultiSampleType;
    return 1;
}
