#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CVQFFmpegDecoder;

// Runs a file decoder on a thread of its own, a few pictures ahead of the
// one shown, so that whoever shows the pictures (the game's render thread)
// neither decodes nor waits for decoding: it only takes the steps that are
// due, and never waits for the queue while the thread holds it. Steps come out in file order; each holds what one
// Process of the decoder gave: the sound of a packet, a picture in 32-bit RGB with opaque alpha at the size last asked
// for, or the end of the file. At the end the thread waits for Restart; while paused it decodes nothing.
class CVQDecodeAhead {
public:
    struct Step {
        std::vector<uint8_t> sound;     // empty: none
        std::vector<uint32_t> picture;  // width x height, rows packed; empty: none
        int width = 0;
        int height = 0;
        int64_t time = 0;  // the picture's time stamp in milliseconds
        bool end = false;  // nothing follows until Restart
    };
    // Pictures decoded ahead of the consumer at most, and steps in all.
    static constexpr int kAheadPictures = 3;
    static constexpr int kAheadSteps = 64;

    CVQDecodeAhead();
    ~CVQDecodeAhead();
    CVQDecodeAhead(const CVQDecodeAhead&) = delete;
    CVQDecodeAhead& operator=(const CVQDecodeAhead&) = delete;

    // Takes an open decoder with 32-bit RGB output (deleted when the thread
    // ends) and starts the thread, paused or not. 0 (the decoder deleted)
    // when the thread cannot start.
    int Start(CVQFFmpegDecoder* decoder, bool paused);
    // Asks the thread to end once the Process under way, if any, is done;
    // it deletes the decoder itself. Does not wait.
    void RequestStop();
    // Ends the thread and waits for it: for the Process under way, if any
    // (one packet of each stream at most), and the decoder's deletion.
    void Stop();

    void SetPaused(bool paused);
    // The size of the pictures decoded from now on (those queued keep theirs).
    void SetPictureSize(int width, int height);
    // Drops every queued step and goes back to the start of the file.
    void Restart();

    // The oldest step, taken out of the queue when it is due: a step
    // without a picture always is, a picture when its time is at most
    // until. Null when none is due, and when the thread holds the queue
    // right now: the caller never waits, the step comes on a later call.
    std::unique_ptr<Step> TakeDue(int64_t until);
    // A step the caller is done with: its buffers are used again (handed
    // back on a later call when the thread holds the queue now).
    void Recycle(std::unique_ptr<Step> step);

    // Waits up to timeoutMs until the thread has nothing to do (paused, at
    // the end, or its queue full) and no Process is under way: for tests,
    // which then see the same steps whatever the machine's speed. 1, or 0
    // on timeout.
    int WaitUntilIdle(int timeoutMs);
    // Process calls made so far; steps and pictures in the queue (these wait for the queue).
    int64_t Processed();
    int QueuedSteps();
    int QueuedPictures();

private:
    void Run();
    bool HasWork() const;
    // With m_lock held: the steps handed back while the thread held it.
    void TakeBackReturned();
    void RecycleLocked(std::unique_ptr<Step> step);
    // Fills s from the decoder after a Process; picture is a buffer to use.
    void Collect(Step* s, std::vector<uint32_t>* picture);

    CVQFFmpegDecoder* m_decoder;  // used by the thread alone once started
    std::thread m_thread;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::unique_ptr<Step>> m_ready;
    std::vector<std::unique_ptr<Step>> m_freeSteps;
    std::vector<std::vector<uint32_t>> m_freePictures;
    std::vector<std::unique_ptr<Step>> m_returned;  // the caller's alone
    int m_readyPictures;
    int m_width;  // asked for; 0: the stream's
    int m_height;
    uint64_t m_generation;  // counts Restarts: a step of an older one is dropped
    int64_t m_processed;
    bool m_paused;
    bool m_ended;
    bool m_restart;
    bool m_busy;
    bool m_stop;
};
