// The proxy's exports against a stand-in runtime (run-with-fake-runtime.sh
// puts it in the system folder of this test's own Wine prefix).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "CVKRegistryStore.h"
#include "TestFiles.h"
#include "VKSettings.h"

namespace {

size_t CountOf(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

const char kLog[] = "C:\\forwarder-test.log";

// The proxy beside this program, as in a game's folder (see run-with-fake-runtime.sh).
std::string BesideProgram(const char* name) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, n < MAX_PATH ? n : 0);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + name;
}

template <typename Fn>
Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(GetProcAddress(module, name));
}

}  // namespace

TEST(Proxy9Forwarders, AgainstAStandInRuntime) {
    CVKRegistryStore registry;
    ASSERT_TRUE(registry.Write(VK_SETTINGS_KEY, "logFileName", kLog));
    DeleteFileA(kLog);

    HMODULE proxy = LoadLibraryA(BesideProgram("d3d9.dll").c_str());
    ASSERT_TRUE(proxy != nullptr);

    // A quiet forwarder called before any Direct3DCreate9 loads the runtime itself.
    auto beginEvent = Export<int(WINAPI*)(DWORD, LPCWSTR)>(proxy, "D3DPERF_BeginEvent");
    ASSERT_TRUE(beginEvent != nullptr);
    EXPECT_EQ(0x12, beginEvent(0x12, L"a"));
    EXPECT_EQ(1000 + 0x13, beginEvent(0x13, L"x"));
    EXPECT_EQ(0x14, beginEvent(0x14, nullptr));

    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    HMODULE fake = GetModuleHandleA((std::string(system) + "\\d3d9.dll").c_str());
    ASSERT_TRUE(fake != nullptr) << "the proxy did not load the runtime of the system folder";
    ASSERT_NE(fake, proxy);
    auto calls = Export<int(WINAPI*)(const char*)>(fake, "FakeCallCount");
    ASSERT_TRUE(calls != nullptr);
    EXPECT_EQ(3, calls("D3DPERF_BeginEvent"));

    // Forwarded entries: results and arguments pass through unchanged.
    EXPECT_EQ(7, Export<int(WINAPI*)()>(proxy, "D3DPERF_EndEvent")());
    EXPECT_EQ(42, Export<HRESULT(WINAPI*)(DWORD)>(proxy, "DebugSetMute")(21));
    EXPECT_EQ(321, Export<HRESULT(WINAPI*)(void*, DWORD, DWORD)>(proxy, "PSGPError")(reinterpret_cast<void*>(1), 2, 3));
    Export<void(WINAPI*)(DWORD, LPCWSTR)>(proxy, "D3DPERF_SetMarker")(1, L"m");
    Export<void(WINAPI*)(DWORD)>(proxy, "D3DPERF_SetOptions")(1);
    Export<void(WINAPI*)(DWORD, LPCWSTR)>(proxy, "D3DPERF_SetRegion")(1, L"r");
    EXPECT_EQ(1, calls("D3DPERF_EndEvent"));
    EXPECT_EQ(1, calls("DebugSetMute"));
    EXPECT_EQ(1, calls("PSGPError"));
    EXPECT_EQ(1, calls("D3DPERF_SetMarker"));
    EXPECT_EQ(1, calls("D3DPERF_SetOptions"));
    EXPECT_EQ(1, calls("D3DPERF_SetRegion"));

    // Entries the runtime lacks give the default results.
    EXPECT_EQ(1, Export<BOOL(WINAPI*)()>(proxy, "CheckFullscreen")());
    EXPECT_EQ(0u, Export<DWORD(WINAPI*)()>(proxy, "D3DPERF_GetStatus")());
    EXPECT_EQ(0u, Export<DWORD(WINAPI*)()>(proxy, "D3DPERF_GetStatus")());
    EXPECT_EQ(0, Export<BOOL(WINAPI*)()>(proxy, "D3DPERF_QueryRepeatFrame")());
    EXPECT_EQ(E_FAIL, Export<HRESULT(WINAPI*)()>(proxy, "DebugSetLevel")());
    EXPECT_EQ(E_FAIL, Export<HRESULT(WINAPI*)()>(proxy, "Direct3DShaderValidatorCreate9")());
    EXPECT_EQ(E_FAIL, Export<HRESULT(WINAPI*)(void*, DWORD, void*, DWORD, void*)>(proxy, "PSGPSampleTexture")(
                          nullptr, 0, nullptr, 0, nullptr));

    // A runtime that makes no Direct3D object: the game gets none either.
    EXPECT_EQ(nullptr, Export<void*(WINAPI*)(UINT)>(proxy, "Direct3DCreate9")(32));
    EXPECT_EQ(1, calls("Direct3DCreate9"));
    void* ex = reinterpret_cast<void*>(1);
    EXPECT_EQ(0x100 + 32, Export<HRESULT(WINAPI*)(UINT, void**)>(proxy, "Direct3DCreate9Ex")(32, &ex));
    EXPECT_EQ(nullptr, ex);

    // Without a HUD the input exports take nothing and leave the flag alone.
    int out = 5;
    EXPECT_EQ(0, Export<int(WINAPI*)(UINT, UINT, UINT, int*)>(proxy, "KeyboardProcDI")(78, 0, 0, &out));
    EXPECT_EQ(5, out);
    EXPECT_EQ(0, Export<int(WINAPI*)(UINT, UINT, UINT, int*)>(proxy, "MouseProcDI")(0x200, 0x40, 0x00050005, &out));

    FreeLibrary(proxy);

    std::string log = TestReadFile(kLog);
    EXPECT_EQ(0u, log.find("Loaded: proxydx9 ver 4.0.6.0\r\n")) << log;
    EXPECT_EQ(1u, CountOf(log, "Proxydx9: D3DPERF_BeginEvent() call!\r\n"));
    EXPECT_EQ(1u, CountOf(log, "Proxydx9: D3DPERF_GetStatus() call!\r\n"));
    EXPECT_EQ(2u, CountOf(log, "Proxydx9: Pointer to original D3DPERF_GetStatus function not found ERROR\r\n"));
    EXPECT_EQ(1u, CountOf(log, "Proxydx9: Pointer to original CheckFullscreen function not found ERROR\r\n"));
    EXPECT_EQ(0u, CountOf(log, "Pointer to original D3DPERF_BeginEvent"));
    EXPECT_EQ(1u, CountOf(log, "Proxydx9: Direct3DCreate9Ex(0x20) called!\r\n"));
    EXPECT_EQ(0u, CountOf(log, "switching to dinput mouse"));  // no hooks were installed
    size_t unloaded = log.find("Unloaded: proxydx9\r\n\r\n");
    EXPECT_NE(std::string::npos, unloaded);
    EXPECT_EQ(log.size(), unloaded + strlen("Unloaded: proxydx9\r\n\r\n"));
}
