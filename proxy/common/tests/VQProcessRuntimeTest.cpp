#include <gtest/gtest.h>

#include "VQProcessRuntime.h"

// A proxy serves as the process's runtime only where the loader looks first
// for a library asked for by name; elsewhere (a keyboard hook mapped it into
// another program) it stays out of the way.
TEST(VQIsProcessRuntime, OnlyFromTheProgramsFolderOrItsDllDirectory) {
    const wchar_t* game = L"C:\\Games\\Old\\d3d8.dll";
    EXPECT_TRUE(VQIsProcessRuntime(true, game, L"C:\\Other\\x.exe", nullptr));  // bound by the loader
    EXPECT_TRUE(VQIsProcessRuntime(false, game, L"C:\\Games\\Old\\old.exe", nullptr));
    EXPECT_TRUE(VQIsProcessRuntime(false, game, L"c:/games/OLD/Old.exe", nullptr));
    EXPECT_FALSE(VQIsProcessRuntime(false, game, L"C:\\Browser\\browser.exe", nullptr));
    EXPECT_FALSE(VQIsProcessRuntime(false, game, L"C:\\Games\\Old2\\old.exe", nullptr));
    EXPECT_FALSE(VQIsProcessRuntime(false, game, L"C:\\Games\\old.exe", nullptr));
    EXPECT_FALSE(VQIsProcessRuntime(false, game, L"C:\\Games\\Old\\bin\\old.exe", nullptr));
    EXPECT_TRUE(VQIsProcessRuntime(false, game, L"C:\\Games\\launch.exe", L"C:\\Games\\Old\\"));
    EXPECT_TRUE(VQIsProcessRuntime(false, game, L"C:\\Games\\launch.exe", L"C:\\Games\\Old"));
    EXPECT_FALSE(VQIsProcessRuntime(false, game, L"C:\\Games\\launch.exe", L""));
    EXPECT_FALSE(VQIsProcessRuntime(false, L"d3d8.dll", L"old.exe", nullptr));  // no folder at all
    EXPECT_FALSE(VQIsProcessRuntime(false, nullptr, L"old.exe", nullptr));
}
