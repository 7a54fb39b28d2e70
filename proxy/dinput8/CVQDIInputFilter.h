#pragma once
#include <cstdint>

// What the DirectInput proxy does with the keyboard and mouse input a game
// reads: every change it sees is handed to the HUD as a key or mouse event,
// and the game sees only what the HUD left to it. Free of any platform call,
// so it builds and is tested natively too.
//
// Rules for the game's view:
// - A key or button whose press the HUD consumed, or that went down while
//   the HUD has the pointer, is hidden from the game until it is released
//   (its release is hidden too).
// - A key or button the game saw go down is always seen going up, so
//   nothing sticks in the game when the HUD takes over.
// - While the HUD has the pointer, mouse movement and the wheel read as 0.
//
// One filter serves one device; it is not thread-safe.
class CVQDIInputFilter {
public:
    // The HUD as the filter reaches it (the Direct3D proxy's exports).
    class Sink {
    public:
        // Key event (WM_KEYDOWN or WM_KEYUP, virtual key, keystroke data);
        // non-zero when the HUD consumed it.
        virtual int Keyboard(uint32_t message, uint32_t virtualKey, uint32_t keyData) = 0;
        // Mouse event (message, flags, data); non-zero when consumed.
        virtual int Mouse(uint32_t message, uint32_t flags, uint32_t data) = 0;
        // Whether the HUD has the pointer now (its input goes to the HUD).
        virtual bool PointerShown() = 0;
        // The virtual key of a DirectInput key code (scan code, bit 7 for
        // the extended keys); 0 when there is none.
        virtual uint32_t VirtualKey(uint8_t dik) = 0;

    protected:
        ~Sink() {}
    };

    static constexpr uint32_t kRelative = 0x40;  // mouse data is a movement: dx low 16 bits, dy high
    static constexpr uint32_t kAbsolute = 0x80;  // mouse data is a position
    static constexpr int kMouseButtons = 8;

    CVQDIInputFilter();

    // The virtual key of the extended DirectInput key codes (bit 7 set:
    // Insert, Delete, Home, End, the arrows, right Ctrl and Alt, ...), which
    // the system's scan-code table does not tell apart from the numeric
    // keypad; 0 for every other code.
    static uint32_t ExtendedVirtualKey(uint8_t dik);

    // --- keyboard (DirectInput key codes) ---
    // One key change from the game's buffered data: the HUD hears of it
    // unless it repeats the known state. true: the game sees the record.
    bool KeyEvent(Sink& sink, uint8_t dik, bool down);
    // The game's 256-byte key state: changes go to the HUD, then keys hidden
    // from the game read as up.
    void FilterKeyboardState(Sink& sink, uint8_t* state);

    // --- mouse ---
    // A movement (relative counts) from buffered data or a state read. true:
    // the game sees it.
    bool MouseMove(Sink& sink, int32_t dx, int32_t dy);
    // Wheel movement: the game sees it unless the HUD has the pointer.
    bool MouseWheel(Sink& sink);
    bool MouseButton(Sink& sink, int button, bool down);
    // The game's mouse state (axes x, y, z and `buttons` button bytes):
    // events for the movement and the button changes, then what is hidden
    // from the game is cleared. Absolute axes are turned into movements from
    // the last position seen.
    void FilterMouseState(Sink& sink, int32_t* axes, uint8_t* buttons, int buttonCount, bool absolute);

    // Forgets what was seen (the device was unacquired, or the data format changed).
    void Reset();

private:
    uint8_t m_keyDown[256];    // key state as the HUD was told
    uint8_t m_keyHidden[256];  // press hidden from the game
    uint8_t m_buttonDown[kMouseButtons];
    uint8_t m_buttonHidden[kMouseButtons];
    bool m_havePosition;  // absolute axes: a position was seen
    int32_t m_last[3];    // the last absolute position read
    int32_t m_shown[3];   // the last absolute position the game was shown
};
