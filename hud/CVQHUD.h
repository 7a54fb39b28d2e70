#pragma once
#include <cstdint>

#include "CVKPtrList.h"
#include "CVKString.h"

class CVQWindow;

// The one object that owns the in-game HUD of a process: its windows and
// their drawing order, the focus, and (as they are built) its components.
// Made by the first presented frame, updated once per frame from Present,
// fed with keyboard and mouse input, destroyed with the device.
class CVQHUD {
public:
    CVQHUD();
    virtual ~CVQHUD();

    virtual void Init();
    virtual void Shutdown();
    // Every Direct3D surface the HUD holds is released (made again on demand).
    virtual void ReleaseSurfaces();
    virtual void Update();
    virtual bool IsPointerVisible();
    virtual int OnKeyboardInput(uint32_t message, uint32_t key, uint32_t keyData, int* handled);
    virtual int OnMouseInput(uint32_t message, uint32_t data, uint32_t position, int* handled);

    // Drawing order: index 0 first, the last entry topmost.
    const CVKPtrList& Windows() const { return m_windows; }
    int32_t PointerX() const { return m_pointerX; }
    int32_t PointerY() const { return m_pointerY; }

private:
    CVKPtrList m_windows;
    CVQWindow* m_focus;
    CVQWindow* m_hover;
    int32_t m_pointerX;
    int32_t m_pointerY;
    uint32_t m_hotKey;
    int m_lonePress;
    int m_recorderType;
};
