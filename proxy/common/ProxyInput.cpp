// Input for the HUD in either Direct3D frame: the two window hooks, and the
// exports through which the DirectInput proxy delivers what games read with
// DirectInput. Once that proxy delivers input of a kind, the hook of that kind
// stops feeding the HUD.
#include "ProxyInput.h"

#include <windows.h>

#include "CVQHUD.h"
#include "CVQMouseRelay9.h"
#include "VQFrameState.h"
#include "VKLog.h"
#include "VQFrameMath.h"

namespace {

CVQMouseRelay9 g_relay;

// The hook's screen point on the game's back buffer. Windowed, the point is
// moved by the difference between the window's corner in client and in
// screen coordinates; full screen, the screen is the back buffer.
POINT BackBufferPoint(POINT pt) {
    HWND target = g_frame.deviceWindow ? g_frame.deviceWindow : g_frame.hudFocusWindow;
    if (g_frame.windowed && target) {
        RECT r;
        if (GetWindowRect(target, &r)) {
            POINT corner = {r.left, r.top};
            ScreenToClient(target, &corner);
            pt.x += corner.x - r.left;
            pt.y += corner.y - r.top;
        }
    }
    return pt;
}

// With the hook lock held.
void RemoveHooksLocked() {
    if (g_frame.keyboardHook) {
        UnhookWindowsHookEx(g_frame.keyboardHook);
        g_frame.keyboardHook = nullptr;
    }
    if (g_frame.mouseHook) {
        UnhookWindowsHookEx(g_frame.mouseHook);
        g_frame.mouseHook = nullptr;
    }
}

}  // namespace

CVQMouseRelay9& ProxyMouseRelay() { return g_relay; }

// A keystroke that the game only peeks at (PeekMessage without removing it)
// comes through here with HC_NOREMOVE and again with HC_ACTION when it is
// taken from the queue: the HUD sees it once, when it is taken.
LRESULT CALLBACK ProxyKeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && !g_frame.passive && !g_frame.directInputKeyboardActive) {
        std::unique_lock<std::recursive_mutex> lock(ProxyHudLock());
        if (CVQHUD* hud = VQHud()) {
            UINT message = WM_KEYDOWN | ((static_cast<DWORD>(lParam) >> 31) & 1);
            int handled = 0;
            hud->OnKeyboardInput(message, static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam), &handled);
            g_relay.Publish(hud);   // keys show, hide and move windows
            if (handled) return 1;  // the keystroke does not reach the game
        }
    }
    return CallNextHookEx(g_frame.keyboardHook, code, wParam, lParam);
}

// The system removes a low-level hook that does not return in time, so this
// one never waits for the HUD: while another thread is inside it, the event
// is judged by the HUD's last published layout and queued for that thread.
LRESULT CALLBACK ProxyMouseHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0 && !g_frame.passive && !g_frame.directInputMouseActive) {
        // The structure is the whole chain's: later hooks must see it unchanged.
        const MSLLHOOKSTRUCT* info = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
        const POINT pt = BackBufferPoint(info->pt);
        const uint32_t message = static_cast<uint32_t>(wParam);
        const uint32_t position = VQPackPoint(pt.x, pt.y);
        int handled = 0;
        std::unique_lock<std::recursive_mutex> lock(ProxyHudLock(), std::try_to_lock);
        if (lock.owns_lock()) {
            if (CVQHUD* hud = VQHud()) {
                g_relay.Deliver(hud);  // what came while the HUD was busy goes first
                hud->OnMouseInput(message, info->mouseData, position, &handled);
                g_relay.Publish(hud);
            }
        } else {
            handled = g_relay.Takes(message, pt.x, pt.y) ? 1 : 0;
            g_relay.Queue(message, info->mouseData, position);
        }
        if (handled) return 1;  // withheld from the game
    }
    return CallNextHookEx(g_frame.mouseHook, code, wParam, lParam);
}

void ProxyInstallHooks() {
    std::lock_guard<std::mutex> guard(ProxyHookLock());
    RemoveHooksLocked();  // one pair at a time, so no event is seen twice
    if (!g_frame.directInputMouseActive)
        g_frame.mouseHook = SetWindowsHookExA(WH_MOUSE_LL, ProxyMouseHook, g_frame.instance, 0);
    g_frame.keyboardHook = SetWindowsHookExA(WH_KEYBOARD, ProxyKeyboardHook, g_frame.instance, 0);
}

void ProxyRemoveHooks() {
    std::lock_guard<std::mutex> guard(ProxyHookLock());
    RemoveHooksLocked();
}

void ProxyRemoveHooksIfFree() {
    std::unique_lock<std::mutex> guard(ProxyHookLock(), std::try_to_lock);
    if (guard.owns_lock()) RemoveHooksLocked();
}

extern "C" {

int WINAPI Proxy_KeyboardProcDI(UINT message, UINT virtualKey, UINT keyData, int* out) {
    if (g_frame.passive) return 0;
    std::lock_guard<std::recursive_mutex> lock(ProxyHudLock());
    CVQHUD* hud = VQHud();
    if (message == 78) {  // query: is the HUD taking input now?
        if (hud && out) *out = hud->IsPointerVisible() ? 1 : 0;
        return 0;
    }
    InterlockedExchange(&g_frame.directInputKeyboardActive, 1);
    if (!hud) return 0;
    int handled = 0;
    int result = hud->OnKeyboardInput(message, virtualKey, keyData, &handled);
    g_relay.Publish(hud);
    if (out) *out = handled;
    return result;
}

int WINAPI Proxy_MouseProcDI(UINT message, UINT flags, UINT data, int* handledOut) {
    if (g_frame.passive) return 0;
    // From now on the hook gives the HUD nothing, so no event is seen twice.
    InterlockedExchange(&g_frame.directInputMouseActive, 1);
    {
        std::lock_guard<std::mutex> hooks(ProxyHookLock());
        if (g_frame.mouseHook) {
            LogMessage("%sMouseProcDI() switching to dinput mouse: ", g_frame.info->logPrefix);
            LogMessage((flags & 0x80) ? "abs-coords\r\n" : "rel-coords\r\n");
            UnhookWindowsHookEx(g_frame.mouseHook);
            g_frame.mouseHook = nullptr;
        }
    }
    std::lock_guard<std::recursive_mutex> lock(ProxyHudLock());
    uint32_t position = data;
    if (flags & 0x40) {  // relative motion: move the pointer ourselves
        position = VQMoveRelative(static_cast<uint32_t>(g_frame.pointerPosition), data, g_frame.backBufferWidth,
                                  g_frame.backBufferHeight);
        g_frame.pointerPosition = static_cast<LONG>(position);
    }
    CVQHUD* hud = VQHud();
    if (!hud) return 0;
    int handled = 0;
    int result = hud->OnMouseInput(message, flags, position, &handled);
    g_relay.Publish(hud);
    if (handledOut) *handledOut = handled;
    return result;
}

}  // extern "C"
