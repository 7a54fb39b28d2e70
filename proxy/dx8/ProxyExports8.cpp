// The Direct3D 8 runtime's entry points as this library exports them (names
// and ordinals in d3d8.def). All but Direct3DCreate8 and the two input
// exports hand the call on to the runtime.
#include <windows.h>
#include <d3d8.h>

#include "ProxyInput8.h"
#include "ProxyRuntime8.h"
#include "ProxyState8.h"
#include "VKLog.h"
#include "myIDirect3D8.h"

namespace {
const char* const kForwardedNames[k8ForwardedCount] = {
    "CheckFullscreen",
    "ValidatePixelShader",
    "ValidateVertexShader",
    "DebugSetMute",
};
}  // namespace

// Logs the export's call (every call, except DebugSetMute, whose first call
// only is logged), then looks its entry up in the runtime on every call (not
// cached). Null when the runtime lacks it (logged).
extern "C" FARPROC Proxy8ResolveForwarded(int index) {
    const char* name = kForwardedNames[index];
    if (g_proxy8.passive) return Proxy8RuntimeProc(name);
    const bool quiet = index == k8DebugSetMute;
    if (!quiet || InterlockedExchange(&g_proxy8.firstCallLogged[index], 1) == 0)
        LogMessage("Proxydx8: %s() call!\r\n", name);
    FARPROC fn = Proxy8RuntimeProc(name);
    if (!fn) LogMessage("Proxydx8: Pointer to original %s function not found ERROR\r\n", name);
    return fn;
}

// Every forwarder hands the caller's whole argument frame over untouched: a
// thunk resolves the entry and jumps to it, so the runtime's function sees
// the game's arguments and removes them itself, however many there are (the
// vertex shader validator takes five). When the runtime lacks the entry, the
// thunk returns the default result itself, removing the arguments the entry
// is known to take (stdcall on 32-bit Windows).
#if defined(__i386__)
#define FORWARD_JUMP(name, index, result, argBytes) \
    asm(".text\n"                                   \
        ".globl _Proxy8_" #name                     \
        "\n"                                        \
        "_Proxy8_" #name                            \
        ":\n"                                       \
        "    pushl $" #index                        \
        "\n"                                        \
        "    call _Proxy8ResolveForwarded\n"        \
        "    addl $4, %esp\n"                       \
        "    testl %eax, %eax\n"                    \
        "    jz 1f\n"                               \
        "    jmp *%eax\n"                           \
        "1:  movl $" #result                        \
        ", %eax\n"                                  \
        "    ret $" #argBytes "\n");
#elif defined(__x86_64__)
// The four register arguments are kept across the resolver call; a fifth
// stays where the caller put it on the stack.
#define FORWARD_JUMP(name, index, result, argBytes) \
    asm(".text\n"                                   \
        ".globl Proxy8_" #name                      \
        "\n"                                        \
        "Proxy8_" #name                             \
        ":\n"                                       \
        "    pushq %rcx\n"                          \
        "    pushq %rdx\n"                          \
        "    pushq %r8\n"                           \
        "    pushq %r9\n"                           \
        "    subq $40, %rsp\n"                      \
        "    movl $" #index                         \
        ", %ecx\n"                                  \
        "    call Proxy8ResolveForwarded\n"         \
        "    addq $40, %rsp\n"                      \
        "    popq %r9\n"                            \
        "    popq %r8\n"                            \
        "    popq %rdx\n"                           \
        "    popq %rcx\n"                           \
        "    testq %rax, %rax\n"                    \
        "    jz 1f\n"                               \
        "    jmp *%rax\n"                           \
        "1:  movl $" #result                        \
        ", %eax\n"                                  \
        "    ret\n");
#else
#error "unsupported architecture"
#endif

FORWARD_JUMP(CheckFullscreen, 0, 1, 0)
FORWARD_JUMP(ValidatePixelShader, 1, 1, 16)
FORWARD_JUMP(ValidateVertexShader, 2, 1, 20)
FORWARD_JUMP(DebugSetMute, 3, 0x80004005, 0)

extern "C" {

IDirect3D8* WINAPI Proxy8_Direct3DCreate8(UINT sdkVersion) {
    typedef IDirect3D8*(WINAPI * Fn)(UINT);
    Fn create = reinterpret_cast<Fn>(reinterpret_cast<void*>(Proxy8RuntimeProc("Direct3DCreate8")));
    if (g_proxy8.passive) return create ? create(sdkVersion) : nullptr;  // the system's object, unwrapped
    if (!create) {
        LogMessage("Proxydx8: Pointer to original D3DCreate8 function not received ERROR\r\n");
        ExitProcess(0);
    }
    IDirect3D8* real = create(sdkVersion);
    if (!real) return nullptr;  // nothing to wrap, and no hooks for a game without Direct3D
    myIDirect3D8* wrapper = new myIDirect3D8(real);
    g_proxy8.d3d = wrapper;
    Proxy8KeepLoaded();  // the game's wrappers, the hooks and the HUD run code of this library
    Proxy8InstallHooks();
    return wrapper;
}

}  // extern "C"
