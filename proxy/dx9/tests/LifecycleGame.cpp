// A small Direct3D 9 program for the tests of the proxy's life in a process:
// what another program on the desktop gets once the game's keyboard hook has
// mapped our d3d9.dll into it, and how a game that ends abruptly ends.
//
//   lifecycle_game foreign
//       A program that is not the game: makes its window the foreground
//       window, receives a key (the game's keyboard hook runs here), then
//       loads "d3d9.dll" by name, makes a Direct3D object and a device,
//       presents a frame and tells which module each object's code is in.
//   lifecycle_game exit-while-presenting
//       Loads d3d9.dll from its own folder; a second thread makes the device
//       and presents. The main thread plays trace viewer: the first log line
//       the render thread sends while presenting holds that thread inside the
//       proxy, and the main thread calls ExitProcess right there.
//   lifecycle_game free-while-recording
//       Loads d3d9.dll (a test build with the export TestBeginRecording),
//       presents, starts a recording, presents on, then frees the library
//       without releasing its objects and returns from main.
//
// Output: lines "lifecycle: ..." on stdout, flushed at once. Exit code 0 on
// success, 1 when a step fails.
#include <windows.h>
#include <d3d9.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

void Say(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::fputs("lifecycle: ", stdout);
    std::vprintf(fmt, args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    va_end(args);
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

HWND MakeWindow(const char* title, int w, int h) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "LifecycleGameWindow";
    RegisterClassA(&wc);  // fails harmlessly when a second thread registers it again
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW, 0, 0, w, h, nullptr, nullptr,
                                wc.hInstance, nullptr);
    if (!hwnd) return nullptr;
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);
    Pump();
    return hwnd;
}

// The file of the module that holds an address ("?" when none does).
void ModuleOf(const void* address, char* path, DWORD size) {
    HMODULE module = nullptr;
    strcpy(path, "?");
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCSTR>(address), &module))
        GetModuleFileNameA(module, path, size);
}

// The module of a COM object's code: where its table of methods lies.
void CodeOf(const char* what, void* object) {
    char path[MAX_PATH];
    ModuleOf(*static_cast<void**>(object), path, MAX_PATH);
    Say("%s code in %s", what, path);
}

typedef IDirect3D9*(WINAPI* CreateFn)(UINT);

IDirect3DDevice9* MakeDevice(IDirect3D9* d3d, HWND hwnd) {
    D3DPRESENT_PARAMETERS pp = {};
    pp.BackBufferWidth = 320;
    pp.BackBufferHeight = 240;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = hwnd;
    pp.Windowed = TRUE;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    IDirect3DDevice9* device = nullptr;
    HRESULT hr =
        d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, hwnd, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device);
    if (FAILED(hr) || !device) {
        Say("error: CreateDevice failed hr=0x%lX", static_cast<unsigned long>(hr));
        return nullptr;
    }
    return device;
}

HRESULT Frame(IDirect3DDevice9* device, DWORD colour) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0);
    return device->Present(nullptr, nullptr, nullptr, nullptr);
}

HMODULE LoadOwnRuntime() {
    HMODULE module = LoadLibraryA("d3d9.dll");
    char path[MAX_PATH] = "?";
    if (module) GetModuleFileNameA(module, path, MAX_PATH);
    Say("d3d9.dll by name is %s", module ? path : "missing");
    return module;
}

int Foreign() {
    HWND hwnd = MakeWindow("not the game", 320, 240);
    if (!hwnd) {
        Say("error: CreateWindow failed (%lu)", GetLastError());
        return 1;
    }
    // A key for this window: the game's keyboard hook is called on this thread.
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = 'A';
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    if (GetForegroundWindow() != hwnd) Say("warning: not the foreground window");
    SendInput(2, keys, sizeof(INPUT));
    for (int i = 0; i < 20; ++i) {
        Pump();
        Sleep(10);
    }
    char path[MAX_PATH] = "nothing";
    HMODULE mapped = GetModuleHandleA("d3d9.dll");
    if (mapped) GetModuleFileNameA(mapped, path, MAX_PATH);
    Say("after the key d3d9.dll is %s", path);

    HMODULE runtime = LoadOwnRuntime();
    CreateFn create = runtime ? reinterpret_cast<CreateFn>(GetProcAddress(runtime, "Direct3DCreate9")) : nullptr;
    IDirect3D9* d3d = create ? create(D3D_SDK_VERSION) : nullptr;
    if (!d3d) {
        Say("error: no Direct3D object");
        return 1;
    }
    CodeOf("direct3d", d3d);
    IDirect3DDevice9* device = MakeDevice(d3d, hwnd);
    if (!device) return 1;
    CodeOf("device", device);
    for (int i = 0; i < 3; ++i) Frame(device, 0xFF102030);
    Say("released device refs=%lu", device->Release());
    Say("released direct3d refs=%lu", d3d->Release());
    DestroyWindow(hwnd);
    FreeLibrary(runtime);
    Say("done");
    return 0;
}

// --- exit-while-presenting ---

volatile LONG g_presenting = 0;

LRESULT CALLBACK TraceViewer(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // A line sent by the render thread while it presents: it waits inside
    // the proxy for this answer, holding whatever the proxy holds then.
    if (msg == WM_COPYDATA && g_presenting && InSendMessage()) {
        const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        Say("exiting while the render thread logs: %.*s", static_cast<int>(data->cbData),
            static_cast<const char*>(data->lpData));
        ExitProcess(0);
    }
    if (msg == WM_COPYDATA) return TRUE;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

DWORD WINAPI RenderThread(LPVOID runtime) {
    HWND hwnd = MakeWindow("game", 320, 240);
    CreateFn create = reinterpret_cast<CreateFn>(GetProcAddress(static_cast<HMODULE>(runtime), "Direct3DCreate9"));
    IDirect3D9* d3d = create && hwnd ? create(D3D_SDK_VERSION) : nullptr;
    IDirect3DDevice9* device = d3d ? MakeDevice(d3d, hwnd) : nullptr;
    if (!device) {
        Say("error: no device on the render thread");
        ExitProcess(1);
    }
    Say("render thread presents");
    InterlockedExchange(&g_presenting, 1);
    for (unsigned frame = 0;; ++frame) {
        Pump();
        Frame(device, 0xFF000000 | (frame * 0x010203));
    }
}

int ExitWhilePresenting() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TraceViewer;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MfxTraceWindow";
    if (!RegisterClassA(&wc) || !CreateWindowExA(0, wc.lpszClassName, "trace", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                                 wc.hInstance, nullptr)) {
        Say("error: no trace window (%lu)", GetLastError());
        return 1;
    }
    HMODULE runtime = LoadOwnRuntime();
    if (!runtime) return 1;
    if (!CreateThread(nullptr, 0, RenderThread, runtime, 0, nullptr)) return 1;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 60000)
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0) Pump();
    Say("error: the render thread never logged while presenting");
    return 1;
}

// --- free-while-recording ---

int FreeWhileRecording() {
    HWND hwnd = MakeWindow("game", 320, 240);
    HMODULE runtime = LoadOwnRuntime();
    if (!hwnd || !runtime) return 1;
    CreateFn create = reinterpret_cast<CreateFn>(GetProcAddress(runtime, "Direct3DCreate9"));
    typedef int(WINAPI * BeginFn)();
    BeginFn begin = reinterpret_cast<BeginFn>(GetProcAddress(runtime, "TestBeginRecording"));
    if (!create || !begin) {
        Say("error: d3d9.dll lacks Direct3DCreate9 or TestBeginRecording");
        return 1;
    }
    IDirect3D9* d3d = create(D3D_SDK_VERSION);
    IDirect3DDevice9* device = d3d ? MakeDevice(d3d, hwnd) : nullptr;
    if (!device) return 1;
    for (int i = 0; i < 5; ++i) Frame(device, 0xFF203040);
    int started = begin();
    Say("recording started=%d", started);
    if (!started) return 1;
    for (int i = 0; i < 30; ++i) {
        Pump();
        Frame(device, 0xFF000000 | (i * 0x040404));
        Sleep(10);
    }
    // The game keeps its objects and frees the runtime under them.
    FreeLibrary(runtime);
    Say("freed the library");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "";
    int result;
    if (!strcmp(mode, "foreign"))
        result = Foreign();
    else if (!strcmp(mode, "exit-while-presenting"))
        result = ExitWhilePresenting();
    else if (!strcmp(mode, "free-while-recording"))
        result = FreeWhileRecording();
    else {
        Say("usage: lifecycle_game foreign|exit-while-presenting|free-while-recording");
        return 2;
    }
    Say("main returns %d", result);
    return result;
}
