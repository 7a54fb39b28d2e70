#pragma once
#include <cstdint>

class CVKPixels;

// Copies of the back buffer taken on the device side and read a frame or
// more later, so the render thread never waits for the device to finish
// drawing a frame it wants to keep.
//
// Capture copies back buffer 0 into the next free slot and marks the slot
// with its caller's stamp; LockOldest hands out the oldest slot, in capture
// order, once the device reports its copy complete, and UnlockOldest frees
// it. When every slot is in flight, Capture refuses and the caller skips
// the frame.
//
// The bookkeeping (order, stamps, free slots) is platform-free
// (hud/CVQCaptureRing.cpp); the slots themselves are made and read by the
// Direct3D frame the engine is linked into (proxy/dx9 copies into default-pool
// render targets and marks each copy with an event query); engine tests link
// a fake frame. A frame without a way to tell when a copy is complete copies
// synchronously (IsSynchronous). All operations run on the thread that
// calls Present.
class CVQCaptureRing {
public:
    static const int kSlots = 3;
    enum { kCaptureFailed = 0, kCaptured = 1, kCaptureBusy = 2 };
    enum { kLockFailed = -1, kNothingReady = 0, kLocked = 1 };

    CVQCaptureRing();
    virtual ~CVQCaptureRing();  // releases every slot
    CVQCaptureRing(const CVQCaptureRing&) = delete;
    CVQCaptureRing& operator=(const CVQCaptureRing&) = delete;

    // Copies back buffer 0 into the next free slot: kCaptured, kCaptureBusy
    // (every slot in flight, nothing done) or kCaptureFailed (logged).
    int Capture(int64_t stamp);
    // The oldest slot, once its copy is complete (with wait set, waits for
    // it): pixels becomes a read-only view of it until UnlockOldest.
    // kLocked, kNothingReady, or kLockFailed (the slot is dropped).
    int LockOldest(CVKPixels* pixels, int64_t* stamp, int wait);
    void UnlockOldest();
    // Lets the frame move every slot in flight on to its next step without
    // waiting (a frame that reads in several steps starts each as soon as
    // the one before is done, not only when the slot is the oldest).
    void Poll();
    // Drops every slot and releases the device objects (before a device
    // reset and at the final device release); slots are made again on demand.
    void Release();

    int InFlight() const { return m_count; }
    // The back buffer as the last Capture saw it.
    uint32_t Format() const { return m_format; }
    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    int IsSynchronous() const { return m_synchronous; }
    // Copies synchronously even where completion can be polled (benchmarks
    // compare both ways in one run). Takes effect when the slots are made again.
    static void SetForceSynchronous(int on);
    static int IsForcedSynchronous();

private:
    // --- implemented by the frame ---
    // Reads back buffer 0's format and size into m_format, m_width and
    // m_height, (re)makes the slots when they differ and copies the back
    // buffer into `slot`. 1 or 0 (logged).
    int CopyIntoSlot(int slot);
    // 1 once the copy into `slot` is complete and readable; never waits
    // unless `wait`. May start the slot's next step and answer 0.
    int IsSlotDone(int slot, int wait);
    // Read-only view of the copy in `slot` until UnlockSlot. 1 or 0.
    int LockSlot(int slot, CVKPixels* pixels);
    void UnlockSlot(int slot);
    // Releases every device object of the ring.
    void ReleaseSlots();

    void* m_frameData;  // the frame's objects, owned by the frame's code
    int64_t m_stamps[kSlots];
    int m_first;        // oldest slot in flight
    int m_count;        // slots in flight
    int m_locked;       // the oldest slot is locked
    int m_synchronous;  // set by the frame when the slots are made
    uint32_t m_format;
    uint32_t m_width;
    uint32_t m_height;
};
