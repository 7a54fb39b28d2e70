// FTP upload throughput of the publishing job: a file sent through the
// uploads page's steps (65,536-byte blocks) back to back, as fast as the
// local server takes them. The page sends one block per 100 ms tick, so its
// effective rate is the block size x 10 per second unless the link is
// slower; the same is worked out for larger blocks.
//   publish_bench <http port> [megabytes]     (the FTP server from getservers.php)
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "CVKJobWorker.h"
#include "VKSettings.h"

namespace {
class Settings : public IVKSettingsStore {
public:
    std::string port;
    bool Read(const char*, const char* name, CVKString* value) override {
        if (!strcmp(name, "serverAddr") || !strcmp(name, "webSiteAddr")) {
            value->Set("127.0.0.1");
            return true;
        }
        if (!strcmp(name, "serverPortHTTP")) {
            value->Set(port.c_str());
            return true;
        }
        return false;
    }
    bool Write(const char*, const char*, const char*) override { return true; }
};

class QuietView : public IVKJobView {
public:
    void SetEncoding(const std::string&, int) override {}
    void SetUploading(const std::string&, int) override {}
    void SetStatus(const std::string&) override {}
    void ShowPreview(const uint8_t*, int, int) override {}
    int Message(const std::string& text, UINT) override {
        fprintf(stderr, "publish_bench: %s\n", text.c_str());
        return IDCANCEL;
    }
};

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    Settings settings;
    settings.port = argv[1];
    VKSetSettingsStore(&settings);
    const int megabytes = argc > 2 ? atoi(argv[2]) : 32;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string path = std::string(temp) + "publish_bench.wmv";
    {
        FILE* f = fopen(path.c_str(), "wb");
        std::vector<char> block(1 << 20);
        for (size_t i = 0; i < block.size(); i++) block[i] = static_cast<char>(i * 7);
        for (int i = 0; i < megabytes; i++) fwrite(block.data(), 1, block.size(), f);
        fclose(f);
    }
    QuietView view;
    CVKJobWorker worker(&view);
    VKJob job;
    job.field[kJobFilePath] = path;
    double t = Now();
    if (!worker.StartUpload(job)) return 1;
    int percent = 0, steps = 0, r;
    while ((r = worker.StepUpload(&percent)) == kStepMore) steps++;
    worker.FinishUpload();
    double elapsed = Now() - t;
    const double mb = megabytes;
    printf("publish_bench block=65536 MB=%d elapsed=%.2f rate=%.1fMB/s steps=%d ok=%d tick_limited=%.2fMB/s\n",
           megabytes, elapsed, mb / elapsed, steps, r == kStepDone, 65536.0 * 10 / (1 << 20));

    // One block per 100 ms tick: the rate the page reaches, and what larger blocks would give.
    for (int block : {65536, 262144, 1048576}) {
        const double tick = block * 10.0 / (1 << 20), raw = mb / elapsed;
        printf("publish_bench per_tick_block=%d effective=%.2fMB/s\n", block, tick < raw ? tick : raw);
    }
    DeleteFileA(path.c_str());
    return r == kStepDone ? 0 : 1;
}
