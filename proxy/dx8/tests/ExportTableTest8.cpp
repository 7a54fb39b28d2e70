// Reads the export directory of the built d3d8.dll from the file itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "PeExports.h"
#include "TestFiles.h"

TEST(Proxy8Exports, NamesAndOrdinalsExactly) {
    // PROXY8_DLL_PATH names another build of the library (the shipped 32-bit one).
    const char* other = getenv("PROXY8_DLL_PATH");
    const char* path = other && *other ? other : PROXY8_DLL;
    const std::string bytes = TestReadFile(TestWindowsPath(path));
    std::vector<unsigned char> file(bytes.begin(), bytes.end());
    ASSERT_FALSE(file.empty()) << path;
    if (other && *other) {
        EXPECT_EQ(IMAGE_FILE_MACHINE_I386, PeMachine(file)) << "the shipped library is 32-bit";
    }
    const std::map<std::string, int> expected = {
        {"CheckFullscreen", 1}, {"ValidatePixelShader", 2}, {"ValidateVertexShader", 3}, {"DebugSetMute", 4},
        {"Direct3DCreate8", 5}, {"KeyboardProcDI", 6},      {"MouseProcDI", 7},
    };
    EXPECT_EQ(expected, PeExports(file));
}
