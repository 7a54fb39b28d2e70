#pragma once
#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "CVQFFmpegEncoder.h"
#include "CVQCaptureRing.h"
#include "CVQPictureQueue.h"
#include "CVQRecordDI.h"
#include "CVQSurface.h"
#include "CWaveInT.h"
#include "IVQRecord.h"
#include "VQFrameRate.h"

struct AVPacket;

// The session recorder: writes gameplay into a .rec file (HuffYUV pictures
// paced by 1/30-second PCM sound records) and the player's input into a .di
// file beside it.
//
// On every presented frame (ProcessFrame, render thread), once a new capture
// buffer of sound is complete, the back buffer is copied on the device side
// into a slot of the capture ring, stamped with the sound captured so far.
// On a later frame, once the device has finished that copy and the picture
// queue has room, the copy is read into a buffer of the queue. The encoder
// thread takes the queued pictures in order: for each it writes the sound up
// to the picture's stamp, codes the picture and writes the video record with
// that stamp. So pictures reach the file in capture order, each right after
// the sound it was captured with, and the render thread never waits for the
// device, the encoder or the file. A frame offered while every ring slot is
// in flight is skipped, not queued. The encoder thread never touches
// Direct3D objects. Without the encoder thread (recorderThreads 0) the
// render thread writes each picture as soon as it is queued.
class CVQRecordSE : public IVQRecord {
public:
    CVQRecordSE();
    virtual ~CVQRecordSE();
    CVQRecordSE(const CVQRecordSE&) = delete;
    CVQRecordSE& operator=(const CVQRecordSE&) = delete;

    int BeginRecording() override;
    void EndRecording() override;
    int IsRecording() override { return m_recording ? 1 : 0; }
    void ProcessFrame();
    // Passes the event to the device-input file, timed by the sound saved so far.
    int OnInputEvent(unsigned message, uintptr_t data, uintptr_t flags);

    // Writes the complete sound buffers, at most until `until` have been saved
    // in all (on the encoder thread while it runs).
    int SaveAudioSamples(int64_t until = INT64_MAX);
    // Copies the back buffer into the capture ring, stamped with m_captureStamp.
    int CaptureBackBuffer();
    int EncodeBackBuffer(AVPacket* packet);
    int SaveBackBuffer(AVPacket* packet);

    // Before a device reset and at the final device release: the copies still
    // on the device are read and handed on, then the capture ring is released.
    void ReleaseSurface();
    const char* GetPath() const { return m_path; }
    uint32_t GetHeaderWidth() const { return m_width; }
    uint32_t GetHeaderHeight() const { return m_height; }

    // Counters of the running (or last) recording, for measurements.
    struct Stats {
        uint32_t offered;        // frames ProcessFrame saw while recording
        uint32_t recorded;       // video records written
        uint32_t skippedBusy;    // frames skipped because every capture slot was in flight
        uint32_t deviceBehind;   // of those, frames where the encoder had room: the device's copies were unfinished
        uint32_t noSound;        // frames skipped because no new sound was complete
        int64_t audioBuffers;    // audio records written
        int64_t bytes;           // bytes written to the .rec file
        uint64_t encodeMicros;   // time spent coding pictures (encoder thread)
        uint64_t captureMicros;  // time spent copying the locked copy for the encoder (render thread)
        uint64_t lockMicros;     // time the device's calls took to give a finished copy (render thread)
        uint64_t soundMicros;    // time spent writing sound records (encoder thread)
        uint64_t saveMicros;     // time spent writing picture records (encoder thread)
    };
    Stats GetStats() const { return m_stats; }
    // Sound buffers complete so far (saved and waiting to be saved, the count
    // waiting in `waiting`), or -1 while the encoder thread is giving a buffer
    // back and the count is unsettled.
    int64_t SoundPosition(int* waiting = nullptr) const;

private:
    static DWORD WINAPI WorkerMain(LPVOID self);
    int WriteAll(const void* data, uint32_t size);
    void Cleanup();
    // Ends the recording; with drain, the copies still in the ring are written first.
    void Finish(int drain);
    // Queues the oldest finished copy for the encoder (waiting for the device
    // when `wait` is set); without the encoder thread it is written at once.
    // 1 when done or nothing is ready, 0 on a failure.
    int HandOver(int wait);
    // Writes the sound up to the queued picture's stamp and the picture. 1 or 0.
    int WritePicture(const uint8_t* pixels, int64_t stamp, AVPacket* packet);

    char m_path[MAX_PATH];
    volatile LONG m_recording;
    CVQCaptureRing m_ring;
    HANDLE m_thread;
    WAVEFORMATEX m_format;
    CWaveInT m_waveIn;
    CVQFFmpegEncoder m_encoder;
    CVQRecordDI m_di;
    HANDLE m_file;
    uint32_t m_backBufferFormat;
    uint32_t m_width;  // coded size written into the header
    uint32_t m_height;
    VQFrameRateReport m_report;
    int m_threads;
    int m_reduceMethod;
    int m_reduceFactor;
    uint32_t m_bbWidth;  // back buffer at the start
    uint32_t m_bbHeight;
    CVQPictureQueue m_pictures;           // copies of the back buffer on their way to the encoder
    const uint8_t* m_frame;               // the picture being coded (in m_pictures)
    std::atomic<int64_t> m_savedBuffers;  // written by the encoder thread, read by the render thread and the input path
    volatile LONG m_soundChanging;        // odd while the encoder thread gives a sound buffer back
    int64_t m_captureStamp;               // stamp of the copy being taken
    int64_t m_lastStamp;                  // stamp of the last copy taken
    int64_t m_frameStamp;                 // stamp of the picture being coded
    Stats m_stats;
};
#endif
