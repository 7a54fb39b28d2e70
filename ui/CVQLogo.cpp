#include "CVQLogo.h"

#include <windows.h>

#include "CVQSolidBrush.h"
#include "VKClock.h"

namespace {
const uint32_t kIntroMs = 10000;
// "now lies before deadline" on a wrapping 32-bit clock.
bool Before(uint32_t now, uint32_t deadline) { return static_cast<int32_t>(deadline - now) > 0; }
}  // namespace

CVQLogo::CVQLogo() : m_created(0), m_shown(0), m_introOver(0), m_flashUntil(0), m_recording(0), m_showingSign(0) {}

int CVQLogo::Create(int32_t x, int32_t y, int32_t width, int32_t height, CVQWindow* parent) {
    CVQWindow::Create(x, y, width, height, parent);
    m_created = VKClockMs();
    m_shown = 0;
    m_introOver = 0;
    m_flashUntil = m_created;
    m_logoPicture.LoadResourceImage(4096);
    // The recording sign: a red plate, a black dot and "REC".
    m_recordSign.CreateCanvas(108, 28, 0xFFFF0000);
    CVQSolidBrush black;
    black.SetColor(0xFF000000);
    m_recordSign.FillEllipse(&black, 7, 7, 16, 16);
    m_recordSign.SetFont("Arial", 10, RGB(0, 0, 0), 400, 0, 0);
    m_recordSign.DrawText(15, 7, 93, 21, "REC", DT_SINGLELINE | DT_CENTER);
    m_showingSign = -1;
    ShowPicture(&m_logoPicture);
    return 1;
}

void CVQLogo::ShowPicture(CVQGraphics* picture) {
    int sign = picture == &m_recordSign ? 1 : 0;
    if (m_showingSign == sign) return;
    m_showingSign = sign;
    m_canvas.Fill(m_background);
    if (picture->DibWidth() > 0)
        m_canvas.Blit(0, 0, picture->DibWidth(), picture->DibHeight(), picture, 0, 0, picture->DibWidth(),
                      picture->DibHeight());
    m_canvas.SetDirty(1);
}

int CVQLogo::PrepareSurface() {
    ShowPicture(m_recording ? &m_recordSign : &m_logoPicture);
    return CVQWindow::PrepareSurface();
}

bool CVQLogo::IsVisible(int) {
    uint32_t now = VKClockMs();
    if (m_recording || Before(now, m_flashUntil)) return now % 1000 < 500;
    if (!m_introOver && now - m_created < kIntroMs) return true;
    return m_shown != 0;
}

void CVQLogo::SetVisible(int visible) {
    m_shown = visible ? 1 : 0;
    // Hiding the logo (the player's toggle, or a HUD that starts hidden) also
    // ends its ten seconds of showing itself after start.
    if (!visible) m_introOver = 1;
    m_flashUntil = VKClockMs();
}

void CVQLogo::SetRecording(int recording) { m_recording = recording ? 1 : 0; }

void CVQLogo::Flash(uint32_t milliseconds) {
    if (!m_shown) m_flashUntil = VKClockMs() + milliseconds;
}
