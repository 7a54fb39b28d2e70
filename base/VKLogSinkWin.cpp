#include <windows.h>

#include <cstdio>

#include "CVKRegistryStore.h"
#include "VKLogSink.h"

namespace {
const ULONG_PTR kTraceId = 0x6E697774;  // the bytes of "twin"
const UINT kTraceTimeoutMs = 1000;      // a hung viewer must not hang the game
char g_fileName[kVKSettingMax];
}  // namespace

void VKLogSinkWrite(const char* text, int length, bool toFile) {
    HWND viewer = FindWindowA("MfxTraceWindow", nullptr);
    if (viewer) {
        COPYDATASTRUCT data;
        data.dwData = kTraceId;
        data.cbData = static_cast<DWORD>(length);
        data.lpData = const_cast<char*>(text);
        DWORD_PTR result = 0;
        SendMessageTimeoutA(viewer, WM_COPYDATA, reinterpret_cast<WPARAM>(GetDesktopWindow()),
                            reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, kTraceTimeoutMs, &result);
    }
    OutputDebugStringA(text);
    if (!toFile) return;
    // The value is read for every message, so a change takes effect at once.
    const char* name = "C:\\vqhud.log";
    if (CVKRegistryStore::ReadInto(VK_SETTINGS_KEY, "logFileName", g_fileName, sizeof g_fileName)) name = g_fileName;
    FILE* file = fopen(name, "ab");  // binary: the text is written unchanged
    if (!file) return;
    fwrite(text, 1, static_cast<size_t>(length), file);
    fclose(file);
}
