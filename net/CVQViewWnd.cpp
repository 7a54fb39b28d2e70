#include "CVQViewWnd.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "CVKPixels.h"
#include "CVQDecodeVS.h"
#include "CVQHUD.h"
#include "CVQPen.h"
#include "CVQSolidBrush.h"
#include "CVQSurface.h"
#include "VQViewPicture.h"

namespace {
int g_offset = 0;  // 0 to 5: how far down the next window goes
const uint32_t kInactiveCaption = 0xFF0076DA;
const COLORREF kCaptionText = 0xFFE8CD;
const uint32_t kMouseWheel = 0x20A;
const int kPictureX = 2, kPictureY = 10;
}  // namespace

CVQViewWnd::CVQViewWnd(CVQDecodeVS* session)
    : m_session(session ? session : new CVQDecodeVS),
      m_picture(nullptr),
      m_pictureBytes(0),
      m_viewWidth(0),
      m_viewHeight(0),
      m_zoom(1.0f),
      m_wheel(0),
      m_bytesPerPixel(4),
      m_pictures(0) {
    m_kind = kView;
    // The window's own session decodes on its worker: the render thread only
    // takes the newest picture.
    if (!session) m_session->SetWorker(1);
}

CVQViewWnd::~CVQViewWnd() {
    // The HUD must not keep a pointer to the session that goes with the window.
    if (CVQHUD* hud = VQHud()) hud->ForgetViewSession(m_session);
    delete m_session;
    free(m_picture);
}

int CVQViewWnd::CreateFrame(int32_t x, int32_t y, int32_t width, int32_t height) {
    const int shift = 20 * g_offset;
    g_offset = (g_offset + 1) % 6;
    if (!CVQFrmWnd::CreateFrame(x, y + shift, width, height)) return 0;
    m_canvas.SetFont("Arial", 8, RGB(0, 0, 0), 400, 0, 0);
    m_canvas.DrawText(20, 20, 100, 20, "Connecting...", DT_SINGLELINE);
    m_session->Open();
    return 1;
}

void CVQViewWnd::DrawCaption() {
    int w = 0;
    if (m_canvas.GetWidth(&w) != S_OK) return;
    CVQSolidBrush brush;
    brush.SetColor(m_active ? m_background : kInactiveCaption);
    m_canvas.FillRectangle(&brush, 1, 1, w - 25, 12);
    m_canvas.SetFont("Arial", 7, kCaptionText, 400, 0, 0);
    if (m_title.Length()) m_canvas.DrawDataText(22, 0, 310, 16, m_title.Get(), DT_SINGLELINE);
    CVQGraphics box;
    if (box.LoadResourceImage(4097) == S_OK)
        m_canvas.Blit(w - CloseBoxSize(), 0, box.DibWidth(), box.DibHeight(), &box, 0, 0, box.DibWidth(),
                      box.DibHeight());
    DrawGlyphs();
    m_canvas.SetDirty(1);
}

void CVQViewWnd::DrawGlyphs() {
    CVQPen pen(PS_SOLID, 1, 0xFF000000);
    m_canvas.DrawRectangle(&pen, 1, 1, 7, 7);  // minus
    m_canvas.DrawLine(&pen, 3, 4, 6, 4);
    m_canvas.DrawRectangle(&pen, 9, 1, 7, 7);  // plus
    m_canvas.DrawLine(&pen, 11, 4, 14, 4);
    m_canvas.DrawLine(&pen, 12, 3, 12, 6);
}

void CVQViewWnd::ResizePictureBuffer() {
    const int bytes = m_viewWidth * m_viewHeight * 4;
    if (bytes <= 0) return;
    if (bytes != m_pictureBytes) {
        uint8_t* buffer = static_cast<uint8_t*>(realloc(m_picture, static_cast<size_t>(bytes)));
        if (!buffer) return;
        m_picture = buffer;
        m_pictureBytes = bytes;
    }
}

void CVQViewWnd::ApplyZoom() {
    CVQViewVS* client = m_session->GetClient();
    m_viewWidth = static_cast<int>(client->GetWidth() * m_zoom);
    m_viewHeight = static_cast<int>(client->GetHeight() * m_zoom);
    if (m_viewWidth > kVQMaxViewSide) m_viewWidth = kVQMaxViewSide;
    if (m_viewHeight > kVQMaxViewSide) m_viewHeight = kVQMaxViewSide;
    if (m_viewWidth < 1) m_viewWidth = 1;
    if (m_viewHeight < 1) m_viewHeight = 1;
    ResizePictureBuffer();
}

void CVQViewWnd::ZoomIn() {
    if (!m_viewWidth || !m_session->GetClient()->IsLoggedIn()) return;
    m_zoom = VQZoomStep(m_zoom, 1);
    ApplyZoom();
}

void CVQViewWnd::ZoomOut() {
    CVQViewVS* client = m_session->GetClient();
    if (!m_viewWidth || !client->IsLoggedIn() || client->GetWidth() <= 0) return;
    if (m_viewWidth < 60 || m_viewHeight < 60) {
        m_zoom = static_cast<float>(m_viewWidth) / static_cast<float>(client->GetWidth());
        return;
    }
    m_zoom = VQZoomStep(m_zoom, 0);
    ApplyZoom();
}

void CVQViewWnd::DrawPicture(const uint8_t* data, int size) {
    CVQViewVS* client = m_session->GetClient();
    const int sw = client->GetWidth(), sh = client->GetHeight();
    // The decoder always gives 32-bit pixels at the stream's size, whatever
    // the game's own format: the picture is drawn as 32-bit pixels.
    if (!data || sw <= 0 || sh <= 0 || size < sw * sh * 4 || !m_picture) return;
    const uint8_t* rows = data;
    int stride = sw * 4;
    if (sw != m_viewWidth || sh != m_viewHeight) {
        if (!VQResizeNearest(data, sw, sh, sw * 4, m_picture, m_viewWidth, m_viewHeight, m_viewWidth * 4, 4)) return;
        rows = m_picture;
        stride = m_viewWidth * 4;
    }
    CVKPixels* canvas = nullptr;
    if (m_canvas.GetPixels(&canvas) != S_OK || !canvas || !canvas->Data()) return;
    if (canvas->Width() < static_cast<uint32_t>(kPictureX + m_viewWidth) ||
        canvas->Height() < static_cast<uint32_t>(kPictureY + m_viewHeight))
        return;
    for (int y = 0; y < m_viewHeight; y++) {
        const uint32_t* in = reinterpret_cast<const uint32_t*>(rows + static_cast<size_t>(y) * stride);
        uint32_t* out =
            reinterpret_cast<uint32_t*>(canvas->Data() + static_cast<ptrdiff_t>(kPictureY + y) * canvas->Stride()) +
            kPictureX;
        for (int x = 0; x < m_viewWidth; x++) out[x] = in[x] | 0xFF000000u;  // opaque
    }
    m_canvas.SetDirty(1);
    m_pictures++;
}

int CVQViewWnd::PrepareSurface() {
    CVQViewVS* client = m_session->GetClient();
    if (!client->IsLoggedIn()) {
        m_zoom = 1.0f;
        m_viewWidth = 0;
        m_viewHeight = 0;
    } else if (!m_viewWidth) {
        uint32_t format = 0, width = 0, height = 0;
        if (!CVQSurface::GetBackBufferInfo(&format, &width, &height, nullptr)) width = height = 10000;
        VQInitialViewSize(client->GetWidth(), client->GetHeight(), static_cast<int>(width), static_cast<int>(height),
                          &m_viewWidth, &m_viewHeight, &m_zoom);
        ResizePictureBuffer();
    }
    if (m_viewWidth > 0) {
        const int w = m_viewWidth + 4, h = m_viewHeight + 12;
        if (Width() != w || Height() != h) {
            m_canvas.CreateCanvas(w, h, m_background);
            DrawCaption();
        }
        uint8_t* data = nullptr;
        int size = 0;
        int64_t timestamp = 0;
        if (m_session->TakePicture(&data, &size, &timestamp)) DrawPicture(data, size);
    }
    return CVQFrmWnd::PrepareSurface();
}

int CVQViewWnd::OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) {
    if (message == WM_KEYDOWN && (key == VK_ADD || key == VK_SUBTRACT)) {
        if (key == VK_ADD)
            ZoomIn();
        else
            ZoomOut();
        *handled = 1;
        return 0;
    }
    return CVQFrmWnd::OnKeyboard(message, key, keyData, handled);
}

int CVQViewWnd::OnMouse(uint32_t message, uint32_t data, uint32_t position, int* handled) {
    if (message == kMouseWheel) {
        // Each full notch (120) in either direction is one step.
        m_wheel += static_cast<int16_t>(data >> 16);
        while (m_wheel >= 120) {
            m_wheel -= 120;
            ZoomIn();
        }
        while (m_wheel <= -120) {
            m_wheel += 120;
            ZoomOut();
        }
        *handled = 1;
        return 0;
    }
    if (message == WM_LBUTTONDOWN) {
        const int dx = static_cast<int16_t>(position & 0xFFFF) - m_x;
        const int dy = static_cast<int16_t>(position >> 16) - m_y;
        if (dy >= 0 && dy <= 7 && dx >= 1 && dx <= 8) {
            ZoomOut();
            *handled = 1;
            return 0;
        }
        if (dy >= 0 && dy <= 7 && dx >= 10 && dx <= 18) {
            ZoomIn();
            *handled = 1;
            return 0;
        }
    }
    return CVQFrmWnd::OnMouse(message, data, position, handled);
}

void CVQViewWnd::Close() {
    if (CVQHUD* hud = VQHud()) hud->CloseView(this);
    CVQFrmWnd::Close();
}
