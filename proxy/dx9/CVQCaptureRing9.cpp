// The device side of CVQCaptureRing in the Direct3D 9 frame. Each slot is a
// default-pool render target that the back buffer is copied into with
// StretchRect (which also resolves a multisampled back buffer), followed by
// an event query. Reading a slot takes two more steps, each started only
// when the one before has finished: once the copy's query reports done, the
// copy is read into the slot's own system-memory surface (GetRenderTargetData)
// followed by a second query, and the surface is locked only once that query
// reports done too. Locking a surface whose read is still queued would wait
// for everything the device was given before it (the game's whole frame), so
// the render thread never waits for the device.
// A runtime may carry out every lock and unlock of a surface on a thread of
// its own that works through the device's commands one at a time, so either
// call waits until the command in progress there is finished: a lock made
// while that thread is between commands returns at once, but an unlock made
// a moment later finds it inside the next one (drawing or presenting a whole
// frame). So a slot given back keeps its system-memory surface locked, and
// it is unlocked right after the next slot's lock has returned, while that
// thread is still between commands.
// Where event queries are not supported, each slot is a system-memory
// surface filled by GetRenderTargetData at once (the device is waited for).
#include <windows.h>
#include <d3d9.h>

#include "CVKPixels.h"
#include "CVQCaptureRing.h"
#include "ProxyState.h"
#include "VKLog.h"
#include "myIDirect3DDevice9.h"

namespace {
const DWORD kReadFlags = D3DLOCK_READONLY | D3DLOCK_NOSYSLOCK | D3DLOCK_NO_DIRTY_UPDATE;
int g_loggedSynchronous = 0;

struct Ring9 {
    IDirect3DDevice9* device;  // the device the objects belong to (no reference held)
    D3DFORMAT format;
    UINT width;
    UINT height;
    D3DMULTISAMPLE_TYPE multisample;
    DWORD multisampleQuality;
    int synchronous;
    IDirect3DSurface9* target[CVQCaptureRing::kSlots];  // device-side copies (asynchronous)
    IDirect3DQuery9* query[CVQCaptureRing::kSlots];     // marks each copy complete
    IDirect3DSurface9* copy[CVQCaptureRing::kSlots];    // system-memory copies (synchronous)
    IDirect3DSurface9* resolve;  // synchronous copy of a multisampled back buffer goes through it
    IDirect3DSurface9* readback[CVQCaptureRing::kSlots];  // system-memory copies of the targets
    IDirect3DQuery9* readQuery[CVQCaptureRing::kSlots];   // marks each read complete
    int reading[CVQCaptureRing::kSlots];                  // the read into readback[] was started
    IDirect3DSurface9* locked;
    IDirect3DSurface9* held;  // readback[] of the slot given back last, still locked
};

IDirect3DDevice9* CurrentDevice() { return g_proxy.device ? g_proxy.device->Real() : nullptr; }

// Every object of the ring holds a reference on the device: the device
// wrapper leaves them out of the game's counts (ProxyHudObjectMade).
template <class T>
void SafeRelease(T*& object) {
    if (object) {
        ProxyHudObjectReleased(object);
        object->Release();
    }
    object = nullptr;
}

void UnlockHeld(Ring9* r) {
    if (r->held) r->held->UnlockRect();
    r->held = nullptr;
}

void ReleaseObjects(Ring9* r) {
    if (r->locked) r->locked->UnlockRect();
    r->locked = nullptr;
    UnlockHeld(r);
    for (int i = 0; i < CVQCaptureRing::kSlots; i++) {
        SafeRelease(r->target[i]);
        SafeRelease(r->query[i]);
        SafeRelease(r->copy[i]);
        SafeRelease(r->readback[i]);
        SafeRelease(r->readQuery[i]);
        r->reading[i] = 0;
    }
    SafeRelease(r->resolve);
    r->device = nullptr;
}

HRESULT MakeObjects(Ring9* r, IDirect3DDevice9* device, const D3DSURFACE_DESC& desc) {
    ReleaseObjects(r);
    r->device = device;
    r->format = desc.Format;
    r->width = desc.Width;
    r->height = desc.Height;
    r->multisample = desc.MultiSampleType;
    r->multisampleQuality = desc.MultiSampleQuality;
    const int queries = SUCCEEDED(device->CreateQuery(D3DQUERYTYPE_EVENT, nullptr));
    r->synchronous = !queries || CVQCaptureRing::IsForcedSynchronous();
    if (!queries && !g_loggedSynchronous) {
        g_loggedSynchronous = 1;
        LogMessage("Proxydx9: Event queries not supported, the back buffer is copied synchronously\r\n");
    }
    HRESULT hr = D3D_OK;
    if (!r->synchronous) {
        for (int i = 0; i < CVQCaptureRing::kSlots && SUCCEEDED(hr); i++) {
            hr = device->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE, 0, FALSE,
                                            &r->target[i], nullptr);
            if (SUCCEEDED(hr)) hr = device->CreateQuery(D3DQUERYTYPE_EVENT, &r->query[i]);
            if (SUCCEEDED(hr))
                hr = device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                         &r->readback[i], nullptr);
            if (SUCCEEDED(hr)) hr = device->CreateQuery(D3DQUERYTYPE_EVENT, &r->readQuery[i]);
        }
    } else {
        for (int i = 0; i < CVQCaptureRing::kSlots && SUCCEEDED(hr); i++)
            hr = device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                     &r->copy[i], nullptr);
        if (SUCCEEDED(hr) && desc.MultiSampleType != D3DMULTISAMPLE_NONE)
            hr = device->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE, 0, FALSE,
                                            &r->resolve, nullptr);
    }
    if (FAILED(hr)) {
        ReleaseObjects(r);
        return hr;
    }
    for (int i = 0; i < CVQCaptureRing::kSlots; i++) {
        ProxyHudObjectMade(device, r->target[i]);
        ProxyHudObjectMade(device, r->query[i]);
        ProxyHudObjectMade(device, r->copy[i]);
        ProxyHudObjectMade(device, r->readback[i]);
        ProxyHudObjectMade(device, r->readQuery[i]);
    }
    ProxyHudObjectMade(device, r->resolve);
    return hr;
}

Ring9* Data(void* frameData) { return static_cast<Ring9*>(frameData); }
}  // namespace

int CVQCaptureRing::CopyIntoSlot(int slot) {
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
    if (FAILED(hr)) {
        LogMessage("Proxydx9: Failed to get DX9 surface for copy (GetBackBuffer): %d\r\n", static_cast<int>(hr));
        backBuffer->Release();
        return 0;
    }
    m_format = desc.Format;
    m_width = desc.Width;
    m_height = desc.Height;

    Ring9* r = Data(m_frameData);
    if (!r) {
        r = new Ring9();
        m_frameData = r;
    }
    if (r->device != device || r->format != desc.Format || r->width != desc.Width || r->height != desc.Height ||
        r->multisample != desc.MultiSampleType || r->multisampleQuality != desc.MultiSampleQuality) {
        // Copies of another size or device are gone with their surfaces.
        m_first = slot;
        m_count = 0;
        m_locked = 0;
        hr = MakeObjects(r, device, desc);
        if (FAILED(hr)) {
            LogMessage("Proxydx9: Failed to create DX9 surface (CreateImageSurface): %d\r\n", static_cast<int>(hr));
            backBuffer->Release();
            return 0;
        }
        m_synchronous = r->synchronous;
    }

    if (!r->synchronous) {
        hr = device->StretchRect(backBuffer, nullptr, r->target[slot], nullptr, D3DTEXF_NONE);
        backBuffer->Release();
        if (FAILED(hr)) {
            LogMessage("Proxydx9: Failed to copy the back buffer (StretchRect): %d\r\n", static_cast<int>(hr));
            return 0;
        }
        r->query[slot]->Issue(D3DISSUE_END);
        r->reading[slot] = 0;
        return 1;
    }
    IDirect3DSurface9* source = backBuffer;
    if (r->resolve) {
        hr = device->StretchRect(backBuffer, nullptr, r->resolve, nullptr, D3DTEXF_NONE);
        if (FAILED(hr)) {
            LogMessage("Proxydx9: Failed to copy the back buffer (StretchRect): %d\r\n", static_cast<int>(hr));
            backBuffer->Release();
            return 0;
        }
        source = r->resolve;
    }
    hr = device->GetRenderTargetData(source, r->copy[slot]);
    backBuffer->Release();
    if (FAILED(hr)) {
        LogMessage("Proxydx9: Failed to get render target data (GetRenderTargetData): %d\r\n", static_cast<int>(hr));
        return 0;
    }
    return 1;
}

int CVQCaptureRing::IsSlotDone(int slot, int wait) {
    Ring9* r = Data(m_frameData);
    if (!r || !r->device || r->synchronous || wait) return 1;  // reading a device-side copy waits for it
    // No flush: Present has sent the copies on their way; a query that
    // cannot answer (a lost device) lets the lock find out.
    if (!r->reading[slot]) {
        if (r->query[slot]->GetData(nullptr, 0, 0) == S_FALSE) return 0;
        // The surface is still held from the slot's last round: it is
        // unlocked with the next slot's lock, unless this slot is next.
        if (r->held == r->readback[slot]) {
            if (slot != m_first) return 0;
            UnlockHeld(r);
        }
        if (FAILED(r->device->GetRenderTargetData(r->target[slot], r->readback[slot])))
            return 1;  // LockSlot reads again and logs what fails
        r->readQuery[slot]->Issue(D3DISSUE_END);
        r->reading[slot] = 1;
        return 0;
    }
    return r->readQuery[slot]->GetData(nullptr, 0, 0) != S_FALSE;
}

int CVQCaptureRing::LockSlot(int slot, CVKPixels* pixels) {
    Ring9* r = Data(m_frameData);
    if (!r || !r->device) return 0;
    IDirect3DSurface9* surface = r->synchronous ? r->copy[slot] : r->readback[slot];
    if (!r->synchronous && !r->reading[slot]) {  // asked to wait: read it now
        if (r->held == surface) UnlockHeld(r);
        HRESULT hr = r->device->GetRenderTargetData(r->target[slot], r->readback[slot]);
        if (FAILED(hr)) {
            LogMessage("Proxydx9: Failed to get render target data (GetRenderTargetData): %d\r\n",
                       static_cast<int>(hr));
            return 0;
        }
    }
    D3DLOCKED_RECT locked;
    if (FAILED(surface->LockRect(&locked, nullptr, kReadFlags))) return 0;
    UnlockHeld(r);  // right after a lock: the runtime is between commands
    r->locked = surface;
    pixels->Init(CVKPixels::LayoutOfFormat(r->format), r->width, r->height, locked.pBits,
                 static_cast<int32_t>(locked.Pitch * static_cast<int32_t>(r->height)), locked.Pitch, 0);
    return 1;
}

void CVQCaptureRing::UnlockSlot(int) {
    Ring9* r = Data(m_frameData);
    if (!r || !r->locked) return;
    if (r->synchronous) {
        r->locked->UnlockRect();
    } else {
        UnlockHeld(r);  // not expected: a slot is locked only after the held one was let go
        r->held = r->locked;
    }
    r->locked = nullptr;
}

void CVQCaptureRing::ReleaseSlots() {
    Ring9* r = Data(m_frameData);
    if (!r) return;
    ReleaseObjects(r);
    delete r;
    m_frameData = nullptr;
}
