#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class CVQCaptureRing;

// Pictures on their way from the render thread to one worker thread: a
// first-in first-out queue of up to kPictures buffers (as many as Init was
// asked for), each holding one picture of the size given to Init with its
// rows packed, and the stamp it was captured with.
//
// The render thread fills the queue from a capture ring (TakeFromRing): the
// oldest finished copy is read into a free buffer, so the ring's slot is free
// again at once and the worker never touches a device object. The worker
// takes the pictures in the order they were queued (Wait, or Peek without
// blocking, then Pop). While the worker codes one picture, the next can
// already be queued, so the worker goes on without waiting for the render
// thread's next frame.
//
// Which buffer is whose is kept in two counters, each written by one side
// only, so the render thread never waits for a lock the worker holds while
// working: the lock below only guards the worker's going to sleep, and the
// render thread takes it only when the worker said it sleeps.
// Platform-free.
class CVQPictureQueue {
public:
    static const int kPictures = 2;
    enum { kTakeFailed = 0, kTaken = 1, kNothingTaken = 2 };

    CVQPictureQueue();
    ~CVQPictureQueue();
    CVQPictureQueue(const CVQPictureQueue&) = delete;
    CVQPictureQueue& operator=(const CVQPictureQueue&) = delete;

    // Makes `pictures` buffers (1 to kPictures) for pictures of width x height
    // in the pixel layout (CVKPixels codes) with rows of rowBytes, and empties
    // the queue. A one-picture queue suits a worker that is handed a picture
    // only once it is idle: no second buffer is made for nothing. 1 or 0.
    int Init(uint32_t layout, uint32_t width, uint32_t height, uint32_t rowBytes, int pictures = kPictures);
    // Frees the buffers; only while no worker uses the queue.
    void Free();
    uint32_t RowBytes() const { return m_rowBytes; }

    // --- the render thread ---
    int HasRoom() const;
    // Pictures queued and not yet popped by the worker.
    int Pending() const;
    // With room in the queue: the ring's oldest finished copy (waiting for
    // the device when `wait` is set) copied into the next buffer and queued
    // with its stamp. kTaken; kNothingTaken when the queue is full, nothing
    // is ready, or the copy is not of the picture size (it is dropped);
    // kTakeFailed when the copy could not be read (the ring dropped it).
    // timing, if given, gets where the time went.
    struct Timing {
        uint64_t lockMicros;  // asking the ring for the copy: the device's calls
        uint64_t copyMicros;  // copying it into the buffer
    };
    int TakeFromRing(CVQCaptureRing* ring, int wait, Timing* timing);
    // Lets a waiting worker return from Wait once the queue is empty.
    void Stop();

    // --- the worker ---
    // The oldest queued picture: 1, or 0 when none is queued. The pixels stay
    // put until Pop.
    int Peek(const uint8_t** pixels, int64_t* stamp) const;
    // As Peek, but waits for a picture; 0 only once Stop was called and every
    // queued picture was popped.
    int Wait(const uint8_t** pixels, int64_t* stamp);
    // Gives the oldest picture's buffer back.
    void Pop();

private:
    uint8_t* m_buffers[kPictures];
    int64_t m_stamps[kPictures];
    uint32_t m_capacity;  // buffers made by Init; divides 2^32, so the counters may wrap
    uint32_t m_layout;
    uint32_t m_width;
    uint32_t m_height;
    uint32_t m_rowBytes;
    std::atomic<uint32_t> m_queued;  // pictures ever queued (render thread)
    std::atomic<uint32_t> m_popped;  // pictures ever popped (worker)
    std::atomic<int> m_stopped;
    std::atomic<int> m_sleeping;  // the worker is in, or about to enter, its wait
    std::mutex m_lock;
    std::condition_variable m_wake;
};
