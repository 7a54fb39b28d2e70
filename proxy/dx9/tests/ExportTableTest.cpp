// Reads the export directory of the built d3d9.dll from the file itself.
#include <windows.h>

#include <gtest/gtest.h>

#include "PeExports.h"
#include "TestFiles.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

TEST(Proxy9Exports, NamesAndOrdinalsExactly) {
    // PROXY9_DLL_PATH names another build of the library (the shipped 32-bit one).
    const char* other = getenv("PROXY9_DLL_PATH");
    const char* path = other && *other ? other : PROXY9_DLL;
    const std::string bytes = TestReadFile(TestWindowsPath(path));
    std::vector<unsigned char> file(bytes.begin(), bytes.end());
    ASSERT_FALSE(file.empty()) << path;
    if (other && *other) {
        EXPECT_EQ(IMAGE_FILE_MACHINE_I386, PeMachine(file)) << "the shipped library is 32-bit";
    }
    const std::map<std::string, int> expected = {
        {"CheckFullscreen", 1},    {"Direct3DShaderValidatorCreate9", 2},
        {"PSGPError", 3},          {"PSGPSampleTexture", 4},
        {"D3DPERF_BeginEvent", 5}, {"D3DPERF_EndEvent", 6},
        {"D3DPERF_GetStatus", 7},  {"D3DPERF_QueryRepeatFrame", 8},
        {"D3DPERF_SetMarker", 9},  {"D3DPERF_SetOptions", 10},
        {"D3DPERF_SetRegion", 11}, {"DebugSetLevel", 12},
        {"DebugSetMute", 13},      {"Direct3DCreate9", 14},
        {"Direct3DCreate9Ex", 15}, {"KeyboardProcDI", 16},
        {"MouseProcDI", 17},
    };
    EXPECT_EQ(expected, PeExports(file));
}
