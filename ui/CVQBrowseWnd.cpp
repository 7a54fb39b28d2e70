#include "CVQBrowseWnd.h"

#include <windows.h>

#include <cstring>

#include "CVQBrowsePlayWnd.h"
#include "CVQHUD.h"
#include "CVQMsgBox.h"
#include "CVQScrollBarV.h"
#include "CVQSolidBrush.h"
#include "VKClock.h"
#include "VKLog.h"
#include "VKSettings.h"

namespace {
const int kAnswerCode = 78;
const uint32_t kDoubleClickMs = 500;
const uint32_t kPollMs = 3000;
// Raw enumeration entries read at most (folders with far more are cut).
const size_t kMaxRawItems = 2 * kVQBrowseMaxEntries;

const char* JobKey(int upload) { return upload ? VQ_JOBUPLOAD_KEY : VQ_JOBENCODE_KEY; }

const char* DeleteError(DWORD error) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return "File not found";
    if (error == ERROR_ACCESS_DENIED) return "Access denied";
    return "Unknown error";
}
}  // namespace

CVQBrowseWnd::CVQBrowseWnd()
    : m_selected(-1),
      m_selectedKind(kVQBrowseNone),
      m_listed(0),
      m_bar(nullptr),
      m_drawnScroll(0),
      m_lastPoll(0),
      m_pollNow(0),
      m_lastClick(0),
      m_clickArmed(0),
      m_clickRow(-1) {
    m_background = kBack;
}

CVQBrowseWnd::~CVQBrowseWnd() {}

int CVQBrowseWnd::Create(int32_t x, int32_t y, int32_t width, int32_t height, CVQWindow* parent) {
    m_background = kBack;
    if (!CVQWindow::Create(x, y, width, height, parent)) return 0;
    m_entries.clear();
    m_selected = -1;
    m_selectedKind = kVQBrowseNone;
    m_selectedPath.clear();
    TellParent();
    // A job handed over in an earlier game session may still be running.
    for (int upload = 0; upload < 2; ++upload) {
        std::string file, progress;
        ReadJob(upload, &file, &progress);
        const bool active = progress != "100";
        (upload ? m_uploadJob : m_encodeJob) = active ? file : "";
        (upload ? m_uploadProgress : m_encodeProgress) = progress;
    }
    m_lastPoll = VKClockMs();
    m_pollNow = 0;
    return 1;
}

void CVQBrowseWnd::AttachScrollBar(CVQScrollBarV* bar) {
    m_bar = bar;
    if (m_bar) m_bar->SetRange(12 * Count() + 12);
    Invalidate();
}

int CVQBrowseWnd::ScrollPosition() const { return m_bar ? m_bar->GetPosition() : 0; }

void CVQBrowseWnd::TellParent() {
    if (!m_parent) return;
    int kind = m_selectedKind;
    int handled = 0;
    m_parent->OnNotify(kNotifySelection, &kind, this, &handled);
}

void CVQBrowseWnd::ReadJob(int upload, std::string* fileName, std::string* progress) {
    // A missing key or value counts as no job: progress "100", file "N/A".
    CVKString value;
    IVKSettingsStore* store = VKSettingsStore();
    *fileName = store && store->Read(JobKey(upload), "fileName", &value) ? value.Str() : "N/A";
    value.Set("");
    *progress = VQProgressText(store && store->Read(JobKey(upload), "progress", &value) ? value.Str() : "100");
}

bool CVQBrowseWnd::Enumerate(const std::string& folder, std::vector<VQFolderItem>* items) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    do {
        data.cFileName[sizeof data.cFileName - 1] = 0;
        const bool folderItem = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const int64_t size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        items->push_back({data.cFileName, folderItem, size});
    } while (items->size() < kMaxRawItems && FindNextFileA(find, &data));
    FindClose(find);
    return true;
}

void CVQBrowseWnd::List(const char* folder, int keepSelection) {
    if (!folder || !*folder || (!m_listed && !strcmp(folder, ".."))) {
        m_folder = VQWithBackslash(VKGetSetting("recorderFolder", "C:\\").Str());
    } else if (!strcmp(folder, "..")) {
        m_folder = VQParentFolder(m_folder);
    } else {
        const std::string wanted = VQWithBackslash(folder);
        if (wanted.size() > kVQBrowseMaxPath)
            LogMessage("CVQBrowseWnd::List(): Folder path too long, not entered\r\n");
        else
            m_folder = wanted;
    }
    m_listed = 1;
    std::vector<VQFolderItem> items;
    if (m_folder.size() > kVQBrowseMaxPath || !Enumerate(m_folder, &items)) items.clear();
    m_entries = VQFilterFolder(items, VQIsRootFolder(m_folder));
    if (m_bar) m_bar->SetRange(12 * Count() + 12);
    Select(keepSelection ? m_selected : 0);
    m_needsRedraw = 1;
}

void CVQBrowseWnd::Select(int index) {
    if (m_entries.empty()) {
        m_selected = -1;
        m_selectedKind = kVQBrowseNone;
        m_selectedPath.clear();
    } else {
        if (index < 0) index = 0;
        if (index >= Count()) index = Count() - 1;
        m_selected = index;
        const VQFolderItem& entry = m_entries[index];
        m_selectedKind = VQEntryKind(entry.name, entry.folder);
        if (entry.name == "..")
            m_selectedPath = "..";
        else if (m_selectedKind == kVQBrowseFolder)
            m_selectedPath = m_folder + entry.name + "\\";
        else
            m_selectedPath = m_folder + entry.name;
    }
    TellParent();
    Invalidate();
}

void CVQBrowseWnd::Open() {
    switch (m_selectedKind) {
    case kVQBrowseVideo: Play(); break;
    case kVQBrowseFolder: {
        const std::string path = m_selectedPath;  // List changes the selection
        List(path.c_str(), 0);
        break;
    }
    case kVQBrowseRecording: Encode(); break;
    default: break;
    }
}

void CVQBrowseWnd::Play() {
    if (m_selected < 0) {
        ShowMessage("No file selected", this, 1);
        return;
    }
    if (m_selectedKind != kVQBrowseVideo) {
        ShowMessage("Can only play .wmv files", this, 1);
        return;
    }
    CVQHUD* hud = VQHud();
    if (!hud) return;
    CVQBrowsePlayWnd* player = new CVQBrowsePlayWnd();
    if (!player->Open(520, 50, 320, 240, m_selectedPath.c_str())) {
        delete player;
        return;
    }
    hud->AddWindow(player);
    hud->UpdateActiveStates();
}

void CVQBrowseWnd::Delete() {
    if (m_selectedKind != kVQBrowseVideo && m_selectedKind != kVQBrowseRecording) {
        ShowMessage("Can only delete .wmv and .rec files", this, 1);
        return;
    }
    const int lines = 2 + static_cast<int>((m_selectedPath.size() + 59) / 60);
    AskConfirm(VQDeleteQuestion(m_selectedPath).c_str(), this, "delete", m_selectedPath.c_str(), lines < 3 ? 3 : lines,
               nullptr);
}

void CVQBrowseWnd::Encode() {
    if (m_selectedKind != kVQBrowseRecording) {
        ShowMessage("Can only encode .rec files", this, 1);
        return;
    }
    AskJob(0);
}

void CVQBrowseWnd::Upload() {
    if (m_selectedKind != kVQBrowseVideo) {
        ShowMessage("Can only upload .wmv files", this, 1);
        return;
    }
    AskJob(1);
}

void CVQBrowseWnd::AskJob(int upload) {
    std::string file, progress;
    ReadJob(upload, &file, &progress);
    const VQJobAction action = VQDecideJob(progress, file, m_selectedPath);
    int lines = 1;
    const std::string text = VQJobText(action, upload, progress, &lines);
    if (action == kVQJobAlreadyActive || action == kVQJobAlreadyQueued)
        ShowMessage(text.c_str(), this, lines);
    else
        AskConfirm(text.c_str(), this, upload ? "upload" : "encode", m_selectedPath.c_str(), lines, nullptr);
}

bool CVQBrowseWnd::HandOver(int upload, const std::string& path, const char* title) {
    IVKSettingsStore* store = VKSettingsStore();
    // The desktop takes the job when progress turns "-1": the file comes first.
    const bool written = store && store->Write(JobKey(upload), "fileName", path.c_str()) &&
                         (!title || store->Write(JobKey(upload), "title", title)) &&
                         store->Write(JobKey(upload), "progress", "-1");
    if (!written) {
        LogMessage("CVQBrowseWnd::HandOver(): Could not write the job key\r\n");
        ShowMessage("Could not hand the file over to Orvalo Desktop.", this, 1);
        return false;
    }
    (upload ? m_uploadJob : m_encodeJob) = path;
    (upload ? m_uploadProgress : m_encodeProgress) = "-1";
    m_pollNow = 1;
    Invalidate();
    return true;
}

int CVQBrowseWnd::PollJobs() {
    if (m_encodeJob.empty() && m_uploadJob.empty()) return 0;
    const uint32_t now = VKClockMs();
    if (!m_pollNow && now - m_lastPoll < kPollMs) return 0;
    m_pollNow = 0;
    m_lastPoll = now;
    bool finished = false, changed = false;
    for (int upload = 0; upload < 2; ++upload) {
        std::string& job = upload ? m_uploadJob : m_encodeJob;
        std::string& last = upload ? m_uploadProgress : m_encodeProgress;
        std::string file, progress;
        ReadJob(upload, &file, &progress);
        if (!job.empty() && last != "100" && progress == "100") {
            job.clear();
            finished = true;
        }
        if (progress != last) changed = true;
        last = progress;
    }
    // A finished encode leaves a new video in the folder. The same progress
    // as before draws nothing again (the page would be sent to the device anew).
    if (finished) Refresh();
    if (changed) m_needsRedraw = 1;
    return 1;
}

std::string CVQBrowseWnd::EntryText(int i) const {
    if (!InRange(i)) return "";
    const VQFolderItem& entry = m_entries[i];
    const char* progress = nullptr;
    if (!entry.folder) {
        const std::string path = m_folder + entry.name;
        if (!m_encodeJob.empty() && VQSamePath(path, m_encodeJob))
            progress = m_encodeProgress.c_str();
        else if (!m_uploadJob.empty() && VQSamePath(path, m_uploadJob))
            progress = m_uploadProgress.c_str();
    }
    return VQEntryText(entry.name, entry.size, entry.folder, progress);
}

int CVQBrowseWnd::PrepareSurface() {
    if (!m_listed) List(nullptr, 0);
    PollJobs();
    const int scroll = ScrollPosition();
    if (scroll != m_drawnScroll) m_needsRedraw = 1;
    if (!m_needsRedraw) return 1;
    m_needsRedraw = 0;
    m_drawnScroll = scroll;
    const int w = Width(), h = Height();
    m_canvas.Fill(kBack);
    m_canvas.SetFont("Arial", 8, RGB(0, 0, 0), 400, 0, 0);
    const std::string header = m_folder + "*.wmv|*.rec";
    m_canvas.DrawDataText(8, -scroll, w - 8, 14, header.c_str(), DT_SINGLELINE | DT_LEFT);
    CVQSolidBrush selected(kSelectedBack);
    // Only the rows inside the window are drawn, however long the list.
    int first = (scroll - 26) / 12;
    if (first < 0) first = 0;
    for (int i = first; i < Count(); ++i) {
        const int y = 12 + 12 * i - scroll;
        if (y >= h) break;
        if (y + 14 <= 0) continue;
        if (i == m_selected) m_canvas.FillRectangle(&selected, 8, y + 1, 368, 12);
        const std::string text = EntryText(i);
        m_canvas.DrawDataText(8, y, w - 8, 14, text.c_str(), DT_SINGLELINE | DT_LEFT);
    }
    m_canvas.SetDirty(1);
    return 1;
}

int CVQBrowseWnd::OnKeyboard(uint32_t message, uint32_t key, uint32_t, int* handled) {
    if (message != WM_KEYDOWN || VQIsKeyDown(VK_CONTROL)) return 0;
    if (key == VK_RETURN || key == VK_SPACE) {
        Open();
        return 0;
    }
    if (key != VK_UP && key != VK_DOWN) return 0;
    *handled = 1;
    if (m_entries.empty()) return 0;
    Select(key == VK_UP ? m_selected - 1 : m_selected + 1);
    if (m_bar) m_bar->SetPosition(VQScrollForSelection(m_selected, m_bar->GetPosition(), m_bar->GetPage()));
    m_needsRedraw = 1;
    return 0;
}

int CVQBrowseWnd::OnMouse(uint32_t message, uint32_t, uint32_t position, int* handled) {
    if (message == WM_LBUTTONUP) return 0;
    if (message != WM_LBUTTONDOWN) {
        m_clickArmed = 0;
        return 0;
    }
    *handled = 1;
    const int y = static_cast<int16_t>(position >> 16) - m_y;
    const int row = VQRowAt(y, ScrollPosition());
    const uint32_t now = VKClockMs();
    const bool second = m_clickArmed && row == m_clickRow && now - m_lastClick < kDoubleClickMs;
    if (InRange(row)) Select(row);
    if (CVQHUD* hud = VQHud()) hud->SetFocusWindow(this, true);
    if (second) {
        m_clickArmed = 0;
        Open();
    } else {
        m_clickArmed = InRange(row) ? 1 : 0;
        m_clickRow = row;
        m_lastClick = now;
    }
    return 0;
}

int CVQBrowseWnd::OnNotify(int code, void*, CVQWindow* sender, int*) {
    if (code != kAnswerCode || !sender || sender->Kind() != CVQFrmWnd::kMessageBox) return 0;
    CVQMsgBox* box = static_cast<CVQMsgBox*>(sender);
    const char* tag = box->GetTag() ? box->GetTag() : "";
    const bool ok = box->GetResult() == CVQMsgBox::kOk;
    // The path travels with the question: the answer acts on the file the
    // player was asked about, whatever is selected by now.
    const std::string path = box->GetData() ? box->GetData() : "";
    if (!strcmp(tag, "delete")) {
        if (ok && !path.empty() && !DeleteFileA(path.c_str())) {
            const std::string text = std::string("Could not delete file: ") + DeleteError(GetLastError());
            ShowMessage(text.c_str(), this, 2);
        }
        Refresh();
    } else if (!strcmp(tag, "encode")) {
        if (ok && !path.empty()) HandOver(0, path, nullptr);
    } else if (!strcmp(tag, "upload")) {
        m_uploadPending = ok ? path : "";
        if (ok && !path.empty()) AskText("Type in a title for the video", this, "title", 1);
    } else if (!strcmp(tag, "title")) {
        const std::string title = box->GetInputText() ? box->GetInputText() : "";
        const std::string video = m_uploadPending;
        m_uploadPending.clear();
        if (ok && !title.empty() && !video.empty()) HandOver(1, video, title.c_str());
    }
    return 0;
}
