#include "VQResource.h"

namespace {
HMODULE g_resourceModule = nullptr;

HMODULE ModuleOfThisCode() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&ModuleOfThisCode), &module))
        return GetModuleHandleA(nullptr);
    return module;
}
}  // namespace

void VQSetResourceModule(HMODULE module) { g_resourceModule = module; }

HMODULE VQResourceModule() { return g_resourceModule ? g_resourceModule : ModuleOfThisCode(); }

int VQFindImageResource(int id, const void** data, DWORD* size) {
    if (!data || !size) return 0;
    HMODULE module = VQResourceModule();
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), "BINDATA");
    if (!resource) return 0;
    HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded) return 0;
    DWORD bytes = SizeofResource(module, resource);
    const void* locked = LockResource(loaded);
    if (!locked || bytes == 0) return 0;
    *data = locked;
    *size = bytes;
    return 1;
}
