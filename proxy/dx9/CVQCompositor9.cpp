#include "CVQCompositor9.h"

#include "CVQHUD.h"
#include "CVQMouseRelay9.h"
#include "CVQSurface.h"
#include "CVQWindow.h"
#include "ProxyInput.h"
#include "ProxyState.h"
#include "VQFrameHud.h"
#include "VQFrameMath.h"

void CVQCompositor9::ComposeFrame(IDirect3DDevice9* device, IDirect3DSwapChain9* swapChain, uint32_t* pointerColor) {
    std::lock_guard<std::recursive_mutex> lock(ProxyHudLock());
    bool pointer = false;
    CVQHUD* hud = VQUpdateFrameHud(swapChain ? "Proxydx9: First Present (swap chain 0): creating the HUD\r\n"
                                             : "Proxydx9: First Present (device): creating the HUD\r\n",
                                   &pointer);
    if (!hud) return;  // nothing shows: the back buffer is left alone

    IDirect3DSurface9* backBuffer = nullptr;
    HRESULT hr = swapChain ? swapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer)
                           : device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer);
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
        if (!window->PrepareSurface()) continue;  // not drawn this frame
        CVQSurface* surface = window->GetSurface();
        IDirect3DSurface9* source = static_cast<IDirect3DSurface9*>(surface->Handle());
        if (!source) continue;
        VQRect src, dst;
        if (!VQClipToBackBuffer(window->GetX(), window->GetY(), static_cast<int32_t>(surface->Width()),
                                static_cast<int32_t>(surface->Height()), desc.Width, desc.Height, &src, &dst))
            continue;
        RECT s = {src.left, src.top, src.right, src.bottom};
        RECT d = {dst.left, dst.top, dst.right, dst.bottom};
        // A refused copy leaves the game's pixels; nothing else to undo.
        device->StretchRect(source, &s, backBuffer, &d, D3DTEXF_POINT);
    }

    if (pointer && desc.Width >= 4 && desc.Height >= 4) {
        // Filled straight into the back buffer: unlike Clear, ColorFill
        // ignores the render target, viewport and scissor rectangle the game
        // left bound, so the pointer lands on the presented frame and never
        // in the game's own targets.
        VQRect rects[3];
        VQPointerRects(hud->PointerX(), hud->PointerY(), desc.Width, desc.Height, rects);
        for (const VQRect& r : rects) {
            RECT rect = {r.left, r.top, r.right, r.bottom};
            device->ColorFill(backBuffer, &rect, *pointerColor);
        }
        *pointerColor = VQNextPointerColor(*pointerColor);
    }
    backBuffer->Release();
}

void CVQCompositor9::DestroyHud() {
    std::lock_guard<std::recursive_mutex> lock(ProxyHudLock());
    if (!VQHud()) return;
    ProxyMouseRelay().Clear();
    VQDestroyHud();
}
