// The members of CVQSurface that both Direct3D frames implement alike. The
// surface is whichever surface interface the frame made (registered with
// ProxyHudObjectMade); every one of them is a COM object, released through
// IUnknown.
#include <windows.h>

#include "CVKPixels.h"
#include "CVQSurface.h"
#include "VQFrameState.h"

CVQSurface::CVQSurface() : m_surface(nullptr), m_format(0), m_width(0), m_height(0) {}

CVQSurface::~CVQSurface() { Release(); }

void CVQSurface::Release() {
    if (m_surface) {
        IUnknown* surface = static_cast<IUnknown*>(m_surface);
        ProxyHudObjectReleased(surface);
        surface->Release();
    }
    m_surface = nullptr;
    m_format = 0;
    m_width = 0;
    m_height = 0;
}

int CVQSurface::CopyFrom(const CVKPixels& pixels) {
    // A format without a pixel layout (10-bit channels, say) cannot be
    // written: the surface would keep whatever memory it was made with.
    if (CVKPixels::LayoutOfFormat(m_format) == 0) return 0;
    // A whole picture may replace the surface's memory (the lock flag
    // D3DLOCK_DISCARD, the same value in both versions; a frame honours it
    // only where the surface allows it); a smaller one keeps the rest.
    const uint32_t kDiscard = 0x2000;
    CVKPixels target;
    if (!Lock(&target, pixels.Width() == m_width && pixels.Height() == m_height ? kDiscard : 0)) return 0;
    int copied = target.CopyFrom(pixels);
    int unlocked = Unlock();
    return copied && unlocked ? 1 : 0;
}
