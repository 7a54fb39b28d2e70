#include "ProxyState.h"
#include "VQProcessRuntime.h"

#include <cstring>
#include <map>

#include "VQResource.h"

ProxyState g_proxy;

std::recursive_mutex& ProxyHudLock() {
    static std::recursive_mutex lock;
    return lock;
}

std::mutex& ProxyHookLock() {
    static std::mutex lock;
    return lock;
}

namespace {
std::mutex& HudSurfacesLock() {
    static std::mutex lock;
    return lock;
}
// object -> device it holds a reference on
std::map<IUnknown*, IDirect3DDevice9*>& HudSurfaces() {
    static std::map<IUnknown*, IDirect3DDevice9*> objects;
    return objects;
}
}  // namespace

void ProxyHudObjectMade(IDirect3DDevice9* device, IUnknown* object) {
    if (!object) return;
    std::lock_guard<std::mutex> lock(HudSurfacesLock());
    HudSurfaces()[object] = device;
}

void ProxyHudObjectReleased(IUnknown* object) {
    std::lock_guard<std::mutex> lock(HudSurfacesLock());
    HudSurfaces().erase(object);
}

ULONG ProxyHudDeviceRefs(IDirect3DDevice9* device) {
    std::lock_guard<std::mutex> lock(HudSurfacesLock());
    ULONG count = 0;
    for (const auto& held : HudSurfaces()) count += held.second == device;
    return count;
}

void ProxyResetState(HINSTANCE instance) {
    memset(&g_proxy, 0, sizeof g_proxy);
    g_proxy.pointerPosition = kPointerPositionAtLoad;
    g_proxy.instance = instance;
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
        return true;  // cannot tell: as before
    DWORD n = GetDllDirectoryW(MAX_PATH, directory);
    return VQIsProcessRuntime(false, module, exe, n > 0 && n < MAX_PATH ? directory : nullptr);
}

void ProxyKeepLoaded() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&ProxyKeepLoaded), &self);
}
