#pragma once
#include <windows.h>

// Loads the frame's system Direct3D runtime once (from the system directory,
// never from the game's folder, where this library itself sits). Ends the
// process when it cannot be loaded: the game cannot run without it.
void LoadSystemRuntime();

// Looks an entry up in the runtime, loading the runtime first if needed.
FARPROC ProxyRuntimeProc(const char* name);

// The entry of a forwarded export in the runtime, looked up on every call
// (not cached); null when the runtime lacks it (logged). The call is logged
// every time, or with everyCall false its first time only (logged: the
// export's flag).
FARPROC ProxyResolveForwarded(const char* name, volatile LONG* logged, bool everyCall);

// An export whose argument list is not fixed hands the caller's whole
// argument frame over untouched: a thunk Proxy_<name> calls the frame's
// resolver ProxyResolveQuiet(index) and jumps to the entry it returns, so the
// runtime's function sees the game's arguments and removes them itself. When
// the runtime lacks the entry, the thunk returns the default result itself,
// removing the arguments the entry is known to take (stdcall on 32-bit
// Windows).
#if defined(__i386__)
#define PROXY_FORWARD_JUMP(name, index, result, argBytes) \
    asm(".text\n"                                         \
        ".globl _Proxy_" #name                            \
        "\n"                                              \
        "_Proxy_" #name                                   \
        ":\n"                                             \
        "    pushl $" #index                              \
        "\n"                                              \
        "    call _ProxyResolveQuiet\n"                   \
        "    addl $4, %esp\n"                             \
        "    testl %eax, %eax\n"                          \
        "    jz 1f\n"                                     \
        "    jmp *%eax\n"                                 \
        "1:  movl $" #result                              \
        ", %eax\n"                                        \
        "    ret $" #argBytes "\n");
#elif defined(__x86_64__)
// The four register arguments are kept across the resolver call; a fifth
// stays where the caller put it on the stack.
#define PROXY_FORWARD_JUMP(name, index, result, argBytes) \
    asm(".text\n"                                         \
        ".globl Proxy_" #name                             \
        "\n"                                              \
        "Proxy_" #name                                    \
        ":\n"                                             \
        "    pushq %rcx\n"                                \
        "    pushq %rdx\n"                                \
        "    pushq %r8\n"                                 \
        "    pushq %r9\n"                                 \
        "    subq $40, %rsp\n"                            \
        "    movl $" #index                               \
        ", %ecx\n"                                        \
        "    call ProxyResolveQuiet\n"                    \
        "    addq $40, %rsp\n"                            \
        "    popq %r9\n"                                  \
        "    popq %r8\n"                                  \
        "    popq %rdx\n"                                 \
        "    popq %rcx\n"                                 \
        "    testq %rax, %rax\n"                          \
        "    jz 1f\n"                                     \
        "    jmp *%rax\n"                                 \
        "1:  movl $" #result                              \
        ", %eax\n"                                        \
        "    ret\n");
#else
#error "unsupported architecture"
#endif
