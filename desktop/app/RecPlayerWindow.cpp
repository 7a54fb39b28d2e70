#include "RecPlayerWindow.h"

namespace {
const char* const kClass = "OrvaloRecPlayer";
const UINT_PTR kTimer = 100;
}  // namespace

RecPlayerWindow* RecPlayerWindow::Play(HWND owner, const std::string& path) {
    static bool registered = false;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = kClass;
        registered = RegisterClassA(&wc) != 0;
    }
    RecPlayerWindow* self = new RecPlayerWindow();
    if (!self->m_player.Open(path, &self->m_sink, GetTickCount())) {
        delete self;
        return nullptr;
    }
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    int w = self->m_player.Width() + 2 * GetSystemMetrics(SM_CXFRAME);
    int h = self->m_player.Height() + 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION);
    if (w > sw) w = sw;
    if (h > sh) h = sh;
    self->m_hwnd =
        CreateWindowExA(0, kClass, path.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_VISIBLE,
                        (sw - w) / 2, (sh - h) / 2, w, h, owner, nullptr, instance, self);
    if (!self->m_hwnd) {
        delete self;
        return nullptr;
    }
    self->m_player.onPicture = [self](const uint8_t* pixels, int width, int height) {
        self->Draw(pixels, width, height);
    };
    SetTimer(self->m_hwnd, kTimer, 1, nullptr);
    return self;
}

void RecPlayerWindow::Draw(const uint8_t* pixels, int width, int height) {
    RECT r;
    GetClientRect(m_hwnd, &r);
    HDC dc = GetDC(m_hwnd);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchDIBits(dc, 0, 0, r.right, r.bottom, 0, 0, width, height, pixels, &info, DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(m_hwnd, dc);
}

LRESULT CALLBACK RecPlayerWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams));
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
    RecPlayerWindow* self = reinterpret_cast<RecPlayerWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
    switch (msg) {
    case WM_TIMER:
        if (wp == kTimer) {
            KillTimer(hwnd, kTimer);
            if (self->m_player.Step(GetTickCount()) == CVKRecPlayer::kMore) SetTimer(hwnd, kTimer, 1, nullptr);
        }
        return 0;
    case WM_LBUTTONDOWN:
        self->m_player.TogglePause(GetTickCount());
        if (!self->m_player.Paused()) SetTimer(hwnd, kTimer, 1, nullptr);
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd, kTimer);
        self->m_player.Close();
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        delete self;
        return DefWindowProcA(hwnd, msg, wp, lp);
    default: return DefWindowProcA(hwnd, msg, wp, lp);
    }
}
