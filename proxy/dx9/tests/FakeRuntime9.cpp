// A stand-in for the system's Direct3D 9 runtime: counts the calls of each
// entry and returns values derived from the arguments, so a test can see that
// the proxy handed the call on unchanged. It lacks CheckFullscreen,
// Direct3DShaderValidatorCreate9, PSGPSampleTexture, D3DPERF_GetStatus,
// D3DPERF_QueryRepeatFrame and DebugSetLevel on purpose.
#include <windows.h>

#include <cstring>
#include <map>
#include <string>

namespace {
std::map<std::string, int>& Counts() {
    static std::map<std::string, int> counts;
    return counts;
}
void Count(const char* name) { ++Counts()[name]; }
}  // namespace

extern "C" {

int WINAPI Fake_CallCount(const char* name) { return Counts()[name]; }

void* WINAPI Fake_Direct3DCreate9(UINT) {
    Count("Direct3DCreate9");
    return nullptr;  // a runtime that makes no object
}

HRESULT WINAPI Fake_Direct3DCreate9Ex(UINT sdk, void** out) {
    Count("Direct3DCreate9Ex");
    if (out) *out = nullptr;
    return static_cast<HRESULT>(0x100 + sdk);
}

int WINAPI Fake_D3DPERF_BeginEvent(DWORD colour, LPCWSTR name) {
    Count("D3DPERF_BeginEvent");
    return static_cast<int>(colour & 0xFF) + (name && name[0] == L'x' ? 1000 : 0);
}

int WINAPI Fake_D3DPERF_EndEvent() {
    Count("D3DPERF_EndEvent");
    return 7;
}

void WINAPI Fake_D3DPERF_SetMarker(DWORD, LPCWSTR) { Count("D3DPERF_SetMarker"); }
void WINAPI Fake_D3DPERF_SetOptions(DWORD) { Count("D3DPERF_SetOptions"); }
void WINAPI Fake_D3DPERF_SetRegion(DWORD, LPCWSTR) { Count("D3DPERF_SetRegion"); }

HRESULT WINAPI Fake_DebugSetMute(DWORD mute) {
    Count("DebugSetMute");
    return static_cast<HRESULT>(mute * 2);
}

HRESULT WINAPI Fake_PSGPError(void* a, DWORD b, DWORD c) {
    Count("PSGPError");
    return static_cast<HRESULT>(reinterpret_cast<UINT_PTR>(a) + b * 10 + c * 100);
}

}  // extern "C"
