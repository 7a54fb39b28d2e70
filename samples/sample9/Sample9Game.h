// The sample games' run, the same for every Direct3D version: the window, the
// frame loop with injected and DirectInput input, the second device, the
// reset, drawing and presenting (and a lost device), the read-backs and the
// pacing. The version's Direct3D calls are its subclass's (Sample9.cpp,
// Sample8.cpp). Windows only.
#pragma once

#include <windows.h>

#include "Sample9DirectInput.h"
#include "Sample9Options.h"
#include "Sample9Window.h"

class Sample9Game {
public:
    explicit Sample9Game(const Sample9Options& o) : opts_(o) {}
    virtual ~Sample9Game() {}
    Sample9Game(const Sample9Game&) = delete;
    Sample9Game& operator=(const Sample9Game&) = delete;

    // The exit code: 0 done, 1 after an "error: ..." line.
    int Run();

protected:
    // --- the Direct3D version's; false after an "error: ..." line ---
    // The Direct3D object.
    virtual bool CreateRuntime() = 0;
    // The device that renders, with a width_ x height_ back buffer.
    virtual bool MakeDevice() = 0;
    // --query-interface: asks the objects for the interfaces and prints the answers.
    virtual bool QueryInterfaces() = 0;
    // Releases the device that renders (and what hangs on it), reported;
    // false when the game's last release leaves references.
    virtual bool ReleaseDevice() = 0;
    // --two-devices=concurrent: the device that renders stays alive beside
    // the next one until the end.
    virtual void KeepFirstDevice() = 0;
    // Resets the device to a w x h back buffer (the window already fits it).
    virtual bool ResetDevice(int w, int h) = 0;
    // Called first in every frame.
    virtual void BeginFrame(unsigned frame) {}
    virtual HRESULT DrawFrame(unsigned frame) = 0;
    // --leave-target: binds the game's own render target at the end of the frame.
    virtual bool LeaveTargetBound() = 0;
    virtual HRESULT PresentFrame() = 0;
    // Waits for a lost device and resets it.
    virtual bool RecoverLostDevice() = 0;
    // Probes, dumps and reports of the frame just presented.
    virtual bool AfterPresent(unsigned frame) = 0;
    // At the end: the kept first device (if any), then the Direct3D object,
    // reported; false when references remain.
    virtual bool ReleaseFirstDevice() = 0;
    virtual bool ReleaseRuntime() = 0;
    // Releases what an early return left behind, without reporting it.
    virtual void Cleanup() = 0;

    bool Fail(const char* what, HRESULT hr) {
        Say("error: %s failed hr=0x%lX", what, Hex(hr));
        return false;
    }
    // A windowed game's window takes a client area of w x h.
    void FitWindow(int w, int h);
    // Closes DirectInput and the window (Cleanup).
    void CloseWindow();

    const Sample9Options& opts_;
    HWND hwnd_ = NULL;
    int width_ = 0, height_ = 0;
    Sample9DirectInput directInput_{Say};
};
