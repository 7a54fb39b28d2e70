#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "CVKJobQueue.h"
#include "CVKJobWorker.h"
#include "DesktopPage.h"

// The "My Uploads" page: the pending jobs (the first is the running one),
// the "Encoding:" and "Uploading:" bars, the status line, the preview of the
// picture being encoded, and Pause/Continue, Cancel and Cancel All. Its
// queue takes one step per tick of the main window's timer.
class UploadsPage : public DesktopPage, public IVKJobView {
public:
    explicit UploadsPage(MainWindow* main);
    ~UploadsPage() override;

    bool HandleCommand(int id) override;
    void Tick() override;
    // Queues a job from the Encode or Upload dialog.
    void AddJob(const VKJob& job);
    CVKJobQueue& Queue() { return m_queue; }

    // IVKJobView
    void SetEncoding(const std::string& label, int percent) override;
    void SetUploading(const std::string& label, int percent) override;
    void SetStatus(const std::string& text) override;
    void ShowPreview(const uint8_t* pixels, int width, int height) override;
    int Message(const std::string& text, UINT flags) override;
    void JobsChanged() override;

protected:
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) override;

private:
    void DrawPreview(const DRAWITEMSTRUCT* item);

    CVKJobWorker m_worker;
    CVKJobQueue m_queue;
    std::vector<uint8_t> m_preview;
    int m_previewWidth;
    int m_previewHeight;
};
