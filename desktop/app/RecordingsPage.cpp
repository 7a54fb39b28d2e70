#include "RecordingsPage.h"

#include <cstdio>
#include <vector>

#include "CVKDialog.h"
#include "EncodeDialog.h"
#include "MainWindow.h"
#include "RecPlayerWindow.h"
#include "UploadDialog.h"
#include "VKJpeg.h"
#include "VKRecordingFiles.h"
#include "VKSettings.h"
#include "VKThumbnail.h"
#include "VKWinRegistry.h"
#include "resource.h"

namespace {
const int kIconWidth = 140, kIconHeight = 105;

bool ReadBytes(const std::string& path, std::string* bytes) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    char chunk[8192];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0 && bytes->size() < (8u << 20)) bytes->append(chunk, n);
    fclose(f);
    return true;
}
}  // namespace

RecordingsPage::RecordingsPage(MainWindow* main)
    : DesktopPage(IDD_RECORDINGS, main), m_images(nullptr), m_wasVisible(false) {}

RecordingsPage::~RecordingsPage() {
    if (m_images) ImageList_Destroy(m_images);
}

std::string RecordingsPage::Folder() {
    std::string folder = VKGetSetting("recorderFolder", "").Str();
    if (!folder.empty() && GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
        CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

HBITMAP RecordingsPage::JpegBitmap(const std::string& path, int w, int h) {
    std::string bytes;
    int jw = 0, jh = 0;
    std::vector<unsigned char> rgb;
    if (!ReadBytes(path, &bytes) || !DecodeJpeg(bytes, &jw, &jh, &rgb) || jw <= 0 || jh <= 0) return nullptr;
    // 24-bit rows become 32-bit B, G, R, X for the bitmap.
    std::vector<uint8_t> bgrx(static_cast<size_t>(jw) * jh * 4);
    for (size_t i = 0, n = static_cast<size_t>(jw) * jh; i < n; i++) {
        bgrx[i * 4] = rgb[i * 3 + 2];
        bgrx[i * 4 + 1] = rgb[i * 3 + 1];
        bgrx[i * 4 + 2] = rgb[i * 3];
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (!bitmap || !dc) {
        if (bitmap) DeleteObject(bitmap);
        if (dc) DeleteDC(dc);
        return nullptr;
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    info.bmiHeader.biWidth = jw;
    info.bmiHeader.biHeight = -jh;
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchDIBits(dc, 0, 0, w, h, 0, 0, jw, jh, bgrx.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
    return bitmap;
}

void RecordingsPage::DrawBitmap(const DRAWITEMSTRUCT* item, HBITMAP bitmap) {
    const RECT& r = item->rcItem;
    BITMAP info;
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) {
        FillRect(item->hDC, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        return;
    }
    HDC dc = CreateCompatibleDC(item->hDC);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SetStretchBltMode(item->hDC, HALFTONE);
    StretchBlt(item->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, dc, 0, 0, info.bmWidth, info.bmHeight,
               SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
}

BOOL RecordingsPage::OnInitDialog() {
    m_images = ImageList_Create(kIconWidth, kIconHeight, ILC_COLOR32, 8, 8);
    ListView_SetImageList(Item(IDC_RC_LIST), m_images, LVSIL_NORMAL);
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 200;
    SendMessageA(Item(IDC_RC_LIST), LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    SendMessageA(Item(IDC_RC_LIST), LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&column));
    return TRUE;
}

void RecordingsPage::Tick() {
    const bool visible = Visible();
    if (visible && !m_wasVisible) Rebuild();
    m_wasVisible = visible;
}

void RecordingsPage::Rebuild() {
    CVKWaitCursor wait;
    HWND list = Item(IDC_RC_LIST);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    ImageList_RemoveAll(m_images);
    const std::string folder = Folder();
    int row = 0;
    for (const std::string& name : ListRecordings(folder)) {
        const std::string path = folder + name;
        const std::string thumb = VKReplaceExtension(path, ".jpg");
        if (GetFileAttributesA(thumb.c_str()) == INVALID_FILE_ATTRIBUTES) MakeThumbnail(folder, name, 0);
        HBITMAP bitmap = JpegBitmap(thumb, kIconWidth, kIconHeight);
        if (!bitmap) continue;  // tried again at the next rebuild
        const int image = ImageList_Add(m_images, bitmap, nullptr);
        DeleteObject(bitmap);
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = row;
        item.iImage = image;
        item.pszText = const_cast<char*>(name.c_str());
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        item.mask = LVIF_TEXT;
        item.iSubItem = 1;
        item.pszText = const_cast<char*>(path.c_str());
        SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        row++;
    }
}

std::string RecordingsPage::SelectedPath() {
    HWND list = Item(IDC_RC_LIST);
    const int index = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    if (index < 0) return std::string();
    char path[MAX_PATH * 2] = {0};
    LVITEMA item = {};
    item.iSubItem = 1;
    item.pszText = path;
    item.cchTextMax = sizeof path;
    SendMessageA(list, LVM_GETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
    return path;
}

void RecordingsPage::Play(const std::string& path) {
    if (path.empty()) return;
    if (VKRecordingKindOf(path) == kVKRec) {
        RecPlayerWindow::Play(GetParent(m_hwnd), path);
        return;
    }
    // Other videos go to the system's media player.
    std::string command =
        ReadRegistryString("HKEY_CLASSES_ROOT\\Applications\\wmplayer.exe\\shell\\play\\command", "", "");
    const std::string programFiles = ReadRegistryString(
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", "C:\\Program Files");
    for (size_t at; (at = command.find("%ProgramFiles%")) != std::string::npos;) command.replace(at, 14, programFiles);
    for (size_t at; (at = command.find("%L")) != std::string::npos;) command.replace(at, 2, path);
    if (command.empty()) return;
    CVKWaitCursor wait;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
}

bool RecordingsPage::HandleCommand(int id) {
    switch (id) {
    case ID_REC_REFRESH: Rebuild(); return true;
    case ID_VIEW_REFRESH:
        if (!Visible()) return false;
        Rebuild();
        return true;
    case ID_REC_PLAY: Play(SelectedPath()); return true;
    case ID_REC_REMOVE: {
        const std::string path = SelectedPath();
        if (path.empty()) return true;
        if (DeleteRecording(path, [this](const std::string& text, UINT flags) { return MessageBoxText(text, flags); }))
            Rebuild();
        return true;
    }
    case ID_REC_ENCODE:
        m_encode.reset(new EncodeDialog(m_main, SelectedPath()));
        m_encode->Create(GetParent(m_hwnd));
        ShowWindow(m_encode->Handle(), SW_SHOW);
        return true;
    case ID_REC_UPLOAD:
        m_upload.reset(new UploadDialog(m_main, SelectedPath()));
        m_upload->Create(GetParent(m_hwnd));
        ShowWindow(m_upload->Handle(), SW_SHOW);
        return true;
    default: return false;
    }
}

INT_PTR RecordingsPage::OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) {
    if (msg == WM_SIZE) {
        SetWindowPos(Item(IDC_RC_LIST), nullptr, 0, 0, LOWORD(lp), HIWORD(lp), SWP_NOZORDER);
        return 0;
    }
    if (msg != WM_NOTIFY) return 0;
    const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lp);
    if (hdr->idFrom != IDC_RC_LIST) return 0;
    if (hdr->code == NM_DBLCLK) {
        Play(SelectedPath());
        *handled = true;
    } else if (hdr->code == NM_RCLICK) {
        HMENU menus = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_POPUPS));
        POINT pt;
        GetCursorPos(&pt);
        if (menus) TrackPopupMenu(GetSubMenu(menus, 2), TPM_RIGHTBUTTON, pt.x, pt.y, 0, GetParent(m_hwnd), nullptr);
        if (menus) DestroyMenu(menus);
        *handled = true;
    }
    return 0;
}
