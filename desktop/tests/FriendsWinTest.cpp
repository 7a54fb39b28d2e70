// The desktop's downloads for the friends page and the update, against a
// web server the test runs on 127.0.0.1.
// (winsock2.h before windows.h)
#include "LoopbackHttp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CVKInstallerDownload.h"
#include "CVKInternetFetcher.h"

namespace {

std::string Program(size_t size) {
    std::string exe(size, '\x90');
    exe[0] = 'M';
    exe[1] = 'Z';
    exe[0x3C] = static_cast<char>(0x80);
    exe[0x3D] = exe[0x3E] = exe[0x3F] = 0;
    exe.replace(0x80, 4, std::string("PE\0\0", 4));
    return exe;
}

std::string ReadAll(const std::string& path) {
    std::string bytes;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n) bytes.append(buffer, n);
    CloseHandle(h);
    return bytes;
}

// The update folders now in the temporary folder.
std::vector<std::string> UpdateFolders() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((std::string(temp) + "orvalo-update-*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

IVKFetcher::State WaitFor(CVKInternetFetcher* f) {
    long long announced;
    for (int i = 0; i < 1000; ++i) {
        IVKFetcher::State s = f->Poll(&announced);
        if (s == IVKFetcher::kDone || s == IVKFetcher::kFailed) return s;
        Sleep(10);
    }
    return IVKFetcher::kIdle;
}

TEST(InstallerDownload, StoresTheExactProgramInAFolderOfItsOwn) {
    LoopbackHttp web;
    std::string exe = Program(300000);
    web.Set("/u.exe", exe);
    std::vector<std::string> before = UpdateFolders();
    std::string first, second;
    ASSERT_EQ(CVKInstallerDownload().Download(web.Base() + "/u.exe", &first), CVKInstallerDownload::kOk);
    ASSERT_EQ(CVKInstallerDownload().Download(web.Base() + "/u.exe", &second), CVKInstallerDownload::kOk);
    EXPECT_EQ(ReadAll(first), exe);
    EXPECT_NE(first, second);  // never a fixed name another program could have put there
    EXPECT_NE(first.find("\\orvalo-update-"), std::string::npos);
    EXPECT_EQ(first.substr(first.size() - 17), "\\orvaloupdate.exe");
    EXPECT_EQ(UpdateFolders().size(), before.size() + 2);
    CVKInstallerDownload::Discard(first);
    CVKInstallerDownload::Discard(second);
    EXPECT_EQ(UpdateFolders().size(), before.size());
}

TEST(InstallerDownload, NothingIsStoredFromABadDownload) {
    LoopbackHttp web;
    std::string exe = Program(20000);
    // The connection ends after half of the announced length.
    web.Raw("/short.exe",
            "HTTP/1.1 200 OK\r\nContent-Length: 20000\r\nConnection: close\r\n\r\n" + exe.substr(0, 10000));
    web.Set("/page.exe", "<html>" + std::string(5000, 'x') + "</html>");
    web.Set("/missing.exe", exe, 404);
    std::vector<std::string> before = UpdateFolders();
    std::string path;
    CVKInstallerDownload d;
    EXPECT_EQ(d.Download(web.Base() + "/short.exe", &path), CVKInstallerDownload::kFetchFailed);
    EXPECT_EQ(d.Download(web.Base() + "/page.exe", &path), CVKInstallerDownload::kNotProgram);
    EXPECT_EQ(d.Download(web.Base() + "/missing.exe", &path), CVKInstallerDownload::kFetchFailed);
    EXPECT_EQ(std::string(CVKInstallerDownload::Message(CVKInstallerDownload::kFetchFailed)),
              "Failed to connect to server");
    // Local files are never taken for an installer, nor fetched.
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(d.Download(std::string(system) + "\\notepad.exe", &path), CVKInstallerDownload::kNotWebAddress);
    EXPECT_EQ(d.Download("file://" + std::string(system) + "\\notepad.exe", &path),
              CVKInstallerDownload::kNotWebAddress);
    EXPECT_EQ(UpdateFolders().size(), before.size());
    EXPECT_TRUE(path.empty());
}

TEST(InstallerDownload, ServerThatIsNotThereIsAConnectionFailure) {
    unsigned short port;
    {
        LoopbackHttp gone;  // a port that was just closed
        port = static_cast<unsigned short>(atoi(gone.Base().substr(gone.Base().rfind(':') + 1).c_str()));
    }
    std::string path;
    EXPECT_EQ(CVKInstallerDownload().Download("http://127.0.0.1:" + std::to_string(port) + "/u.exe", &path),
              CVKInstallerDownload::kFetchFailed);
}

TEST(InternetFetcher, OnlyACompleteSuccessIsDone) {
    LoopbackHttp web;
    web.Set("/a.jpg", "picture");
    web.Set("/gone.jpg", "not found page", 404);
    web.Raw("/cut.jpg", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\nonly part");
    CVKInternetFetcher f(1024);
    long long announced;
    EXPECT_EQ(f.Poll(&announced), IVKFetcher::kIdle);
    f.Start(web.Base() + "/a.jpg");
    EXPECT_EQ(WaitFor(&f), IVKFetcher::kDone);
    EXPECT_EQ(f.Body(), "picture");
    f.Start(web.Base() + "/gone.jpg");
    EXPECT_EQ(WaitFor(&f), IVKFetcher::kFailed);
    f.Start(web.Base() + "/cut.jpg");
    EXPECT_EQ(WaitFor(&f), IVKFetcher::kFailed);
    web.Set("/big.jpg", std::string(5000, 'b'));  // over the fetcher's limit
    f.Start(web.Base() + "/big.jpg");
    EXPECT_EQ(WaitFor(&f), IVKFetcher::kFailed);
}

}  // namespace
