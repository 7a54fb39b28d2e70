// What the sample games (sample9.exe, sample8.exe) do alike whatever their
// Direct3D version: the line printer, the window and its messages, injected
// input, the probes and dumps of a frame read back, frame pacing and the
// benchmark's rounds. Windows only.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstdint>
#include <vector>

#include "Sample9Options.h"

// The program's name, which begins every printed line ("sample9").
void SetSampleProgram(const char* name);
// One line "<program>: ..." on stdout, flushed at once.
void Say(const char* fmt, ...);
unsigned long Hex(HRESULT hr);

// Whether the window was closed or the thread asked to quit.
bool SampleQuitting();
void PumpMessages();
// Window rectangle that puts a client area of w x h at the screen's top-left.
RECT WindowedRect(int w, int h);
// The game's window, shown and focused; it prints the input it receives.
HWND CreateGameWindow(bool fullscreenWindow, int w, int h);
void ReportWindow(HWND hwnd);

// Sends the action's keys or mouse events as a player would make them, with
// the game's window in the foreground. false when the system took less.
bool InjectInput(HWND hwnd, const Sample9Action& a);

// Releases obj and prints "released <what> refs=N".
ULONG ReleaseAndReport(IUnknown* obj, const char* what);
// Asks obj for iid and prints the answer ("qi <obj> <iid> hr=... same=...").
void QueryOne(const char* objName, IUnknown* obj, const char* iidName, REFIID iid);

// The frames the options probe (the last frame when none are named).
bool IsProbeFrame(const Sample9Options& o, unsigned frame);
// Whether frame `frame` is to be read back (probed or dumped).
bool WantsReadBack(const Sample9Options& o, unsigned frame);
// Prints the probes and writes the dumps of frame `frame` read back as
// pixels (w x h, 0xAARRGGBB). false after an "error: ..." line.
bool ReportReadBack(const Sample9Options& o, unsigned frame, const std::vector<uint32_t>& pixels, int w, int h);

// Keeps frames to the options' rate: frame n ends no earlier than n / fps
// seconds after Start.
class Sample9Pacer {
public:
    void Start();
    void Wait(const Sample9Options& o, unsigned frame);

private:
    LARGE_INTEGER freq_ = {}, start_ = {};
};

// One timed round through one runtime: a device, o.benchFrames timed frames
// (draw + Present) appended to times. false after an "error: ..." line.
typedef bool (*Sample9BenchRound)(FARPROC create, const char* runtimeName, HWND hwnd, const Sample9Options& o,
                                  std::vector<double>& times);
// The benchmark: the system runtime (system folder) and the proxy (the
// program's folder) of file `runtimeFile`, whose entry `createName` each
// round is given, in alternating rounds; prints each round's and the overall
// figures. The exit code.
int RunSample9Bench(const Sample9Options& o, const char* runtimeFile, const char* createName, Sample9BenchRound round);
