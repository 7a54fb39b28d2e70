#include "UploadDialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include "CVKInternet.h"
#include "CVKJobQueue.h"
#include "MainWindow.h"
#include "RecordingsPage.h"
#include "UploadsPage.h"
#include "VKDesktopShell.h"
#include "VKEncoderProfile.h"
#include "VKNetEndpoints.h"
#include "VKThumbnail.h"
#include "VKUploadText.h"
#include "resource.h"

namespace {
const char* const kRatings[] = {"Excellent", "Good", "Average", "Poor", "Awful"};
const char* const kPlatforms[] = {"PC", "XBOX 360", "XBOX", "PS3", "PS2", "PS"};
}  // namespace

UploadDialog::UploadDialog(MainWindow* main, const std::string& path)
    : CVKDialog(IDD_UPLOAD), m_main(main), m_path(path), m_frame(0), m_preview(nullptr) {}

UploadDialog::~UploadDialog() {
    if (m_preview) DeleteObject(m_preview);
}

void UploadDialog::Fill(HWND combo, const char* const* texts, int count) {
    for (int i = 0; i < count; i++) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts[i]));
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
}

BOOL UploadDialog::OnInitDialog() {
    HWND games = Item(IDC_UL_GAME);
    CVKGameStore& store = m_main->Games().Store();
    store.Load();
    for (int id : store.Ids()) {
        VKGame g;
        if (!store.Get(id, &g)) continue;
        SendMessageA(games, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(g.title.c_str()));
        m_gameIds.push_back(id);
    }
    SendMessageA(games, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("(unknown/other)"));
    Fill(Item(IDC_UL_GAMERATING), kRatings, 5);
    Fill(Item(IDC_UL_MEDIARATING), kRatings, 5);
    Fill(Item(IDC_UL_PLATFORM), kPlatforms, 6);
    HWND profiles = Item(IDC_UL_PROFILE);
    for (int i = 0; i < kVKEncoderProfileCount; i++)
        SendMessageA(
            profiles, CB_ADDSTRING, 0,
            reinterpret_cast<LPARAM>(i == 0 ? VKGetEncoderProfile(i)->listText : VKGetEncoderProfile(i)->shortText));
    SendMessageA(profiles, CB_SETCURSEL, 1, 0);
    SendMessageA(Item(IDC_UL_SPIN), UDM_SETRANGE32, 0, 100000);
    SetText(IDC_UL_USER, WebUser());
    SetText(IDC_UL_PASSWORD, WebPassword());
    SetText(IDC_UL_FILE, m_path);
    RenewPreview();
    return TRUE;
}

void UploadDialog::RenewPreview() {
    if (m_preview) DeleteObject(m_preview);
    m_preview = nullptr;
    const std::string path = GetText(IDC_UL_FILE);
    // A video needs no encoding.
    Enable(IDC_UL_PROFILE, VKRecordingKindOf(path) != kVKWmv);
    const size_t slash = path.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    if (VKRecordingKindOf(path) != kVKNotRecording && MakeThumbnail(folder, VKFileNameOf(path), m_frame)) {
        SetText(IDC_UL_FRAME, "Frame " + std::to_string(m_frame));
        m_preview = RecordingsPage::JpegBitmap(VKReplaceExtension(path, ".jpg"), 200, 150);
    } else if (m_frame > 0) {
        m_frame--;
        SetText(IDC_UL_FRAME, "End");
    }
    InvalidateRect(Item(IDC_UL_PREVIEW), nullptr, FALSE);
}

bool UploadDialog::OnCommand(int id, int code, HWND) {
    if (id == IDC_UL_HELP) {
        OpenWebPage(m_hwnd, "/faq.php", true);
        return true;
    }
    if (id != IDC_UL_BROWSE) return false;
    char file[MAX_PATH * 2] = {0};
    const std::string folder = RecordingsPage::Folder();
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hwnd;
    ofn.lpstrFilter =
        "REC Files (*.rec)\0*.rec\0WMV Files (*.wmv)\0*.wmv\0AVI Files (*.avi)\0*.avi\0All Files (*.*)\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrInitialDir = folder.c_str();
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameA(&ofn)) {
        SetText(IDC_UL_FILE, file);
        m_frame = 0;
        RenewPreview();
    }
    return true;
}

void UploadDialog::OnOK() {
    const int game = static_cast<int>(SendMessageA(Item(IDC_UL_GAME), CB_GETCURSEL, 0, 0));
    const std::string title = GetText(IDC_UL_TITLE), path = GetText(IDC_UL_FILE);
    if (game < 0) {
        MessageBoxText("Please set the 'Game Title'", MB_ICONEXCLAMATION);
        return;
    }
    if (title.size() <= 3) {
        MessageBoxText("Please provide a descriptive 'Media Title'", MB_ICONEXCLAMATION);
        return;
    }
    if (path.size() <= 3) {
        MessageBoxText("Please provide a file to upload in 'File Name'", MB_ICONEXCLAMATION);
        return;
    }
    const std::string user = GetText(IDC_UL_USER), password = GetText(IDC_UL_PASSWORD);
    bool valid = false;
    if (!user.empty() && !password.empty()) {
        CVKWaitCursor wait;
        CVKInternet* check = new CVKInternet();
        check->Open(std::string(VKDesktopServiceUrl("checklogin.php?").Str()) + VKCheckLoginQuery(user, password));
        valid = check->Failed() == 0 && check->Data() == "OK";
        check->Release();
    }
    if (!valid) {
        MessageBoxText("Illegal User Name/Password", MB_ICONEXCLAMATION);
        return;
    }
    VKJob job;
    job.field[kJobGameId] = "0";
    if (game < static_cast<int>(m_gameIds.size())) {
        VKGame g;
        if (m_main->Games().Store().Get(m_gameIds[game], &g)) {
            job.field[kJobGameId] = std::to_string(g.id);
            job.field[kJobGameShortName] = g.shortName;
            job.field[kJobGamePlatform] = g.platform;
            job.field[kJobGameGenre] = g.genre;
        }
    }
    auto selected = [this](int id) {
        const int i = static_cast<int>(SendMessageA(Item(id), CB_GETCURSEL, 0, 0));
        return std::to_string(i < 0 ? 0 : i);
    };
    job.field[kJobGameRating] = selected(IDC_UL_GAMERATING);
    job.field[kJobMediaTitle] = title;
    job.field[kJobFilePath] = path;
    job.field[kJobProfile] = selected(IDC_UL_PROFILE);
    job.field[kJobTags] = GetText(IDC_UL_TAGS);
    job.field[kJobMediaPlatform] = selected(IDC_UL_PLATFORM);
    job.field[kJobMediaRating] = selected(IDC_UL_MEDIARATING);
    job.field[kJobUserName] = user;
    job.field[kJobPassword] = password;
    job.field[kJobDescription] = GetText(IDC_UL_DESCRIPTION);
    job.field[kJobEncodeOnly] = "False";
    m_main->Uploads().AddJob(job);
    m_main->SelectTab(3);
    End(IDOK);
}

INT_PTR UploadDialog::OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) {
    if (msg == WM_DRAWITEM && wp == IDC_UL_PREVIEW) {
        RecordingsPage::DrawBitmap(reinterpret_cast<const DRAWITEMSTRUCT*>(lp), m_preview);
        *handled = true;
        return TRUE;
    }
    if (msg == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lp)->code == UDN_DELTAPOS &&
        reinterpret_cast<const NMHDR*>(lp)->idFrom == IDC_UL_SPIN) {
        m_frame += reinterpret_cast<const NMUPDOWN*>(lp)->iDelta > 0 ? 1 : -1;
        if (m_frame < 0) m_frame = 0;
        RenewPreview();
        *handled = true;
        return 1;
    }
    return 0;
}
