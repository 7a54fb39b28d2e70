// The desktop program's Windows side against the real registry and disk of
// the Wine prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "CVKHudInstaller.h"
#include "CVKWinFileSystem.h"
#include "DesktopStartup.h"
#include "TestFiles.h"
#include "VKDesktopPaths.h"
#include "VKDesktopShell.h"
#include "VKLog.h"
#include "VKSettings.h"
#include "VKWinRegistry.h"

namespace {

const char* const kHudFiles[] = {"d3d9.dll",         "avcodec-59.dll",  "swscale-6.dll",
                                 "swresample-4.dll", "avformat-59.dll", "avutil-57.dll"};

std::string TempFolder(const char* name) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f) << path;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + "\\" + name);
            else
                DeleteFileA((folder + "\\" + name).c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Saves and restores the registry values a test changes.
class SavedValue {
public:
    SavedValue(const char* key, const char* name) : m_key(key), m_name(name) {
        m_value = ReadRegistryString(key, name, "\x01");
    }
    ~SavedValue() {
        if (m_value == "\x01")
            DeleteRegistryValue(HKEY_CURRENT_USER, m_key, m_name);
        else
            WriteRegistryString(m_key, m_name, m_value);
    }

private:
    std::string m_key, m_name, m_value;
};

TEST(DesktopStartupTest, SingleInstanceHandShake) {
    SavedValue running(VK_INSTANCE_KEY, "orvalo_desktop_running"), show(VK_INSTANCE_KEY, "orvalo_desktop_show"),
        version(VK_INSTANCE_KEY, "orvalo_desktop_version"), data(VK_SETTINGS_KEY, "dataFolder"),
        job(VK_JOBENCODE_KEY, "progress");
    WriteRegistryString(VK_SETTINGS_KEY, "dataFolder", "C:\\kept\\");  // no first-run folders here
    bool startup = false;
    // A fresh heartbeat of the same version: this start ends and asks the
    // running one to come forward.
    WriteRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_show", "0");
    WriteRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_version", VK_VERSION);
    WriteRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_running", std::to_string(NowMilliseconds() - 500));
    EXPECT_FALSE(DesktopStartup("desktop.exe", &startup));
    EXPECT_EQ(ReadRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_show", ""), "100");
    // A stale heartbeat (crashed instance) does not block.
    WriteRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_show", "0");
    WriteRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_running", std::to_string(NowMilliseconds() - 3500));
    EXPECT_TRUE(DesktopStartup("desktop.exe -startup", &startup));
    EXPECT_TRUE(startup);
    // Nor does one from the future (the clock was set back).
    WriteRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_running", std::to_string(NowMilliseconds() + 3600000));
    EXPECT_TRUE(DesktopStartup("desktop.exe", &startup));
    EXPECT_FALSE(startup);
    // Another version running is no duplicate; the start writes its own.
    WriteRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_running", std::to_string(NowMilliseconds()));
    WriteRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_version", "4.0.5.0");
    EXPECT_TRUE(DesktopStartup("desktop.exe", &startup));
    EXPECT_EQ(ReadRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_version", ""), VK_VERSION);
    EXPECT_EQ(ReadRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_show", ""), "0");
}

TEST(DesktopStartupTest, InterruptedEncodeJobIsReset) {
    SavedValue running(VK_INSTANCE_KEY, "orvalo_desktop_running"), job(VK_JOBENCODE_KEY, "progress"),
        version(VK_INSTANCE_KEY, "orvalo_desktop_version"), data(VK_SETTINGS_KEY, "dataFolder");
    WriteRegistryString(VK_SETTINGS_KEY, "dataFolder", "C:\\kept\\");
    WriteRegistryString(VK_INSTANCE_KEY, "orvalo_desktop_running", "0");
    bool startup;
    WriteRegistryString(VK_JOBENCODE_KEY, "progress", "57");
    EXPECT_TRUE(DesktopStartup("x", &startup));
    EXPECT_EQ(ReadRegistryString(VK_JOBENCODE_KEY, "progress", ""), "-1");
    WriteRegistryString(VK_JOBENCODE_KEY, "progress", "100");
    EXPECT_TRUE(DesktopStartup("x", &startup));
    EXPECT_EQ(ReadRegistryString(VK_JOBENCODE_KEY, "progress", ""), "100");
}

TEST(DesktopStartupTest, FirstRunFoldersOnlyOnce) {
    SavedValue data(VK_SETTINGS_KEY, "dataFolder"), rec(VK_SETTINGS_KEY, "recorderFolder"),
        log(VK_SETTINGS_KEY, "logFileName");
    DeleteRegistryValue(HKEY_CURRENT_USER, VK_SETTINGS_KEY, "dataFolder");
    CreateFirstRunFolders();
    std::string user = ReadRegistryString(VK_SETTINGS_KEY, "dataFolder", "");
    std::string common = ReadRegistryString(VK_SETTINGS_KEY, "recorderFolder", "");
    ASSERT_GT(user.size(), 16u);
    EXPECT_EQ(user.substr(user.size() - 15), "Orvalo 4.0.6.0\\");
    EXPECT_EQ(common.substr(common.size() - 15), "Orvalo 4.0.6.0\\");
    EXPECT_NE(user, common);
    EXPECT_TRUE(Exists(user));
    EXPECT_TRUE(Exists(common));
    EXPECT_EQ(ReadRegistryString(VK_SETTINGS_KEY, "logFileName", ""), common + "vqhud.log");
    // Later starts leave the user's choice alone.
    WriteRegistryString(VK_SETTINGS_KEY, "recorderFolder", "D:\\mine\\");
    CreateFirstRunFolders();
    EXPECT_EQ(ReadRegistryString(VK_SETTINGS_KEY, "recorderFolder", ""), "D:\\mine\\");
}

TEST(RegistryTest, ReadFallsBackToTheLastComponentAsValueName) {
    WriteRegistryString("Software\\BRINMOOR\\DesktopWinTest", "Folder", "C:/Games/Test");
    EXPECT_EQ(ReadRegistryString("HKEY_CURRENT_USER\\Software\\BRINMOOR\\DesktopWinTest\\Folder", "", "none"),
              "C:/Games/Test");
    EXPECT_EQ(ReadRegistryString("Software\\BRINMOOR\\DesktopWinTest", "Missing", "none"), "none");
    CVKRegistryFolders folders;
    EXPECT_EQ(folders.ReadFolder("HKEY_CURRENT_USER\\Software\\BRINMOOR\\DesktopWinTest\\Folder"), "C:\\Games\\Test");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\BRINMOOR\\DesktopWinTest");
}

TEST(LogTest, PercentSignIsWrittenLiterally) {
    std::string path = TempFolder("desktop-log") + "\\log.txt";
    DeleteFileA(path.c_str());
    SavedValue log(VK_SETTINGS_KEY, "logFileName");
    WriteRegistryString(VK_SETTINGS_KEY, "logFileName", path);
    std::string text = "Refreshing games: 50% done %s %d\r\n";
    LogMessage("%s", text.c_str());
    EXPECT_EQ(TestReadFile(path), text);
    RemoveTree(FolderOf(path));
}

class HudFiles : public ::testing::Test {
protected:
    void SetUp() override {
        program = TempFolder("desktop-program");
        game = TempFolder("desktop game folder");
        for (const char* n : kHudFiles) WriteBytes(program + "\\" + n, std::string("ours ") + n);
        WriteBytes(program + "\\d3d8.dll", "ours d3d8");
    }
    void TearDown() override {
        RemoveTree(program);
        RemoveTree(game);
    }
    unsigned Status(bool* inserted) {
        std::string messages;
        return CVKHudInstaller(&fs, program).HudStatus(game, inserted, &messages);
    }
    void Place(const char* name) { CopyFileA((program + "\\" + name).c_str(), (game + "\\" + name).c_str(), FALSE); }
    CVKWinFileSystem fs;
    std::string program, game;
};

TEST_F(HudFiles, StatusCases) {
    bool inserted = true;
    WriteBytes(game + "\\orvalo.txt", CVKHudInstaller::NoteText());
    EXPECT_EQ(Status(&inserted), 0x0001u);
    EXPECT_FALSE(inserted);
    Place("d3d9.dll");
    Place("avcodec-59.dll");
    Place("swscale-6.dll");
    Place("swresample-4.dll");
    Place("avutil-57.dll");
    EXPECT_EQ(Status(&inserted), 0x5021u);  // the DirectX 9 row (0x7020) is not complete
    EXPECT_TRUE(inserted);
    Place("avformat-59.dll");
    EXPECT_EQ(Status(&inserted), 0x7021u);
}

TEST_F(HudFiles, SameFileAtBlockEdges) {
    for (size_t size : {4095u, 4096u, 4097u}) {
        std::string bytes(size, 'x');
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7);
        WriteBytes(program + "\\a.bin", bytes);
        WriteBytes(game + "\\a.bin", bytes);
        EXPECT_TRUE(fs.SameFile(program + "\\a.bin", game + "\\a.bin")) << size;
        bytes[size - 1] ^= 1;  // one differing byte, the last
        WriteBytes(game + "\\a.bin", bytes);
        EXPECT_FALSE(fs.SameFile(program + "\\a.bin", game + "\\a.bin")) << size;
        WriteBytes(game + "\\a.bin", bytes.substr(0, size - 1));
        EXPECT_FALSE(fs.SameFile(program + "\\a.bin", game + "\\a.bin")) << size;
    }
}

TEST_F(HudFiles, OutdatedCopyWithNoteIsReplaced) {
    std::string bin = FolderOf(ProgramPath());
    ASSERT_TRUE(CopyFileA((bin + "\\version_new.dll").c_str(), (program + "\\d3d9.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((bin + "\\version_old.dll").c_str(), (game + "\\d3d9.dll").c_str(), FALSE));
    uint64_t v = 0;
    ASSERT_TRUE(fs.FileVersion(program + "\\d3d9.dll", &v));
    EXPECT_EQ(v, 0x0004000000060000ull);
    std::string messages;
    CVKHudInstaller hud(&fs, program);
    // Without the note file the older copy is not ours to delete.
    EXPECT_EQ(hud.Insert(game, 0xF021, &messages), 0);
    bool inserted;
    Status(&inserted);
    EXPECT_TRUE(Exists(game + "\\d3d9.dll"));
    WriteBytes(game + "\\orvalo.txt", CVKHudInstaller::NoteText());
    Status(&inserted);
    EXPECT_FALSE(Exists(game + "\\d3d9.dll"));
    messages.clear();
    EXPECT_EQ(hud.Insert(game, 0xF021, &messages), 1) << messages;
    EXPECT_TRUE(fs.SameFile(program + "\\d3d9.dll", game + "\\d3d9.dll"));
    EXPECT_EQ(Status(&inserted), 0x7021u);
}

TEST_F(HudFiles, RemoveDirectX9KeepsCodecsForDirectX8) {
    std::string messages;
    CVKHudInstaller hud(&fs, program);
    ASSERT_EQ(hud.Insert(game, 0xFFFF, &messages), 1) << messages;
    ASSERT_TRUE(Exists(game + "\\d3d8.dll"));
    ASSERT_EQ(hud.Remove(game, 0x0020, &messages), 1) << messages;
    EXPECT_FALSE(Exists(game + "\\d3d9.dll"));
    for (int i = 1; i < 6; ++i) EXPECT_TRUE(Exists(game + "\\" + kHudFiles[i])) << kHudFiles[i];
    ASSERT_EQ(hud.Remove(game, 0xFFFF, &messages), 1) << messages;
    for (const char* n : kHudFiles) EXPECT_FALSE(Exists(game + "\\" + n)) << n;
    EXPECT_FALSE(Exists(game + "\\orvalo.txt"));
}

int RunPlacer(const std::string& placer, const std::string& params) {
    std::string line = "\"" + placer + "\" " + params;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(placer.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return static_cast<int>(code);
}

TEST_F(HudFiles, DllPlacerInsertsIntoAFolderWithSpacesAndRefusesSystemFolders) {
    std::string bin = FolderOf(ProgramPath());
    std::string placer = program + "\\DllPlacer.exe";
    ASSERT_TRUE(CopyFileA((bin + "\\DllPlacer.exe").c_str(), placer.c_str(), FALSE));
    ASSERT_NE(game.find(' '), std::string::npos);
    EXPECT_EQ(RunPlacer(placer, "-insertdlls 61473 " + game), 0);
    for (const char* n : kHudFiles) EXPECT_TRUE(fs.SameFile(program + "\\" + n, game + "\\" + n)) << n;
    EXPECT_TRUE(Exists(game + "\\orvalo.txt"));
    EXPECT_EQ(RunPlacer(placer, "-removedlls 65535 " + game), 0);
    for (const char* n : kHudFiles) EXPECT_FALSE(Exists(game + "\\" + n)) << n;

    char system[MAX_PATH], windows[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    GetWindowsDirectoryA(windows, MAX_PATH);
    EXPECT_NE(RunPlacer(placer, std::string("-insertdlls 65535 ") + system), 0);
    EXPECT_NE(RunPlacer(placer, std::string("-insertdlls 65535 ") + windows + "\\Temp\\..\\system32"), 0);
    EXPECT_FALSE(fs.SameFile(program + "\\d3d9.dll", std::string(system) + "\\d3d9.dll"));
    EXPECT_NE(RunPlacer(placer, "-insertdlls 65535 " + game + "\\missing"), 0);
    EXPECT_NE(RunPlacer(placer, "-insertdlls 65535 " + program), 0);
    EXPECT_NE(RunPlacer(placer, "-insertdlls x " + game), 0);
    EXPECT_NE(RunPlacer(placer, "-copyall 1 " + game), 0);
}

}  // namespace
