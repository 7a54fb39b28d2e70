// Drives the desktop program as a user would, through window messages to its
// controls. Each argument group is one step; steps run in order and the
// first failing step ends the program with exit code 1. Before the first
// step it writes "driver: started" to its error output, so a caller can tell
// a program that never began (and may be started again) from one that did,
// and "driver: done" after the last step succeeded (a caller need not wait
// long for a process that is slow to end after that).
// A step that acts on a window or control first waits up to 30 s for it (a
// busy machine can be slow to show a window the program was just told to
// open) and says which one it did not find.
//   wait-window TITLE SECONDS       a visible top-level window with this title
//   wait-gone TITLE SECONDS         no such window any more
//   click TITLE ID                  a button press (posted, never waits)
//   command TITLE ID                a menu command posted to the window
//   settext TITLE ID TEXT           sets a control's text
//   wait-text TITLE ID TEXT SECONDS the control's text becomes TEXT
//   wait-visible TITLE ID SECONDS   the control becomes visible
//   wait-count TITLE ID N SECONDS   the list view holds N items
//   select TITLE ID INDEX           selects a list view item
//   tab TITLE INDEX                 selects a tab
//   wait-tab TITLE INDEX SECONDS    the tab row shows this tab selected
//   wait-hidden TITLE SECONDS       the window exists but is hidden
//   wait-lbcount TITLE ID N SECONDS the list box holds N lines
//   lb-select TITLE ID INDEX        selects a list box line
//   answer TEXT BUTTON SECONDS      a message box whose text holds TEXT is
//                                   answered with the button (1 OK, 6 Yes, 7 No)
//   no-box                          fails when a message box is open
//   quiet SECONDS                   fails when a message box opens within SECONDS
//   close TITLE                     asks a window to close (WM_CLOSE)
//   rect TITLE                      prints "rect: WxH+X+Y" of the window
//   wait-lvtext TITLE ID INDEX TEXT SECONDS  list view item INDEX reads TEXT
//   wait-occurs TITLE ID TEXT N SECONDS      the control's text holds TEXT
//                                   exactly N times
//   cb-select TITLE ID INDEX        chooses a combo box line (the dialog is
//                                   told, as when the user picks it)
//   select-text TITLE ID TEXT       selects the list view item that reads TEXT
//   move TITLE X Y                  moves the window's top-left corner to X, Y
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Find {
    const char* title;
    HWND found;
};

BOOL CALLBACK FindTop(HWND hwnd, LPARAM lp) {
    Find* f = reinterpret_cast<Find*>(lp);
    char text[512];
    if (IsWindowVisible(hwnd) && GetWindowTextA(hwnd, text, sizeof text) && strcmp(text, f->title) == 0) {
        f->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND TopWindow(const char* title) {
    Find f = {title, nullptr};
    EnumWindows(FindTop, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

struct FindId {
    int id;
    HWND found;
};

BOOL CALLBACK FindChild(HWND hwnd, LPARAM lp) {
    FindId* f = reinterpret_cast<FindId*>(lp);
    if (GetDlgCtrlID(hwnd) == f->id) {
        f->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND Control(const char* title, int id) {
    HWND top = TopWindow(title);
    if (!top) return nullptr;
    FindId f = {id, nullptr};
    EnumChildWindows(top, FindChild, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

std::string Text(HWND hwnd) {
    char text[4096] = {0};
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
    return text;
}

template <typename F>
bool WaitFor(double seconds, F test) {
    DWORD end = GetTickCount() + static_cast<DWORD>(seconds * 1000);
    for (;;) {
        if (test()) return true;
        if (static_cast<LONG>(GetTickCount() - end) > 0) return false;
        Sleep(100);
    }
}

// How long a step that acts on a window waits for it to be there.
const double kTargetSeconds = 30;

HWND TargetWindow(const char* title) {
    HWND w = nullptr;
    if (!WaitFor(kTargetSeconds, [&] { return (w = TopWindow(title)) != nullptr; }))
        printf("driver: no visible window \"%s\" after %.0f s\n", title, kTargetSeconds);
    return w;
}

HWND TargetControl(const char* title, int id) {
    HWND c = nullptr;
    if (!WaitFor(kTargetSeconds, [&] { return (c = Control(title, id)) != nullptr; }))
        printf("driver: no control %d in a visible window \"%s\" after %.0f s\n", id, title, kTargetSeconds);
    return c;
}

// A message box of the program whose text holds part.
struct FindBox {
    const char* part;
    HWND found;
};

BOOL CALLBACK FindBoxProc(HWND hwnd, LPARAM lp) {
    FindBox* f = reinterpret_cast<FindBox*>(lp);
    char cls[64], title[256];
    GetClassNameA(hwnd, cls, sizeof cls);
    GetWindowTextA(hwnd, title, sizeof title);
    if (!IsWindowVisible(hwnd) || strcmp(cls, "#32770") != 0 || strcmp(title, "Orvalo HUD Desktop") != 0) return TRUE;
    HWND text = GetDlgItem(hwnd, 0xFFFF);
    if (!f->part[0] || (text && Text(text).find(f->part) != std::string::npos)) {
        f->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND MessageBoxWindow(const char* part) {
    FindBox f = {part, nullptr};
    EnumWindows(FindBoxProc, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

bool SelectItem(HWND list, int index) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, pid);
    if (!process) return false;
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    void* remote = VirtualAllocEx(process, nullptr, sizeof item, MEM_COMMIT, PAGE_READWRITE);
    bool ok = remote && WriteProcessMemory(process, remote, &item, sizeof item, nullptr) &&
              SendMessageA(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(remote));
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return ok;
}

std::string ItemText(HWND list, int index) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, pid);
    if (!process) return "";
    const int size = 512;
    char* remote =
        static_cast<char*>(VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + size, MEM_COMMIT, PAGE_READWRITE));
    std::string text;
    if (remote) {
        LVITEMA item = {};
        item.iSubItem = 0;
        item.pszText = remote + sizeof(LVITEMA);
        item.cchTextMax = size;
        char buffer[size] = {0};
        if (WriteProcessMemory(process, remote, &item, sizeof item, nullptr) &&
            SendMessageA(list, LVM_GETITEMTEXTA, index, reinterpret_cast<LPARAM>(remote)) >= 0 &&
            ReadProcessMemory(process, remote + sizeof(LVITEMA), buffer, size - 1, nullptr))
            text = buffer;
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return text;
}

int Occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); !part.empty() && at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    fputs("driver: started\n", stderr);
    fflush(stderr);
    int i = 1;
    auto arg = [&](int k) -> const char* { return i + k < argc ? argv[i + k] : ""; };
    while (i < argc) {
        std::string step = argv[i];
        bool ok = false;
        int used = 1;
        if (step == "wait-window") {
            ok = WaitFor(atof(arg(2)), [&] { return TopWindow(arg(1)) != nullptr; });
            used = 3;
        } else if (step == "wait-gone") {
            ok = WaitFor(atof(arg(2)), [&] { return TopWindow(arg(1)) == nullptr; });
            used = 3;
        } else if (step == "click") {
            HWND c = TargetControl(arg(1), atoi(arg(2)));
            ok = c && PostMessageA(GetParent(c), WM_COMMAND, MAKEWPARAM(atoi(arg(2)), BN_CLICKED),
                                   reinterpret_cast<LPARAM>(c));
            used = 3;
        } else if (step == "command") {
            HWND w = TargetWindow(arg(1));
            ok = w && PostMessageA(w, WM_COMMAND, atoi(arg(2)), 0);
            used = 3;
        } else if (step == "settext") {
            HWND c = TargetControl(arg(1), atoi(arg(2)));
            ok = c && SendMessageA(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(arg(3)));
            used = 4;
        } else if (step == "wait-text") {
            ok = WaitFor(atof(arg(4)), [&] {
                HWND c = Control(arg(1), atoi(arg(2)));
                return c && Text(c) == arg(3);
            });
            used = 5;
        } else if (step == "wait-visible") {
            ok = WaitFor(atof(arg(3)), [&] {
                HWND c = Control(arg(1), atoi(arg(2)));
                return c && IsWindowVisible(c);
            });
            used = 4;
        } else if (step == "wait-count") {
            ok = WaitFor(atof(arg(4)), [&] {
                HWND c = Control(arg(1), atoi(arg(2)));
                return c && SendMessageA(c, LVM_GETITEMCOUNT, 0, 0) == atoi(arg(3));
            });
            used = 5;
        } else if (step == "select") {
            HWND c = TargetControl(arg(1), atoi(arg(2)));
            ok = c && SelectItem(c, atoi(arg(3)));
            used = 4;
        } else if (step == "tab") {
            HWND c = TargetControl(arg(1), 1000);
            ok = c && SendMessageA(c, TCM_SETCURSEL, atoi(arg(2)), 0) >= 0;
            used = 3;
        } else if (step == "wait-tab") {
            ok = WaitFor(atof(arg(3)), [&] {
                HWND c = Control(arg(1), 1000);
                return c && SendMessageA(c, TCM_GETCURSEL, 0, 0) == atoi(arg(2));
            });
            used = 4;
        } else if (step == "wait-hidden") {
            ok = WaitFor(atof(arg(2)), [&] {
                HWND w = FindWindowA(nullptr, arg(1));
                return w && !IsWindowVisible(w);
            });
            used = 3;
        } else if (step == "wait-lbcount") {
            ok = WaitFor(atof(arg(4)), [&] {
                HWND c = Control(arg(1), atoi(arg(2)));
                return c && SendMessageA(c, LB_GETCOUNT, 0, 0) == atoi(arg(3));
            });
            used = 5;
        } else if (step == "lb-select") {
            HWND c = TargetControl(arg(1), atoi(arg(2)));
            ok = c && SendMessageA(c, LB_SETCURSEL, atoi(arg(3)), 0) == atoi(arg(3));
            used = 4;
        } else if (step == "answer") {
            HWND box = nullptr;
            ok = WaitFor(atof(arg(3)), [&] { return (box = MessageBoxWindow(arg(1))) != nullptr; });
            if (ok) {
                HWND button = GetDlgItem(box, atoi(arg(2)));
                ok = PostMessageA(box, WM_COMMAND, MAKEWPARAM(atoi(arg(2)), BN_CLICKED),
                                  reinterpret_cast<LPARAM>(button));
            }
            used = 4;
        } else if (step == "quiet") {
            ok = !WaitFor(atof(arg(1)), [&] { return MessageBoxWindow("") != nullptr; });
            if (!ok) printf("driver: message box open: %s\n", Text(GetDlgItem(MessageBoxWindow(""), 0xFFFF)).c_str());
            used = 2;
        } else if (step == "rect") {
            HWND w = TargetWindow(arg(1));
            RECT r;
            ok = w && GetWindowRect(w, &r);
            if (ok) printf("rect: %ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
            used = 2;
        } else if (step == "close") {
            HWND w = TargetWindow(arg(1));
            ok = w && PostMessageA(w, WM_CLOSE, 0, 0);
            used = 2;
        } else if (step == "wait-lvtext") {
            ok = WaitFor(atof(arg(5)), [&] {
                HWND c = Control(arg(1), atoi(arg(2)));
                return c && ItemText(c, atoi(arg(3))) == arg(4);
            });
            used = 6;
        } else if (step == "wait-occurs") {
            std::string seen;
            ok = WaitFor(atof(arg(5)), [&] {
                HWND c = Control(arg(1), atoi(arg(2)));
                seen = c ? Text(c) : std::string();
                return c && Occurrences(seen, arg(3)) == atoi(arg(4));
            });
            // What the control held instead, for the log of a failed run.
            if (!ok) printf("driver: found %d times in: %s\n", Occurrences(seen, arg(3)), seen.c_str());
            used = 6;
        } else if (step == "cb-select") {
            HWND c = TargetControl(arg(1), atoi(arg(2)));
            ok = c && SendMessageA(c, CB_SETCURSEL, atoi(arg(3)), 0) == atoi(arg(3)) &&
                 PostMessageA(GetParent(c), WM_COMMAND, MAKEWPARAM(atoi(arg(2)), CBN_SELCHANGE),
                              reinterpret_cast<LPARAM>(c));
            used = 4;
        } else if (step == "select-text") {
            HWND c = TargetControl(arg(1), atoi(arg(2)));
            const int count = c ? static_cast<int>(SendMessageA(c, LVM_GETITEMCOUNT, 0, 0)) : 0;
            for (int k = 0; k < count && !ok; ++k)
                if (ItemText(c, k) == arg(3)) ok = SelectItem(c, k);
            used = 4;
        } else if (step == "move") {
            HWND w = TargetWindow(arg(1));
            ok = w && SetWindowPos(w, nullptr, atoi(arg(2)), atoi(arg(3)), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            used = 4;
        } else if (step == "no-box") {
            HWND box = MessageBoxWindow("");
            ok = box == nullptr;
            if (!ok) printf("driver: message box open: %s\n", Text(GetDlgItem(box, 0xFFFF)).c_str());
        } else {
            printf("driver: unknown step %s\n", step.c_str());
            return 2;
        }
        std::string shown = step;
        for (int k = 1; k < used; ++k) shown += std::string(" ") + arg(k);
        printf("driver: %s %s\n", ok ? "ok" : "FAILED", shown.c_str());
        fflush(stdout);
        if (!ok) return 1;
        i += used;
    }
    fputs("driver: done\n", stderr);
    fflush(stderr);
    return 0;
}
