#include "CVQAviPacer.h"

bool CVQAviPacer::FrameDue(uint32_t now) {
    if (!m_started) {
        m_started = true;
        m_timer = now;
    }
    if (now - m_timer < kIntervalMs) return false;  // unsigned: survives the timer's wrap
    m_timer += kIntervalMs;
    return true;
}
