#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "CVQWindow.h"
#include "VQBrowseRules.h"

class CVQScrollBarV;

// The recordings browser: the .wmv and .rec files and the folders of the
// recorder folder, one line each with the file's size and, for a file handed
// to the desktop program, the progress the desktop writes back (polled every
// 3 s). It is a child of the dashboard's recordings page, which shows the
// command buttons fitting the selected entry and calls Play, Delete, Encode
// and Upload.
//
// The parent is told every selection change with
//   OnNotify(kNotifySelection, &kind, browser)   kind: int, VQBrowseKind
// and gets Up, Down, Enter and Space only when the browser leaves them.
// The scroll bar belongs to the parent (like the friends list's), which
// creates it beside the browser and attaches it.
class CVQBrowseWnd : public CVQWindow {
public:
    static const int kNotifySelection = 90;

    CVQBrowseWnd();
    ~CVQBrowseWnd() override;

    // Selects nothing, tells the parent kind 0 and reads both job keys. The
    // folder is listed the first time the browser is drawn (or by List).
    int Create(int32_t x, int32_t y, int32_t width, int32_t height, CVQWindow* parent) override;
    int PrepareSurface() override;
    int OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) override;
    int OnMouse(uint32_t message, uint32_t data, uint32_t position, int* handled) override;
    // Answers of the browser's own message boxes (code 78) and focus (7, 8).
    int OnNotify(int code, void* data, CVQWindow* sender, int* handled) override;

    virtual void AttachScrollBar(CVQScrollBarV* bar);
    // Lists a folder: null the recorderFolder setting (default "C:\"), ".."
    // the folder above, else the given folder. keepSelection
    // keeps the selected index (a refresh), otherwise entry 0 is selected.
    virtual void List(const char* folder, int keepSelection);
    virtual void Refresh() { List(m_folder.c_str(), 1); }
    // Clamps the index into the list and tells the parent the kind.
    virtual void Select(int index);
    // Acts on the selection: a video plays, a folder is entered, a recording
    // is handed over for encoding.
    virtual void Open();
    virtual void Play();
    virtual void Delete();
    virtual void Encode();
    virtual void Upload();
    // Reads both jobs' progress now when a job is known and 3000 ms passed
    // since the last poll; a job reaching "100" lists the folder again.
    // 1 when it read the keys.
    virtual int PollJobs();

    int Count() const { return static_cast<int>(m_entries.size()); }
    const char* EntryName(int i) const { return InRange(i) ? m_entries[i].name.c_str() : nullptr; }
    int64_t EntrySize(int i) const { return InRange(i) ? m_entries[i].size : 0; }
    // The line shown for entry i (with the progress of its job).
    std::string EntryText(int i) const;
    int Selected() const { return m_selected; }
    int SelectedKind() const { return m_selectedKind; }
    const char* SelectedPath() const { return m_selectedPath.c_str(); }
    const char* Folder() const { return m_folder.c_str(); }
    int IsListed() const { return m_listed; }
    // The jobs the browser knows of ("" when none) and their last progress.
    const char* EncodeJob() const { return m_encodeJob.c_str(); }
    const char* UploadJob() const { return m_uploadJob.c_str(); }
    const char* EncodeProgress() const { return m_encodeProgress.c_str(); }
    const char* UploadProgress() const { return m_uploadProgress.c_str(); }

    static const uint32_t kBack = 0xFFCDE8FF;
    static const uint32_t kSelectedBack = 0xFF91CDFF;

protected:
    // Enumerates the folder (folder ends in a backslash); false when it cannot.
    virtual bool Enumerate(const std::string& folder, std::vector<VQFolderItem>* items);

private:
    bool InRange(int i) const { return i >= 0 && i < Count(); }
    int ScrollPosition() const;
    void TellParent();
    void AskJob(int upload);
    // Writes a job key; false (and a message) when the registry refused.
    bool HandOver(int upload, const std::string& path, const char* title);
    void ReadJob(int upload, std::string* fileName, std::string* progress);

    std::vector<VQFolderItem> m_entries;
    int m_selected;
    std::string m_selectedPath;
    int m_selectedKind;
    std::string m_folder;
    int m_listed;
    CVQScrollBarV* m_bar;
    int m_drawnScroll;
    std::string m_encodeJob;
    std::string m_uploadJob;
    std::string m_encodeProgress;
    std::string m_uploadProgress;
    uint32_t m_lastPoll;
    int m_pollNow;
    uint32_t m_lastClick;
    int m_clickArmed;
    int m_clickRow;
    // The video the player confirmed for upload, waiting for its title.
    std::string m_uploadPending;
};
