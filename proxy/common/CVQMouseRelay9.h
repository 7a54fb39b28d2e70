#pragma once
#include <cstdint>
#include <mutex>

#include "VQFrameMath.h"

class CVQHUD;

// Mouse events for the HUD that the low-level mouse hook could not hand over
// at once because another thread was inside the HUD (the render thread's
// Update: the first frame's Init, a recording starting). The system removes
// a low-level hook that keeps it waiting, so the hook never waits: it decides
// from the HUD's layout as last published whether the event is the HUD's,
// and leaves the event here for the next thread that holds the HUD.
//
// Publish and Deliver are called with the HUD lock held; Takes and Queue
// from the hook without it. The relay's own lock is held only to copy a few
// words.
class CVQMouseRelay9 {
public:
    CVQMouseRelay9();

    // Remembers what takes clicks now: the windows above the logo that are
    // visible, and whether a window holds the mouse (a caption being dragged).
    void Publish(CVQHUD* hud);
    // The HUD is gone: nothing takes clicks, queued events are dropped.
    void Clear();
    // Whether the HUD would keep this event from the game, by the last
    // published layout: button presses and releases on a window that takes
    // clicks, or any of them while a window holds the mouse. Moves, wheel
    // and double-clicks reach the game, as they do when the HUD answers.
    bool Takes(uint32_t message, int32_t x, int32_t y);
    // Keeps an event for Deliver, oldest first. A move replaces a move queued
    // just before it. False when the queue is full (the event is dropped).
    bool Queue(uint32_t message, uint32_t data, uint32_t position);
    // Hands the queued events to the HUD in their order.
    void Deliver(CVQHUD* hud);

    static const int kMaxAreas = 64;
    static const int kMaxEvents = 128;

private:
    struct Event {
        uint32_t message, data, position;
    };

    std::mutex m_lock;
    bool m_hud;      // a layout was published and the HUD still exists
    bool m_capture;  // a window holds the mouse
    int m_areaCount;
    VQRect m_areas[kMaxAreas];
    int m_first, m_count;  // the queue, a ring
    Event m_events[kMaxEvents];
};
