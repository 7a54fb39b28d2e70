// Command line of the sample game sample9.exe. Platform-free, so the parser
// builds and is tested natively too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One injected input, run just before a frame is rendered.
struct Sample9Action {
    enum Kind { Key, KeyDown, KeyUp, Click, RClick, Move, RelativeMove };
    unsigned frame = 0;
    Kind kind = Key;
    unsigned vk = 0;   // Key, KeyDown, KeyUp
    int x = 0, y = 0;  // Click, RClick, Move: client coordinates; RelativeMove: a movement
};

struct Sample9Probe {
    int x = 0, y = 0;
};

struct Sample9Dump {
    unsigned frame = 0;
    std::string path;
};

// The schedule waits at frame until the file path exists.
struct Sample9Hold {
    unsigned frame = 0;
    std::string path;
};

struct Sample9Options {
    enum PresentPath { PresentDevice, PresentSwapChain };
    enum TwoDevices { OneDevice, TwoSequential, TwoConcurrent };

    unsigned frames = 120;
    int width = 640, height = 480;
    unsigned fps = 0;  // 0: as fast as possible
    bool fullscreenWindow = false;
    PresentPath present = PresentDevice;
    bool swapCopy = false;  // D3DSWAPEFFECT_COPY with a lockable back buffer
    std::vector<Sample9Probe> probes;
    std::vector<unsigned> probeFrames;  // empty: the last frame
    std::vector<Sample9Dump> dumps;
    unsigned resetAt = 0;  // 0: never
    int resetWidth = 0, resetHeight = 0;
    bool queryInterface = false;
    bool perf = false;
    TwoDevices twoDevices = OneDevice;
    std::vector<Sample9Action> actions;
    // Ends each frame with an off-screen render target bound (cleared to
    // kSample9OffscreenColor), a 24x24 viewport and a 16x16 scissor rectangle
    // around (leaveTargetX, leaveTargetY); probe frames report the target's
    // pixels that are no longer that colour.
    bool leaveTarget = false;
    int leaveTargetX = 0, leaveTargetY = 0;
    bool refCounts = false;  // probe frames report reference counts
    // Keyboard and mouse read through DirectInput 8 each frame, as games
    // that never look at window messages do: their whole state, or their
    // buffered changes.
    enum DirectInputMode { DirectInputOff, DirectInputState, DirectInputBuffered };
    DirectInputMode directInput = DirectInputOff;
    // The schedule (input, dumps, probes, Reset, the last frame) holds at
    // each hold's frame until its file exists (at most kSample9MaxHoldSeconds
    // each): the game keeps rendering, and the frame numbers of the schedule
    // do not advance meanwhile. Two games on one machine meet at them.
    std::vector<Sample9Hold> holds;
    unsigned benchFrames = 0;  // 0: no benchmark
    unsigned benchRounds = 3;
    bool help = false;
};

const uint32_t kSample9OffscreenColor = 0xFF123456u;

// Limits on what the command line may ask for.
enum : unsigned {
    kSample9MaxFrames = 10000000,
    kSample9MaxSize = 16384,
    kSample9MaxFps = 1000,
    kSample9MaxList = 256,  // probes, probe frames, dumps, actions
    kSample9MaxRounds = 1000,
    kSample9MaxHoldSeconds = 300,
};

// Parses argv[1..argc-1] into opts. Returns 1, or 0 with a one-line reason in
// error (the option and the offending value).
int ParseSample9Options(int argc, const char* const* argv, Sample9Options& opts, std::string& error);

// The text printed by --help.
const char* Sample9Usage();
