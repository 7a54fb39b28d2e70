#include "CVQCaptureRing.h"

namespace {
int g_forceSynchronous = 0;
}  // namespace

CVQCaptureRing::CVQCaptureRing()
    : m_frameData(nullptr),
      m_first(0),
      m_count(0),
      m_locked(0),
      m_synchronous(0),
      m_format(0),
      m_width(0),
      m_height(0) {
    for (int64_t& stamp : m_stamps) stamp = 0;
}

CVQCaptureRing::~CVQCaptureRing() { Release(); }

void CVQCaptureRing::SetForceSynchronous(int on) { g_forceSynchronous = on ? 1 : 0; }

int CVQCaptureRing::IsForcedSynchronous() { return g_forceSynchronous; }

int CVQCaptureRing::Capture(int64_t stamp) {
    if (m_count == kSlots) return kCaptureBusy;
    const int slot = (m_first + m_count) % kSlots;
    if (!CopyIntoSlot(slot)) return kCaptureFailed;
    m_stamps[slot] = stamp;
    m_count++;
    return kCaptured;
}

int CVQCaptureRing::LockOldest(CVKPixels* pixels, int64_t* stamp, int wait) {
    if (m_count == 0 || m_locked || !pixels) return kNothingReady;
    if (!IsSlotDone(m_first, wait)) return kNothingReady;
    if (!LockSlot(m_first, pixels)) {
        // A copy that cannot be read is dropped, so the ring moves on.
        m_first = (m_first + 1) % kSlots;
        m_count--;
        return kLockFailed;
    }
    m_locked = 1;
    if (stamp) *stamp = m_stamps[m_first];
    return kLocked;
}

void CVQCaptureRing::UnlockOldest() {
    if (!m_locked) return;
    UnlockSlot(m_first);
    m_locked = 0;
    m_first = (m_first + 1) % kSlots;
    m_count--;
}

void CVQCaptureRing::Poll() {
    for (int i = m_locked ? 1 : 0; i < m_count; i++) IsSlotDone((m_first + i) % kSlots, 0);
}

void CVQCaptureRing::Release() {
    if (m_locked) UnlockSlot(m_first);
    m_locked = 0;
    m_first = 0;
    m_count = 0;
    ReleaseSlots();
}
