// The sample games' DirectInput mode: the keyboard and the mouse read through
// DirectInput 8 once per frame, as games that never look at window messages
// do. Windows only.
#pragma once

#include <windows.h>
#define DIRECTINPUT_VERSION 0x0800
#include <dinput.h>

#include "Sample9Options.h"

// Loads dinput8.dll as a game finds it (a dinput8.dll beside the program
// first) and prints every change it reads, through the game's own printer:
//   "frame N di key down dik=0xNN" / "... up ...", "frame N di mouse move DX,DY",
//   "frame N di mouse button B down" / "... up", "dinput opened (state|buffered)",
//   "released dinput refs=N".
class Sample9DirectInput {
public:
    typedef void (*Printer)(const char* fmt, ...);
    explicit Sample9DirectInput(Printer say) : say_(say) {}
    ~Sample9DirectInput() { Close(); }
    Sample9DirectInput(const Sample9DirectInput&) = delete;
    Sample9DirectInput& operator=(const Sample9DirectInput&) = delete;

    // Creates and acquires the system keyboard and mouse. false after an
    // "error: ..." line.
    bool Open(HWND hwnd, Sample9Options::DirectInputMode mode);
    // Reads both devices once and prints what changed.
    void Read(unsigned frame);
    void Close();

private:
    bool OpenDevice(HWND hwnd, REFGUID guid, LPCDIDATAFORMAT format, IDirectInputDevice8A** device);
    void KeySay(unsigned frame, int dik, bool down);

    Printer say_;
    Sample9Options::DirectInputMode mode_ = Sample9Options::DirectInputOff;
    HMODULE module_ = NULL;
    IDirectInput8A* di_ = NULL;
    IDirectInputDevice8A* keyboard_ = NULL;
    IDirectInputDevice8A* mouse_ = NULL;
    BYTE keys_[256] = {};
    BYTE buttons_[4] = {};
};
