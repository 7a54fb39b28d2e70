// Whole publishing jobs against a real FTP server and the test service
// (started by run_publish.sh, which passes their ports and folders).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "CVKJobQueue.h"
#include "CVKJobWorker.h"
#include "CVKWMVEncoder.h"
#include "MemorySettings.h"
#include "RecFileMaker.h"
#include "VKScramble.h"
#include "VKThumbnail.h"
#include "VKWinRegistry.h"

namespace {

std::string Env(const char* name) {
    const char* v = getenv(name);
    return v ? v : "";
}

// A folder of the build machine as Wine sees it.
std::string WinePath(const std::string& unixPath) {
    std::string p = "Z:" + unixPath;
    for (char& c : p)
        if (c == '/') c = '\\';
    if (p.back() != '\\') p += '\\';
    return p;
}

std::string ReadAll(const std::string& path) {
    std::string bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return "<missing " + path + ">";
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
    fclose(f);
    return bytes;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class FakeView : public IVKJobView {
public:
    std::vector<std::pair<std::string, UINT>> messages;
    std::vector<int> uploadBar;
    int retryAnswer = IDCANCEL;
    void SetEncoding(const std::string&, int) override {}
    void SetUploading(const std::string&, int percent) override { uploadBar.push_back(percent); }
    void SetStatus(const std::string&) override {}
    void ShowPreview(const uint8_t*, int, int) override {}
    int Message(const std::string& text, UINT flags) override {
        messages.push_back({text, flags});
        return (flags & MB_RETRYCANCEL) ? retryAnswer : IDOK;
    }
    bool Said(const std::string& text) const {
        for (const auto& m : messages)
            if (m.first.find(text) != std::string::npos) return true;
        return false;
    }
};

// Saves and restores a registry value of the hand-off keys.
class SavedValue {
public:
    SavedValue(const std::string& key, const char* name) : m_key(key), m_name(name) {
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

const std::string kUploadKey = VK_DESKTOP_KEY "\\JobUpload";

class Publish : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Env("PUBLISH_HTTP_PORT").empty()) << "run through run_publish.sh";
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "orvalo-publish\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        UseService("PUBLISH_HTTP_PORT");
        settings.Set("webSiteAddr", "127.0.0.1");
        settings.Set("loginName", "anna");
        settings.Set("loginPassword", VKScramblePassword("anna-pw"));
    }
    void UseService(const char* portVariable) {
        settings.Set("serverAddr", "127.0.0.1");
        settings.Set("serverPortHTTP", Env(portVariable));
    }
    // Ticks the queue until it is idle and empty; false when it never got there.
    static bool RunQueue(CVKJobQueue* q, int ticks = 400) {
        for (int i = 0; i < ticks; i++) {
            q->Tick();
            if (q->Stage() == 0 && q->Jobs().empty()) return true;
        }
        return false;
    }
    static VKJob UploadJob(const std::string& path, const std::string& title) {
        VKJob job;
        job.field[kJobGameId] = "1001";
        job.field[kJobGameShortName] = "sample9";
        job.field[kJobGamePlatform] = "pc";
        job.field[kJobGameGenre] = "action";
        job.field[kJobGameRating] = "1";
        job.field[kJobMediaTitle] = title;
        job.field[kJobFilePath] = path;
        job.field[kJobProfile] = "0";
        job.field[kJobTags] = "fast run";
        job.field[kJobMediaPlatform] = "0";
        job.field[kJobMediaRating] = "0";
        job.field[kJobUserName] = "anna";
        job.field[kJobPassword] = "anna-pw";
        job.field[kJobDescription] = std::string(600, 'x') + " the end";
        job.field[kJobEncodeOnly] = "False";
        return job;
    }
    // A noisy video large enough for several 64 KiB blocks.
    std::string MakeNoisyVideo(const std::string& name) {
        const std::string path = folder + name;
        CVKWMVEncoder w;
        if (!w.LoadProfile(0) || !w.Open(path.c_str()) || !w.InitVideo(320, 240, 333333) || !w.BeginWriting())
            return "";
        std::vector<uint8_t> picture(320 * 240 * 4);
        uint32_t seed = 1;
        for (int k = 0; k < 120; k++) {
            for (uint8_t& b : picture) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
            w.WriteVideoSample(picture.data(), k * 333333LL);
        }
        return w.Close() ? path : "";
    }

    MemorySettings settings;
    std::string folder;
};

TEST_F(Publish, RecordingIsEncodedSentAndRegistered) {
    const std::string rec = folder + "run_one.rec";
    const std::vector<uint8_t> bytes = MakeRecFile(320, 240, 90, 5880, nullptr);
    ASSERT_TRUE(WriteBytes(rec, bytes.data(), bytes.size()));
    const std::string di = "1000 key 65\r\n2000 key 66\r\n";
    ASSERT_TRUE(WriteBytes(folder + "run_one.di", reinterpret_cast<const uint8_t*>(di.data()), di.size()));
    ASSERT_TRUE(MakeThumbnail(folder, "run_one.rec", 0));  // as the Upload dialog's preview does
    FakeView view;
    CVKJobWorker worker(&view);
    CVKJobQueue q(&worker);
    q.Add(UploadJob(rec, "Run with spaces"));
    ASSERT_TRUE(RunQueue(&q));
    ASSERT_TRUE(view.Said("Successfully uploaded media to Orvalo!"))
        << (view.messages.empty() ? "" : view.messages[0].first);
    EXPECT_EQ(view.messages.size(), 1u);

    const std::string ftp = WinePath(Env("PUBLISH_FTP_ROOT")), received = WinePath(Env("PUBLISH_RECEIVED"));
    const std::string video = ReadAll(folder + "run_one.wmv");
    EXPECT_GT(video.size(), 10000u);
    EXPECT_TRUE(ReadAll(ftp + "run_one.wmv") == video);  // byte for byte
    EXPECT_EQ(ReadAll(ftp + "run_one.jpg"), ReadAll(folder + "run_one.jpg"));
    EXPECT_EQ(ReadAll(received + "run_one.jpg"), ReadAll(folder + "run_one.jpg"));
    EXPECT_EQ(ReadAll(received + "run_one.di"), di);
    const std::string registered = ReadAll(received + "registrations.txt");
    EXPECT_NE(registered.find("\"mediatitle\": \"Run with spaces\""), std::string::npos);
    EXPECT_NE(registered.find("\"encprx\": \"0\""), std::string::npos);
    EXPECT_NE(registered.find(std::string(600, 'x') + " the end"), std::string::npos);
    EXPECT_NE(registered.find("\"filename\": \"run_one\""), std::string::npos);
    // Blocks of 64 KiB: the bar rose in steps up to 100.
    ASSERT_FALSE(view.uploadBar.empty());
    EXPECT_GE(view.uploadBar.size(), video.size() / CVKJobWorker::kBlockSize);
}

TEST_F(Publish, HandOffFromTheHudEndsAt100) {
    SavedValue file(kUploadKey, "fileName"), title(kUploadKey, "title"), progress(kUploadKey, "progress"),
        encode(VK_JOBENCODE_KEY, "progress");
    WriteRegistryString(VK_JOBENCODE_KEY, "progress", "100");
    const std::string video = MakeNoisyVideo("handed_over.wmv");
    ASSERT_FALSE(video.empty());
    DeleteFileA((folder + "handed_over.jpg").c_str());
    WriteRegistryString(kUploadKey, "fileName", video);
    WriteRegistryString(kUploadKey, "title", "From the game");
    WriteRegistryString(kUploadKey, "progress", "-1");
    FakeView view;
    CVKJobWorker worker(&view);
    CVKJobQueue q(&worker);
    q.Tick();
    ASSERT_EQ(q.Jobs().size(), 1u);
    EXPECT_EQ(ReadRegistryString(kUploadKey, "progress", ""), "0");
    EXPECT_TRUE(Exists(folder + "handed_over.jpg"));  // made at pick-up
    std::vector<std::string> seen;
    for (int i = 0; i < 400 && !(q.Stage() == 0 && q.Jobs().empty()); i++) {
        q.Tick();
        seen.push_back(ReadRegistryString(kUploadKey, "progress", ""));
    }
    EXPECT_TRUE(view.Said("Successfully uploaded media to Orvalo!"));
    EXPECT_EQ(ReadRegistryString(kUploadKey, "progress", ""), "100");
    for (size_t i = 0; i + 1 < seen.size(); i++) EXPECT_LE(atoi(seen[i].c_str()), atoi(seen[i + 1].c_str()));
    const std::string registered = ReadAll(WinePath(Env("PUBLISH_RECEIVED")) + "registrations.txt");
    EXPECT_NE(registered.find("\"mediatitle\": \"From the game\""), std::string::npos);
}

TEST_F(Publish, TransferBrokenOffIsNeitherRegisteredNorASuccess) {
    UseService("PUBLISH_HTTP_PORT_DROP");
    const std::string video = MakeNoisyVideo("dropped.wmv");
    ASSERT_FALSE(video.empty());
    ASSERT_GT(ReadAll(video).size(), 3u * CVKJobWorker::kBlockSize);
    ASSERT_TRUE(MakeThumbnail(folder, "dropped.wmv", 0));
    FakeView view;
    CVKJobWorker worker(&view);
    CVKJobQueue q(&worker);
    q.Add(UploadJob(video, "Dropped"));
    ASSERT_TRUE(RunQueue(&q));
    EXPECT_TRUE(view.Said("Failed to transfer files to ftp server 127.0.0.1:"));
    EXPECT_FALSE(view.Said("Successfully"));
    EXPECT_FALSE(Exists(WinePath(Env("PUBLISH_RECEIVED_DROP")) + "registrations.txt"));
}

TEST_F(Publish, RegistrationAnsweredWithMoreThanOkIsNoSuccess) {
    UseService("PUBLISH_HTTP_PORT_OKN");  // answers "OK\n"
    const std::string video = MakeNoisyVideo("okn.wmv");
    ASSERT_TRUE(MakeThumbnail(folder, "okn.wmv", 0));
    FakeView view;
    CVKJobWorker worker(&view);
    CVKJobQueue q(&worker);
    q.Add(UploadJob(video, "Newline"));
    for (int i = 0; i < 400 && q.Stage() != 800; i++) q.Tick();
    for (int i = 0; i < 3; i++) q.Tick();  // registration runs again and again
    EXPECT_EQ(q.Stage(), 800);
    EXPECT_TRUE(view.Said("Failed to register game on http://127.0.0.1: OK\n"));
    EXPECT_FALSE(view.Said("Successfully"));
    q.Cancel();
    EXPECT_TRUE(RunQueue(&q, 2));
}

TEST_F(Publish, UnreachableServiceAndEmptyFilesEndTheJob) {
    FakeView view;
    CVKJobWorker worker(&view);
    CVKJobQueue q(&worker);
    // An empty file is never sent (and never divides by its size).
    const std::string empty = folder + "empty.wmv";
    ASSERT_TRUE(WriteBytes(empty, nullptr, 0));
    q.Add(UploadJob(empty, "Empty"));
    ASSERT_TRUE(RunQueue(&q));
    EXPECT_TRUE(view.Said("Unable to open file: " + empty));
    // The service cannot be reached; the user gives up at the question.
    settings.Set("serverPortHTTP", "1");
    view.messages.clear();
    const std::string video = MakeNoisyVideo("unsent.wmv");
    q.Add(UploadJob(video, "Unsent"));
    ASSERT_TRUE(RunQueue(&q));
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[0].first, "Failed to connect to http://127.0.0.1");
    EXPECT_TRUE(view.messages[0].second & MB_RETRYCANCEL);
    EXPECT_EQ(view.messages[1].first.find("The server seems to be down for maintenance"), 0u);
}

}  // namespace
