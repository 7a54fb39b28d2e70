#pragma once
#ifdef _WIN32
#include <atomic>
#include <cstdint>

#include "CVQHUD_Audio.h"
#include "VKClock.h"

// The HUD's sound output: one playback thread owns every wave-out device.
//
// Callers never wait for that thread: each call is checked against the
// callers' own table of channels and posted to a bounded queue that the
// thread works through. Channel numbers are chosen on the caller's side, so
// OpenChannel answers at once; a device that then cannot be opened makes
// HasChannel answer 0 from then on. A stream whose channel is gone asks for
// a new one with its next piece of sound: for kRetryMillis after a device
// refused a format, OpenChannel answers -1 for that format without asking
// the device, so a device that stays away is asked (and its refusal logged)
// about once a second instead of for every piece.
//
// A full queue drops the request (counted per reason, each reason logged
// once per start) instead of blocking. Closing a channel always finds room:
// opening and playing leave kMaxChannels queue entries free, and once they
// are refused at most that many channels are open to be closed.
//
// The sound of the queued pieces is copied into one ring of kQueueBytes,
// made at Start, in the order of the queue: the thread gives back each
// piece's bytes once it is done with it. While a channel is open the thread
// looks at the queue every few milliseconds; otherwise it sleeps until a
// caller wakes it. So a Play is a copy of the sound and a few instructions:
// no system call, and no heap call, whose lock the playback thread or the
// sound driver may hold.
//
// Calls from several threads are taken one at a time (the callers' lock,
// which the playback thread never takes). Without a running thread every
// call fails (-1, 0).
class CVQHUD_AudioT {
public:
    // sink may be null: the platform's wave mapper.
    explicit CVQHUD_AudioT(IVQSoundSink* sink = nullptr);
    CVQHUD_AudioT(const CVQHUD_AudioT&) = delete;
    CVQHUD_AudioT& operator=(const CVQHUD_AudioT&) = delete;
    virtual ~CVQHUD_AudioT();

    // Starts the playback thread (ending an earlier one): 1, or 0 on failure.
    virtual int Start();
    // Ends the thread: what is still queued is dropped, every channel closed.
    virtual void Stop();
    // A channel number (1 to 9999), or -1 when the format is not one we play,
    // every channel is taken, the queue is full, or a device refused this
    // format less than kRetryMillis ago. A failure of the same kind as the
    // last one is not logged again until a channel is given.
    virtual int OpenChannel(int samplesPerSec, int channels, int bytesPerSample);
    // Posts a copy of the sound: 1, or 0 when it was dropped at once (no such
    // channel, a size outside 1..kMaxPlayBytes, a full queue). The playback
    // thread drops it later when all the channel's headers are queued.
    virtual int Play(int channel, const void* data, int size);
    virtual int HasChannel(int channel);
    virtual void CloseChannel(int channel);

    // Waits until the playback thread has carried out every request posted
    // before the call: 1, or 0 when no thread runs or timeoutMs passed. For
    // tests and benchmarks; never on the render thread.
    int Flush(DWORD timeoutMs = 5000);

    enum DropReason {
        kDropQueueFull,   // no queue entry free
        kDropQueueBytes,  // the queued sound already holds kQueueBytes
        kDropDevice,      // the playback thread could not queue it (headers all queued, device refused)
        kDropReasons
    };
    // Requests dropped for that reason since the thread started.
    int64_t Dropped(int reason) const;

    int IsRunning() const { return m_thread != nullptr; }
    // Another sink (null: the wave mapper); only while stopped.
    int SetSink(IVQSoundSink* sink) { return m_thread ? 0 : m_audio.SetSink(sink); }
    DWORD ThreadId() const { return m_threadId; }
    // The milliseconds the retry pause is measured in (null: VKClockMs);
    // tests move their own.
    void SetClock(VKClockFn clock);
    // The channels themselves: only for code running on the playback thread.
    CVQHUD_Audio* Channels() { return &m_audio; }

    static constexpr int kQueueSize = 256;
    // Sound waiting in the queue at most (the ring's size): 4 MB, some 20 s
    // of 44.1 kHz stereo, ten of the largest pieces.
    static constexpr int64_t kQueueBytes = 4 * 1024 * 1024;
    // How often the thread looks at the queue while a channel is open.
    static constexpr DWORD kPollMillis = 4;
    // A format whose device refused to open is not tried again for this long.
    static constexpr uint32_t kRetryMillis = 1000;

private:
    enum Kind { kOpen, kPlay, kClose };
    struct Request {
        int kind;
        int number;
        int slot;  // the table entry (open, close)
        int rate, channels, bytesPerSample;
        const char* data;  // play: the copy in the ring
        int size;
        int span;  // play: ring bytes given back when done (the piece, and the end of the ring skipped before it)
    };
    // The callers' table: an entry is free, open (its open posted),
    // closing (its close posted, not yet carried out) or refused (the
    // device did not open; kept for kRetryMillis to refuse its format).
    // Only the playback thread frees an open or closing entry, so a number
    // is not used again while requests for it are still queued. A refused
    // entry is freed by the callers once its pause is over: by then its
    // open has been carried out, and a number comes back only after 9,998
    // others, more opens than the queue holds requests.
    enum SlotState { kFree, kSlotOpen, kSlotClosing, kSlotRefused };
    struct Slot {
        int number;
        std::atomic<int> state;
        // Set by the callers when the open is posted.
        int rate, channels, bytesPerSample;
        uint32_t triedAt;  // m_clock
    };
    // Every closing entry has its close in the queue: with this many entries
    // one is free whenever fewer than kMaxChannels are open.
    static constexpr int kSlots = CVQHUD_Audio::kMaxChannels + kQueueSize;

    static DWORD WINAPI ThreadMain(LPVOID self);
    void Run();
    void Execute(Request* request);
    // Under m_callers: whether a request fits and leaves reserve entries free; then queues it.
    int HasRoom(uint32_t reserve) const;
    void Post(const Request& request);
    void Wake();
    Slot* FindOpen(int number);
    int NextNumber();
    void Drop(int reason, const char* method);
    // Under m_callers: a failure of OpenChannel, logged unless it is the same kind as the last.
    void LogOpenFailure(const char* kind);

    HANDLE m_thread;
    DWORD m_threadId;
    HANDLE m_wake;  // auto-reset: set by a caller that finds the thread asleep
    CRITICAL_SECTION m_callers;
    CVQHUD_Audio m_audio;  // the playback thread's alone while it runs
    Request m_queue[kQueueSize];
    std::atomic<uint32_t> m_head;          // next request for the thread; moved on once it is carried out
    std::atomic<uint32_t> m_tail;          // next free entry (callers)
    char* m_ring;                          // kQueueBytes, made at Start
    uint64_t m_ringWritten;                // ring bytes handed out (callers)
    std::atomic<uint64_t> m_ringReleased;  // ring bytes given back (the thread)
    std::atomic<int> m_asleep;
    std::atomic<int> m_quit;
    Slot m_slots[kSlots];
    int m_nextNumber;
    VKClockFn m_clock;
    const char* m_openFailure;  // the kind of OpenChannel failure logged last, until a channel is given
    std::atomic<int64_t> m_dropped[kDropReasons];
    int m_dropLogged[kDropReasons];
};
#endif
