// Desktop program figures (printed, never judged):
//   start-up   from process start to the main window shown, milliseconds
//   catalogue  download (file:// through the download object) and parse of a
//              catalogue of N games, milliseconds
//   detection  detection over that catalogue (registry and disk look-ups),
//              milliseconds
//   desktop_bench.exe PROGRAM_FOLDER [games] [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "CVKCatalogue.h"
#include "CVKGameDetector.h"
#include "CVKIniStore.h"
#include "CVKInternet.h"
#include "CVKWinFileSystem.h"
#include "VKWinRegistry.h"

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

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A catalogue of n games; one in ten is "installed" under folder.
std::string MakeCatalogue(int n, const std::string& folder) {
    std::string ini;
    for (int i = 0; i < n; ++i) {
        std::string k = std::to_string(i);
        ini += "[" + k + "]\r\nName=Game " + k + "\r\nShortName=game" + k +
               "\r\nGenre=action\r\nReleaseDate=2007\r\n"
               "Rating=T\r\nPublisher=P\r\nDeveloper=D\r\nInGameRenderer=Direct3D 9\r\n";
        if (i % 10 == 0) {
            ini += "DetectDirKey=HKEY_CURRENT_USER\\Software\\BRINMOOR\\DesktopBench\\Game" + k +
                   "\r\nDetectExe=bin\\g" + k +
                   ".exe\r\n"
                   "LaunchDirKey=HKEY_CURRENT_USER\\Software\\BRINMOOR\\DesktopBench\\Game" +
                   k + "\r\nLaunchExe=bin\\g" + k + ".exe\r\n";
        } else {
            ini += "LaunchDirKey=HKEY_LOCAL_MACHINE\\SOFTWARE\\Nobody\\Game" + k +
                   "\\Path\r\nLaunchDirTruncAt=\\bin\r\n"
                   "LaunchDirAppend=v*\r\nLaunchExe=game.exe\r\n";
        }
    }
    return ini;
}

double StartUp(const std::string& program) {
    WriteRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_running", "0");
    LARGE_INTEGER t0 = Now();
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string line = "\"" + program + "\"";
    if (!CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    HWND main = nullptr;
    for (int i = 0; i < 6000 && !main; ++i) {
        HWND w = FindWindowA(nullptr, "Orvalo HUD Desktop 4.0 BETA");
        if (w && IsWindowVisible(w))
            main = w;
        else
            Sleep(1);
    }
    double ms = main ? Ms(t0, Now()) : -1;
    if (main) PostMessageA(main, WM_COMMAND, 32785, 0);  // Quit
    if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: desktop_bench PROGRAM_FOLDER [games] [rounds]\n");
        return 2;
    }
    std::string folder = argv[1];
    int games = argc > 2 ? atoi(argv[2]) : 2000;
    int rounds = argc > 3 ? atoi(argv[3]) : 5;

    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string work = std::string(temp) + "desktop-bench";
    CreateDirectoryA(work.c_str(), nullptr);
    for (int i = 0; i < games; i += 10) {
        std::string g = work + "\\Game" + std::to_string(i);
        CreateDirectoryA(g.c_str(), nullptr);
        CreateDirectoryA((g + "\\bin").c_str(), nullptr);
        CVKWinFileSystem().WriteFile(g + "\\bin\\g" + std::to_string(i) + ".exe", "MZ");
        WriteRegistryString("Software\\BRINMOOR\\DesktopBench", "Game" + std::to_string(i), g);
    }
    std::string zip = work + "\\games.zip";
    CVKWinFileSystem().WriteFile(zip, CVKCatalogue::Pack(MakeCatalogue(games, work)));

    std::vector<double> startUp, download, detection;
    size_t found = 0;
    for (int r = 0; r < rounds; ++r) {
        startUp.push_back(StartUp(folder + "\\OrvaloHUDDesktop.exe"));

        LARGE_INTEGER t0 = Now();
        CVKInternet* net = new CVKInternet();
        net->Open("file://" + zip);
        std::string body = net->Data();
        net->Release();
        std::string text;
        CVKCatalogue::Unpack(reinterpret_cast<const unsigned char*>(body.data()), body.size(), &text);
        CVKIniStore catalogue;
        catalogue.Parse(text);
        LARGE_INTEGER t1 = Now();
        CVKWinFileSystem fs;
        CVKRegistryFolders registry;
        found = CVKGameDetector(&fs, &registry).Detect(catalogue).size();
        LARGE_INTEGER t2 = Now();
        download.push_back(Ms(t0, t1));
        detection.push_back(Ms(t1, t2));
    }
    printf("desktop_bench: start-up to main window shown: %.0f ms (median of %d)\n", Median(startUp), rounds);
    printf("desktop_bench: catalogue of %d games, download and parse: %.1f ms\n", games, Median(download));
    printf("desktop_bench: detection over it (%zu found): %.1f ms\n", found, Median(detection));
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\BRINMOOR\\DesktopBench");
    return 0;
}
