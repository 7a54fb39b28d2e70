#include "CVQHUD.h"

#include "CVQWindow.h"
#include "VKSettings.h"

CVQHUD::CVQHUD()
    : m_focus(nullptr), m_hover(nullptr), m_pointerX(0), m_pointerY(0), m_hotKey(45), m_lonePress(0),
      m_recorderType(0) {
    m_hotKey = static_cast<uint32_t>(VKGetSettingInt("hotkey", "45"));
    m_recorderType = VKGetSettingInt("recorderType", "0");
}

CVQHUD::~CVQHUD() { Shutdown(); }

void CVQHUD::Init() { Shutdown(); }

void CVQHUD::Shutdown() {
    for (int i = 0; i < m_windows.Count(); ++i) {
        CVQWindow* window = static_cast<CVQWindow*>(m_windows.Get(i));
        window->ReleaseSurface();
        delete window;
    }
    m_windows.Clear();
    m_focus = nullptr;
    m_hover = nullptr;
}

void CVQHUD::ReleaseSurfaces() {
    for (int i = 0; i < m_windows.Count(); ++i) static_cast<CVQWindow*>(m_windows.Get(i))->ReleaseSurface();
}

void CVQHUD::Update() {}

bool CVQHUD::IsPointerVisible() { return false; }

int CVQHUD::OnKeyboardInput(uint32_t, uint32_t, uint32_t, int*) { return 0; }

int CVQHUD::OnMouseInput(uint32_t, uint32_t, uint32_t position, int*) {
    m_pointerX = static_cast<int16_t>(position & 0xFFFF);
    m_pointerY = static_cast<int16_t>(position >> 16);
    return 0;
}
