#include "Sample9Game.h"

namespace {
// D3DERR_DEVICELOST, the same code in every Direct3D version.
const HRESULT kDeviceLost = static_cast<HRESULT>(0x88760868);
}  // namespace

int Sample9Game::Run() {
    if (opts_.fullscreenWindow) {
        width_ = GetSystemMetrics(SM_CXSCREEN);
        height_ = GetSystemMetrics(SM_CYSCREEN);
    } else {
        width_ = opts_.width;
        height_ = opts_.height;
    }
    if ((!opts_.probes.empty() || !opts_.dumps.empty()) && !opts_.swapCopy)
        Say("warning: the back buffer is undefined after Present without --swap copy");

    hwnd_ = CreateGameWindow(opts_.fullscreenWindow, width_, height_);
    if (!hwnd_) {
        Say("error: CreateWindow failed (error %lu)", GetLastError());
        return 1;
    }
    ReportWindow(hwnd_);
    if (opts_.directInput != Sample9Options::DirectInputOff && !directInput_.Open(hwnd_, opts_.directInput)) return 1;

    if (!CreateRuntime() || !MakeDevice()) return 1;
    if (opts_.queryInterface && !QueryInterfaces()) return 1;

    // With two devices the second takes over half-way.
    unsigned switchAt = opts_.twoDevices != Sample9Options::OneDevice ? opts_.frames / 2 + 1 : 0;
    Sample9Pacer pacer;
    pacer.Start();
    // frame counts the frames rendered; cue is the frame of the schedule
    // (input, dumps, probes, Reset, the end), which stands still while held.
    unsigned frame = 1, held = 0;
    LARGE_INTEGER freq, now;
    QueryPerformanceFrequency(&freq);
    LONGLONG holdEnd = 0;
    unsigned holdCue = 0;  // the frame of the hold being waited at
    for (; frame - held <= opts_.frames && !SampleQuitting(); ++frame) {
        const unsigned cue = frame - held;
        PumpMessages();
        const Sample9Hold* hold = nullptr;
        for (const Sample9Hold& h : opts_.holds)
            if (h.frame == cue && GetFileAttributesA(h.path.c_str()) == INVALID_FILE_ATTRIBUTES) {
                hold = &h;
                break;
            }
        if (hold) {
            QueryPerformanceCounter(&now);
            if (holdCue != cue) {
                holdCue = cue;
                Say("holding at frame %u until %s exists", cue, hold->path.c_str());
                holdEnd = now.QuadPart + freq.QuadPart * kSample9MaxHoldSeconds;
            }
            if (now.QuadPart < holdEnd) {
                HRESULT hr = DrawFrame(frame);
                if (SUCCEEDED(hr)) hr = PresentFrame();
                if (hr == kDeviceLost) {
                    if (!RecoverLostDevice()) return 1;
                } else if (FAILED(hr)) {
                    Fail("rendering while held", hr);
                    return 1;
                }
                held++;
                pacer.Wait(opts_, frame);
                continue;
            }
            Say("warning: %s did not appear; the schedule goes on", hold->path.c_str());
        }
        for (const Sample9Action& a : opts_.actions) {
            if (a.frame == cue && !InjectInput(hwnd_, a))
                Say("warning: SendInput did not take all input of frame %u (error %lu)", cue, GetLastError());
        }
        if (opts_.directInput != Sample9Options::DirectInputOff) directInput_.Read(frame);
        if (cue == switchAt) {
            if (opts_.twoDevices == Sample9Options::TwoSequential) {
                Say("creating second device after releasing the first");
                if (!ReleaseDevice()) return 1;
            } else {
                Say("creating second device while the first is alive");
                KeepFirstDevice();
            }
            if (!MakeDevice()) return 1;
        }
        if (cue == opts_.resetAt) {
            FitWindow(opts_.resetWidth, opts_.resetHeight);
            if (!ResetDevice(opts_.resetWidth, opts_.resetHeight)) return 1;
        }
        BeginFrame(frame);

        HRESULT hr = DrawFrame(frame);
        if (FAILED(hr)) {
            Fail("drawing", hr);
            return 1;
        }
        if (opts_.leaveTarget && !LeaveTargetBound()) return 1;
        hr = PresentFrame();
        if (hr == kDeviceLost) {
            if (!RecoverLostDevice()) return 1;
        } else if (FAILED(hr)) {
            Fail("Present", hr);
            return 1;
        } else if (!AfterPresent(cue)) {
            return 1;
        }
        if (cue % 10 == 0 || cue == opts_.frames) Say("frame %u", cue);
        pacer.Wait(opts_, frame);
    }
    if (SampleQuitting()) Say("window closed after frame %u", frame - held - 1);
    directInput_.Close();

    const bool devices = ReleaseDevice() && ReleaseFirstDevice();
    const bool clean = ReleaseRuntime() && devices;
    DestroyWindow(hwnd_);
    hwnd_ = NULL;
    PumpMessages();
    if (!clean) return 1;
    Say("done");
    return 0;
}

void Sample9Game::FitWindow(int w, int h) {
    if (opts_.fullscreenWindow) return;
    RECT rc = WindowedRect(w, h);
    SetWindowPos(hwnd_, NULL, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, SWP_NOZORDER | SWP_NOACTIVATE);
    PumpMessages();
}

void Sample9Game::CloseWindow() {
    directInput_.Close();
    if (hwnd_) DestroyWindow(hwnd_);
    hwnd_ = NULL;
}
