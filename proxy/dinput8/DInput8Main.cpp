// The DirectInput 8 proxy: placed as dinput8.dll in a game's folder, it
// forwards every export of the system's DirectInput 8 library (loaded from
// the system folder on first use) and wraps the DirectInput objects the game
// creates, so the HUD of the Direct3D proxy gets the keyboard and mouse input
// of games that read them through DirectInput (CVQDirectInputDevice8).
#include <windows.h>
#include <dinput.h>

#include <cstring>

#include "CVQDirectInput8.h"
#include "Forward_IDirectInput8A.h"
#include "Forward_IDirectInput8W.h"
#include "Forward_IDirectInputDevice8A.h"
#include "Forward_IDirectInputDevice8W.h"

namespace {

typedef CVQDirectInput8<Forward_IDirectInput8A, IID_IDirectInput8A, Forward_IDirectInputDevice8A,
                        IID_IDirectInputDevice8A, LPDIRECTINPUTDEVICE8A>
    DirectInput8A;
typedef CVQDirectInput8<Forward_IDirectInput8W, IID_IDirectInput8W, Forward_IDirectInputDevice8W,
                        IID_IDirectInputDevice8W, LPDIRECTINPUTDEVICE8W>
    DirectInput8W;

HMODULE g_system = nullptr;

// The system's library, loaded by full path so this one is never found again.
HMODULE SystemLibrary() {
    HMODULE module =
        static_cast<HMODULE>(InterlockedCompareExchangePointer(reinterpret_cast<void**>(&g_system), nullptr, nullptr));
    if (module) return module;
    char path[MAX_PATH];
    const UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n + strlen("\\dinput8.dll") >= MAX_PATH) return nullptr;
    strcat(path, "\\dinput8.dll");
    module = LoadLibraryA(path);
    if (!module) return nullptr;
    HMODULE previous =
        static_cast<HMODULE>(InterlockedCompareExchangePointer(reinterpret_cast<void**>(&g_system), module, nullptr));
    if (previous) {  // another thread was first
        FreeLibrary(module);
        return previous;
    }
    return module;
}

template <class Fn>
Fn SystemEntry(const char* name) {
    HMODULE module = SystemLibrary();
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    // At FreeLibrary (not at process end, where the order of unloading is
    // the system's) the system library is let go too.
    if (reason == DLL_PROCESS_DETACH && !reserved && g_system) FreeLibrary(g_system);
    return TRUE;
}

HRESULT WINAPI Proxy_DirectInput8Create(HINSTANCE instance, DWORD version, REFIID riid, LPVOID* out, LPUNKNOWN outer) {
    typedef HRESULT(WINAPI * Fn)(HINSTANCE, DWORD, REFIID, LPVOID*, LPUNKNOWN);
    Fn create = SystemEntry<Fn>("DirectInput8Create");
    if (!create) return E_FAIL;
    const HRESULT hr = create(instance, version, riid, out, outer);
    if (FAILED(hr) || !out || !*out || outer) return hr;
    if (IsEqualGUID(riid, IID_IDirectInput8A))
        *out = static_cast<IDirectInput8A*>(new DirectInput8A(static_cast<IDirectInput8A*>(*out)));
    else if (IsEqualGUID(riid, IID_IDirectInput8W))
        *out = static_cast<IDirectInput8W*>(new DirectInput8W(static_cast<IDirectInput8W*>(*out)));
    return hr;
}

HRESULT WINAPI Proxy_DllCanUnloadNow() {
    typedef HRESULT(WINAPI * Fn)();
    Fn fn = SystemEntry<Fn>("DllCanUnloadNow");
    return fn ? fn() : S_FALSE;
}

HRESULT WINAPI Proxy_DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* out) {
    typedef HRESULT(WINAPI * Fn)(REFCLSID, REFIID, LPVOID*);
    Fn fn = SystemEntry<Fn>("DllGetClassObject");
    if (!fn) {
        if (out) *out = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return fn(clsid, riid, out);
}

HRESULT WINAPI Proxy_DllRegisterServer() {
    typedef HRESULT(WINAPI * Fn)();
    Fn fn = SystemEntry<Fn>("DllRegisterServer");
    return fn ? fn() : E_FAIL;
}

HRESULT WINAPI Proxy_DllUnregisterServer() {
    typedef HRESULT(WINAPI * Fn)();
    Fn fn = SystemEntry<Fn>("DllUnregisterServer");
    return fn ? fn() : E_FAIL;
}

// Newer systems' library has it; where the system's has none, there is no
// joystick format to give.
const DIDATAFORMAT* WINAPI Proxy_GetdfDIJoystick() {
    typedef const DIDATAFORMAT*(WINAPI * Fn)();
    Fn fn = SystemEntry<Fn>("GetdfDIJoystick");
    return fn ? fn() : nullptr;
}

}  // extern "C"
