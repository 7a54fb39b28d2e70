#include "Sample9Options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Whole-string decimal number in [lo, hi].
bool ParseLong(const std::string& s, long lo, long hi, long& out) {
    if (s.empty() || s.size() > 12) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (!(c >= '0' && c <= '9') && !(i == 0 && c == '-')) return false;
    }
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (errno != 0 || end == s.c_str() || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool ParseUnsigned(const std::string& s, unsigned lo, unsigned hi, unsigned& out) {
    long v = 0;
    if (!ParseLong(s, static_cast<long>(lo), static_cast<long>(hi), v)) return false;
    out = static_cast<unsigned>(v);
    return true;
}

// "A<sep>B" as two integers in [lo, hi].
bool ParsePair(const std::string& s, char sep, long lo, long hi, int& a, int& b) {
    size_t p = s.find(sep);
    if (p == std::string::npos) return false;
    long va = 0, vb = 0;
    if (!ParseLong(s.substr(0, p), lo, hi, va) || !ParseLong(s.substr(p + 1), lo, hi, vb)) return false;
    a = static_cast<int>(va);
    b = static_cast<int>(vb);
    return true;
}

// Coordinates of injected input may lie outside the window (a player can
// click anywhere), but stay within any plausible screen.
const long kCoordLimit = 65535;

bool ParseAction(const std::string& s, Sample9Action& a) {
    size_t colon = s.find(':');
    if (colon == std::string::npos) return false;
    if (!ParseUnsigned(s.substr(0, colon), 1, kSample9MaxFrames, a.frame)) return false;
    std::string rest = s.substr(colon + 1);
    size_t colon2 = rest.find(':');
    if (colon2 == std::string::npos) return false;
    std::string verb = rest.substr(0, colon2), arg = rest.substr(colon2 + 1);
    if (verb == "key" || verb == "keydown" || verb == "keyup") {
        a.kind = verb == "key" ? Sample9Action::Key : verb == "keydown" ? Sample9Action::KeyDown : Sample9Action::KeyUp;
        return ParseUnsigned(arg, 1, 254, a.vk);
    }
    if (verb == "click" || verb == "rclick" || verb == "move" || verb == "rmove") {
        a.kind = verb == "click"    ? Sample9Action::Click
                 : verb == "rclick" ? Sample9Action::RClick
                 : verb == "move"   ? Sample9Action::Move
                                    : Sample9Action::RelativeMove;
        return ParsePair(arg, ',', -kCoordLimit, kCoordLimit, a.x, a.y);
    }
    return false;
}

}  // namespace

int ParseSample9Options(int argc, const char* const* argv, Sample9Options& o, std::string& error) {
    o = Sample9Options();
    bool sizeGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string opt = argv[i] ? argv[i] : "";
        // Options without a value.
        if (opt == "--help" || opt == "-h" || opt == "/?") {
            o.help = true;
            continue;
        }
        if (opt == "--fullscreen-window") {
            o.fullscreenWindow = true;
            continue;
        }
        if (opt == "--query-interface") {
            o.queryInterface = true;
            continue;
        }
        if (opt == "--perf") {
            o.perf = true;
            continue;
        }
        if (opt == "--ref-counts") {
            o.refCounts = true;
            continue;
        }
        if (opt == "--two-devices") {
            o.twoDevices = Sample9Options::TwoSequential;
            continue;
        }
        if (opt == "--two-devices=concurrent") {
            o.twoDevices = Sample9Options::TwoConcurrent;
            continue;
        }
        if (opt == "--two-devices=sequential") {
            o.twoDevices = Sample9Options::TwoSequential;
            continue;
        }

        static const char* const kWithValue[] = {
            "--frames", "--width",        "--height",       "--fps",      "--present",    "--swap",
            "--probe",  "--probe-frames", "--dump",         "--reset-at", "--reset-size", "--at",
            "--bench",  "--rounds",       "--leave-target", "--dinput",   "--hold",
        };
        bool known = false;
        for (const char* k : kWithValue) known = known || opt == k;
        if (!known) {
            error = "unknown option " + opt;
            return 0;
        }
        if (i + 1 >= argc || !argv[i + 1]) {
            error = "missing value for " + opt;
            return 0;
        }
        std::string v = argv[++i];
        bool ok = true;
        if (opt == "--frames") {
            ok = ParseUnsigned(v, 1, kSample9MaxFrames, o.frames);
        } else if (opt == "--width" || opt == "--height") {
            unsigned n = 0;
            ok = ParseUnsigned(v, 1, kSample9MaxSize, n);
            (opt == "--width" ? o.width : o.height) = static_cast<int>(n);
            sizeGiven = true;
        } else if (opt == "--fps") {
            ok = ParseUnsigned(v, 0, kSample9MaxFps, o.fps);
        } else if (opt == "--present") {
            ok = v == "device" || v == "swapchain";
            o.present = v == "swapchain" ? Sample9Options::PresentSwapChain : Sample9Options::PresentDevice;
        } else if (opt == "--swap") {
            ok = v == "discard" || v == "copy";
            o.swapCopy = v == "copy";
        } else if (opt == "--probe") {
            Sample9Probe p;
            ok = o.probes.size() < kSample9MaxList && ParsePair(v, ',', 0, kSample9MaxSize - 1, p.x, p.y);
            o.probes.push_back(p);
        } else if (opt == "--probe-frames") {
            size_t start = 0;
            while (ok) {
                size_t comma = v.find(',', start);
                unsigned f = 0;
                ok = o.probeFrames.size() < kSample9MaxList &&
                     ParseUnsigned(v.substr(start, comma == std::string::npos ? std::string::npos : comma - start), 1,
                                   kSample9MaxFrames, f);
                o.probeFrames.push_back(f);
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        } else if (opt == "--dump") {
            Sample9Dump d;
            size_t colon = v.find(':');
            ok = o.dumps.size() < kSample9MaxList && colon != std::string::npos &&
                 ParseUnsigned(v.substr(0, colon), 1, kSample9MaxFrames, d.frame) && colon + 1 < v.size();
            if (ok) d.path = v.substr(colon + 1);
            o.dumps.push_back(d);
        } else if (opt == "--reset-at") {
            ok = ParseUnsigned(v, 1, kSample9MaxFrames, o.resetAt);
        } else if (opt == "--reset-size") {
            ok = ParsePair(v, 'x', 1, kSample9MaxSize, o.resetWidth, o.resetHeight);
        } else if (opt == "--at") {
            Sample9Action a;
            ok = o.actions.size() < kSample9MaxList && ParseAction(v, a);
            o.actions.push_back(a);
        } else if (opt == "--dinput") {
            ok = v == "state" || v == "buffered";
            o.directInput = v == "state" ? Sample9Options::DirectInputState : Sample9Options::DirectInputBuffered;
        } else if (opt == "--hold") {
            // The path may hold colons itself (a drive letter): split at the first.
            size_t colon = v.find(':');
            Sample9Hold h;
            ok = o.holds.size() < kSample9MaxList && colon != std::string::npos &&
                 ParseUnsigned(v.substr(0, colon), 1, kSample9MaxFrames, h.frame) && colon + 1 < v.size();
            if (ok) {
                h.path = v.substr(colon + 1);
                o.holds.push_back(h);
            }
        } else if (opt == "--bench") {
            ok = ParseUnsigned(v, 1, kSample9MaxFrames, o.benchFrames);
        } else if (opt == "--leave-target") {
            o.leaveTarget = true;
            ok = ParsePair(v, ',', 0, kSample9MaxSize - 1, o.leaveTargetX, o.leaveTargetY);
        } else if (opt == "--rounds") {
            ok = ParseUnsigned(v, 1, kSample9MaxRounds, o.benchRounds);
        }
        if (!ok) {
            error = "bad value for " + opt + ": " + v;
            return 0;
        }
    }
    if (o.resetAt != 0 && o.resetWidth == 0) {
        error = "--reset-at needs --reset-size WxH";
        return 0;
    }
    // Frames past the last one would never come: the probes, dumps, Reset or
    // input a test asked for would silently not happen.
    unsigned last = 0;
    for (unsigned f : o.probeFrames) last = f > last ? f : last;
    for (const Sample9Dump& d : o.dumps) last = d.frame > last ? d.frame : last;
    for (const Sample9Action& a : o.actions) last = a.frame > last ? a.frame : last;
    last = o.resetAt > last ? o.resetAt : last;
    for (const Sample9Hold& h : o.holds) last = h.frame > last ? h.frame : last;
    if (o.benchFrames == 0 && last > o.frames) {
        error = "frame " + std::to_string(last) + " is past the last frame (--frames " + std::to_string(o.frames) + ")";
        return 0;
    }
    if (o.twoDevices != Sample9Options::OneDevice && o.frames < 2) {
        error = "--two-devices needs --frames 2 or more";
        return 0;
    }
    if (o.leaveTarget && (o.resetAt != 0 || o.twoDevices != Sample9Options::OneDevice || o.benchFrames != 0)) {
        // The target lives in the default pool of the one device.
        error = "--leave-target cannot be combined with --reset-at, --two-devices or --bench";
        return 0;
    }
    if (o.fullscreenWindow && sizeGiven) {
        // The back buffer follows the screen in that mode; a given size would
        // be silently ignored, which hides mistakes in test command lines.
        error = "--width/--height cannot be combined with --fullscreen-window";
        return 0;
    }
    return 1;
}

const char* Sample9Usage() {
    return "usage: sample9.exe [options]\n"
           "  --frames N              frames to render (default 120)\n"
           "  --width W --height H    back-buffer size (default 640x480)\n"
           "  --fullscreen-window     borderless window covering the screen, back buffer of the screen size\n"
           "  --fps N                 pace frames at N per second (default 0: as fast as possible)\n"
           "  --present device|swapchain  present through the device or through swap chain 0\n"
           "  --swap discard|copy     swap effect (copy makes the back buffer lockable)\n"
           "  --probe X,Y             pixel to read back after Present (repeatable)\n"
           "  --probe-frames A,B,...  frames whose pixels are probed (default: the last)\n"
           "  --dump F:PATH           write the back buffer of frame F as a 24-bit BMP (repeatable)\n"
           "  --reset-at F --reset-size WxH  Reset the device to a new size before frame F\n"
           "  --query-interface       QueryInterface checks on the Direct3D object, device and swap chain\n"
           "  --perf                  call every D3DPERF_ function each frame\n"
           "  --leave-target X,Y      end each frame with an off-screen render target, a small viewport and\n"
           "                          a scissor rectangle around X,Y bound; probe frames report its changed pixels\n"
           "  --ref-counts            probe frames report the reference counts the game sees (device, swap chain 0)\n"
           "  --two-devices[=concurrent]  render with a second device after (or beside) the first\n"
           "  --at F:ACTION           inject input before frame F: key:VK keydown:VK keyup:VK\n"
           "                          click:X,Y rclick:X,Y move:X,Y (client coordinates)\n"
           "                          rmove:DX,DY (the mouse moved by DX,DY, as a device reports it)\n"
           "  --hold F:PATH           before frame F wait (still rendering) until the file PATH exists, at\n"
           "                          most 300 s; the frame numbers of input, dumps and probes count on after\n"
           "                          (repeatable: two games meet at the same frames)\n"
           "  --dinput state|buffered read keyboard and mouse through DirectInput 8 each frame\n"
           "                          (whole state or buffered changes) and print what was read\n"
           "  --bench N --rounds R    time N frames through the system runtime and the d3d9.dll\n"
           "                          beside the program, R rounds each\n"
           "  --help                  this text\n";
}
