#include "Sample9Window.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "Sample9Bmp.h"

namespace {

const char* g_program = "sample";
const char kWindowClass[] = "Sample9Window";
bool g_quit = false;
LPARAM g_lastMove = -1;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
    switch (msg) {
    case WM_KEYDOWN: Say("got WM_KEYDOWN vk=%u", static_cast<unsigned>(wp)); return 0;
    case WM_KEYUP: Say("got WM_KEYUP vk=%u", static_cast<unsigned>(wp)); return 0;
    case WM_SYSKEYDOWN: Say("got WM_SYSKEYDOWN vk=%u", static_cast<unsigned>(wp)); break;
    case WM_SYSKEYUP: Say("got WM_SYSKEYUP vk=%u", static_cast<unsigned>(wp)); break;
    case WM_LBUTTONDOWN: Say("got WM_LBUTTONDOWN x=%d y=%d", x, y); return 0;
    case WM_LBUTTONUP: Say("got WM_LBUTTONUP x=%d y=%d", x, y); return 0;
    case WM_RBUTTONDOWN: Say("got WM_RBUTTONDOWN x=%d y=%d", x, y); return 0;
    case WM_RBUTTONUP: Say("got WM_RBUTTONUP x=%d y=%d", x, y); return 0;
    case WM_MOUSEMOVE:
        // Only real movement: the system repeats WM_MOUSEMOVE at one place.
        if (lp != g_lastMove) {
            g_lastMove = lp;
            Say("got WM_MOUSEMOVE x=%d y=%d", x, y);
        }
        return 0;
    case WM_CLOSE:
        g_quit = true;  // the main loop releases everything and destroys the window
        return 0;
    case WM_ERASEBKGND: return 1;  // Direct3D paints the whole client area
    default: break;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

bool IsExtendedKey(unsigned vk) {
    switch (vk) {
    case VK_INSERT:
    case VK_DELETE:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_RCONTROL:
    case VK_RMENU:
    case VK_DIVIDE:
    case VK_NUMLOCK:
    case VK_LWIN:
    case VK_RWIN:
    case VK_APPS:
    case VK_SNAPSHOT: return true;
    default: return false;
    }
}

INPUT KeyInput(unsigned vk, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = static_cast<WORD>(vk);
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, 0 /* MAPVK_VK_TO_VSC */));
    in.ki.dwFlags = (IsExtendedKey(vk) ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
    return in;
}

// Absolute mouse coordinates run 0..65535 over the primary screen; rounding
// up makes the system's mapping back land on exactly this pixel.
LONG NormalizedCoord(LONG v, int extent) {
    if (extent <= 0) return 0;
    long long n = (static_cast<long long>(v) * 65536 + extent - 1) / extent;
    return static_cast<LONG>(std::max(0LL, std::min(65535LL, n)));
}

INPUT MouseInput(POINT screen, DWORD flags) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = NormalizedCoord(screen.x, GetSystemMetrics(SM_CXSCREEN));
    in.mi.dy = NormalizedCoord(screen.y, GetSystemMetrics(SM_CYSCREEN));
    in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    return in;
}

void Stats(std::vector<double> v, double& mean, double& median) {
    mean = median = 0.0;
    if (v.empty()) return;
    double sum = 0.0;
    for (double d : v) sum += d;
    mean = sum / static_cast<double>(v.size());
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

struct BenchRuntime {
    const char* name;
    std::string path;
    HMODULE module;
    FARPROC create;
    std::vector<double> frameMs;  // every frame of every round
    std::vector<double> roundMedians;
};

}  // namespace

void SetSampleProgram(const char* name) { g_program = name; }

void Say(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::fputs(g_program, stdout);
    std::fputs(": ", stdout);
    std::vprintf(fmt, args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    va_end(args);
}

unsigned long Hex(HRESULT hr) { return static_cast<unsigned long>(static_cast<DWORD>(hr)); }

bool SampleQuitting() { return g_quit; }

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) g_quit = true;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

const DWORD kWindowedStyle = WS_OVERLAPPEDWINDOW;

// Window rectangle that puts a client area of w x h at the screen's top-left.
RECT WindowedRect(int w, int h) {
    RECT rc = {0, 0, w, h};
    AdjustWindowRect(&rc, kWindowedStyle, FALSE);
    return rc;
}

HWND CreateGameWindow(bool fullscreenWindow, int w, int h) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return NULL;
    HWND hwnd;
    if (fullscreenWindow) {
        hwnd = CreateWindowExA(0, kWindowClass, g_program, WS_POPUP, 0, 0, w, h, NULL, NULL, wc.hInstance, NULL);
    } else {
        RECT rc = WindowedRect(w, h);
        hwnd = CreateWindowExA(0, kWindowClass, g_program, kWindowedStyle, rc.left, rc.top, rc.right - rc.left,
                               rc.bottom - rc.top, NULL, NULL, wc.hInstance, NULL);
    }
    if (!hwnd) return NULL;
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);
    PumpMessages();
    return hwnd;
}

void ReportWindow(HWND hwnd) {
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    RECT client;
    GetClientRect(hwnd, &client);
    Say("window client at %ld,%ld size %ldx%ld", origin.x, origin.y, client.right, client.bottom);
}

bool InjectInput(HWND hwnd, const Sample9Action& a) {
    // Keys go to the foreground window and clicks to the topmost window under
    // the pointer: make sure that is this game, as it is for a player.
    if (GetForegroundWindow() != hwnd) {
        BringWindowToTop(hwnd);
        SetForegroundWindow(hwnd);
        SetFocus(hwnd);
        PumpMessages();
        if (GetForegroundWindow() != hwnd)
            Say("warning: the game window is not in the foreground; injected input may go elsewhere");
    }
    std::vector<INPUT> inputs;
    switch (a.kind) {
    case Sample9Action::Key:
        inputs.push_back(KeyInput(a.vk, false));
        inputs.push_back(KeyInput(a.vk, true));
        break;
    case Sample9Action::KeyDown: inputs.push_back(KeyInput(a.vk, false)); break;
    case Sample9Action::KeyUp: inputs.push_back(KeyInput(a.vk, true)); break;
    case Sample9Action::Click:
    case Sample9Action::RClick:
    case Sample9Action::Move: {
        POINT pt = {a.x, a.y};
        ClientToScreen(hwnd, &pt);
        SetCursorPos(pt.x, pt.y);
        inputs.push_back(MouseInput(pt, 0));
        if (a.kind == Sample9Action::Click) {
            inputs.push_back(MouseInput(pt, MOUSEEVENTF_LEFTDOWN));
            inputs.push_back(MouseInput(pt, MOUSEEVENTF_LEFTUP));
        } else if (a.kind == Sample9Action::RClick) {
            inputs.push_back(MouseInput(pt, MOUSEEVENTF_RIGHTDOWN));
            inputs.push_back(MouseInput(pt, MOUSEEVENTF_RIGHTUP));
        }
        break;
    }
    case Sample9Action::RelativeMove: {
        INPUT in = {};
        in.type = INPUT_MOUSE;
        in.mi.dx = a.x;
        in.mi.dy = a.y;
        in.mi.dwFlags = MOUSEEVENTF_MOVE;
        inputs.push_back(in);
        break;
    }
    }
    UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    // Input and hooks arrive through this thread's queue: give them a moment.
    for (int i = 0; i < 5; ++i) {
        PumpMessages();
        Sleep(10);
    }
    PumpMessages();
    return sent == inputs.size();
}

ULONG ReleaseAndReport(IUnknown* obj, const char* what) {
    ULONG refs = obj->Release();
    Say("released %s refs=%lu", what, refs);
    return refs;
}

void QueryOne(const char* objName, IUnknown* obj, const char* iidName, REFIID iid) {
    // A failed QueryInterface must clear the out pointer: start from a value
    // that is neither NULL nor the object, so a left-over shows.
    static char notAnObject;
    void* out = &notAnObject;
    HRESULT hr = obj->QueryInterface(iid, &out);
    if (SUCCEEDED(hr)) {
        Say("qi %s %s hr=0x%lX same=%d", objName, iidName, Hex(hr), out == static_cast<void*>(obj) ? 1 : 0);
        if (out && out != &notAnObject) static_cast<IUnknown*>(out)->Release();
    } else {
        Say("qi %s %s hr=0x%lX same=0 null=%d", objName, iidName, Hex(hr), out == NULL ? 1 : 0);
    }
}

bool IsProbeFrame(const Sample9Options& o, unsigned frame) {
    if (o.probeFrames.empty()) return frame == o.frames;
    return std::find(o.probeFrames.begin(), o.probeFrames.end(), frame) != o.probeFrames.end();
}

bool WantsReadBack(const Sample9Options& o, unsigned frame) {
    bool dump = false;
    for (const Sample9Dump& d : o.dumps) dump = dump || d.frame == frame;
    return dump || (!o.probes.empty() && IsProbeFrame(o, frame));
}

bool ReportReadBack(const Sample9Options& o, unsigned frame, const std::vector<uint32_t>& pixels, int w, int h) {
    if (!o.probes.empty() && IsProbeFrame(o, frame)) {
        for (const Sample9Probe& p : o.probes) {
            if (p.x < w && p.y < h)
                Say("probe frame %u x %d y %d = 0x%08lX", frame, p.x, p.y,
                    static_cast<unsigned long>(pixels[static_cast<size_t>(p.y) * w + p.x]));
            else
                Say("probe frame %u x %d y %d outside %dx%d", frame, p.x, p.y, w, h);
        }
    }
    for (const Sample9Dump& d : o.dumps) {
        if (d.frame != frame) continue;
        if (!WriteSample9Bmp(d.path, pixels, w, h)) {
            Say("error: cannot write %s", d.path.c_str());
            return false;
        }
        Say("dumped frame %u %dx%d to %s", frame, w, h, d.path.c_str());
    }
    return true;
}

void Sample9Pacer::Start() {
    QueryPerformanceFrequency(&freq_);
    QueryPerformanceCounter(&start_);
}

void Sample9Pacer::Wait(const Sample9Options& o, unsigned frame) {
    if (o.fps <= 0) return;
    LONGLONG due = start_.QuadPart + freq_.QuadPart * static_cast<LONGLONG>(frame) / o.fps;
    for (;;) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        if (now.QuadPart >= due) break;
        LONGLONG ms = (due - now.QuadPart) * 1000 / freq_.QuadPart;
        Sleep(ms > 1 ? static_cast<DWORD>(ms - 1) : 0);
    }
}

int RunSample9Bench(const Sample9Options& o, const char* runtimeFile, const char* createName, Sample9BenchRound round) {
    char sysDir[MAX_PATH];
    UINT n = GetSystemDirectoryA(sysDir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        Say("error: GetSystemDirectory failed");
        return 1;
    }
    char exePath[MAX_PATH];
    DWORD m = GetModuleFileNameA(NULL, exePath, MAX_PATH);
    if (m == 0 || m >= MAX_PATH) {
        Say("error: GetModuleFileName failed");
        return 1;
    }
    std::string exeDir(exePath, m);
    exeDir.erase(exeDir.find_last_of("\\/") + 1);

    BenchRuntime runtimes[2] = {
        {"system", std::string(sysDir) + "\\" + runtimeFile, NULL, NULL, {}, {}},
        {"proxy", exeDir + runtimeFile, NULL, NULL, {}, {}},
    };
    int count = 2;
    if (GetFileAttributesA(runtimes[1].path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        Say("bench no %s beside the program (%s): timing the system runtime only", runtimeFile,
            runtimes[1].path.c_str());
        count = 1;
    }
    for (int i = 0; i < count; ++i) {
        BenchRuntime& rt = runtimes[i];
        rt.module = LoadLibraryA(rt.path.c_str());
        if (!rt.module) {
            Say("error: LoadLibrary(%s) failed (error %lu)", rt.path.c_str(), GetLastError());
            return 1;
        }
        rt.create = GetProcAddress(rt.module, createName);
        if (!rt.create) {
            Say("error: %s has no %s", rt.path.c_str(), createName);
            return 1;
        }
        Say("bench %s runtime %s", rt.name, rt.path.c_str());
    }
    if (count == 2 && runtimes[0].module == runtimes[1].module)
        Say("warning: both paths loaded the same module; the figures compare a runtime with itself");

    HWND hwnd = CreateGameWindow(false, o.width, o.height);
    if (!hwnd) {
        Say("error: CreateWindow failed (error %lu)", GetLastError());
        return 1;
    }
    bool ok = true;
    for (unsigned r = 1; r <= o.benchRounds && ok && !SampleQuitting(); ++r) {
        // Alternate which runtime goes first, so warm-up favours neither.
        for (int k = 0; k < count && ok; ++k) {
            int i = count == 2 && r % 2 == 0 ? 1 - k : k;
            BenchRuntime& rt = runtimes[i];
            std::vector<double> times;
            ok = round(rt.create, rt.name, hwnd, o, times);
            if (!ok) break;
            double mean, median;
            Stats(times, mean, median);
            Say("bench round %u %s mean_ms=%.4f median_ms=%.4f", r, rt.name, mean, median);
            rt.roundMedians.push_back(median);
            rt.frameMs.insert(rt.frameMs.end(), times.begin(), times.end());
        }
    }
    DestroyWindow(hwnd);
    PumpMessages();
    if (!ok) return 1;
    double medians[2] = {0.0, 0.0};
    for (int i = 0; i < count; ++i) {
        double mean;
        Stats(runtimes[i].frameMs, mean, medians[i]);
        Say("bench %s mean_ms=%.4f median_ms=%.4f", runtimes[i].name, mean, medians[i]);
    }
    if (count == 2 && medians[0] > 0.0) {
        Say("bench ratio=%.4f", medians[1] / medians[0]);
        // The ratio of each round (both runtimes back to back) shows how far
        // the machine itself moves the figure.
        std::vector<double> ratios;
        for (size_t r = 0; r < runtimes[0].roundMedians.size() && r < runtimes[1].roundMedians.size(); ++r)
            if (runtimes[0].roundMedians[r] > 0.0)
                ratios.push_back(runtimes[1].roundMedians[r] / runtimes[0].roundMedians[r]);
        if (!ratios.empty()) {
            std::sort(ratios.begin(), ratios.end());
            double sum = 0.0, squares = 0.0;
            for (double x : ratios) sum += x;
            const double mean = sum / static_cast<double>(ratios.size());
            for (double x : ratios) squares += (x - mean) * (x - mean);
            Say("bench ratio per round: rounds=%u min=%.4f median=%.4f max=%.4f stddev=%.4f",
                static_cast<unsigned>(ratios.size()), ratios.front(), ratios[ratios.size() / 2], ratios.back(),
                std::sqrt(squares / static_cast<double>(ratios.size())));
        }
    }
    for (int i = 0; i < count; ++i) FreeLibrary(runtimes[i].module);
    Say("done");
    return 0;
}
