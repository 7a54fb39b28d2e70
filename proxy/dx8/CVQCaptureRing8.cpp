// The device side of CVQCaptureRing in the Direct3D 8 frame.
//
// Direct3D 8 has no event queries, so the device cannot be asked whether a
// copy is complete; the ring counts presents instead. Each slot is a
// default-pool render target and a system-memory surface of the back
// buffer's size and format, and a copy goes through three steps, each on a
// later frame than the one before:
//   1. Capture: CopyRects from the back buffer into the slot's render target,
//      queued on the device behind the game's drawing like any other command.
//   2. kCopyBehind presents later, when the device has very likely finished
//      that frame: CopyRects from the render target into the slot's
//      system-memory surface. A runtime that carries it out at once finds the
//      device done with the first copy; one that queues it (as for drawing)
//      carries it out on its own thread.
//   3. kReadBehind presents after that: the system-memory surface is locked
//      for reading. By then the read is very likely done, so the lock does not
//      wait for the frame being drawn; locking a surface whose copy is still
//      queued would wait for everything the device was given before it.
// A runtime may carry out every lock and unlock on a thread of its own that
// works through the device's commands one at a time, so either call waits
// until the command in progress there is finished: a lock made while that
// thread is between commands returns at once, but an unlock made a moment
// later finds it inside the next one (drawing or presenting a whole frame).
// So a slot given back keeps its system-memory surface locked, and it is
// unlocked right after the next slot's lock has returned.
// A device that cannot make the render targets (or when asked) gets
// system-memory slots filled by CopyRects at once, which waits for the device.
// A multisampled back buffer cannot be copied at all in Direct3D 8 (CopyRects
// refuses it and there is no resolving copy): the copy fails, and the
// recorders refuse such a back buffer before they start.
#include <windows.h>
#include <d3d8.h>

#include "CVKPixels.h"
#include "CVQCaptureRing.h"
#include "ProxyState8.h"
#include "VKLog.h"
#include "myIDirect3DDevice8.h"

namespace {
const DWORD kReadFlags = D3DLOCK_READONLY | D3DLOCK_NOSYSLOCK | D3DLOCK_NO_DIRTY_UPDATE;
// Presents between the copy into a render target and its read into system
// memory, and between that read and the lock. Together at most kSlots, so a
// recorder that captures every frame finds a free slot each time.
const LONG kCopyBehind = 1;
const LONG kReadBehind = 2;
static_assert(kCopyBehind + kReadBehind <= CVQCaptureRing::kSlots, "a slot must be free again within kSlots frames");
int g_loggedSynchronous = 0;

struct Ring8 {
    IDirect3DDevice8* device;  // the device the surfaces belong to (no reference held)
    D3DFORMAT format;
    UINT width;
    UINT height;
    int synchronous;
    IDirect3DSurface8* target[CVQCaptureRing::kSlots];    // device-side copies (not when synchronous)
    IDirect3DSurface8* readback[CVQCaptureRing::kSlots];  // system-memory copies, the ones locked
    LONG copiedAt[CVQCaptureRing::kSlots];                // present count when the copy was queued
    LONG readAt[CVQCaptureRing::kSlots];                  // present count when the read was queued
    int reading[CVQCaptureRing::kSlots];                  // the read into readback[] was queued
    IDirect3DSurface8* locked;
    IDirect3DSurface8* held;  // readback[] of the slot given back last, still locked
};

IDirect3DDevice8* CurrentDevice() { return g_proxy8.device ? g_proxy8.device->Real() : nullptr; }

LONG Presents() { return g_proxy8.presentCount; }

// Presents since the count was `at` (the count may wrap).
LONG PresentsSince(LONG at) { return static_cast<LONG>(static_cast<ULONG>(Presents()) - static_cast<ULONG>(at)); }

// Every surface of the ring holds a reference on the device: the device
// wrapper leaves them out of the game's counts.
void SafeRelease(IDirect3DSurface8*& surface) {
    if (surface) {
        ProxyHudObjectReleased(surface);
        surface->Release();
    }
    surface = nullptr;
}

void UnlockHeld(Ring8* r) {
    if (r->held) r->held->UnlockRect();
    r->held = nullptr;
}

void ReleaseObjects(Ring8* r) {
    if (r->locked) r->locked->UnlockRect();
    r->locked = nullptr;
    UnlockHeld(r);
    for (int i = 0; i < CVQCaptureRing::kSlots; i++) {
        SafeRelease(r->target[i]);
        SafeRelease(r->readback[i]);
        r->reading[i] = 0;
    }
    r->device = nullptr;
}

HRESULT MakeSlots(Ring8* r, IDirect3DDevice8* device, const D3DSURFACE_DESC& desc, int synchronous) {
    HRESULT hr = D3D_OK;
    for (int i = 0; i < CVQCaptureRing::kSlots && SUCCEEDED(hr); i++) {
        if (!synchronous) {
            hr = device->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE, FALSE,
                                            &r->target[i]);
            if (SUCCEEDED(hr) && r->target[i]) ProxyHudObjectMade(device, r->target[i]);
        }
        if (SUCCEEDED(hr)) {
            hr = device->CreateImageSurface(desc.Width, desc.Height, desc.Format, &r->readback[i]);
            if (SUCCEEDED(hr) && r->readback[i]) ProxyHudObjectMade(device, r->readback[i]);
        }
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
            LogMessage(
                "Proxydx8: Render targets for copies not available, the back buffer is copied synchronously\r\n");
        }
        hr = MakeSlots(r, device, desc, 1);
    }
    if (FAILED(hr)) ReleaseObjects(r);
    return hr;
}

// Queues the read of the slot's render target into its system-memory surface.
HRESULT StartRead(Ring8* r, int slot) {
    HRESULT hr = r->device->CopyRects(r->target[slot], nullptr, 0, r->readback[slot], nullptr);
    if (SUCCEEDED(hr)) {
        r->reading[slot] = 1;
        r->readAt[slot] = Presents();
    }
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
    if (r->synchronous) {
        // The slot's surface is read at once; the one given back last is let
        // go first if it is this one (a locked surface is no copy target).
        if (r->held == r->readback[slot]) UnlockHeld(r);
        hr = device->CopyRects(backBuffer, nullptr, 0, r->readback[slot], nullptr);
    } else {
        hr = device->CopyRects(backBuffer, nullptr, 0, r->target[slot], nullptr);
    }
    backBuffer->Release();
    if (FAILED(hr)) {
        LogMessage("Proxydx8: Failed to get render target data (GetRenderTargetData): %d\r\n", static_cast<int>(hr));
        return 0;
    }
    r->copiedAt[slot] = Presents();
    r->reading[slot] = r->synchronous;
    return 1;
}

int CVQCaptureRing::IsSlotDone(int slot, int wait) {
    Ring8* r = Data(m_frameData);
    if (!r || !r->device || r->synchronous || wait) return 1;  // reading a device-side copy waits for it
    if (r->reading[slot]) return PresentsSince(r->readAt[slot]) >= kReadBehind;
    if (PresentsSince(r->copiedAt[slot]) < kCopyBehind) return 0;
    // The surface is still held from the slot's last round: it is unlocked
    // with the next slot's lock, unless this slot is next.
    if (r->held == r->readback[slot]) {
        if (slot != m_first) return 0;
        UnlockHeld(r);
    }
    if (FAILED(StartRead(r, slot))) return 1;  // LockSlot reads again and logs what fails
    return 0;
}

int CVQCaptureRing::LockSlot(int slot, CVKPixels* pixels) {
    Ring8* r = Data(m_frameData);
    if (!r || !r->device || !r->readback[slot]) return 0;
    IDirect3DSurface8* surface = r->readback[slot];
    if (!r->reading[slot]) {  // asked to wait: read it now
        if (r->held == surface) UnlockHeld(r);
        HRESULT hr = StartRead(r, slot);
        if (FAILED(hr)) {
            LogMessage("Proxydx8: Failed to get render target data (GetRenderTargetData): %d\r\n",
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

void CVQCaptureRing::UnlockSlot(int slot) {
    Ring8* r = Data(m_frameData);
    if (!r || !r->locked) return;
    UnlockHeld(r);  // not expected: a slot is locked only after the held one was let go
    r->held = r->locked;
    r->locked = nullptr;
    r->reading[slot] = 0;
}

void CVQCaptureRing::ReleaseSlots() {
    Ring8* r = Data(m_frameData);
    if (!r) return;
    ReleaseObjects(r);
    delete r;
    m_frameData = nullptr;
}
