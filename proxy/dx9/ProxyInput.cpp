// Input for the HUD: the two window hooks, and the exports through which the
// DirectInput proxy delivers what games read with DirectInput. Once that proxy
// delivers input of a kind, the hook of that kind stops feeding the HUD.
#include "ProxyInput.h"

#include <windows.h>

#include "CVQHUD.h"
#include "ProxyState.h"
#include "VKLog.h"
#include "VQFrameMath.h"

LRESULT CALLBACK ProxyKeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0 && !g_proxy.directInputKeyboardActive) {
        std::unique_lock<std::recursive_mutex> lock(ProxyHudLock());
        if (CVQHUD* hud = g_proxy.hud) {
            UINT message = WM_KEYDOWN | ((static_cast<DWORD>(lParam) >> 31) & 1);
            int handled = 0;
            hud->OnKeyboardInput(message, static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam), &handled);
            if (handled) return 1;  // the keystroke does not reach the game
        }
    }
    return CallNextHookEx(g_proxy.keyboardHook, code, wParam, lParam);
}

LRESULT CALLBACK ProxyMouseHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0 && !g_proxy.directInputMouseActive) {
        std::unique_lock<std::recursive_mutex> lock(ProxyHudLock());
        if (CVQHUD* hud = g_proxy.hud) {
            MSLLHOOKSTRUCT* info = reinterpret_cast<MSLLHOOKSTRUCT*>(lParam);
            const D3DPRESENT_PARAMETERS& pp = g_proxy.storedPresentParameters;
            HWND target = pp.hDeviceWindow ? pp.hDeviceWindow : g_proxy.hudFocusWindow;
            if (pp.Windowed && target) {
                // Screen to client: move by the difference between the window's
                // corner in client and in screen coordinates.
                RECT r;
                if (GetWindowRect(target, &r)) {
                    POINT corner = {r.left, r.top};
                    ScreenToClient(target, &corner);
                    info->pt.x += corner.x - r.left;
                    info->pt.y += corner.y - r.top;
                }
            }
            int handled = 0;
            hud->OnMouseInput(static_cast<uint32_t>(wParam), info->mouseData, VQPackPoint(info->pt.x, info->pt.y),
                              &handled);
            if (handled) return 1;  // withheld from the game
        }
    }
    return CallNextHookEx(g_proxy.mouseHook, code, wParam, lParam);
}

void ProxyInstallHooks() {
    ProxyRemoveHooks();  // one pair at a time, so no event is seen twice
    g_proxy.mouseHook = SetWindowsHookExA(WH_MOUSE_LL, ProxyMouseHook, g_proxy.instance, 0);
    g_proxy.keyboardHook = SetWindowsHookExA(WH_KEYBOARD, ProxyKeyboardHook, g_proxy.instance, 0);
}

void ProxyRemoveHooks() {
    if (g_proxy.keyboardHook) {
        UnhookWindowsHookEx(g_proxy.keyboardHook);
        g_proxy.keyboardHook = nullptr;
    }
    if (g_proxy.mouseHook) {
        UnhookWindowsHookEx(g_proxy.mouseHook);
        g_proxy.mouseHook = nullptr;
    }
}

extern "C" {

int WINAPI Proxy_KeyboardProcDI(UINT message, UINT virtualKey, UINT keyData, int* out) {
    std::lock_guard<std::recursive_mutex> lock(ProxyHudLock());
    CVQHUD* hud = g_proxy.hud;
    if (message == 78) {  // query: is the HUD taking input now?
        if (hud && out) *out = hud->IsPointerVisible() ? 1 : 0;
        return 0;
    }
    InterlockedExchange(&g_proxy.directInputKeyboardActive, 1);
    if (!hud) return 0;
    int handled = 0;
    int result = hud->OnKeyboardInput(message, virtualKey, keyData, &handled);
    if (out) *out = handled;
    return result;
}

int WINAPI Proxy_MouseProcDI(UINT message, UINT flags, UINT data, int* handledOut) {
    std::lock_guard<std::recursive_mutex> lock(ProxyHudLock());
    uint32_t position = data;
    if (flags & 0x40) {  // relative motion: move the pointer ourselves
        position = VQMoveRelative(static_cast<uint32_t>(g_proxy.pointerPosition), data,
                                  g_proxy.storedPresentParameters.BackBufferWidth,
                                  g_proxy.storedPresentParameters.BackBufferHeight);
        g_proxy.pointerPosition = static_cast<LONG>(position);
    }
    InterlockedExchange(&g_proxy.directInputMouseActive, 1);
    if (g_proxy.mouseHook) {
        LogMessage("Proxydx9: MouseProcDI() switching to dinput mouse: ");
        LogMessage((flags & 0x80) ? "abs-coords\r\n" : "rel-coords\r\n");
        UnhookWindowsHookEx(g_proxy.mouseHook);
        g_proxy.mouseHook = nullptr;
    }
    CVQHUD* hud = g_proxy.hud;
    if (!hud) return 0;
    int handled = 0;
    int result = hud->OnMouseInput(message, flags, position, &handled);
    if (handledOut) *handledOut = handled;
    return result;
}

}  // extern "C"
