// Records a game for a few seconds through the whole path a player uses: a
// real device made through our wrapper, the HUD over the game, the session
// recorder driven from Present, a capture device playing a known tone. The
// recording is then read back: the game's frames with their counters, no
// HUD in any of them, and the tone sample for sample.
#include <windows.h>
#include <d3d9.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "CVKRECDecoder.h"
#include "CVQHUD.h"
#include "MediaTestUtil.h"
#include "MemorySettings.h"
#include "ProxyState.h"
#include "Sample9Scene.h"
#include "SoundSignal.h"
#include "VKSettings.h"
#include "VQResource.h"
#include "myIDirect3D9.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

void DrawScene(IDirect3DDevice9* device, unsigned frame, int width, int height) {
    Sample9Frame scene;
    BuildSample9Frame(frame, width, height, scene);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, scene.background, 1.0f, 0);
    for (const Sample9Rect& r : scene.clears) {
        D3DRECT rect = {r.left, r.top, r.right, r.bottom};
        device->Clear(1, &rect, D3DCLEAR_TARGET, r.color, 1.0f, 0);
    }
    for (const Sample9Rect& r : scene.quads) {
        D3DRECT rect = {r.left, r.top, r.right, r.bottom};
        device->Clear(1, &rect, D3DCLEAR_TARGET, r.color, 1.0f, 0);
    }
}

int ChannelError(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        worst = std::max(worst, d < 0 ? -d : d);
    }
    return worst;
}

}  // namespace

TEST(RecordGame, SessionRecordingOfTheGameWithSound) {
    ASSERT_TRUE(WriteSignalFile(2, 60));
    const char* folder = "C:\\record-game-test\\";
    CreateDirectoryA(folder, nullptr);
    WIN32_FIND_DATAA found;
    HANDLE old = FindFirstFileA("C:\\record-game-test\\*.*", &found);
    if (old != INVALID_HANDLE_VALUE) {
        do DeleteFileA((std::string(folder) + found.cFileName).c_str());
        while (FindNextFileA(old, &found));
        FindClose(old);
    }
    MemorySettings store;
    store.Set("recorderFolder", folder);
    store.Set("recorderType", "0");
    ProxyResetState(GetModuleHandleA(nullptr));
    VQSetResourceModule(GetModuleHandleA(nullptr));

    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "RecordGame";
    RegisterClassA(&wc);
    HWND window = CreateWindowA("RecordGame", "", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                                wc.hInstance, nullptr);
    ASSERT_TRUE(window != nullptr) << "needs a display";
    char path[MAX_PATH];
    GetSystemDirectoryA(path, MAX_PATH);
    lstrcatA(path, "\\d3d9.dll");
    typedef IDirect3D9*(WINAPI * Create)(UINT);
    Create create = reinterpret_cast<Create>(GetProcAddress(LoadLibraryA(path), "Direct3DCreate9"));
    ASSERT_TRUE(create != nullptr);
    IDirect3D9* d3d = new myIDirect3D9(create(D3D_SDK_VERSION));
    D3DPRESENT_PARAMETERS pp = {};
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.BackBufferWidth = 640;
    pp.BackBufferHeight = 480;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.hDeviceWindow = window;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(D3D_OK, d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                        D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device));

    std::string recording;
    unsigned frame = 0;
    for (; frame < 400; ++frame) {
        DrawScene(device, frame, 640, 480);
        device->Present(nullptr, nullptr, nullptr, nullptr);  // HUD made, updated, drawn
        if (frame == 3) {
            IVQRecord* recorder = CurrentRecorder();
            ASSERT_TRUE(recorder != nullptr);
            ASSERT_EQ(1, recorder->BeginRecording());
            recording = g_proxy.hud->SessionRecorder()->GetPath();
        }
        if (frame > 3 && g_proxy.hud->SessionRecorder()->GetStats().recorded >= 60) break;
        Sleep(5);
    }
    CurrentRecorder()->EndRecording();
    EXPECT_EQ(0, CurrentRecorder()->IsRecording());
    device->Release();  // the final release ends the HUD
    EXPECT_EQ(nullptr, g_proxy.hud);
    d3d->Release();
    DestroyWindow(window);

    CVKRECDecoder reader;
    reader.SetOutputFormat(6);
    ASSERT_EQ(1, reader.Open(recording.c_str())) << recording;
    EXPECT_EQ(640u, reader.width);
    EXPECT_EQ(480u, reader.height);
    int audioRecords = 0, videoRecords = 0, decodeFailures = 0, worst = 0;
    std::vector<uint32_t> counters;
    std::vector<int16_t> sound;
    AVPacket* packet = av_packet_alloc();
    for (char tag; (tag = reader.ReadTag()) != 0;) {
        if (tag == 'A') {
            const uint8_t* data;
            uint32_t size;
            ASSERT_EQ(1, reader.ReadSampleAudio(&data, &size));
            const int16_t* samples = reinterpret_cast<const int16_t*>(data);
            std::vector<int16_t> record(samples, samples + size / 2);
            // Every sound record is the tone, sample for sample. (The test
            // device plays faster than real time and drops what a reader does
            // not take in time, so the tone may jump between records.)
            EXPECT_EQ(static_cast<int64_t>(record.size() / 2), CountSignalFrames(record, 2)) << audioRecords;
            sound.insert(sound.end(), record.begin(), record.end());
            ++audioRecords;
        } else if (tag == 'V') {
            int64_t stamp = 0;
            ASSERT_EQ(1, reader.ReadSampleVideo(packet, &stamp));
            EXPECT_EQ(audioRecords * 333333LL, stamp);
            const uint32_t* pixels = reinterpret_cast<const uint32_t*>(reader.DecodeVideoSample(packet));
            if (!pixels) {
                ++decodeFailures;
                continue;
            }
            ++videoRecords;
            uint32_t counter = ReadCounter(pixels, 640, 480);
            counters.push_back(counter);
            // The frame as the game drew it, without the HUD: where the logo and
            // the dashboard are on the screen, the recording has the game.
            Sample9Frame scene;
            BuildSample9Frame(counter, 640, 480, scene);
            for (int y : {20, 40, 100, 300}) {
                for (int x : {60, 100, 300, 500}) {
                    uint32_t expected = scene.background;
                    for (const Sample9Rect& r : scene.clears)
                        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) expected = r.color;
                    for (const Sample9Rect& r : scene.quads)
                        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) expected = r.color;
                    worst = std::max(worst, ChannelError(pixels[y * 640 + x], expected));
                }
            }
        } else {
            FAIL() << "unknown record " << static_cast<int>(tag);
        }
    }
    av_packet_free(&packet);
    reader.Close();

    EXPECT_GE(videoRecords, 60);
    EXPECT_EQ(0, decodeFailures);
    EXPECT_LE(videoRecords, audioRecords);  // at most one picture per sound buffer
    for (size_t i = 1; i < counters.size(); ++i) EXPECT_GT(counters[i], counters[i - 1]) << i;
    EXPECT_LE(worst, 12) << "recorded pixels differ from the game's picture (HUD in the recording?)";
    ASSERT_FALSE(sound.empty());
    printf("recorded %d pictures, %d sound records; the tone runs unbroken for %lld of %lld frames\n",
           videoRecords, audioRecords, static_cast<long long>(CountSignalFrames(sound, 2)),
           static_cast<long long>(sound.size() / 2));
}
