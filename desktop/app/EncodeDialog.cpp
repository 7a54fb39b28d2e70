#include "EncodeDialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include "CVKJobQueue.h"
#include "MainWindow.h"
#include "RecordingsPage.h"
#include "UploadsPage.h"
#include "VKEncoderProfile.h"
#include "VKThumbnail.h"
#include "resource.h"

EncodeDialog::EncodeDialog(MainWindow* main, const std::string& path)
    : CVKDialog(IDD_ENCODE), m_main(main), m_path(path), m_frame(0), m_preview(nullptr) {}

EncodeDialog::~EncodeDialog() {
    if (m_preview) DeleteObject(m_preview);
}

BOOL EncodeDialog::OnInitDialog() {
    for (int i = 0; i < kVKEncoderProfileCount; i++)
        SendMessageA(Item(IDC_EN_PROFILE), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(VKGetEncoderProfile(i)->listText));
    SendMessageA(Item(IDC_EN_PROFILE), CB_SETCURSEL, 1, 0);
    SendMessageA(Item(IDC_EN_SPIN), UDM_SETRANGE32, 0, 100000);
    SetText(IDC_EN_FILE, m_path);
    RenewPreview();
    return TRUE;
}

void EncodeDialog::RenewPreview() {
    if (m_preview) DeleteObject(m_preview);
    m_preview = nullptr;
    const std::string path = GetText(IDC_EN_FILE);
    const int kind = VKRecordingKindOf(path);
    if (kind == kVKRec || kind == kVKAvi) {
        const size_t slash = path.find_last_of("\\/");
        const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
        if (MakeThumbnail(folder, VKFileNameOf(path), m_frame)) {
            SetText(IDC_EN_FRAME, "Frame " + std::to_string(m_frame));
            m_preview = RecordingsPage::JpegBitmap(VKReplaceExtension(path, ".jpg"), 200, 150);
        } else if (m_frame > 0) {
            m_frame--;
            SetText(IDC_EN_FRAME, "End");
        }
    }
    InvalidateRect(Item(IDC_EN_PREVIEW), nullptr, FALSE);
}

bool EncodeDialog::OnCommand(int id, int code, HWND) {
    if (id != IDC_EN_BROWSE) return false;
    char file[MAX_PATH * 2] = {0};
    const std::string folder = RecordingsPage::Folder();
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hwnd;
    ofn.lpstrFilter = "REC Files (*.rec)\0*.rec\0AVI Files (*.avi)\0*.avi\0All Files (*.*)\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrInitialDir = folder.c_str();
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameA(&ofn)) {
        SetText(IDC_EN_FILE, file);
        m_frame = 0;
        RenewPreview();
    }
    return true;
}

void EncodeDialog::OnOK() {
    const std::string path = GetText(IDC_EN_FILE);
    if (path.size() <= 3) {
        MessageBoxText("Please provide a file to encode in 'File Name'", MB_ICONEXCLAMATION);
        return;
    }
    VKJob job;
    job.field[kJobFilePath] = path;
    int profile = static_cast<int>(SendMessageA(Item(IDC_EN_PROFILE), CB_GETCURSEL, 0, 0));
    job.field[kJobProfile] = std::to_string(profile < 0 ? 1 : profile);
    job.field[kJobEncodeOnly] = "True";
    m_main->Uploads().AddJob(job);
    m_main->SelectTab(3);
    End(IDOK);
}

INT_PTR EncodeDialog::OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) {
    if (msg == WM_DRAWITEM && wp == IDC_EN_PREVIEW) {
        RecordingsPage::DrawBitmap(reinterpret_cast<const DRAWITEMSTRUCT*>(lp), m_preview);
        *handled = true;
        return TRUE;
    }
    if (msg == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lp)->code == UDN_DELTAPOS &&
        reinterpret_cast<const NMHDR*>(lp)->idFrom == IDC_EN_SPIN) {
        const NMUPDOWN* change = reinterpret_cast<const NMUPDOWN*>(lp);
        m_frame += change->iDelta > 0 ? 1 : -1;
        if (m_frame < 0) m_frame = 0;
        RenewPreview();
        *handled = true;
        return 1;  // the control keeps no position of its own
    }
    return 0;
}
