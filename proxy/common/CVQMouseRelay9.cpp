#include "CVQMouseRelay9.h"

#include "CVQHUD.h"
#include "CVQWindow.h"

namespace {
const uint32_t kMouseMove = 0x200, kLButtonDown = 0x201, kLButtonUp = 0x202, kRButtonDown = 0x204, kRButtonUp = 0x205;
}  // namespace

CVQMouseRelay9::CVQMouseRelay9() : m_hud(false), m_capture(false), m_areaCount(0), m_first(0), m_count(0) {}

void CVQMouseRelay9::Publish(CVQHUD* hud) {
    VQRect areas[kMaxAreas];
    int count = 0;
    const CVKPtrList& windows = hud->Windows();
    // Topmost first, as the HUD hit-tests; the logo (index 0) takes no click.
    for (int i = windows.Count() - 1; i >= 1 && count < kMaxAreas; --i) {
        CVQWindow* w = static_cast<CVQWindow*>(windows.Get(i));
        if (!w || !w->IsVisible(0)) continue;
        areas[count++] = {w->GetX(), w->GetY(), w->GetX() + w->Width(), w->GetY() + w->Height()};
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_hud = true;
    m_capture = hud->CaptureWindow() != nullptr;
    m_areaCount = count;
    for (int i = 0; i < count; ++i) m_areas[i] = areas[i];
}

void CVQMouseRelay9::Clear() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_hud = false;
    m_capture = false;
    m_areaCount = 0;
    m_first = m_count = 0;
}

bool CVQMouseRelay9::Takes(uint32_t message, int32_t x, int32_t y) {
    if (message != kLButtonDown && message != kLButtonUp && message != kRButtonDown && message != kRButtonUp)
        return false;
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_hud) return false;
    if (m_capture) return true;
    for (int i = 0; i < m_areaCount; ++i) {
        const VQRect& r = m_areas[i];
        if (x >= r.left && y >= r.top && x < r.right && y < r.bottom) return true;
    }
    return false;
}

bool CVQMouseRelay9::Queue(uint32_t message, uint32_t data, uint32_t position) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_hud) return false;
    if (message == kMouseMove && m_count > 0) {
        Event& last = m_events[(m_first + m_count - 1) % kMaxEvents];
        if (last.message == kMouseMove) {
            last = {message, data, position};
            return true;
        }
    }
    if (m_count == kMaxEvents) return false;
    m_events[(m_first + m_count) % kMaxEvents] = {message, data, position};
    ++m_count;
    return true;
}

void CVQMouseRelay9::Deliver(CVQHUD* hud) {
    for (int n = 0; n < kMaxEvents; ++n) {
        Event event;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_count == 0) return;
            event = m_events[m_first];
            m_first = (m_first + 1) % kMaxEvents;
            --m_count;
        }
        // Whether the game got the event was decided when it happened.
        int handled = 0;
        hud->OnMouseInput(event.message, event.data, event.position, &handled);
    }
}
