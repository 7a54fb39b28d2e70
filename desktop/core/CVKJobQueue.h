#pragma once
#include <string>
#include <vector>

// The "My Uploads" work queue: each job takes one recording through encode,
// upload and registration, one small step per tick of the main window's
// timer. The queue decides the stages and owns the registry hand-off with the
// HUD (the JobEncode and JobUpload keys); the page behind IVKJobHost does the
// work of each step.
//
// Stages: 0 idle; 100/101 .rec encode step/finish; 300/301 AVI encode
// step/finish; 500 start upload; 600 upload step; 700 finish file; 800
// register; 900 drop the job and reset the page.
//
// Hand-off rules kept here:
// - a key whose progress is "-1" and whose fileName is not empty becomes a
//   job (only while the queue is idle), and "0" is written at once;
// - progress goes only into the key the job came from, only while that value
//   is not "-1" (a newer hand-off waits there), and below 100 while the job
//   runs;
// - every end of a job (done, failed, dropped, cancelled) writes "100" into
//   its key unless the key holds "-1", so the HUD never waits forever and a
//   failed job is not handed over again at the next start.

// The job record's fields.
enum VKJobField {
    kJobGameId = 0,
    kJobGameShortName,
    kJobGamePlatform,
    kJobGameGenre,
    kJobGameRating,
    kJobMediaTitle,
    kJobFilePath,
    kJobProfile,
    kJobTags,
    kJobMediaPlatform,
    kJobMediaRating,
    kJobUserName,
    kJobPassword,
    kJobDescription,
    kJobEncodeOnly,
    kJobFieldCount
};

// Where a job came from: the desktop's dialogs or one of the registry keys.
enum VKJobSource { kJobFromDialog = -1, kJobFromEncodeKey = 0, kJobFromUploadKey = 1 };

struct VKJob {
    std::string field[kJobFieldCount];
    int source = kJobFromDialog;
};

// Results of a step.
enum VKStepResult { kStepFailed = -1, kStepDone = 0, kStepMore = 1 };

class IVKJobHost {
public:
    virtual ~IVKJobHost() {}
    // Registry hand-off: key 0 = JobEncode, 1 = JobUpload. Missing values read as def.
    virtual std::string ReadJobValue(int key, const char* name, const char* def) = 0;
    virtual void WriteJobValue(int key, const char* name, const std::string& value) = 0;
    // The user name and password of the last sign-in (for JobUpload hand-offs).
    virtual void GetLogin(std::string* user, std::string* password) = 0;
    // A JobUpload hand-off was queued: make the video's thumbnail now.
    virtual void OnUploadQueued(const VKJob& job) {}
    // The rows of the pending list changed (a job was added or removed).
    virtual void OnJobsChanged() {}

    // 1 started, 0 failed (the host has said why, or the queue says
    // "Failed to encode video file!").
    virtual int StartRecEncode(const VKJob& job) = 0;
    // kStepMore, kStepDone or kStepFailed (a writer failure); *percent done.
    virtual int StepRecEncode(int* percent) = 0;
    // 1 when the written file is complete, 0 when closing it failed.
    virtual int FinishRecEncode() = 0;
    virtual int StartAviEncode(const VKJob& job) = 0;
    virtual int StepAviEncode(int* percent) = 0;
    virtual int FinishAviEncode() = 0;
    // 1 started; 0 failed (the host has shown why).
    virtual int StartUpload(const VKJob& job) = 0;
    // kStepMore, kStepDone, or kStepFailed (the host has shown why).
    virtual int StepUpload(int* percent) = 0;
    // Closes the file's transfer; 1 when another file of the job remains.
    virtual int FinishUpload() = 0;
    // 1 when the job is over (registered or given up); 0 to run again at the
    // next tick.
    virtual int Register(const VKJob& job) = 0;
    // Closes whatever the steps left open and resets the page's texts.
    virtual void ResetPage() = 0;
    virtual void ShowMessage(const std::string& text) = 0;
};

class CVKJobQueue {
public:
    explicit CVKJobQueue(IVKJobHost* host);

    // One step of the queue (nothing while paused).
    void Tick();
    void Add(const VKJob& job);
    // Ends the running job at the next tick.
    void Cancel();
    // Drops every job.
    void CancelAll();
    void SetPaused(bool paused) { m_paused = paused; }
    bool Paused() const { return m_paused; }
    int Stage() const { return m_stage; }
    const std::vector<VKJob>& Jobs() const { return m_jobs; }

    // The registry value name and texts.
    static const char* const kFileName;
    static const char* const kTitle;
    static const char* const kProgress;

private:
    void StartJob();
    void PollKeys();
    void ReportProgress(int percent);
    // Writes "100" into the job's source key unless a newer hand-off waits there.
    void EndJob(const VKJob& job);
    void DropFirst();

    IVKJobHost* m_host;
    std::vector<VKJob> m_jobs;
    int m_stage;
    bool m_paused;
};

// The lower-case extension of a path with its dot (".rec"), or "".
std::string VKPathExtension(const std::string& path);
// The path with its extension replaced (ext with its dot).
std::string VKReplaceExtension(const std::string& path, const std::string& ext);
// The file name without folder.
std::string VKFileNameOf(const std::string& path);
// The file name without folder and extension.
std::string VKBaseNameOf(const std::string& path);
