#include "CVQDIHudLink.h"

namespace {
const UINT kPointerQuery = 78;  // KeyboardProcDI: is the HUD taking input now?
}

CVQDIHudLink::CVQDIHudLink() : m_module(nullptr), m_keyboard(nullptr), m_mouse(nullptr) {
    static const char* const kProxies[] = {"d3d9.dll", "d3d8.dll"};
    for (const char* name : kProxies) {
        HMODULE module = nullptr;
        if (!GetModuleHandleExA(0, name, &module) || !module) continue;  // pins the library while linked
        InputProc keyboard =
            reinterpret_cast<InputProc>(reinterpret_cast<void*>(GetProcAddress(module, "KeyboardProcDI")));
        InputProc mouse = reinterpret_cast<InputProc>(reinterpret_cast<void*>(GetProcAddress(module, "MouseProcDI")));
        if (keyboard && mouse) {
            m_module = module;
            m_keyboard = keyboard;
            m_mouse = mouse;
            return;
        }
        FreeLibrary(module);  // the system's runtime: no HUD there
    }
}

CVQDIHudLink::~CVQDIHudLink() {
    if (m_module) FreeLibrary(m_module);
}

int CVQDIHudLink::Keyboard(uint32_t message, uint32_t virtualKey, uint32_t keyData) {
    int handled = 0;
    if (m_keyboard) m_keyboard(message, virtualKey, keyData, &handled);
    return handled;
}

int CVQDIHudLink::Mouse(uint32_t message, uint32_t flags, uint32_t data) {
    int handled = 0;
    if (m_mouse) m_mouse(message, flags, data, &handled);
    return handled;
}

bool CVQDIHudLink::PointerShown() {
    int shown = 0;
    if (m_keyboard) m_keyboard(kPointerQuery, 0, 0, &shown);
    return shown != 0;
}

uint32_t CVQDIHudLink::VirtualKey(uint8_t dik) {
    if (dik & 0x80) return CVQDIInputFilter::ExtendedVirtualKey(dik);
    return MapVirtualKeyA(dik, 1 /* MAPVK_VSC_TO_VK */);
}
