#include "CVQPictureQueue.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "CVKPixels.h"
#include "CVQCaptureRing.h"

CVQPictureQueue::CVQPictureQueue()
    : m_capacity(0),
      m_layout(0),
      m_width(0),
      m_height(0),
      m_rowBytes(0),
      m_queued(0),
      m_popped(0),
      m_stopped(0),
      m_sleeping(0) {
    for (int i = 0; i < kPictures; i++) {
        m_buffers[i] = nullptr;
        m_stamps[i] = 0;
    }
}

CVQPictureQueue::~CVQPictureQueue() { Free(); }

int CVQPictureQueue::Init(uint32_t layout, uint32_t width, uint32_t height, uint32_t rowBytes, int pictures) {
    Free();
    if (!rowBytes || !height || pictures < 1 || pictures > kPictures) return 0;
    for (int i = 0; i < pictures; i++) {
        m_buffers[i] = static_cast<uint8_t*>(malloc(static_cast<size_t>(rowBytes) * height));
        if (!m_buffers[i]) {
            Free();
            return 0;
        }
    }
    m_layout = layout;
    m_width = width;
    m_height = height;
    m_rowBytes = rowBytes;
    m_capacity = static_cast<uint32_t>(pictures);
    return 1;
}

void CVQPictureQueue::Free() {
    for (uint8_t*& buffer : m_buffers) {
        free(buffer);
        buffer = nullptr;
    }
    m_layout = m_width = m_height = m_rowBytes = m_capacity = 0;
    m_queued = 0;
    m_popped = 0;
    m_stopped = 0;
    m_sleeping = 0;
}

int CVQPictureQueue::Pending() const { return static_cast<int>(m_queued.load() - m_popped.load()); }

int CVQPictureQueue::HasRoom() const { return m_buffers[0] && static_cast<uint32_t>(Pending()) < m_capacity; }

namespace {
uint64_t MicrosSince(std::chrono::steady_clock::time_point start) {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count());
}
}  // namespace

int CVQPictureQueue::TakeFromRing(CVQCaptureRing* ring, int wait, Timing* timing) {
    if (timing) *timing = Timing{0, 0};
    if (!ring || !HasRoom()) return kNothingTaken;
    CVKPixels locked;
    int64_t stamp = 0;
    const auto asked = std::chrono::steady_clock::now();
    const int result = ring->LockOldest(&locked, &stamp, wait);
    if (timing) timing->lockMicros = MicrosSince(asked);
    if (result == CVQCaptureRing::kNothingReady) return kNothingTaken;
    if (result == CVQCaptureRing::kLockFailed) return kTakeFailed;
    if (locked.Width() != m_width || locked.Height() != m_height || locked.Layout() != m_layout ||
        locked.UsableRows() < m_height || locked.RowBytes() != m_rowBytes) {
        ring->UnlockOldest();  // a copy of another back buffer is no picture of this size
        return kNothingTaken;
    }
    // Only this thread queues, so the buffer after the last queued one is
    // free while there is room.
    const uint32_t queued = m_queued.load();
    const int index = static_cast<int>(queued % m_capacity);
    const auto start = std::chrono::steady_clock::now();
    uint8_t* to = m_buffers[index];
    for (uint32_t y = 0; y < m_height; y++)
        memcpy(to + static_cast<size_t>(y) * m_rowBytes, locked.Data() + static_cast<ptrdiff_t>(y) * locked.Stride(),
               m_rowBytes);
    ring->UnlockOldest();
    if (timing) timing->copyMicros = MicrosSince(start);
    m_stamps[index] = stamp;
    m_queued.store(queued + 1);
    // A worker that found the queue empty sleeps, or is about to: wake it.
    if (m_sleeping.load()) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_wake.notify_one();
    }
    return kTaken;
}

void CVQPictureQueue::Stop() {
    m_stopped = 1;
    std::lock_guard<std::mutex> guard(m_lock);
    m_wake.notify_all();
}

int CVQPictureQueue::Peek(const uint8_t** pixels, int64_t* stamp) const {
    const uint32_t popped = m_popped.load();
    if (m_queued.load() == popped) return 0;
    const int index = static_cast<int>(popped % m_capacity);
    if (pixels) *pixels = m_buffers[index];
    if (stamp) *stamp = m_stamps[index];
    return 1;
}

int CVQPictureQueue::Wait(const uint8_t** pixels, int64_t* stamp) {
    for (;;) {
        if (Peek(pixels, stamp)) return 1;
        if (m_stopped) return Peek(pixels, stamp);
        std::unique_lock<std::mutex> lock(m_lock);
        // Said before looking again: a picture queued after this look sees
        // the flag and wakes the wait below.
        m_sleeping = 1;
        if (m_queued.load() == m_popped.load() && !m_stopped) m_wake.wait(lock);
        m_sleeping = 0;
    }
}

void CVQPictureQueue::Pop() {
    const uint32_t popped = m_popped.load();
    if (m_queued.load() != popped) m_popped.store(popped + 1);
}
