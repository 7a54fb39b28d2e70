// A stand-in for the system's Direct3D 8 runtime: counts the calls of each
// entry and returns values derived from every argument, so a test can see
// that the proxy handed the call on unchanged. It lacks CheckFullscreen,
// ValidatePixelShader and DebugSetMute on purpose.
#include <windows.h>

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

int WINAPI Fake8_CallCount(const char* name) { return Counts()[name]; }

void* WINAPI Fake8_Direct3DCreate8(UINT) {
    Count("Direct3DCreate8");
    return nullptr;  // a runtime that makes no object
}

// Five arguments, as the platform's validator takes; the result shows each.
HRESULT WINAPI Fake8_ValidateVertexShader(DWORD* shader, DWORD* a, DWORD* b, BOOL returnErrors, char** errors) {
    Count("ValidateVertexShader");
    return static_cast<HRESULT>((shader ? *shader : 0) + (a ? 10 : 0) + (b ? 100 : 0) + (returnErrors ? 1000 : 0) +
                                (errors ? 10000 : 0));
}

}  // extern "C"
