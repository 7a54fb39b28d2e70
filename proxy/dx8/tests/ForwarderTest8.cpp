// The proxy's exports against a stand-in runtime (run-with-fake-runtime.sh
// puts it in the system folder of this test's own Wine prefix as d3d8.dll).
#include <windows.h>

#include <gtest/gtest.h>

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

const char kLog[] = "C:\\forwarder8-test.log";

// The proxy beside this program, as in a game's folder.
std::string BesideProgram(const char* name) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, n < MAX_PATH ? n : 0);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + name;
}

template <typename Fn>
Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

TEST(Proxy8Forwarders, AgainstAStandInRuntime) {
    CVKRegistryStore registry;
    ASSERT_TRUE(registry.Write(VK_SETTINGS_KEY, "logFileName", kLog));
    DeleteFileA(kLog);

    HMODULE proxy = LoadLibraryA(BesideProgram("d3d8.dll").c_str());
    ASSERT_TRUE(proxy != nullptr);

    // A forwarder called before any Direct3DCreate8 loads the runtime itself;
    // all five arguments of the vertex shader validator arrive.
    typedef HRESULT(WINAPI * VertexFn)(DWORD*, DWORD*, DWORD*, BOOL, char**);
    VertexFn vertex = Export<VertexFn>(proxy, "ValidateVertexShader");
    ASSERT_TRUE(vertex != nullptr);
    DWORD shader = 3, a = 0, b = 0;
    char* errors = nullptr;
    EXPECT_EQ(11113, vertex(&shader, &a, &b, TRUE, &errors));
    EXPECT_EQ(3, vertex(&shader, nullptr, nullptr, FALSE, nullptr));

    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    HMODULE fake = GetModuleHandleA((std::string(system) + "\\d3d8.dll").c_str());
    ASSERT_TRUE(fake != nullptr) << "the proxy did not load the runtime of the system folder";
    ASSERT_NE(fake, proxy);
    auto calls = Export<int(WINAPI*)(const char*)>(fake, "FakeCallCount");
    ASSERT_TRUE(calls != nullptr);
    EXPECT_EQ(2, calls("ValidateVertexShader"));

    // Entries the runtime lacks give the default results.
    typedef HRESULT(WINAPI * PixelFn)(DWORD*, DWORD*, BOOL, char**);
    PixelFn pixel = Export<PixelFn>(proxy, "ValidatePixelShader");
    ASSERT_TRUE(pixel != nullptr);
    EXPECT_EQ(1, pixel(&shader, nullptr, FALSE, nullptr));
    EXPECT_EQ(1, pixel(&shader, nullptr, FALSE, nullptr));
    EXPECT_EQ(1, Export<BOOL(WINAPI*)()>(proxy, "CheckFullscreen")());
    EXPECT_EQ(E_FAIL, Export<HRESULT(WINAPI*)()>(proxy, "DebugSetMute")());
    EXPECT_EQ(E_FAIL, Export<HRESULT(WINAPI*)()>(proxy, "DebugSetMute")());

    // A runtime that makes no Direct3D object: the game gets none either.
    EXPECT_EQ(nullptr, Export<void*(WINAPI*)(UINT)>(proxy, "Direct3DCreate8")(220));
    EXPECT_EQ(1, calls("Direct3DCreate8"));

    // Without a HUD the input exports take nothing and leave the flag alone.
    int out = 5;
    EXPECT_EQ(0, Export<int(WINAPI*)(UINT, UINT, UINT, int*)>(proxy, "KeyboardProcDI")(78, 0, 0, &out));
    EXPECT_EQ(5, out);
    EXPECT_EQ(0, Export<int(WINAPI*)(UINT, UINT, UINT, int*)>(proxy, "MouseProcDI")(0x200, 0x40, 0x00050005, &out));
    EXPECT_EQ(5, out);

    FreeLibrary(proxy);

    std::string log = TestReadFile(kLog);
    EXPECT_EQ(0u, log.find("Loaded: proxydx8 ver 4.0.6.0\r\n")) << log;
    // The validators and CheckFullscreen log every call; DebugSetMute its first.
    EXPECT_EQ(2u, CountOf(log, "Proxydx8: ValidateVertexShader() call!\r\n")) << log;
    EXPECT_EQ(2u, CountOf(log, "Proxydx8: ValidatePixelShader() call!\r\n")) << log;
    EXPECT_EQ(2u, CountOf(log, "Proxydx8: Pointer to original ValidatePixelShader function not found ERROR\r\n"));
    EXPECT_EQ(1u, CountOf(log, "Proxydx8: CheckFullscreen() call!\r\n"));
    EXPECT_EQ(1u, CountOf(log, "Proxydx8: Pointer to original CheckFullscreen function not found ERROR\r\n"));
    EXPECT_EQ(1u, CountOf(log, "Proxydx8: DebugSetMute() call!\r\n"));
    EXPECT_EQ(2u, CountOf(log, "Proxydx8: Pointer to original DebugSetMute function not found ERROR\r\n"));
    EXPECT_EQ(0u, CountOf(log, "Pointer to original ValidateVertexShader"));
    EXPECT_EQ(0u, CountOf(log, "Proxydx9"));
    EXPECT_EQ(0u, CountOf(log, "switching to dinput mouse"));  // no hooks were installed
    size_t unloaded = log.find("Unloaded: proxydx8\r\n\r\n");
    EXPECT_NE(std::string::npos, unloaded);
    EXPECT_EQ(log.size(), unloaded + strlen("Unloaded: proxydx8\r\n\r\n"));
}
