#pragma once
#include <windows.h>
#include <d3d8.h>

// A Direct3D 8 game of our own inside a test or benchmark program: a window
// and a device made through the system runtime and wrapped exactly as the
// proxy wraps a game's (Present goes through the composition point), drawing
// the sample game's scene. Needs a display.
class CVQGameHarness8 {
public:
    CVQGameHarness8();
    ~CVQGameHarness8();
    CVQGameHarness8(const CVQGameHarness8&) = delete;
    CVQGameHarness8& operator=(const CVQGameHarness8&) = delete;

    // Window of the largest size asked for, and a device with a width x height
    // back buffer. 1, or 0 with the reason printed.
    int Start(int width, int height);
    void Stop();
    // The game's release of its device; the count the game sees.
    ULONG ReleaseDevice();

    // Draws frame number `frame` of the sample scene with Clear rectangles.
    void DrawScene(unsigned frame);
    // Presents through the wrapper: the HUD is made, updated and drawn.
    void Present();

    IDirect3DDevice8* Device() const { return m_device; }  // the wrapper
    IDirect3DDevice8* RealDevice() const;                  // the runtime's
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    HWND m_window;
    IDirect3D8* m_d3d;  // the wrapper
    IDirect3DDevice8* m_device;
    int m_width;
    int m_height;
};
