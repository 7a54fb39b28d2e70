// Direct3DCreate9Ex against a stand-in runtime that lacks it (as the runtimes
// before the extended interface do): the game is told the interface is not
// available and keeps running, so it can fall back to Direct3DCreate9.
#include <windows.h>
#include <d3d9.h>

#include <gtest/gtest.h>

#include <string>

#include "CVKRegistryStore.h"
#include "TestFiles.h"
#include "VKSettings.h"

namespace {

// The proxy beside this program, as in a game's folder (see run-with-fake-runtime.sh).
std::string BesideProgram(const char* name) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, n < MAX_PATH ? n : 0);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + name;
}

}  // namespace

TEST(Proxy9CreateEx, MissingEntryIsReportedNotFatal) {
    const char kLog[] = "C:\\create-ex-test.log";
    CVKRegistryStore registry;
    ASSERT_TRUE(registry.Write(VK_SETTINGS_KEY, "logFileName", kLog));
    DeleteFileA(kLog);

    HMODULE proxy = LoadLibraryA(BesideProgram("d3d9.dll").c_str());
    ASSERT_TRUE(proxy != nullptr);
    typedef HRESULT(WINAPI * CreateEx)(UINT, void**);
    CreateEx create = reinterpret_cast<CreateEx>(reinterpret_cast<void*>(GetProcAddress(proxy, "Direct3DCreate9Ex")));
    ASSERT_TRUE(create != nullptr);

    void* object = reinterpret_cast<void*>(1);  // a left-over value must not reach the game
    EXPECT_EQ(D3DERR_NOTAVAILABLE, create(D3D_SDK_VERSION, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(D3DERR_NOTAVAILABLE, create(D3D_SDK_VERSION, nullptr));
    FreeLibrary(proxy);

    // Still running here: the process was not ended.
    std::string log = TestReadFile(kLog);
    EXPECT_NE(std::string::npos, log.find("Proxydx9: Pointer to original D3DCreate9Ex function not received ERROR\r\n"))
        << log;
    EXPECT_EQ(std::string::npos, log.find("Direct3DCreate9Ex(0x")) << log;
}
