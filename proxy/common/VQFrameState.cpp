#include "VQFrameState.h"

#include <cstring>
#include <map>

#include "VKLog.h"
#include "VQProcessRuntime.h"
#include "VQResource.h"

namespace {
// Until a frame resets the state (the library's attach, a test's set-up).
void NoHud() {}
const VQFrameInfo kNoFrame = {"proxy", "Proxy: ", "", "", "", &NoHud};
}  // namespace

VQFrameState g_frame = {&kNoFrame};

void VQFrameResetState(HINSTANCE instance, const VQFrameInfo* info) {
    memset(&g_frame, 0, sizeof g_frame);
    g_frame.info = info ? info : &kNoFrame;
    g_frame.pointerPosition = kPointerPositionAtLoad;
    g_frame.instance = instance;
}

void ProxyStorePresentation(HWND deviceWindow, BOOL windowed, UINT backBufferWidth, UINT backBufferHeight) {
    g_frame.deviceWindow = deviceWindow;
    g_frame.windowed = windowed;
    g_frame.backBufferWidth = backBufferWidth;
    g_frame.backBufferHeight = backBufferHeight;
}

std::recursive_mutex& ProxyHudLock() {
    static std::recursive_mutex lock;
    return lock;
}

std::mutex& ProxyHookLock() {
    static std::mutex lock;
    return lock;
}

namespace {
std::mutex& HudObjectsLock() {
    static std::mutex lock;
    return lock;
}
// object -> device it holds a reference on
std::map<IUnknown*, IUnknown*>& HudObjects() {
    static std::map<IUnknown*, IUnknown*> objects;
    return objects;
}
}  // namespace

void ProxyHudObjectMade(IUnknown* device, IUnknown* object) {
    if (!object) return;
    std::lock_guard<std::mutex> lock(HudObjectsLock());
    HudObjects()[object] = device;
}

void ProxyHudObjectReleased(IUnknown* object) {
    std::lock_guard<std::mutex> lock(HudObjectsLock());
    HudObjects().erase(object);
}

ULONG ProxyHudDeviceRefs(IUnknown* device) {
    std::lock_guard<std::mutex> lock(HudObjectsLock());
    ULONG count = 0;
    for (const auto& held : HudObjects()) count += held.second == device;
    return count;
}

void ProxyAttachEngine(HINSTANCE instance) {
    // The HUD's pictures are resources of this library.
    VQSetResourceModule(instance);
}

namespace {

// A module's full path in its long form (the loader may hold a short one).
bool ModulePath(HMODULE module, wchar_t* path, DWORD size) {
    DWORD n = GetModuleFileNameW(module, path, size);
    if (n == 0 || n >= size) return false;
    wchar_t longPath[MAX_PATH];
    n = GetLongPathNameW(path, longPath, MAX_PATH);
    if (n > 0 && n < MAX_PATH) wcscpy(path, longPath);
    return true;
}

}  // namespace

bool ProxyLoadedAsRuntime(HINSTANCE instance, bool staticImport) {
    if (staticImport) return true;
    wchar_t module[MAX_PATH], exe[MAX_PATH], directory[MAX_PATH];
    if (!ModulePath(instance, module, MAX_PATH) || !ModulePath(nullptr, exe, MAX_PATH))
        return true;  // cannot tell: serve as the runtime
    DWORD n = GetDllDirectoryW(MAX_PATH, directory);
    return VQIsProcessRuntime(false, module, exe, n > 0 && n < MAX_PATH ? directory : nullptr);
}

void ProxyKeepLoaded() {
    HMODULE self = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCWSTR>(&ProxyKeepLoaded), &self))
        return;
    // Where pinning is refused, a reference that is never given back keeps
    // the library loaded through every FreeLibrary the game may call.
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&ProxyKeepLoaded), &self))
        LogMessage("%sWarning: Can't keep the library loaded (%d)\r\n", g_frame.info->logPrefix,
                   static_cast<int>(GetLastError()));
}
