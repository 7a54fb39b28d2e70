#include "Sample9DirectInput.h"

#include <cstring>

namespace {
unsigned long Hex(HRESULT hr) { return static_cast<unsigned long>(static_cast<DWORD>(hr)); }

// One read; a device that lost its acquisition is acquired again and read once more.
template <class ReadFn>
bool Get(IDirectInputDevice8A* device, ReadFn read) {
    HRESULT hr = read();
    if (hr == DIERR_INPUTLOST || hr == DIERR_NOTACQUIRED) {
        device->Acquire();
        hr = read();
    }
    return SUCCEEDED(hr);
}
}  // namespace

bool Sample9DirectInput::Open(HWND hwnd, Sample9Options::DirectInputMode mode) {
    mode_ = mode;
    module_ = LoadLibraryA("dinput8.dll");
    typedef HRESULT(WINAPI * CreateFn)(HINSTANCE, DWORD, REFIID, LPVOID*, LPUNKNOWN);
    CreateFn create =
        module_ ? reinterpret_cast<CreateFn>(reinterpret_cast<void*>(GetProcAddress(module_, "DirectInput8Create")))
                : NULL;
    if (!create) {
        say_("error: dinput8.dll has no DirectInput8Create");
        return false;
    }
    HRESULT hr =
        create(GetModuleHandleA(NULL), DIRECTINPUT_VERSION, IID_IDirectInput8A, reinterpret_cast<void**>(&di_), NULL);
    if (FAILED(hr) || !di_) {
        say_("error: DirectInput8Create failed hr=0x%lX", Hex(hr));
        return false;
    }
    if (!OpenDevice(hwnd, GUID_SysKeyboard, &c_dfDIKeyboard, &keyboard_) ||
        !OpenDevice(hwnd, GUID_SysMouse, &c_dfDIMouse, &mouse_))
        return false;
    say_("dinput opened (%s)", mode == Sample9Options::DirectInputState ? "state" : "buffered");
    return true;
}

bool Sample9DirectInput::OpenDevice(HWND hwnd, REFGUID guid, LPCDIDATAFORMAT format, IDirectInputDevice8A** device) {
    HRESULT hr = di_->CreateDevice(guid, device, NULL);
    if (SUCCEEDED(hr)) hr = (*device)->SetDataFormat(format);
    if (SUCCEEDED(hr)) hr = (*device)->SetCooperativeLevel(hwnd, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    if (SUCCEEDED(hr) && mode_ == Sample9Options::DirectInputBuffered) {
        DIPROPDWORD size = {};
        size.diph.dwSize = sizeof size;
        size.diph.dwHeaderSize = sizeof size.diph;
        size.diph.dwHow = DIPH_DEVICE;
        size.dwData = 64;
        hr = (*device)->SetProperty(DIPROP_BUFFERSIZE, &size.diph);
    }
    if (SUCCEEDED(hr)) (*device)->Acquire();  // acquired again by a read that finds it lost
    if (FAILED(hr)) say_("error: DirectInput device set-up failed hr=0x%lX", Hex(hr));
    return SUCCEEDED(hr);
}

void Sample9DirectInput::KeySay(unsigned frame, int dik, bool down) {
    say_("frame %u di key %s dik=0x%02X", frame, down ? "down" : "up", dik);
}

void Sample9DirectInput::Read(unsigned frame) {
    if (!keyboard_ || !mouse_) return;
    if (mode_ == Sample9Options::DirectInputState) {
        BYTE keys[256];
        if (Get(keyboard_, [&] { return keyboard_->GetDeviceState(sizeof keys, keys); })) {
            for (int i = 0; i < 256; ++i)
                if ((keys[i] & 0x80) != (keys_[i] & 0x80)) KeySay(frame, i, (keys[i] & 0x80) != 0);
            memcpy(keys_, keys, sizeof keys_);
        }
        DIMOUSESTATE m;
        if (Get(mouse_, [&] { return mouse_->GetDeviceState(sizeof m, &m); })) {
            if (m.lX || m.lY) say_("frame %u di mouse move %ld,%ld", frame, m.lX, m.lY);
            for (int b = 0; b < 4; ++b)
                if ((m.rgbButtons[b] & 0x80) != (buttons_[b] & 0x80))
                    say_("frame %u di mouse button %d %s", frame, b, (m.rgbButtons[b] & 0x80) ? "down" : "up");
            memcpy(buttons_, m.rgbButtons, sizeof buttons_);
        }
        return;
    }
    DIDEVICEOBJECTDATA data[64];
    DWORD n = 64;
    if (Get(keyboard_, [&] { return keyboard_->GetDeviceData(sizeof data[0], data, &n, 0); }))
        for (DWORD i = 0; i < n; ++i) KeySay(frame, static_cast<int>(data[i].dwOfs), (data[i].dwData & 0x80) != 0);
    n = 64;
    if (Get(mouse_, [&] { return mouse_->GetDeviceData(sizeof data[0], data, &n, 0); })) {
        LONG dx = 0, dy = 0;
        for (DWORD i = 0; i < n; ++i) {
            if (data[i].dwOfs == DIMOFS_X) dx += static_cast<LONG>(data[i].dwData);
            if (data[i].dwOfs == DIMOFS_Y) dy += static_cast<LONG>(data[i].dwData);
            if (data[i].dwOfs >= DIMOFS_BUTTON0 && data[i].dwOfs <= DIMOFS_BUTTON3)
                say_("frame %u di mouse button %lu %s", frame,
                     static_cast<unsigned long>(data[i].dwOfs - DIMOFS_BUTTON0),
                     (data[i].dwData & 0x80) ? "down" : "up");
        }
        if (dx || dy) say_("frame %u di mouse move %ld,%ld", frame, dx, dy);
    }
}

void Sample9DirectInput::Close() {
    for (IDirectInputDevice8A** d : {&keyboard_, &mouse_}) {
        if (!*d) continue;
        (*d)->Unacquire();
        (*d)->Release();
        *d = NULL;
    }
    if (di_) {
        ULONG refs = di_->Release();
        say_("released dinput refs=%lu", refs);
        di_ = NULL;
    }
    if (module_) FreeLibrary(module_);
    module_ = NULL;
}
