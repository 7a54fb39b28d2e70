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
//       Loads d3d9.dll (a test build with the exports TestBeginRecording and
//       TestHudAlive), presents, starts a recording, presents on, then frees
//       the library without releasing its objects and returns from main.
//   lifecycle_game release-then-free
//       As above, but releases the device and the Direct3D object before
//       freeing the library.
//   lifecycle_game exit-while-recording
//       As above, but calls ExitProcess with the recording running.
//   lifecycle_game renderer-unloaded | renderer-at-exit
//       As above, but hands the device and the Direct3D object to
//       lifecycle_renderer.dll, which releases them from its DllMain: when
//       the game frees it (then waits, bounded, for the HUD to end), or when
//       the game calls ExitProcess.
//
// Built with LIFECYCLE_D3D8 it is a Direct3D 8 game (d3d8.dll) with the
// recording modes only.
//
// Output: lines "lifecycle: ..." on stdout, flushed at once. Exit code 0 on
// success, 1 when a step fails.
#include <windows.h>
#ifdef LIFECYCLE_D3D8
#include <d3d8.h>
#else
#include <d3d9.h>
#endif

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

#ifndef LIFECYCLE_D3D8
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
#endif

#ifdef LIFECYCLE_D3D8
typedef IDirect3D8 Direct3D;
typedef IDirect3DDevice8 Device;
const char* const kRuntimeFile = "d3d8.dll";
const char* const kCreateName = "Direct3DCreate8";
#else
typedef IDirect3D9 Direct3D;
typedef IDirect3DDevice9 Device;
const char* const kRuntimeFile = "d3d9.dll";
const char* const kCreateName = "Direct3DCreate9";
#endif
typedef Direct3D*(WINAPI* CreateFn)(UINT);

Device* MakeDevice(Direct3D* d3d, HWND hwnd) {
    D3DPRESENT_PARAMETERS pp = {};
    pp.BackBufferWidth = 320;
    pp.BackBufferHeight = 240;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = hwnd;
    pp.Windowed = TRUE;
#ifndef LIFECYCLE_D3D8
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
#endif
    Device* device = nullptr;
    HRESULT hr =
        d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, hwnd, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device);
    if (FAILED(hr) || !device) {
        Say("error: CreateDevice failed hr=0x%lX", static_cast<unsigned long>(hr));
        return nullptr;
    }
    return device;
}

HRESULT Frame(Device* device, DWORD colour) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0);
    return device->Present(nullptr, nullptr, nullptr, nullptr);
}

HMODULE LoadOwnRuntime() {
    HMODULE module = LoadLibraryA(kRuntimeFile);
    char path[MAX_PATH] = "?";
    if (module) GetModuleFileNameA(module, path, MAX_PATH);
    Say("%s by name is %s", kRuntimeFile, module ? path : "missing");
    return module;
}

#ifndef LIFECYCLE_D3D8
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
    CreateFn create =
        runtime ? reinterpret_cast<CreateFn>(reinterpret_cast<void*>(GetProcAddress(runtime, "Direct3DCreate9")))
                : nullptr;
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
    CreateFn create = reinterpret_cast<CreateFn>(
        reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(runtime), "Direct3DCreate9")));
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

#endif  // LIFECYCLE_D3D8

// --- a game that records, then ends in one of several ways ---

typedef int(WINAPI* TestFn)();

struct Game {
    HMODULE runtime;
    Direct3D* d3d;
    Device* device;
};

// An entry of the test build of the proxy.
TestFn TestEntry(HMODULE runtime, const char* name) {
    TestFn fn = reinterpret_cast<TestFn>(reinterpret_cast<void*>(GetProcAddress(runtime, name)));
    if (!fn) Say("error: %s lacks %s", kRuntimeFile, name);
    return fn;
}

// Loads the proxy (its test build), makes a device, presents, starts a
// recording (the HUD's playback thread runs already; the recording adds its
// encoder and sound capture) and presents on.
bool StartRecording(Game* game) {
    HWND hwnd = MakeWindow("game", 320, 240);
    game->runtime = LoadOwnRuntime();
    if (!hwnd || !game->runtime) return false;
    CreateFn create = reinterpret_cast<CreateFn>(reinterpret_cast<void*>(GetProcAddress(game->runtime, kCreateName)));
    TestFn begin = TestEntry(game->runtime, "TestBeginRecording");
    if (!create || !begin) return false;
    game->d3d = create(D3D_SDK_VERSION);
    game->device = game->d3d ? MakeDevice(game->d3d, hwnd) : nullptr;
    if (!game->device) return false;
    for (int i = 0; i < 5; ++i) Frame(game->device, 0xFF203040);
    int started = begin();
    Say("recording started=%d", started);
    if (!started) return false;
    for (int i = 0; i < 30; ++i) {
        Pump();
        Frame(game->device, 0xFF000000 | (i * 0x040404));
        Sleep(10);
    }
    return true;
}

// The game keeps its objects and frees the runtime under them.
int FreeWhileRecording() {
    Game game;
    if (!StartRecording(&game)) return 1;
    FreeLibrary(game.runtime);
    Say("freed the library");
    return 0;
}

// The game releases its objects (the recording ends with the device), then
// frees the runtime.
int ReleaseThenFree() {
    Game game;
    if (!StartRecording(&game)) return 1;
    TestFn alive = TestEntry(game.runtime, "TestHudAlive");
    if (!alive) return 1;
    Say("released device refs=%lu", game.device->Release());
    Say("released direct3d refs=%lu", game.d3d->Release());
    Say("hud alive after the release=%d", alive());
    FreeLibrary(game.runtime);
    Say("freed the library");
    return 0;
}

// The game ends its process while the recording runs, device alive.
int ExitWhileRecording() {
    Game game;
    if (!StartRecording(&game)) return 1;
    Say("exiting while recording");
    ExitProcess(0);
}

// A library of the game holds the device and the Direct3D object and
// releases them from its DllMain: unloaded by the game (the HUD must still
// end, with its recording, once the loader lock is free), or at process exit.
int RendererReleases(bool atExit) {
    Game game;
    if (!StartRecording(&game)) return 1;
    TestFn alive = TestEntry(game.runtime, "TestHudAlive");
    HMODULE renderer = LoadLibraryA("lifecycle_renderer.dll");
    typedef void (*KeepFn)(IUnknown*, IUnknown*);
    KeepFn keep =
        renderer ? reinterpret_cast<KeepFn>(reinterpret_cast<void*>(GetProcAddress(renderer, "KeepObjects"))) : nullptr;
    if (!alive || !keep) {
        Say("error: no lifecycle_renderer.dll with KeepObjects");
        return 1;
    }
    keep(game.device, game.d3d);
    if (atExit) {
        Say("exiting while the renderer holds the device");
        ExitProcess(0);
    }
    FreeLibrary(renderer);
    Say("unloaded the renderer");
    const DWORD start = GetTickCount();
    int running = alive();
    while (running && GetTickCount() - start < 30000) {
        Sleep(20);
        running = alive();
    }
    Say("hud alive after the renderer's unload=%d", running);
    FreeLibrary(game.runtime);
    return running ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "";
    int result;
#ifndef LIFECYCLE_D3D8
    if (!strcmp(mode, "foreign"))
        result = Foreign();
    else if (!strcmp(mode, "exit-while-presenting"))
        result = ExitWhilePresenting();
    else
#endif
        if (!strcmp(mode, "free-while-recording"))
        result = FreeWhileRecording();
    else if (!strcmp(mode, "release-then-free"))
        result = ReleaseThenFree();
    else if (!strcmp(mode, "exit-while-recording"))
        result = ExitWhileRecording();
    else if (!strcmp(mode, "renderer-unloaded"))
        result = RendererReleases(false);
    else if (!strcmp(mode, "renderer-at-exit"))
        result = RendererReleases(true);
    else {
        Say("usage: lifecycle_game foreign|exit-while-presenting|free-while-recording|release-then-free|"
            "exit-while-recording|renderer-unloaded|renderer-at-exit");
        return 2;
    }
    Say("main returns %d", result);
    return result;
}
