#include "CVQDIInputFilter.h"

#include <cstring>

namespace {
const uint32_t kKeyDown = 0x100, kKeyUp = 0x101, kMouseMove = 0x200;

// Keystroke data as a key message's lParam: repeat count 1, scan code,
// extended flag; a release has bits 30 (was down) and 31 (going up).
uint32_t KeyData(uint8_t dik, bool down) {
    uint32_t data = 1u | static_cast<uint32_t>(dik & 0x7F) << 16 | ((dik & 0x80) ? 1u << 24 : 0u);
    return down ? data : data | 1u << 30 | 1u << 31;
}

int16_t Clamp16(int32_t v) { return static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v); }

// Button messages: left, right, middle; further buttons are not HUD input.
bool ButtonMessage(int button, bool down, uint32_t* message) {
    static const uint32_t kDown[3] = {0x201, 0x204, 0x207};
    if (button < 0 || button > 2) return false;
    *message = kDown[button] + (down ? 0 : 1);
    return true;
}
}  // namespace

CVQDIInputFilter::CVQDIInputFilter() { Reset(); }

uint32_t CVQDIInputFilter::ExtendedVirtualKey(uint8_t dik) {
    switch (dik) {
    case 0x9C: return 0x0D;  // keypad Enter: VK_RETURN
    case 0x9D: return 0x11;  // right Ctrl: VK_CONTROL
    case 0xB5: return 0x6F;  // keypad /: VK_DIVIDE
    case 0xB7: return 0x2C;  // SysRq: VK_SNAPSHOT
    case 0xB8: return 0x12;  // right Alt: VK_MENU
    case 0xC5: return 0x13;  // Pause: VK_PAUSE
    case 0xC7: return 0x24;  // VK_HOME
    case 0xC8: return 0x26;  // VK_UP
    case 0xC9: return 0x21;  // VK_PRIOR
    case 0xCB: return 0x25;  // VK_LEFT
    case 0xCD: return 0x27;  // VK_RIGHT
    case 0xCF: return 0x23;  // VK_END
    case 0xD0: return 0x28;  // VK_DOWN
    case 0xD1: return 0x22;  // VK_NEXT
    case 0xD2: return 0x2D;  // VK_INSERT
    case 0xD3: return 0x2E;  // VK_DELETE
    case 0xDB: return 0x5B;  // VK_LWIN
    case 0xDC: return 0x5C;  // VK_RWIN
    case 0xDD: return 0x5D;  // VK_APPS
    default: return 0;
    }
}

void CVQDIInputFilter::Reset() {
    memset(m_keyDown, 0, sizeof m_keyDown);
    memset(m_keyHidden, 0, sizeof m_keyHidden);
    memset(m_buttonDown, 0, sizeof m_buttonDown);
    memset(m_buttonHidden, 0, sizeof m_buttonHidden);
    m_havePosition = false;
    memset(m_last, 0, sizeof m_last);
    memset(m_shown, 0, sizeof m_shown);
}

bool CVQDIInputFilter::KeyEvent(Sink& sink, uint8_t dik, bool down) {
    if ((m_keyDown[dik] != 0) == down) return !m_keyHidden[dik];  // nothing new (a state read saw it already)
    m_keyDown[dik] = down ? 1 : 0;
    const uint32_t vk = sink.VirtualKey(dik);
    if (down) {
        const bool shown = sink.PointerShown();
        const int handled = vk ? sink.Keyboard(kKeyDown, vk, KeyData(dik, true)) : 0;
        m_keyHidden[dik] = (handled || shown) ? 1 : 0;
        return !m_keyHidden[dik];
    }
    if (vk) sink.Keyboard(kKeyUp, vk, KeyData(dik, false));
    const bool hidden = m_keyHidden[dik] != 0;
    m_keyHidden[dik] = 0;
    return !hidden;  // the game sees the release of every press it saw
}

void CVQDIInputFilter::FilterKeyboardState(Sink& sink, uint8_t* state) {
    for (int dik = 0; dik < 256; dik++) {
        const bool down = (state[dik] & 0x80) != 0;
        if (down != (m_keyDown[dik] != 0)) KeyEvent(sink, static_cast<uint8_t>(dik), down);
    }
    for (int dik = 0; dik < 256; dik++)
        if (m_keyHidden[dik]) state[dik] = 0;
}

bool CVQDIInputFilter::MouseMove(Sink& sink, int32_t dx, int32_t dy) {
    const bool shown = sink.PointerShown();
    if (dx || dy) {
        const uint32_t data =
            static_cast<uint16_t>(Clamp16(dx)) | static_cast<uint32_t>(static_cast<uint16_t>(Clamp16(dy))) << 16;
        sink.Mouse(kMouseMove, kRelative, data);  // the HUD never takes a movement from the game
    }
    return !shown;
}

bool CVQDIInputFilter::MouseWheel(Sink& sink) { return !sink.PointerShown(); }

bool CVQDIInputFilter::MouseButton(Sink& sink, int button, bool down) {
    if (button < 0 || button >= kMouseButtons) return true;
    if ((m_buttonDown[button] != 0) == down) return !m_buttonHidden[button];
    m_buttonDown[button] = down ? 1 : 0;
    uint32_t message = 0;
    const bool hudButton = ButtonMessage(button, down, &message);
    if (down) {
        const bool shown = sink.PointerShown();
        const int handled = hudButton ? sink.Mouse(message, kRelative, 0) : 0;  // no movement: at the pointer
        m_buttonHidden[button] = (handled || shown) ? 1 : 0;
        return !m_buttonHidden[button];
    }
    if (hudButton) sink.Mouse(message, kRelative, 0);
    const bool hidden = m_buttonHidden[button] != 0;
    m_buttonHidden[button] = 0;
    return !hidden;
}

void CVQDIInputFilter::FilterMouseState(Sink& sink, int32_t* axes, uint8_t* buttons, int buttonCount, bool absolute) {
    int32_t dx = axes[0], dy = axes[1];
    if (absolute) {
        if (!m_havePosition) {
            m_havePosition = true;
            dx = dy = 0;
            memcpy(m_shown, axes, sizeof m_shown);
        } else {
            dx = axes[0] - m_last[0];
            dy = axes[1] - m_last[1];
        }
        memcpy(m_last, axes, sizeof m_last);
    }
    const bool visible = MouseMove(sink, dx, dy);
    if (absolute) {
        if (visible)
            memcpy(m_shown, axes, sizeof m_shown);
        else
            memcpy(axes, m_shown, sizeof m_shown);  // the game's pointer stays where it saw it last
    } else if (!visible) {
        axes[0] = axes[1] = axes[2] = 0;
    }
    for (int b = 0; b < buttonCount && b < kMouseButtons; b++) {
        const bool down = (buttons[b] & 0x80) != 0;
        if (down != (m_buttonDown[b] != 0)) MouseButton(sink, b, down);
        if (m_buttonHidden[b]) buttons[b] = 0;
    }
}
