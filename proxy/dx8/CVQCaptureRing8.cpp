// The device side of CVQCaptureRing in the Direct3D 8 frame.
//
// Direct3D 8 has no event queries, so the device cannot be asked whether a
// copy is complete. What it does allow: CopyRects from the back buffer into a
// lockable default-pool render target is queued on the device like drawing,
// and the render target can be locked for reading later. Each slot is such a
// render target; a slot counts as complete once the device has presented
// kFramesBehind further frames since its copy, by when a device that renders
// at most that many frames ahead has finished it, so locking it then does not
// wait for the frame being drawn. A device that cannot make lockable render
// targets (or when asked) gets system-memory slots filled by CopyRects at
// once, which waits for the device.
#include <windows.h>
#include <d3d8.h>

#include "CVKPixels.h"
#include "CVQCaptureRing.h"
#include "ProxyState8.h"
#include "VKLog.h"
#include "myIDirect3DDevice8.h"

namespace {
const DWORD kReadFlags = D3DLOCK_READONLY | D3DLOCK_NOSYSLOCK | D3DLOCK_NO_DIRTY_UPDATE;
const LONG kFramesBehind = 2;
int g_loggedSynchronous = 0;

struct Ring8 {
    IDirect3DDevice8* device;  // the device the surfaces belong to (no reference held)
    D3DFORMAT format;
    UINT width;
    UINT height;
    int synchronous;
    IDirect3DSurface8* slot[CVQCaptureRing::kSlots];
    LONG copiedAt[CVQCaptureRing::kSlots];  // present count when the copy was queued
    IDirect3DSurface8* locked;
};

IDirect3DDevice8* CurrentDevice() { return g_proxy8.device ? g_proxy8.device->Real() : nullptr; }

// Every surface of the ring holds a reference on the device: the device
// wrapper leaves them out of the game's counts.
void ReleaseObjects(Ring8* r) {
    if (r->locked) r->locked->UnlockRect();
    r->locked = nullptr;
    for (IDirect3DSurface8*& s : r->slot) {
        if (s) {
            ProxyHudObjectReleased(s);
            s->Release();
        }
        s = nullptr;
    }
    r->device = nullptr;
}

HRESULT MakeSlots(Ring8* r, IDirect3DDevice8* device, const D3DSURFACE_DESC& desc, int synchronous) {
    HRESULT hr = D3D_OK;
    for (int i = 0; i < CVQCaptureRing::kSlots && SUCCEEDED(hr); i++) {
        hr = synchronous ? device->CreateImageSurface(desc.Width, desc.Height, desc.Format, &r->slot[i])
                         : device->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE, TRUE,
                                                      &r->slot[i]);
        if (SUCCEEDED(hr) && r->slot[i]) ProxyHudObjectMade(device, r->slot[i]);
    }
    return hr;
}

HRESULT MakeObjects(Ring8* r, IDirect3DDevice8* device, const D3DSURFACE_DESC& desc) {
    ReleaseObjects(r);
    r->device = device;
    r->format = desc.Format;
    r->width = desc.Width;
    r->height = desc.Height;
    r->synchronous = CVQCaptureRing::IsForcedSynchronous();
    HRESULT hr = MakeSlots(r, device, desc, r->synchronous);
    if (FAILED(hr) && !r->synchronous) {
        ReleaseObjects(r);
        r->device = device;
        r->synchronous = 1;
        if (!g_loggedSynchronous) {
            g_loggedSynchronous = 1;
            LogMessage("Proxydx8: Lockable render targets not available, the back buffer is copied synchronously\r\n");
        }
        hr = MakeSlots(r, device, desc, 1);
    }
    if (FAILED(hr)) ReleaseObjects(r);
    return hr;
}

Ring8* Data(void* frameData) { return static_cast<Ring8*>(frameData); }
}  // namespace

int CVQCaptureRing::CopyIntoSlot(int slot) {
    IDirect3DDevice8* device = CurrentDevice();
    if (!device) return 0;
    IDirect3DSurface8* backBuffer = nullptr;
    HRESULT hr = device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer);
    if (FAILED(hr) || !backBuffer) {
        LogMessage("Proxydx8: Failed to get DX8 surface for copy (GetBackBuffer): %d\r\n", static_cast<int>(hr));
        return 0;
    }
    D3DSURFACE_DESC desc;
    hr = backBuffer->GetDesc(&desc);
    if (FAILED(hr)) {
        LogMessage("Proxydx8: Failed to get DX8 surface for copy (GetBackBuffer): %d\r\n", static_cast<int>(hr));
        backBuffer->Release();
        return 0;
    }
    m_format = desc.Format;
    m_width = desc.Width;
    m_height = desc.Height;

    Ring8* r = Data(m_frameData);
    if (!r) {
        r = new Ring8();
        m_frameData = r;
    }
    if (r->device != device || r->format != desc.Format || r->width != desc.Width || r->height != desc.Height) {
        // Copies of another size or device are gone with their surfaces.
        m_first = slot;
        m_count = 0;
        m_locked = 0;
        hr = MakeObjects(r, device, desc);
        if (FAILED(hr)) {
            LogMessage("Proxydx8: Failed to create DX8 surface (CreateImageSurface): %d\r\n", static_cast<int>(hr));
            backBuffer->Release();
            return 0;
        }
        m_synchronous = r->synchronous;
    }
    // A multisampled back buffer cannot be copied this way: the copy fails
    // (the recorders refuse such a back buffer before they start).
    hr = device->CopyRects(backBuffer, nullptr, 0, r->slot[slot], nullptr);
    backBuffer->Release();
    if (FAILED(hr)) {
        LogMessage("Proxydx8: Failed to get render target data (GetRenderTargetData): %d\r\n", static_cast<int>(hr));
        return 0;
    }
    r->copiedAt[slot] = g_proxy8.presentCount;
    return 1;
}

int CVQCaptureRing::IsSlotDone(int slot, int wait) {
    Ring8* r = Data(m_frameData);
    if (!r || r->synchronous || wait) return 1;  // reading a device-side copy waits for it
    return g_proxy8.presentCount - r->copiedAt[slot] >= kFramesBehind;
}

int CVQCaptureRing::LockSlot(int slot, CVKPixels* pixels) {
    Ring8* r = Data(m_frameData);
    if (!r || !r->device || !r->slot[slot]) return 0;
    D3DLOCKED_RECT locked;
    if (FAILED(r->slot[slot]->LockRect(&locked, nullptr, kReadFlags))) return 0;
    r->locked = r->slot[slot];
    pixels->Init(CVKPixels::LayoutOfFormat(r->format), r->width, r->height, locked.pBits,
                 static_cast<int32_t>(locked.Pitch * static_cast<int32_t>(r->height)), locked.Pitch, 0);
    return 1;
}

void CVQCaptureRing::UnlockSlot(int) {
    Ring8* r = Data(m_frameData);
    if (!r || !r->locked) return;
    r->locked->UnlockRect();
    r->locked = nullptr;
}

void CVQCaptureRing::ReleaseSlots() {
    Ring8* r = Data(m_frameData);
    if (!r) return;
    ReleaseObjects(r);
    delete r;
    m_frameData = nullptr;
}
