#pragma once
#include "VQHarnessFrame.h"  // the frame's Direct3D types (proxy/dx9/harness, proxy/dx8/harness)

// A game of our own inside a test, benchmark or demo program: a window and a
// device made through the system runtime and wrapped exactly as the proxy
// wraps a game's (Present goes through the composition point), drawing the
// sample game's scene. Needs a display. Built with each Direct3D frame, over
// that frame's types.
class CVQGameHarness {
public:
    CVQGameHarness();
    ~CVQGameHarness();
    CVQGameHarness(const CVQGameHarness&) = delete;
    CVQGameHarness& operator=(const CVQGameHarness&) = delete;

    // Window of the largest size asked for, and a device with a width x height
    // back buffer of that format. 1, or 0 with the reason printed.
    int Start(int width, int height, D3DFORMAT format = D3DFMT_X8R8G8B8);
    // Another device on the same window, in the same format (the previous one is released).
    int Reset(int width, int height);
    // The game's Reset of its device, with the presentation parameters it was made with.
    HRESULT ResetDevice();
    void Stop();
    // The game's release of its device; the count the game sees.
    ULONG ReleaseDevice();

    // Draws frame number `frame` of the sample scene with Clear rectangles.
    void DrawScene(unsigned frame);
    // Presents through the wrapper: the HUD is made, updated and drawn.
    void Present();

    VQFrameDevice* Device() const { return m_device; }  // the wrapper
    VQFrameDevice* RealDevice() const;                  // the runtime's
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    D3DFORMAT Format() const { return m_format; }

private:
    D3DPRESENT_PARAMETERS Parameters(int width, int height) const;
    int MakeDevice(int width, int height);

    HWND m_window;
    VQFrameD3D* m_d3d;  // the wrapper
    VQFrameDevice* m_device;
    int m_width;
    int m_height;
    D3DFORMAT m_format;
};
