// Friends page figures (printed, never judged): a friends list of N friends
// with avatars, served by a web server on 127.0.0.1 that this program runs.
//   list drawn   from the FRIENDS LIST message to the page drawn, without
//                avatars on disk and with every avatar on disk, milliseconds;
//                with avatars on disk also until every avatar is shown (they
//                are loaded a few per tick)
//   ticks        the GUI thread's steps (messages and the page's tick) while
//                every avatar is downloaded, and while the avatars on disk
//                are shown: the longest and the median step, milliseconds;
//                the goal is no step over 50 ms
//   friends_bench.exe [friends]
#include "LoopbackHttp.h"  // winsock2.h before windows.h

#include <commctrl.h>
#include <jpeglib.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "CVQChat.h"
#include "FriendsPage.h"
#include "VKSettings.h"

namespace {

double Ms(LARGE_INTEGER a, LARGE_INTEGER b) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return (b.QuadPart - a.QuadPart) * 1000.0 / f.QuadPart;
}

LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

// Settings held in memory: the bench changes nothing in the registry.
class MemorySettings : public IVKSettingsStore {
public:
    bool Read(const char* key, const char* name, CVKString* value) override {
        auto it = m_values.find(name);
        if (it == m_values.end()) return false;
        value->Set(it->second.c_str());
        return true;
    }
    bool Write(const char* key, const char* name, const char* value) override {
        m_values[name] = value;
        return true;
    }

private:
    std::map<std::string, std::string> m_values;
};

// A 96 x 96 face-coloured JPEG picture.
std::string MakeJpeg(int seed) {
    const int size = 96;
    std::vector<unsigned char> rgb(size * size * 3);
    for (int i = 0; i < size * size; ++i) {
        rgb[i * 3] = static_cast<unsigned char>(seed * 37 + i / size);
        rgb[i * 3 + 1] = static_cast<unsigned char>(seed * 11 + i % size);
        rgb[i * 3 + 2] = static_cast<unsigned char>(seed * 5);
    }
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = size;
    c.image_height = size;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 85, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = &rgb[c.next_scanline * size * 3];
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::string bytes(reinterpret_cast<char*>(out), outSize);
    jpeg_destroy_compress(&c);
    free(out);
    return bytes;
}

std::string FriendsListMessage(int friends) {
    std::string m = "FRIENDS LIST\n1\nBench\n" + std::to_string(friends / 2) + "\n";
    for (int i = 0; i < friends / 2; ++i) m += "friend" + std::to_string(i) + "\n";
    m += std::to_string(friends - friends / 2) + "\n";
    for (int i = friends / 2; i < friends; ++i) m += "friend" + std::to_string(i) + "\n";
    return m + "\n";
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// FRIENDS LIST to the page drawn, milliseconds.
double ShowList(CVQChat* chat, FriendsPage* page, const std::string& message) {
    LARGE_INTEGER t0 = Now();
    bool tooLong = false;
    chat->Feed(reinterpret_cast<const unsigned char*>(message.data()), message.size(), &tooLong);
    while (int type = chat->PeekMessageType()) {
        page->OnChatEvent(type);
        chat->PopMessage();
    }
    RedrawWindow(page->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return Ms(t0, Now());
}

// The value below which the given share of the steps lie (0.5: the median).
double Percentile(std::vector<double> v, double share) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[static_cast<size_t>(share * (v.size() - 1))];
}

size_t Over(const std::vector<double>& v, double ms) {
    return static_cast<size_t>(std::count_if(v.begin(), v.end(), [ms](double x) { return x > ms; }));
}

void RemoveFolder(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((folder + "\\" + data.cFileName).c_str());
        while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    int friends = argc > 1 ? atoi(argv[1]) : 1000;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);

    LoopbackHttp web;
    std::string info;
    for (int i = 0; i < friends; ++i) {
        info += std::to_string(5000 + i) + ";friend" + std::to_string(i) + ";1;\r\n";
        web.Set("/img/avatars/" + std::to_string(5000 + i) + ".jpg", MakeJpeg(i));
    }
    web.Set("/services/desktop.4.0.6.0/getfriendsinfo.php?un=&pw=", info);

    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string data = std::string(temp) + "friends-bench\\";
    MemorySettings settings;
    VKSetSettingsStore(&settings);
    VKSetSetting("dataFolder", data.c_str());
    VKSetSetting("webSiteAddr", web.Base().substr(7).c_str());
    RemoveFolder(data + "Friends");

    HWND host = CreateWindowExA(0, "STATIC", "Friends bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 500, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    CVQChat chat;
    FriendsPage page(nullptr, &chat);
    if (!host || !page.Create(host)) {
        fprintf(stderr, "friends_bench: no window\n");
        return 1;
    }
    SetWindowPos(page.Handle(), nullptr, 0, 0, 780, 460, SWP_NOZORDER | SWP_SHOWWINDOW);
    Pump();

    std::string message = FriendsListMessage(friends);
    double cold = ShowList(&chat, &page, message);
    std::vector<double> steps;
    LARGE_INTEGER start = Now();
    while (page.Phase() != 0 && Ms(start, Now()) < 600000) {
        LARGE_INTEGER t0 = Now();
        Pump();
        page.Tick();
        steps.push_back(Ms(t0, Now()));
        Sleep(1);
    }
    double total = Ms(start, Now());
    // A new page (as at the next start) over the avatars now on disk.
    page.Destroy();
    FriendsPage warmPage(nullptr, &chat);
    warmPage.Create(host);
    SetWindowPos(warmPage.Handle(), nullptr, 0, 0, 780, 460, SWP_NOZORDER | SWP_SHOWWINDOW);
    Pump();
    LARGE_INTEGER shown0 = Now();
    double warm = ShowList(&chat, &warmPage, message);
    std::vector<double> loadSteps;
    while (warmPage.PendingAvatars() > 0 && Ms(shown0, Now()) < 600000) {
        LARGE_INTEGER t0 = Now();
        Pump();
        warmPage.Tick();
        loadSteps.push_back(Ms(t0, Now()));
    }
    Pump();
    double allShown = Ms(shown0, Now());

    printf(
        "friends_bench: %d friends, FRIENDS LIST to page drawn: %.0f ms without avatars on disk, %.0f ms with "
        "every avatar on disk (every avatar shown after %.0f ms)\n",
        friends, cold, warm, allShown);
    printf(
        "friends_bench: avatar downloads: %zu GUI steps in %.1f s, longest %.1f ms, 99th percentile %.2f ms, "
        "median %.2f ms, %zu over 50 ms (goal: none)\n",
        steps.size(), total / 1000, Percentile(steps, 1.0), Percentile(steps, 0.99), Percentile(steps, 0.5),
        Over(steps, 50));
    printf("friends_bench: avatars from disk: %zu GUI steps, longest %.1f ms, median %.2f ms, %zu over 50 ms\n",
           loadSteps.size(), Percentile(loadSteps, 1.0), Percentile(loadSteps, 0.5), Over(loadSteps, 50));
    warmPage.Destroy();
    DestroyWindow(host);
    RemoveFolder(data + "Friends");
    RemoveDirectoryA(data.c_str());
    VKSetSettingsStore(nullptr);
    return 0;
}
