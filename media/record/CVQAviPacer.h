#pragma once
#include <cstdint>

// When the AVI recorder writes, and how much. The sound device completes one
// buffer every 1/30 second; the file holds one picture per sound buffer, so
// its pictures stay in step with its sound at 30 per second whatever the
// game's frame rate.
//
// A game frame is looked at no more often than every 33 ms: the timer
// advances in 33 ms steps rather than jumping to now, so a game that renders
// in bursts is caught up frame by frame. A frame that is looked at takes
// every finished sound buffer (so a game below 30 frames per second loses no
// sound) and its picture is written once per buffer taken.
class CVQAviPacer {
public:
    static constexpr uint32_t kIntervalMs = 33;

    CVQAviPacer() : m_started(false), m_timer(0) {}
    // A new recording or file part: the next frame starts the timer.
    void Reset() { m_started = false; }
    // Whether the frame presented at `now` (milliseconds) is looked at.
    bool FrameDue(uint32_t now);
    // How many sound buffers, and so copies of the picture, a looked-at frame
    // writes when `done` buffers are finished: all of them, up to the
    // device's ring of `ringSize`.
    static int BuffersToWrite(int done, int ringSize) { return done < 0 ? 0 : done > ringSize ? ringSize : done; }

private:
    bool m_started;
    uint32_t m_timer;
};
