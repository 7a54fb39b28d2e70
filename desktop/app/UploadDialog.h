#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "CVKDialog.h"

class MainWindow;

// "Orvalo HUD Desktop - Upload": the game, ratings, title, file, encoder
// profile, tags, platform, account and description of a video to publish,
// with a preview of the chosen frame. "&Upload" checks the fields and the
// sign-in with the service, then queues the job on the uploads page.
class UploadDialog : public CVKDialog {
public:
    UploadDialog(MainWindow* main, const std::string& path);
    ~UploadDialog() override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) override;

private:
    void RenewPreview();
    static void Fill(HWND combo, const char* const* texts, int count);

    MainWindow* m_main;
    std::string m_path;
    int m_frame;
    HBITMAP m_preview;
    std::vector<int> m_gameIds;
};
