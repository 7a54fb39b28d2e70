#include "UploadsPage.h"

#include <commctrl.h>

#include <cstring>

#include "MainWindow.h"
#include "VKDesktopShell.h"
#include "resource.h"

UploadsPage::UploadsPage(MainWindow* main)
    : DesktopPage(IDD_UPLOADS, main), m_worker(this), m_queue(&m_worker), m_previewWidth(0), m_previewHeight(0) {}

UploadsPage::~UploadsPage() {}

BOOL UploadsPage::OnInitDialog() {
    HWND list = Item(IDC_UP_LIST);
    const char* const titles[2] = {"Title", "File name"};
    const int widths[2] = {200, 466};
    for (int i = 0; i < 2; i++) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<char*>(titles[i]);
        column.cx = widths[i];
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    SendMessageA(Item(IDC_UP_ENC_BAR), PBM_SETRANGE32, 0, 100);
    SendMessageA(Item(IDC_UP_UPL_BAR), PBM_SETRANGE32, 0, 100);
    return TRUE;
}

void UploadsPage::Tick() { m_queue.Tick(); }

void UploadsPage::AddJob(const VKJob& job) { m_queue.Add(job); }

void UploadsPage::JobsChanged() {
    if (!m_hwnd) return;
    HWND list = Item(IDC_UP_LIST);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    int row = 0;
    for (const VKJob& job : m_queue.Jobs()) {
        const bool encodeOnly = _stricmp(job.field[kJobEncodeOnly].c_str(), "True") == 0;
        std::string title = encodeOnly ? "(encode)" : job.field[kJobMediaTitle];
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<char*>(title.c_str());
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        item.iSubItem = 1;
        item.pszText = const_cast<char*>(job.field[kJobFilePath].c_str());
        SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        row++;
    }
}

void UploadsPage::SetEncoding(const std::string& label, int percent) {
    SetText(IDC_UP_ENC_LABEL, label);
    SendMessageA(Item(IDC_UP_ENC_BAR), PBM_SETPOS, percent, 0);
}

void UploadsPage::SetUploading(const std::string& label, int percent) {
    SetText(IDC_UP_UPL_LABEL, label);
    SendMessageA(Item(IDC_UP_UPL_BAR), PBM_SETPOS, percent, 0);
}

void UploadsPage::SetStatus(const std::string& text) { SetText(IDC_UP_STATUS, text); }

void UploadsPage::ShowPreview(const uint8_t* pixels, int width, int height) {
    if (!pixels || width <= 0 || height <= 0) return;
    m_preview.assign(pixels, pixels + static_cast<size_t>(width) * height * 4);
    m_previewWidth = width;
    m_previewHeight = height;
    InvalidateRect(Item(IDC_UP_PREVIEW), nullptr, FALSE);
}

void UploadsPage::DrawPreview(const DRAWITEMSTRUCT* item) {
    const RECT& r = item->rcItem;
    if (m_preview.empty()) {
        FillRect(item->hDC, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        return;
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = m_previewWidth;
    info.bmiHeader.biHeight = -m_previewHeight;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(item->hDC, HALFTONE);
    SetBrushOrgEx(item->hDC, 0, 0, nullptr);
    StretchDIBits(item->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, 0, 0, m_previewWidth, m_previewHeight,
                  m_preview.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

int UploadsPage::Message(const std::string& text, UINT flags) {
    return MessageBoxA(m_hwnd, text.c_str(), "Orvalo HUD Desktop", flags);
}

bool UploadsPage::HandleCommand(int id) {
    switch (id) {
    case IDC_UP_PAUSE:
        m_queue.SetPaused(!m_queue.Paused());
        SetText(IDC_UP_PAUSE, m_queue.Paused() ? "C&ontinue" : "&Pause");
        return true;
    case IDC_UP_CANCEL:
        m_queue.Cancel();
        SetText(IDC_UP_PAUSE, "&Pause");
        return true;
    case IDC_UP_CANCELALL:
        m_queue.CancelAll();
        SetText(IDC_UP_PAUSE, "&Pause");
        return true;
    case ID_UPLOADS_MYVIDEOS: OpenWebPage(m_hwnd, "/mymedia.php", true); return true;
    default: return false;
    }
}

INT_PTR UploadsPage::OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) {
    if (msg == WM_DRAWITEM && wp == IDC_UP_PREVIEW) {
        DrawPreview(reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
        *handled = true;
        return TRUE;
    }
    return 0;
}
