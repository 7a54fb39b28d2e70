/* A program of ours that only records that it ran: one line "path|command
   line" appended to the file named by the registry value
   HKCU\Software\BRINMOOR\OrvaloTests\recordFile. The tests serve it as the
   update installer and register it as the web browser. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    char record[MAX_PATH] = {0}, self[MAX_PATH] = {0};
    DWORD size = sizeof record - 1;
    HKEY key;
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\BRINMOOR\\OrvaloTests", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 1;
    if (RegQueryValueExA(key, "recordFile", NULL, NULL, (BYTE*)record, &size) != ERROR_SUCCESS) {
        RegCloseKey(key);
        return 1;
    }
    RegCloseKey(key);
    GetModuleFileNameA(NULL, self, sizeof self - 1);
    FILE* f = fopen(record, "ab");
    if (!f) return 1;
    fprintf(f, "%s|%s\r\n", self, GetCommandLineA());
    fclose(f);
    return 0;
}
