#pragma once
#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

#include "CVKJobQueue.h"
#include "CNcAviToWmv.h"
#include "CVKRecToWmv.h"

// What the uploads page shows of the work: the two labelled bars, the status
// line, the preview of the picture being encoded, and the messages.
class IVKJobView {
public:
    virtual ~IVKJobView() {}
    virtual void SetEncoding(const std::string& label, int percent) = 0;
    virtual void SetUploading(const std::string& label, int percent) = 0;
    virtual void SetStatus(const std::string& text) = 0;
    // A top-down 32-bit picture.
    virtual void ShowPreview(const uint8_t* pixels, int width, int height) = 0;
    // A message box's answer (IDOK, IDRETRY, IDCANCEL, ...).
    virtual int Message(const std::string& text, UINT flags) = 0;
    virtual void JobsChanged() {}
};

// The work behind the job queue's steps on Windows: the registry hand-off
// keys, encoding a recording in time slices, the FTP upload in 65,536-byte
// blocks, the form posts of the thumbnail and the input record, and the
// registration with the service.
class CVKJobWorker : public IVKJobHost {
public:
    explicit CVKJobWorker(IVKJobView* view);
    ~CVKJobWorker() override;
    CVKJobWorker(const CVKJobWorker&) = delete;
    CVKJobWorker& operator=(const CVKJobWorker&) = delete;

    // Milliseconds of encoding per step (the timer ticks every 100 ms).
    void SetEncodeBudget(uint32_t ms) { m_budgetMs = ms; }
    static constexpr int kBlockSize = 65536;

    std::string ReadJobValue(int key, const char* name, const char* def) override;
    void WriteJobValue(int key, const char* name, const std::string& value) override;
    void GetLogin(std::string* user, std::string* password) override;
    void OnUploadQueued(const VKJob& job) override;
    void OnJobsChanged() override { m_view->JobsChanged(); }
    int StartRecEncode(const VKJob& job) override;
    int StepRecEncode(int* percent) override;
    int FinishRecEncode() override;
    int StartAviEncode(const VKJob& job) override;
    int StepAviEncode(int* percent) override;
    int FinishAviEncode() override;
    int StartUpload(const VKJob& job) override;
    int StepUpload(int* percent) override;
    int FinishUpload() override;
    int Register(const VKJob& job) override;
    void ResetPage() override;
    void ShowMessage(const std::string& text) override { m_view->Message(text, MB_ICONEXCLAMATION); }

    // Posts a file as the "uploadedfile" field of upload.php. True when the
    // service answered "OK"; anything else is shown to the user.
    bool FormPost(const std::string& path, const std::string& remoteName, const std::string& contentType);
    // Asks "/getservers.php" (with Retry/Cancel while it cannot be reached).
    bool FetchUploadServers();
    const std::string& UploadHost() const { return m_host; }

private:
    void CloseUpload();
    HINTERNET ConnectFtp();
    std::string Fetch(const std::string& url, bool* ok);

    IVKJobView* m_view;
    uint32_t m_budgetMs;
    CVKRecToWmv m_encode;
    CNcAviToWmv m_avi;
    std::string m_encodeName;
    HINTERNET m_session;
    HINTERNET m_ftp;
    HINTERNET m_remote;
    HANDLE m_file;
    uint64_t m_size;
    uint64_t m_sent;
    std::string m_uploadPath;
    std::string m_host;
    std::string m_user;
    std::string m_password;
};
