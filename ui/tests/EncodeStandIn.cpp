// Takes the HUD's encode hand-off the way the desktop program does, for the
// dashboard's end-to-end run when the desktop is not running: waits for
// JobEncode to hold "-1" with a file name, writes "0", encodes the recording
// into a .wmv beside it and writes the percentage after every slice ("100"
// at the end), never over a newer "-1".
//   encode_standin <seconds to wait for a job>
// Prints "standin: <progress>" lines; exit status 0 after one finished job.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "CVKRecToWmv.h"
#include "CVKRegistryStore.h"

namespace {
const char kKey[] = "Software\\BRINMOOR\\Orvalo HUD Desktop " VK_VERSION "\\JobEncode";

std::string Read(CVKRegistryStore& store, const char* name, const char* def) {
    CVKString value;
    return store.Read(kKey, name, &value) ? std::string(value.Str()) : std::string(def);
}

void Progress(CVKRegistryStore& store, const char* text) {
    // A newer hand-off waiting ("-1") is never overwritten.
    if (Read(store, "progress", "100") == "-1") return;
    store.Write(kKey, "progress", text);
    std::printf("standin: %s\n", text);
    std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv) {
    const DWORD waitMs = static_cast<DWORD>(argc > 1 ? std::atoi(argv[1]) : 60) * 1000;
    CVKRegistryStore store;
    const DWORD start = GetTickCount();
    std::string path;
    while (GetTickCount() - start < waitMs) {
        if (Read(store, "progress", "100") == "-1") {
            path = Read(store, "fileName", "");
            if (!path.empty()) break;
        }
        Sleep(200);
    }
    if (path.empty()) {
        std::printf("standin: no job\n");
        return 1;
    }
    store.Write(kKey, "progress", "0");
    std::printf("standin: job %s\n", path.c_str());
    std::string wmv = path;
    const size_t dot = wmv.find_last_of('.');
    wmv = (dot == std::string::npos ? wmv : wmv.substr(0, dot)) + ".wmv";

    CVKRecToWmv encoder;
    int ok = encoder.Start(path.c_str(), wmv.c_str(), 0);
    int last = -1;
    while (ok) {
        const int step = encoder.Step(100);
        const int percent = encoder.Percent();
        if (step == CVKRecToWmv::kMore && percent != last && percent < 100) {
            last = percent;
            Progress(store, std::to_string(percent).c_str());
            // Slow enough that the game's 3-second poll sees a value on the way.
            Sleep(400);
        }
        if (step != CVKRecToWmv::kMore) {
            ok = step == CVKRecToWmv::kDone;
            break;
        }
    }
    ok = encoder.Finish() && ok;
    Progress(store, "100");
    std::printf("standin: %s %s\n", ok ? "encoded" : "failed", wmv.c_str());
    return ok ? 0 : 1;
}
