// LogMessage's three destinations under Wine: a trace viewer window, the
// debugger output (not observable here) and the file named in the registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "CVKRegistryStore.h"
#include "LogCapture.h"
#include "TestFiles.h"
#include "VKLog.h"
#include "VKSettings.h"

namespace {

std::vector<std::string> g_received;
ULONG_PTR g_lastId = 0;

LRESULT CALLBACK TraceProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COPYDATA) {
        const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        g_lastId = data->dwData;
        g_received.emplace_back(static_cast<const char*>(data->lpData), data->cbData);
        return TRUE;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_hadName = CVKRegistryStore::ReadInto(VK_SETTINGS_KEY, "logFileName", m_oldName, sizeof m_oldName);
    }
    void TearDown() override {
        m_registry.Write(VK_SETTINGS_KEY, "logFileName", m_hadName ? m_oldName : "C:\\vqhud.log");
    }
    void UseFile(const char* path) {
        ASSERT_TRUE(m_registry.Write(VK_SETTINGS_KEY, "logFileName", path));
        DeleteFileA(path);
    }
    CVKRegistryStore m_registry;
    char m_oldName[1024];
    bool m_hadName = false;
};

}  // namespace

TEST_F(LogTest, ReachesTheTraceWindowAndTheFileUnchanged) {
    UseFile("C:\\vklog-test.log");
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TraceProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MfxTraceWindow";
    ASSERT_TRUE(RegisterClassA(&wc));
    // A trace viewer is an ordinary top-level window (here a hidden one):
    // FindWindow sees those on every system, message-only windows only on some.
    HWND viewer =
        CreateWindowA("MfxTraceWindow", "trace", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(viewer != nullptr);
    ASSERT_FALSE(IsWindowVisible(viewer));

    g_received.clear();
    LogMessage("CVQTest::Run(): %d of %s\r\n", 3, "five");
    ASSERT_EQ(1u, g_received.size());
    EXPECT_EQ("CVQTest::Run(): 3 of five\r\n", g_received[0]);
    EXPECT_EQ(0x6E697774u, g_lastId);
    // Written as it is: no second CR before the LF.
    EXPECT_EQ("CVQTest::Run(): 3 of five\r\n", TestReadFile("C:\\vklog-test.log"));
    DestroyWindow(viewer);
    UnregisterClassA("MfxTraceWindow", wc.hInstance);

    // Without a viewer the file still gets the line; a change of the value takes effect at once.
    UseFile("C:\\vklog-test2.log");
    LogMessage("second\r\n");
    EXPECT_EQ("second\r\n", TestReadFile("C:\\vklog-test2.log"));
}

TEST_F(LogTest, LongMessagesAreCutAt65535) {
    UseFile("C:\\vklog-long.log");
    std::string exact(65535, 'a');
    LogMessage("%s", exact.c_str());
    EXPECT_EQ(65535u, TestReadFile("C:\\vklog-long.log").size());

    UseFile("C:\\vklog-long2.log");
    std::string tooLong(70000, 'b');
    LogMessage("%s", tooLong.c_str());
    std::string written = TestReadFile("C:\\vklog-long2.log");
    EXPECT_EQ(65535u, written.size());
    EXPECT_EQ(std::string(65535, 'b'), written);
}

TEST_F(LogTest, FileThatCannotBeOpenedLosesOnlyThatMessageForTheFile) {
    // Nothing falls back to the default file, the other destinations still
    // get the message, and the next message reaches a usable file again.
    const std::string before = TestReadFile("C:\\vqhud.log");
    UseFile("C:\\no-such-folder-here\\x.log");
    LogCapture log;
    LogMessage("lost %d\r\n", 1);
    EXPECT_EQ("lost 1\r\n", log.text);
    EXPECT_EQ(before, TestReadFile("C:\\vqhud.log"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\no-such-folder-here"));

    UseFile("C:\\vklog-after.log");
    LogMessage("kept\r\n");
    EXPECT_EQ("kept\r\n", TestReadFile("C:\\vklog-after.log"));
}

TEST_F(LogTest, MessagesFromSeveralThreadsDoNotMix) {
    UseFile("C:\\vklog-threads.log");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            std::string body(200, static_cast<char>('A' + t));
            for (int i = 0; i < 50; ++i) LogMessage("[%s]\r\n", body.c_str());
        });
    for (auto& th : threads) th.join();
    std::string text = TestReadFile("C:\\vklog-threads.log");
    ASSERT_EQ(200u * 204u, text.size());
    for (size_t at = 0; at < text.size(); at += 204) {
        ASSERT_EQ('[', text[at]);
        char c = text[at + 1];
        ASSERT_EQ(std::string(200, c), text.substr(at + 1, 200)) << "mixed line at " << at;
        ASSERT_EQ("]\r\n", text.substr(at + 201, 3));
    }
}

namespace {
HANDLE g_inside = nullptr, g_letGo = nullptr;
void HoldingHook(const char*, int, void*) {
    SetEvent(g_inside);
    WaitForSingleObject(g_letGo, 10000);
}
}  // namespace

TEST_F(LogTest, IfFreeNeverWaitsForAThreadInsideTheLog) {
    UseFile("C:\\vklog-iffree.log");
    g_inside = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_letGo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    VKSetLogHook(HoldingHook, nullptr);
    std::thread holder([] { LogMessage("held\r\n"); });
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(g_inside, 10000));
    EXPECT_EQ(0, LogMessageIfFree("skipped\r\n"));  // returns at once, writes nothing
    SetEvent(g_letGo);
    holder.join();
    VKSetLogHook(nullptr, nullptr);
    EXPECT_EQ(1, LogMessageIfFree("written %d\r\n", 2));
    EXPECT_EQ("held\r\nwritten 2\r\n", TestReadFile("C:\\vklog-iffree.log"));
    CloseHandle(g_inside);
    CloseHandle(g_letGo);
}
