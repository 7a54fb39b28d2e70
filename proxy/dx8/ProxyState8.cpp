#include "ProxyState8.h"

#include <cstring>
#include <map>

#include "VQProcessRuntime.h"
#include "VQResource.h"

ProxyState8 g_proxy8;

std::recursive_mutex& Proxy8HudLock() {
    static std::recursive_mutex lock;
    return lock;
}

std::mutex& Proxy8HookLock() {
    static std::mutex lock;
    return lock;
}

namespace {
std::mutex& HudObjectsLock() {
    static std::mutex lock;
    return lock;
}
// object -> device it holds a reference on
std::map<IUnknown*, IDirect3DDevice8*>& HudObjects() {
    static std::map<IUnknown*, IDirect3DDevice8*> objects;
    return objects;
}
}  // namespace

void Proxy8HudObjectMade(IDirect3DDevice8* device, IUnknown* object) {
    if (!object) return;
    std::lock_guard<std::mutex> lock(HudObjectsLock());
    HudObjects()[object] = device;
}

void Proxy8HudObjectReleased(IUnknown* object) {
    std::lock_guard<std::mutex> lock(HudObjectsLock());
    HudObjects().erase(object);
}

ULONG Proxy8HudDeviceRefs(IDirect3DDevice8* device) {
    std::lock_guard<std::mutex> lock(HudObjectsLock());
    ULONG count = 0;
    for (const auto& held : HudObjects()) count += held.second == device;
    return count;
}

void Proxy8ResetState(HINSTANCE instance) {
    memset(&g_proxy8, 0, sizeof g_proxy8);
    g_proxy8.pointerPosition = kProxy8PointerPositionAtLoad;
    g_proxy8.instance = instance;
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

bool Proxy8LoadedAsRuntime(HINSTANCE instance, bool staticImport) {
    if (staticImport) return true;
    wchar_t module[MAX_PATH], exe[MAX_PATH], directory[MAX_PATH];
    if (!ModulePath(instance, module, MAX_PATH) || !ModulePath(nullptr, exe, MAX_PATH))
        return true;  // cannot tell: serve as the runtime
    DWORD n = GetDllDirectoryW(MAX_PATH, directory);
    return VQIsProcessRuntime(false, module, exe, n > 0 && n < MAX_PATH ? directory : nullptr);
}

void Proxy8KeepLoaded() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&Proxy8KeepLoaded), &self);
}
