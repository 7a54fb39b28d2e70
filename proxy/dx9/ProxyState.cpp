#include "ProxyState.h"

#include <cstring>
#include <cwctype>
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

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Length of a file path's folder, without its last separator.
size_t FolderLength(const wchar_t* path) {
    size_t cut = 0;
    for (size_t i = 0; path[i]; ++i)
        if (IsSeparator(path[i])) cut = i;
    return cut;
}

// A folder's length without trailing separators.
size_t TrimmedLength(const wchar_t* folder) {
    size_t n = wcslen(folder);
    while (n > 0 && IsSeparator(folder[n - 1])) --n;
    return n;
}

// The first n characters of a and b name the same folder: equal without
// regard to case (as the file system compares names), either separator.
bool SameFolder(const wchar_t* a, size_t na, const wchar_t* b, size_t nb) {
    if (na == 0 || na != nb) return false;
    for (size_t i = 0; i < na; ++i) {
        if (IsSeparator(a[i]) && IsSeparator(b[i])) continue;
        if (std::towupper(a[i]) != std::towupper(b[i])) return false;
    }
    return true;
}

}  // namespace

bool ProxyIsProcessRuntime(bool staticImport, const wchar_t* modulePath, const wchar_t* exePath,
                           const wchar_t* dllDirectory) {
    if (staticImport) return true;
    if (!modulePath || !exePath) return false;
    const size_t own = FolderLength(modulePath);
    if (SameFolder(modulePath, own, exePath, FolderLength(exePath))) return true;
    return dllDirectory && SameFolder(modulePath, own, dllDirectory, TrimmedLength(dllDirectory));
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
    return ProxyIsProcessRuntime(false, module, exe, n > 0 && n < MAX_PATH ? directory : nullptr);
}

void ProxyKeepLoaded() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&ProxyKeepLoaded), &self);
}
