// The game in a folder without the codec libraries: the HUD comes up over
// the game's frames, and a recording request fails the way a recorder fails
// when its encoder cannot open, without taking the game down. The test
// program is run from a folder of its own that holds nothing else.
#include <windows.h>
#include <d3d9.h>

#include <gtest/gtest.h>

#include <string>

#include "CVQGameHarness.h"
#include "CVQHUD.h"
#include "MemorySettings.h"
#include "ProxyState.h"
#include "VKLog.h"

extern "C" {
#include <libavcodec/version.h>
}

namespace {
struct LogCapture {
    std::string text;
    LogCapture() { VKSetLogHook(&LogCapture::Hook, this); }
    ~LogCapture() { VKSetLogHook(nullptr, nullptr); }
    static void Hook(const char* t, int n, void* self) { static_cast<LogCapture*>(self)->text.append(t, n); }
};
}  // namespace

TEST(NoCodec, GameRunsAndRecordingFailsCleanly) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    MemorySettings store;
    store.Set("recorderFolder", folder);
    store.Set("recorderType", "0");
    LogCapture log;
    CVQGameHarness game;
    ASSERT_EQ(1, game.Start(320, 240)) << "needs a display";
    for (unsigned frame = 0; frame < 5; ++frame) {
        game.DrawScene(frame);
        game.Present();
    }
    ASSERT_NE(nullptr, VQHud());
    ASSERT_NE(nullptr, VQHud()->CurrentRecorder());
    EXPECT_EQ(0, VQHud()->CurrentRecorder()->BeginRecording());
    EXPECT_EQ(0, VQHud()->CurrentRecorder()->IsRecording());
    EXPECT_NE(std::string::npos, log.text.find("CVQRecordSE::BeginRecording(): Failed to create video encoder\r\n"))
        << log.text;
    for (unsigned frame = 5; frame < 10; ++frame) {
        game.DrawScene(frame);
        game.Present();
    }
    const std::string codec = "avcodec-" + std::to_string(LIBAVCODEC_VERSION_MAJOR) + ".dll";
    EXPECT_EQ(nullptr, GetModuleHandleA(codec.c_str()));
    game.Stop();
    EXPECT_EQ(nullptr, VQHud());
}
