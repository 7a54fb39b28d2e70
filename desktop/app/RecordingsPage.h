#pragma once
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "DesktopPage.h"

class EncodeDialog;
class UploadDialog;

// The "My Recordings" page: the recordings of the recorder folder as a grid
// of thumbnails; play, encode, upload and delete the selected one. The list
// is rebuilt whenever the page becomes visible.
class RecordingsPage : public DesktopPage {
public:
    explicit RecordingsPage(MainWindow* main);
    ~RecordingsPage() override;

    bool HandleCommand(int id) override;
    void Tick() override;
    void Rebuild();
    // The recorder folder (created when missing).
    static std::string Folder();
    // A JPEG file scaled to w x h as a bitmap; null when it cannot be read.
    static HBITMAP JpegBitmap(const std::string& path, int w, int h);
    // Draws a bitmap stretched into an owner-drawn control (black without one).
    static void DrawBitmap(const DRAWITEMSTRUCT* item, HBITMAP bitmap);
    std::string SelectedPath();

protected:
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) override;

private:
    void Play(const std::string& path);

    HIMAGELIST m_images;
    bool m_wasVisible;
    std::unique_ptr<EncodeDialog> m_encode;
    std::unique_ptr<UploadDialog> m_upload;
};
