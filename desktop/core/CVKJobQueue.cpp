#include "CVKJobQueue.h"

#include <cctype>
#include <cstdlib>

const char* const CVKJobQueue::kFileName = "fileName";
const char* const CVKJobQueue::kTitle = "title";
const char* const CVKJobQueue::kProgress = "progress";

namespace {
const char* const kEncodeFailed = "Failed to encode video file!";

bool IsWaiting(const std::string& progress) { return atoi(progress.c_str()) == -1; }

bool EqualsNoCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; i++)
        if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) return false;
    return i == a.size() && !b[i];
}
}  // namespace

std::string VKPathExtension(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("\\/");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
    std::string ext = path.substr(dot);
    for (char& c : ext) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return ext;
}

std::string VKReplaceExtension(const std::string& path, const std::string& ext) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("\\/");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + ext;
    return path.substr(0, dot) + ext;
}

std::string VKFileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string VKBaseNameOf(const std::string& path) {
    std::string name = VKFileNameOf(path);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

CVKJobQueue::CVKJobQueue(IVKJobHost* host) : m_host(host), m_stage(0), m_paused(false) {}

void CVKJobQueue::Add(const VKJob& job) {
    m_jobs.push_back(job);
    m_host->OnJobsChanged();
}

void CVKJobQueue::Tick() {
    if (m_paused) return;
    int percent = 0;
    switch (m_stage) {
    case 0:
        if (!m_jobs.empty()) StartJob();
        PollKeys();
        break;
    case 100:
    case 300: {
        const int r = m_stage == 100 ? m_host->StepRecEncode(&percent) : m_host->StepAviEncode(&percent);
        ReportProgress(percent);
        if (r == kStepFailed) {
            // A file the writer could not complete is never uploaded.
            m_host->ShowMessage(kEncodeFailed);
            m_stage = 900;
        } else if (r == kStepDone) {
            m_stage++;
        }
        break;
    }
    case 101:
    case 301: {
        const int ok = m_stage == 101 ? m_host->FinishRecEncode() : m_host->FinishAviEncode();
        if (!ok) {
            m_host->ShowMessage(kEncodeFailed);
            m_stage = 900;
        } else {
            m_stage = 500;
        }
        break;
    }
    case 500:
        if (m_jobs.empty() || EqualsNoCase(m_jobs[0].field[kJobEncodeOnly], "True"))
            m_stage = 900;
        else
            m_stage = m_host->StartUpload(m_jobs[0]) ? 600 : 900;
        break;
    case 600: {
        const int r = m_host->StepUpload(&percent);
        ReportProgress(percent);
        // A transfer that broke off is never registered.
        if (r == kStepFailed)
            m_stage = 900;
        else if (r == kStepDone)
            m_stage = 700;
        break;
    }
    case 700: m_stage = m_host->FinishUpload() ? 600 : 800; break;
    case 800:
        if (m_jobs.empty()) {
            m_host->ShowMessage("Unexpected error!");
            m_stage = 900;
        } else if (m_host->Register(m_jobs[0])) {
            m_stage = 900;
        }
        break;
    case 900:
    default:
        DropFirst();
        m_host->ResetPage();
        m_stage = 0;
        break;
    }
}

void CVKJobQueue::StartJob() {
    const VKJob& job = m_jobs[0];
    const std::string ext = VKPathExtension(job.field[kJobFilePath]);
    int ok = 0;
    if (ext == ".rec") {
        ok = m_host->StartRecEncode(job);
        m_stage = 100;
    } else if (ext == ".avi") {
        ok = m_host->StartAviEncode(job);
        m_stage = 300;
    } else if (ext == ".wmv") {
        ok = 1;
        m_stage = 500;
    }
    if (!ok) {
        m_host->ShowMessage(kEncodeFailed);
        m_stage = 900;
    }
}

void CVKJobQueue::PollKeys() {
    for (int key = kJobFromEncodeKey; key <= kJobFromUploadKey; key++) {
        if (!IsWaiting(m_host->ReadJobValue(key, kProgress, "100"))) continue;
        const std::string file = m_host->ReadJobValue(key, kFileName, "");
        if (file.empty()) continue;
        VKJob job;
        job.source = key;
        job.field[kJobFilePath] = file;
        job.field[kJobProfile] = "1";
        job.field[kJobEncodeOnly] = key == kJobFromEncodeKey ? "True" : "False";
        if (key == kJobFromUploadKey) {
            job.field[kJobMediaTitle] = m_host->ReadJobValue(key, kTitle, "");
            m_host->GetLogin(&job.field[kJobUserName], &job.field[kJobPassword]);
        }
        // Picked up exactly once: "0" before anything else can fail.
        m_host->WriteJobValue(key, kProgress, "0");
        m_jobs.push_back(job);
        if (key == kJobFromUploadKey) m_host->OnUploadQueued(m_jobs.back());
        m_host->OnJobsChanged();
    }
}

void CVKJobQueue::ReportProgress(int percent) {
    if (m_jobs.empty() || m_jobs[0].source == kJobFromDialog) return;
    // "100" means finished to the HUD: only the end of the job says it.
    if (percent < 0) percent = 0;
    if (percent > 99) percent = 99;
    const int key = m_jobs[0].source;
    if (IsWaiting(m_host->ReadJobValue(key, kProgress, "100"))) return;
    m_host->WriteJobValue(key, kProgress, std::to_string(percent));
}

void CVKJobQueue::EndJob(const VKJob& job) {
    if (job.source == kJobFromDialog) return;
    if (IsWaiting(m_host->ReadJobValue(job.source, kProgress, "100"))) return;
    m_host->WriteJobValue(job.source, kProgress, "100");
}

void CVKJobQueue::DropFirst() {
    if (m_jobs.empty()) return;
    EndJob(m_jobs[0]);
    m_jobs.erase(m_jobs.begin());
    m_host->OnJobsChanged();
}

void CVKJobQueue::Cancel() {
    m_paused = false;
    m_stage = 900;
    m_host->ResetPage();
    if (!m_jobs.empty()) EndJob(m_jobs[0]);
}

void CVKJobQueue::CancelAll() {
    m_paused = false;
    for (const VKJob& job : m_jobs) EndJob(job);
    m_jobs.clear();
    m_stage = 0;
    m_host->ResetPage();
    m_host->OnJobsChanged();
}
