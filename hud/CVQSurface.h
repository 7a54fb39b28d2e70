#pragma once
#include <cstdint>

class CVKPixels;

// One Direct3D surface in the back buffer's pixel format, held by the HUD
// engine: a HUD window keeps one in the default pool as the source of its
// copy onto the back buffer; recorders keep one in system memory as the
// target of the back-buffer copy they encode.
//
// The engine is the same for every Direct3D version: the operations that
// touch the device are implemented by the Direct3D frame the engine is linked
// into (proxy/dx9, proxy/dx8), on the process's current device; engine tests
// link a fake frame. All operations run on the thread that calls Present.
class CVQSurface {
public:
    CVQSurface();
    virtual ~CVQSurface();  // releases the surface
    CVQSurface(const CVQSurface&) = delete;
    CVQSurface& operator=(const CVQSurface&) = delete;

    // --- implemented by the frame ---
    // Default-pool offscreen surface of the given size in the back buffer's format. 1 or 0.
    int Create(uint32_t width, uint32_t height);
    void Release();
    // Locks the whole surface and copies pixels into it. 1 if the unlock succeeded.
    int CopyFrom(const CVKPixels& pixels);
    // Locks the whole surface; pixels becomes a view of the locked memory (not owned).
    int Lock(CVKPixels* pixels, uint32_t flags);
    int Unlock();
    // Copies back buffer 0 into a system-memory surface of its size and format,
    // made again only when the size or format changes. 1 or 0.
    int CopyBackBuffer();
    // Format, size and (when asked) multisample type of back buffer 0. 1 or 0.
    static int GetBackBufferInfo(uint32_t* format, uint32_t* width, uint32_t* height, uint32_t* multisampleType);

    // --- platform-free (hud/CVQSurface.cpp) ---
    // Back-buffer Direct3D format -> codec library pixel format number for the encoders.
    static int MapBackBufferPixelFormat(uint32_t format, int* codecFormat);
    static int BytesPerPixelOfCodecFormat(int codecFormat);

    // The frame's surface interface (IDirect3DSurface9* in the Direct3D 9 frame), or null.
    void* Handle() const { return m_surface; }
    uint32_t Format() const { return m_format; }
    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }

protected:
    void* m_surface;
    uint32_t m_format;
    uint32_t m_width;
    uint32_t m_height;
};
