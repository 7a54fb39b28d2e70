#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "CVKRECDecoder.h"

struct AVPacket;

// Where the player's sound goes: a device with a ring of buffers (wave-out
// on Windows, a fake in tests).
class IVKSoundSink {
public:
    virtual ~IVKSoundSink() {}
    // Opens the device for PCM with count buffers of bufferBytes each. False without a device.
    virtual bool Open(int channels, int rate, int bits, int count, uint32_t bufferBytes) = 0;
    // True while buffer i is still queued for playing.
    virtual bool Busy(int i) = 0;
    // Queues n bytes into buffer i.
    virtual bool Play(int i, const uint8_t* data, uint32_t n) = 0;
    // Stops playing and gives every buffer back.
    virtual void Reset() = 0;
    virtual void Close() = 0;
};

// Plays a recording (.rec) step by step from a window's timer: sound into
// the sink's 30 buffers in file order, pictures to a callback. A step never
// waits: when the next buffer is still playing, the sound read stays pending
// and the step ends; the sound device so paces the pictures between the
// sound records. Without a sound device the pictures are paced by their
// time stamps.
class CVKRecPlayer {
public:
    enum { kMore = 1, kEnd = 0 };
    static constexpr int kBuffers = 30;

    CVKRecPlayer();
    ~CVKRecPlayer();
    CVKRecPlayer(const CVKRecPlayer&) = delete;
    CVKRecPlayer& operator=(const CVKRecPlayer&) = delete;

    // 1 or 0. sink may be null or fail to open: then no sound.
    int Open(const std::string& path, IVKSoundSink* sink, uint32_t nowMs);
    void Close();
    // What one timer tick does (nothing while paused). kMore or kEnd.
    int Step(uint32_t nowMs);
    void TogglePause(uint32_t nowMs);
    bool Paused() const { return m_paused; }
    bool HasSound() const { return m_soundOpen; }
    int Width() const { return static_cast<int>(m_reader.width); }
    int Height() const { return static_cast<int>(m_reader.height); }
    // Pictures, top-down 32-bit, as they are due.
    std::function<void(const uint8_t* pixels, int width, int height)> onPicture;

private:
    CVKRECDecoder m_reader;
    IVKSoundSink* m_sink;
    bool m_soundOpen;
    bool m_paused;
    bool m_ended;
    int m_next;  // next sound buffer
    std::vector<uint8_t> m_pendingSound;
    bool m_soundPending;
    int64_t m_pendingTime;  // picture waiting for its time (no sound), -1 when none
    const uint8_t* m_pendingPicture;
    uint32_t m_startMs;
    uint32_t m_pausedAt;
    AVPacket* m_packet;
};
