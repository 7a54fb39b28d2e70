// The uploads queue's stages and its registry hand-off with the HUD, driven
// through a scripted host.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "CVKJobQueue.h"
#include "VKUploadText.h"

namespace {

class FakeHost : public IVKJobHost {
public:
    std::map<std::string, std::string> reg;  // "key/name" -> value
    std::vector<std::string> messages, calls;
    int encodeSteps = 3;    // steps before the encode is done
    int encodeResult = 1;   // StartRecEncode result
    int failEncodeAt = -1;  // step index that fails the writer
    int uploadSteps = 2;
    int failUploadAt = -1;
    int registerTries = 1;  // Register calls until it succeeds
    int percentStep = 40;
    int step = 0;

    static std::string K(int key, const char* name) { return std::string(key ? "U/" : "E/") + name; }
    std::string Get(int key, const char* name) { return reg.count(K(key, name)) ? reg[K(key, name)] : "<none>"; }
    void Set(int key, const char* name, const std::string& v) { reg[K(key, name)] = v; }

    std::string ReadJobValue(int key, const char* name, const char* def) override {
        auto it = reg.find(K(key, name));
        return it == reg.end() ? def : it->second;
    }
    void WriteJobValue(int key, const char* name, const std::string& value) override { reg[K(key, name)] = value; }
    void GetLogin(std::string* user, std::string* password) override {
        *user = "bo";
        *password = "secret";
    }
    void OnUploadQueued(const VKJob& job) override { calls.push_back("thumb " + job.field[kJobFilePath]); }
    int StartRecEncode(const VKJob&) override {
        calls.push_back("start rec");
        step = 0;
        return encodeResult;
    }
    int StepRecEncode(int* percent) override {
        *percent = ++step * percentStep;
        if (step - 1 == failEncodeAt) return kStepFailed;
        return step < encodeSteps ? kStepMore : kStepDone;
    }
    int FinishRecEncode() override {
        calls.push_back("finish rec");
        return 1;
    }
    int StartAviEncode(const VKJob&) override { return 0; }
    int StepAviEncode(int*) override { return kStepDone; }
    int FinishAviEncode() override { return 1; }
    int StartUpload(const VKJob&) override {
        calls.push_back("start upload");
        step = 0;
        return 1;
    }
    int StepUpload(int* percent) override {
        *percent = ++step * 50;
        if (step - 1 == failUploadAt) return kStepFailed;
        return step <= uploadSteps ? kStepMore : kStepDone;
    }
    int FinishUpload() override { return 0; }
    int Register(const VKJob&) override {
        calls.push_back("register");
        return --registerTries <= 0;
    }
    void ResetPage() override { calls.push_back("reset"); }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
};

VKJob DialogJob(const std::string& path, bool encodeOnly) {
    VKJob job;
    job.field[kJobFilePath] = path;
    job.field[kJobProfile] = "0";
    job.field[kJobEncodeOnly] = encodeOnly ? "True" : "False";
    return job;
}

// Ticks until the queue is idle and empty (at most limit ticks); the stages seen.
std::vector<int> RunToIdle(CVKJobQueue* q, FakeHost* host, int limit = 100,
                           std::vector<std::string>* progress = nullptr, int key = 0) {
    std::vector<int> stages;
    for (int i = 0; i < limit; i++) {
        q->Tick();
        stages.push_back(q->Stage());
        if (progress) progress->push_back(host->Get(key, "progress"));
        if (q->Stage() == 0 && q->Jobs().empty()) break;
    }
    return stages;
}

TEST(JobQueue, HandOffIsPickedUpOnceAndOnlyWithAFileName) {
    FakeHost host;
    CVKJobQueue q(&host);
    host.Set(0, "progress", "-1");  // no fileName: nothing to do
    q.Tick();
    EXPECT_TRUE(q.Jobs().empty());
    EXPECT_EQ(host.Get(0, "progress"), "-1");

    host.Set(0, "fileName", "C:\\rec\\game_1.rec");
    host.Set(1, "fileName", "C:\\rec\\clip.wmv");
    host.Set(1, "progress", "-1");
    host.Set(1, "title", "My clip");
    q.Tick();
    ASSERT_EQ(q.Jobs().size(), 2u);
    EXPECT_EQ(host.Get(0, "progress"), "0");
    EXPECT_EQ(host.Get(1, "progress"), "0");
    const VKJob& e = q.Jobs()[0];
    EXPECT_EQ(e.source, kJobFromEncodeKey);
    EXPECT_EQ(e.field[kJobProfile], "1");
    EXPECT_EQ(e.field[kJobEncodeOnly], "True");
    EXPECT_EQ(e.field[kJobMediaTitle], "");
    const VKJob& u = q.Jobs()[1];
    EXPECT_EQ(u.source, kJobFromUploadKey);
    EXPECT_EQ(u.field[kJobMediaTitle], "My clip");
    EXPECT_EQ(u.field[kJobUserName], "bo");
    EXPECT_EQ(u.field[kJobPassword], "secret");
    EXPECT_EQ(u.field[kJobEncodeOnly], "False");
    EXPECT_EQ(host.calls.back(), "thumb C:\\rec\\clip.wmv");
    // Not again.
    q.Tick();
    EXPECT_EQ(q.Jobs().size(), 2u);
}

TEST(JobQueue, RecEncodeFromTheHudRunsItsStagesAndEndsAt100InItsKey) {
    FakeHost host;
    CVKJobQueue q(&host);
    host.Set(0, "fileName", "C:\\rec\\game_1.REC");
    host.Set(0, "progress", "-1");
    host.Set(1, "progress", "100");
    host.percentStep = 60;  // the second step would say 120
    q.Tick();               // picked up
    std::vector<std::string> progress;
    std::vector<int> stages = RunToIdle(&q, &host, 100, &progress, 0);
    EXPECT_EQ(stages, (std::vector<int>{100, 100, 100, 101, 500, 900, 0}));
    // Rising, below 100 while running, "100" only at the end.
    EXPECT_EQ(progress, (std::vector<std::string>{"0", "60", "99", "99", "99", "99", "100"}));
    EXPECT_EQ(host.Get(1, "progress"), "100");  // the other key untouched
    EXPECT_TRUE(host.messages.empty());
}

TEST(JobQueue, DialogJobsNeverWriteTheHandOffKeys) {
    FakeHost host;
    CVKJobQueue q(&host);
    host.Set(0, "progress", "100");
    q.Add(DialogJob("C:\\rec\\a.rec", true));
    RunToIdle(&q, &host);
    EXPECT_EQ(host.Get(0, "progress"), "100");
    EXPECT_EQ(host.Get(1, "progress"), "<none>");
}

TEST(JobQueue, WmvEncodeOnlyIsDroppedAtOnce) {
    FakeHost host;
    CVKJobQueue q(&host);
    q.Add(DialogJob("C:\\v\\a.wmv", true));
    EXPECT_EQ(RunToIdle(&q, &host), (std::vector<int>{500, 900, 0}));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"reset"}));
}

TEST(JobQueue, UnknownExtensionFailsAndStillEndsTheHandOff) {
    FakeHost host;
    CVKJobQueue q(&host);
    host.Set(0, "fileName", "C:\\rec\\notes.txt");
    host.Set(0, "progress", "-1");
    q.Tick();
    EXPECT_EQ(RunToIdle(&q, &host), (std::vector<int>{900, 0}));
    EXPECT_EQ(host.messages, (std::vector<std::string>{"Failed to encode video file!"}));
    // Ended: a restart does not hand the same failing job over again.
    EXPECT_EQ(host.Get(0, "progress"), "100");
}

TEST(JobQueue, NewerHandOffWaitsUntilTheQueueIsIdle) {
    FakeHost host;
    CVKJobQueue q(&host);
    host.encodeSteps = 5;
    host.percentStep = 10;
    host.Set(0, "fileName", "C:\\rec\\one.rec");
    host.Set(0, "progress", "-1");
    q.Tick();
    q.Tick();  // stage 100
    q.Tick();
    EXPECT_EQ(host.Get(0, "progress"), "10");
    // The HUD hands over another recording while the first encodes.
    host.Set(0, "fileName", "C:\\rec\\two.rec");
    host.Set(0, "progress", "-1");
    while (q.Stage() != 0) {
        q.Tick();
        EXPECT_EQ(host.Get(0, "progress"), "-1");
        EXPECT_EQ(q.Jobs().size(), q.Stage() == 0 ? 0u : 1u);
    }
    q.Tick();  // idle: picked up now
    EXPECT_EQ(host.Get(0, "progress"), "0");
    ASSERT_EQ(q.Jobs().size(), 1u);
    EXPECT_EQ(q.Jobs()[0].field[kJobFilePath], "C:\\rec\\two.rec");
}

TEST(JobQueue, WriterFailureEndsTheJobWithoutUpload) {
    FakeHost host;
    CVKJobQueue q(&host);
    host.failEncodeAt = 1;
    q.Add(DialogJob("C:\\rec\\a.rec", false));
    EXPECT_EQ(RunToIdle(&q, &host), (std::vector<int>{100, 100, 900, 0}));
    EXPECT_EQ(host.messages, (std::vector<std::string>{"Failed to encode video file!"}));
    for (const std::string& c : host.calls) EXPECT_NE(c, "start upload");
}

TEST(JobQueue, UploadRegistersOnlyAfterACompleteTransfer) {
    FakeHost host;
    CVKJobQueue q(&host);
    q.Add(DialogJob("C:\\v\\a.wmv", false));
    host.registerTries = 2;  // the first registration step stops; it runs again
    EXPECT_EQ(RunToIdle(&q, &host), (std::vector<int>{500, 600, 600, 600, 700, 800, 800, 900, 0}));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"start upload", "register", "register", "reset"}));

    FakeHost broken;
    CVKJobQueue q2(&broken);
    broken.failUploadAt = 1;
    broken.Set(1, "fileName", "C:\\v\\b.wmv");
    broken.Set(1, "progress", "-1");
    q2.Tick();
    RunToIdle(&q2, &broken);
    for (const std::string& c : broken.calls) EXPECT_NE(c, "register");
    EXPECT_EQ(broken.Get(1, "progress"), "100");
}

TEST(JobQueue, PauseStopsStepsAndPolling) {
    FakeHost host;
    CVKJobQueue q(&host);
    q.SetPaused(true);
    host.Set(0, "fileName", "C:\\rec\\a.rec");
    host.Set(0, "progress", "-1");
    for (int i = 0; i < 5; i++) q.Tick();
    EXPECT_TRUE(q.Jobs().empty());
    EXPECT_EQ(host.Get(0, "progress"), "-1");
    q.SetPaused(false);
    q.Tick();
    EXPECT_EQ(q.Jobs().size(), 1u);
}

TEST(JobQueue, CancelEndsOnlyTheCancelledJobsKeys) {
    FakeHost host;
    CVKJobQueue q(&host);
    host.encodeSteps = 50;
    q.Add(DialogJob("C:\\rec\\mine.rec", true));  // from the Encode dialog
    host.Set(0, "fileName", "C:\\rec\\hud.rec");
    host.Set(0, "progress", "-1");
    q.Tick();  // starts the dialog job, picks up the HUD's
    ASSERT_EQ(q.Jobs().size(), 2u);
    q.SetPaused(true);
    q.Cancel();  // the dialog job: the HUD's queued job is not reported done
    EXPECT_FALSE(q.Paused());
    EXPECT_EQ(host.Get(0, "progress"), "0");
    q.Tick();  // 900: dropped
    EXPECT_EQ(q.Jobs().size(), 1u);
    EXPECT_EQ(host.Get(0, "progress"), "0");
    q.Tick();  // the HUD's job starts
    q.Tick();
    q.CancelAll();
    EXPECT_TRUE(q.Jobs().empty());
    EXPECT_EQ(q.Stage(), 0);
    EXPECT_EQ(host.Get(0, "progress"), "100");
    // A waiting hand-off is never overwritten by a cancel.
    q.Add(DialogJob("C:\\rec\\x.rec", true));
    host.Set(0, "fileName", "C:\\rec\\hud2.rec");
    host.Set(0, "progress", "-1");
    q.SetPaused(true);
    q.CancelAll();
    EXPECT_EQ(host.Get(0, "progress"), "-1");
}

TEST(Paths, ExtensionsAndNames) {
    EXPECT_EQ(VKPathExtension("C:\\a.b\\file.REC"), ".rec");
    EXPECT_EQ(VKPathExtension("C:\\a.b\\file"), "");
    EXPECT_EQ(VKReplaceExtension("C:\\a.b\\file.rec", ".wmv"), "C:\\a.b\\file.wmv");
    EXPECT_EQ(VKReplaceExtension("C:\\a.b\\file", ".jpg"), "C:\\a.b\\file.jpg");
    EXPECT_EQ(VKBaseNameOf("C:\\x\\game_2007-01-02.rec"), "game_2007-01-02");
    EXPECT_EQ(VKFileNameOf("C:\\x\\game.rec"), "game.rec");
}

// ------------------------------------------------------------------ texts

TEST(Multipart, ExactBytesAroundASmallFile) {
    const std::string head = VKMultipartHead("clip.jpg", "image/jpeg");
    const std::string body = head + "abc" + VKMultipartTail();
    EXPECT_EQ(body,
              "--OrVaLoQ2b4T2X19J\r\n"
              "Content-Disposition: form-data; name=\"miscdata\"\r\n"
              "\r\n"
              "0\r\n"
              "--OrVaLoQ2b4T2X19J\r\n"
              "Content-Disposition: form-data; name=\"uploadedfile\"; filename=\"clip.jpg\"\r\n"
              "Content-Type: image/jpeg\r\n"
              "Content-Transfer-Encoding: binary\r\n"
              "\r\n"
              "abc\r\n"
              "--OrVaLoQ2b4T2X19J\r\n"
              "Content-Disposition: form-data; name=\"submitted\"\r\n"
              "\r\n"
              "hello\r\n"
              "--OrVaLoQ2b4T2X19J--\r\n");
    EXPECT_EQ(VKMultipartLength("clip.jpg", "image/jpeg", 3), body.size());
    EXPECT_EQ(VKMultipartLength("clip.di", "text/plain", 200 * 1024),
              VKMultipartHead("clip.di", "text/plain").size() + 204800 + VKMultipartTail().size());
    EXPECT_EQ(VKMultipartContentType(), "Content-Type: multipart/form-data; boundary=OrVaLoQ2b4T2X19J\r\n");
}

TEST(RegisterQuery, KeyOrderEncodingAndLength) {
    VKJob job;
    for (int i = 0; i < kJobFieldCount; i++) job.field[i] = std::to_string(i);
    job.field[kJobFilePath] = "C:\\rec\\my game.rec";
    job.field[kJobMediaTitle] = "Best run ever";
    job.field[kJobDescription] = std::string(2000, 'd') + " & more";
    const std::string q = VKRegisterMediaQuery(job, "C:\\rec\\my game.wmv", 3000, 563000);
    EXPECT_EQ(q,
              "gameid=0&gameshortname=1&gameplatform=2&gamegenre=3&gamerating=4&filename=my%20game&filecount=1"
              "&encprx=7&mediatitle=Best%20run%20ever&tags=8&platform=9&mediarating=10&username=11&password=12"
              "&duration=3000&bitrate=563000&description=" +
                  std::string(2000, 'd') + "%20%26%20more");
    job.field[kJobFilePath] = "C:\\rec\\clip.WMV";
    EXPECT_EQ(VKRegisterMediaQuery(job, "C:\\rec\\clip.WMV", 1, 2).find("encprx"), std::string::npos);
    EXPECT_EQ(VKCheckLoginQuery("bo b", "p&w"), "username=bo%20b&password=p%26w");
}

TEST(UploadServers, RepliesInTheirVariants) {
    std::string host, user, pass;
    EXPECT_TRUE(VKParseUploadServers("ftp.example.net;up;pw", &host, &user, &pass));
    EXPECT_EQ(host + "|" + user + "|" + pass, "ftp.example.net|up|pw");
    EXPECT_TRUE(VKParseUploadServers("127.0.0.1:2121;\r\nup;\r\npw;\r\n", &host, &user, &pass));
    EXPECT_EQ(host + "|" + user + "|" + pass, "127.0.0.1:2121|up|pw");
    EXPECT_TRUE(VKParseUploadServers("h1\r\nu1\npw1", &host, &user, &pass));
    EXPECT_EQ(host + "|" + user + "|" + pass, "h1|u1|pw1");
    EXPECT_TRUE(VKParseUploadServers("h2;u2", &host, &user, &pass));
    EXPECT_EQ(pass, "");
    // Hosts from a reply are host names, never paths or addresses with a scheme.
    EXPECT_FALSE(VKParseUploadServers("", &host, &user, &pass));
    EXPECT_FALSE(VKParseUploadServers("file://C:/x;u;p", &host, &user, &pass));
    EXPECT_FALSE(VKParseUploadServers("C:\\windows;u;p", &host, &user, &pass));
    EXPECT_FALSE(VKParseUploadServers("h x;u;p", &host, &user, &pass));
    unsigned short port = 0;
    EXPECT_TRUE(VKSplitHostPort("127.0.0.1:2121", &host, &port, 21));
    EXPECT_EQ(port, 2121);
    EXPECT_TRUE(VKSplitHostPort("ftp.x", &host, &port, 21));
    EXPECT_EQ(port, 21);
    EXPECT_FALSE(VKSplitHostPort("h:0", &host, &port, 21));
    EXPECT_FALSE(VKSplitHostPort("h:99999", &host, &port, 21));
}

}  // namespace
