#include "CVQCompositor8.h"

#include "CVKPixels.h"
#include "CVQHUD.h"
#include "CVQMouseRelay9.h"
#include "CVQSurface.h"
#include "CVQWindow.h"
#include "ProxyInput.h"
#include "ProxyState8.h"
#include "VKLog.h"
#include "VQFrameHud.h"
#include "VQFrameMath.h"

namespace {

// A small system-memory surface in the back buffer's format, filled with the
// pointer's colour of the frame and copied onto the back buffer as the
// pointer's three rows.
struct PointerSurface {
    IDirect3DSurface8* surface = nullptr;
    IDirect3DDevice8* device = nullptr;
    D3DFORMAT format = D3DFMT_UNKNOWN;
};
PointerSurface g_pointer;

void ReleasePointerSurface() {
    if (g_pointer.surface) {
        ProxyHudObjectReleased(g_pointer.surface);
        g_pointer.surface->Release();
    }
    g_pointer = PointerSurface();
}

// The pointer's surface filled with colour, or null when the format has no
// pixel layout (it could not be filled) or the surface cannot be made.
IDirect3DSurface8* FilledPointerSurface(IDirect3DDevice8* device, D3DFORMAT format, uint32_t colour) {
    const uint32_t layout = CVKPixels::LayoutOfFormat(static_cast<uint32_t>(format));
    if (layout == 0) return nullptr;
    if (!g_pointer.surface || g_pointer.device != device || g_pointer.format != format) {
        ReleasePointerSurface();
        IDirect3DSurface8* surface = nullptr;
        HRESULT hr = device->CreateImageSurface(3, 1, format, &surface);
        if (FAILED(hr) || !surface) {
            LogMessage("Proxydx8: Failed to create DX8 surface (CreateImageSurface): %d\r\n", static_cast<int>(hr));
            return nullptr;
        }
        ProxyHudObjectMade(device, surface);
        g_pointer.surface = surface;
        g_pointer.device = device;
        g_pointer.format = format;
    }
    D3DLOCKED_RECT locked;
    if (FAILED(g_pointer.surface->LockRect(&locked, nullptr, 0))) return nullptr;
    CVKPixels pixels;
    pixels.Init(layout, 3, 1, locked.pBits, locked.Pitch, locked.Pitch, 0);
    pixels.Fill(colour);
    return SUCCEEDED(g_pointer.surface->UnlockRect()) ? g_pointer.surface : nullptr;
}

}  // namespace

void CVQCompositor8::ComposeFrame(IDirect3DDevice8* device, uint32_t* pointerColor) {
    std::lock_guard<std::recursive_mutex> lock(ProxyHudLock());
    bool pointer = false;
    CVQHUD* hud = VQUpdateFrameHud("Proxydx8: First Present (device): creating the HUD\r\n", &pointer);
    if (!hud) return;  // nothing shows: the back buffer is left alone

    IDirect3DSurface8* backBuffer = nullptr;
    HRESULT hr = device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer);
    if (FAILED(hr) || !backBuffer) return;  // nothing composed; the frame is still shown
    D3DSURFACE_DESC desc;
    if (FAILED(backBuffer->GetDesc(&desc))) {
        backBuffer->Release();
        return;
    }

    const CVKPtrList& windows = hud->Windows();
    for (int i = 0; i < windows.Count(); ++i) {
        CVQWindow* window = static_cast<CVQWindow*>(windows.Get(i));
        if (!window || !window->IsVisible()) continue;
        CVQSurface* surface = window->GetSurface();
        // CopyRects does not convert: a surface made for another back-buffer
        // format (a new device) is made again in this one.
        if (surface->Handle() && surface->Format() != static_cast<uint32_t>(desc.Format)) window->ReleaseSurface();
        if (!window->PrepareSurface()) continue;  // not drawn this frame
        IDirect3DSurface8* source = static_cast<IDirect3DSurface8*>(surface->Handle());
        if (!source) continue;
        VQRect src, dst;
        if (!VQClipToBackBuffer(window->GetX(), window->GetY(), static_cast<int32_t>(surface->Width()),
                                static_cast<int32_t>(surface->Height()), desc.Width, desc.Height, &src, &dst))
            continue;
        RECT s = {src.left, src.top, src.right, src.bottom};
        POINT d = {dst.left, dst.top};
        // A refused copy leaves the game's pixels; nothing else to undo.
        device->CopyRects(source, &s, 1, backBuffer, &d);
    }

    if (pointer && desc.Width >= 4 && desc.Height >= 4) {
        if (IDirect3DSurface8* fill = FilledPointerSurface(device, desc.Format, *pointerColor)) {
            VQRect rects[3];
            VQPointerRects(hud->PointerX(), hud->PointerY(), desc.Width, desc.Height, rects);
            RECT sources[3];
            POINT points[3];
            for (int i = 0; i < 3; ++i) {
                sources[i] = {0, 0, rects[i].right - rects[i].left, 1};
                points[i] = {rects[i].left, rects[i].top};
            }
            device->CopyRects(fill, sources, 3, backBuffer, points);
        }
        *pointerColor = VQNextPointerColor(*pointerColor);
    }
    backBuffer->Release();
}

void CVQCompositor8::ReleaseSurfaces() {
    std::lock_guard<std::recursive_mutex> lock(ProxyHudLock());
    if (CVQHUD* hud = VQHud()) hud->ReleaseSurfaces();
    ReleasePointerSurface();
}

void CVQCompositor8::DestroyHud() {
    std::lock_guard<std::recursive_mutex> lock(ProxyHudLock());
    ReleasePointerSurface();
    if (!VQHud()) return;
    ProxyMouseRelay().Clear();
    VQDestroyHud();
}
