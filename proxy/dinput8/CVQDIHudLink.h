#pragma once
#include <windows.h>

#include "CVQDIInputFilter.h"

// The HUD as the DirectInput proxy reaches it: the KeyboardProcDI and
// MouseProcDI exports of the Direct3D proxy loaded in this process (the
// Direct3D 9 one, else the Direct3D 8 one). A link is made for each read of
// the game; while it is attached the proxy library is pinned, so a game that
// frees it meanwhile cannot pull the code from under the call.
class CVQDIHudLink : public CVQDIInputFilter::Sink {
public:
    CVQDIHudLink();
    ~CVQDIHudLink();
    CVQDIHudLink(const CVQDIHudLink&) = delete;
    CVQDIHudLink& operator=(const CVQDIHudLink&) = delete;

    // Whether a Direct3D proxy with the input exports is loaded (then linked).
    bool Attached() const { return m_module != nullptr; }

    int Keyboard(uint32_t message, uint32_t virtualKey, uint32_t keyData) override;
    int Mouse(uint32_t message, uint32_t flags, uint32_t data) override;
    bool PointerShown() override;
    uint32_t VirtualKey(uint8_t dik) override;

private:
    typedef int(WINAPI* InputProc)(UINT message, UINT value, UINT data, int* out);
    HMODULE m_module;
    InputProc m_keyboard;
    InputProc m_mouse;
};
