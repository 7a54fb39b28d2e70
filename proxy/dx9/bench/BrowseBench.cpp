// The recordings browser and player on the game's render thread: the time
// spent at the composition point per frame (the HUD's update and its copies
// onto the back buffer) with the HUD shown and idle, with a recordings list
// of 1,000 files shown (idle, and while Down walks the list every frame), and
// with a player window playing a 1280x720 video at its own size (100%) and
// at the default window size of 320x240 (25%). The device is a real one
// made through the system runtime and wrapped as the proxy wraps a game's.
//   browse_bench.exe [frames]
#include <windows.h>
#include <d3d9.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "CVQBrowsePlayWnd.h"
#include "CVQBrowseWnd.h"
#include "CVQCompositor9.h"
#include "CVQFFmpegDecoder.h"
#include "CVQFFmpegEncoder.h"
#include "CVQGameHarness.h"
#include "CVQHUD.h"
#include "CVQScrollBarV.h"
#include "VKSettings.h"
#include "VQFrameMath.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct Figures {
    double median, p99, max;
};

Figures Summarise(std::vector<double> v) {
    if (v.empty()) return {0, 0, 0};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)], v.back()};
}

bool KeyDownNever(uint32_t) { return false; }

class MemoryStore : public IVKSettingsStore {
public:
    bool Read(const char*, const char* name, CVKString* value) override {
        for (auto& v : values)
            if (v.first == name) {
                value->Set(v.second.c_str());
                return true;
            }
        return false;
    }
    bool Write(const char*, const char*, const char*) override { return false; }
    std::vector<std::pair<std::string, std::string>> values;
};

// Ten seconds of a 1280x720 video at 30 pictures per second with sound, in
// the codecs of the HUD's own streams (Windows Media Video 8 and Audio 2).
bool MakeVideo(const std::string& path) {
    CVQFFmpegEncoder e;
    e.SetOutputName(path.c_str());
    e.SetVideoFormat(1280, 720, 0, 6);
    e.EnableVideo(1);
    e.SetFrameRate(30.0);
    e.SetVideoCodec(19, 2000000);
    e.SetAudioFormat(2, 44100, 16);
    e.EnableAudio(1);
    e.SetAudioCodec(0x15009, 128000);
    e.SetOnePacketPerInput(1);
    if (!e.OpenEncoder()) return false;
    std::vector<uint8_t> picture(1280 * 720 * 4);
    std::vector<uint8_t> sound(44100 * 4 / 30, 0);
    for (int k = 0; k < 300; k++) {
        for (int y = 0; y < 720; ++y)
            for (int x = 0; x < 1280; ++x) {
                uint8_t* p = &picture[(y * 1280 + x) * 4];
                p[0] = static_cast<uint8_t>(x + k * 4);
                p[1] = static_cast<uint8_t>(y + k * 2);
                p[2] = static_cast<uint8_t>((x ^ y) + k);
                p[3] = 255;
            }
        e.SetInputPicture(picture.data());
        e.SetInputAudio(sound.data());
        if (!e.WriteFrame()) return false;
    }
    e.FinishEncoder();
    e.CloseEncoder();
    return true;
}

void PressHotKey(CVQHUD* hud) {
    int handled = 0;
    hud->OnKeyboardInput(WM_KEYDOWN, hud->HotKey(), 0x01520001, &handled);
    hud->OnKeyboardInput(WM_KEYUP, hud->HotKey(), 0xC1520001u, &handled);
}

// Frames through the composition point; the render thread's time of each.
std::vector<double> Frames(CVQGameHarness& game, int frames, void (*each)(int)) {
    uint32_t colour = kVQPointerColorStart;
    std::vector<double> ms;
    for (int f = -10; f < frames; ++f) {  // ten frames to settle first
        if (each) each(f);
        game.DrawScene(static_cast<unsigned>(f + 10));
        const double start = Now();
        CVQCompositor9::ComposeFrame(game.RealDevice(), nullptr, &colour);
        const double end = Now();
        game.RealDevice()->Present(nullptr, nullptr, nullptr, nullptr);
        if (f >= 0) ms.push_back(end - start);
    }
    return ms;
}

void Report(const char* state, const std::vector<double>& ms, double idle) {
    Figures f = Summarise(ms);
    printf("browse_bench: 1280x1024 %-26s hud_ms median=%.4f p99=%.4f max=%.3f added_vs_idle_dashboard_ms=%.4f\n",
           state, f.median, f.p99, f.max, f.median - idle);
}

CVQBrowseWnd* g_browser = nullptr;
void WalkDown(int f) {
    int handled = 0;
    g_browser->OnKeyboard(WM_KEYDOWN, f % 400 < 200 ? VK_DOWN : VK_UP, 1, &handled);
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(10, atoi(argv[1])) : 300;
    VQSetKeyStateSource(KeyDownNever);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "browse_bench\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    // 1,000 recordings of a few bytes each.
    for (int i = 0; i < 1000; ++i) {
        char name[64];
        snprintf(name, sizeof name, "game-%04d.rec", i);
        HANDLE file = CreateFileA((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    const std::string video = std::string(temp) + "browse_bench_1280x720.wmv";
    if (GetFileAttributesA(video.c_str()) == INVALID_FILE_ATTRIBUTES && !MakeVideo(video)) {
        printf("browse_bench: could not write the 1280x720 video\n");
        return 1;
    }
    MemoryStore settings;
    settings.values.emplace_back("recorderFolder", folder);
    settings.values.emplace_back("serverAddr", "127.0.0.1");
    VKSetSettingsStore(&settings);

    CVQGameHarness game;
    if (!game.Start(1280, 1024)) return 1;
    printf("browse_bench: %d frames per state; hud_ms is the render thread's time at the composition point\n", frames);
    uint32_t colour = kVQPointerColorStart;
    CVQCompositor9::ComposeFrame(game.RealDevice(), nullptr, &colour);  // makes the HUD
    CVQHUD* hud = VQHud();
    if (!hud->Dashboard()->IsVisible(0)) PressHotKey(hud);

    const std::vector<double> idleMs = Frames(game, frames, nullptr);
    const double idle = Summarise(idleMs).median;
    Report("dashboard-idle", idleMs, idle);

    // The recordings list where the dashboard's page shows it.
    CVQFrmWnd* page = new CVQFrmWnd();
    page->CreateFrame(hud->Dashboard()->GetX(), hud->Dashboard()->GetY(), 400, 312);
    g_browser = new CVQBrowseWnd();
    g_browser->Create(2, 74, 382, 183, page);
    page->AddChild(g_browser);
    CVQScrollBarV* bar = new CVQScrollBarV();
    bar->Create(384, 74, 15, 183, page);
    bar->SetPage(183);
    page->AddChild(bar);
    g_browser->AttachScrollBar(bar);
    hud->AddWindow(page);
    Frames(game, 1, nullptr);
    printf("browse_bench: recordings listed: %d\n", g_browser->Count());
    Report("recordings-1000-idle", Frames(game, frames, nullptr), idle);
    Report("recordings-1000-walking", Frames(game, frames, WalkDown), idle);
    {
        // The list's own drawing, apart from the copies onto the back buffer.
        std::vector<double> draw;
        for (int i = 0; i < 100; ++i) {
            g_browser->Invalidate();
            const double start = Now();
            g_browser->PrepareSurface();
            draw.push_back(Now() - start);
        }
        Figures f = Summarise(draw);
        printf("browse_bench: recordings list redraw alone ms median=%.4f p99=%.4f\n", f.median, f.p99);
    }
    page->Close();

    {
        // Decoding alone: one Process and the picture and sound it gave.
        CVQFFmpegDecoder decoder;
        decoder.SetFileName(video.c_str());
        decoder.SetOutputPixelFormat(6);
        decoder.SetAudioDisabled(0);
        std::vector<double> decode;
        if (decoder.Open()) {
            for (int i = 0; i < frames && !decoder.IsAtEnd(); ++i) {
                const uint8_t* data;
                int size;
                const double start = Now();
                decoder.Process();
                decoder.GetAudio(&data, &size);
                decoder.GetPicture(&data, &size);
                decode.push_back(Now() - start);
            }
            printf("browse_bench: video %dx%d\n", decoder.GetWidth(), decoder.GetHeight());
        }
        Figures f = Summarise(decode);
        printf("browse_bench: decoding alone (one Process per frame) ms median=%.4f p99=%.4f\n", f.median, f.p99);
    }
    const struct {
        int width, height;
        const char* name;
    } sizes[] = {{1284, 732, "player-720p-at-100%"}, {320, 240, "player-720p-at-25%"}};
    for (const auto& size : sizes) {
        CVQBrowsePlayWnd* player = new CVQBrowsePlayWnd();
        player->Open(0, 0, 320, 240, video.c_str());
        hud->AddWindow(player);
        while (player->IsOpened() && player->ShownWidth() > size.width - 4) player->ChangeZoom(0.9);
        std::vector<double> ms = Frames(game, frames, nullptr);
        printf("browse_bench: player shown %dx%d, pictures shown %lld\n", player->ShownWidth(), player->ShownHeight(),
               static_cast<long long>(player->FramesShown()));
        Report(size.name, ms, idle);
        // Closing tells the player's decoding thread to end; the next frame
        // deletes the window, waiting for what is left of the thread's packet.
        const double closing = Now();
        player->Close();
        const double closed = Now();
        game.DrawScene(0);
        CVQCompositor9::ComposeFrame(game.RealDevice(), nullptr, &colour);
        printf("browse_bench: closing the player ms=%.3f, the next frame ms=%.3f\n", closed - closing, Now() - closed);
        game.RealDevice()->Present(nullptr, nullptr, nullptr, nullptr);
    }
    VQDestroyHud();
    game.Stop();
    VKSetSettingsStore(nullptr);
    return 0;
}
