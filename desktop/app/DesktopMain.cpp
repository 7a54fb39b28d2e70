// Entry of OrvaloHUDDesktop.exe.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "CVKDialog.h"
#include "DesktopStartup.h"
#include "MainWindow.h"
#include "VKLog.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES |
                                                          ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    OleInitialize(nullptr);
    bool startup = false;
    if (!DesktopStartup(GetCommandLineA(), &startup)) {
        OleUninitialize();
        return 0;
    }
    MainWindow main(startup);
    if (!main.Create(nullptr)) {
        LogMessage("WinMain(): Failed to create the main window (%lu)\r\n", GetLastError());
        OleUninitialize();
        return 1;
    }
    ShowWindow(main.Handle(), SW_SHOW);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (CVKDialog::PreTranslate(&msg)) continue;
        if (IsDialogMessageA(main.Handle(), &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    OleUninitialize();
    return 0;
}
