#pragma once
#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "CVQFFmpegEncoder.h"
#include "CVQCaptureRing.h"
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
// On a later frame, once the device has finished that copy and the encoder
// thread is idle, the sound up to the stamp is written, the copy is read into
// the recorder's own frame buffer and handed to the encoder thread, which
// codes it and writes the video record with that stamp. So pictures reach
// the file in capture order, each right after the sound it was captured
// with, and the render thread never waits for the device or the encoder.
// The manual-reset frame event is the hand-off and the busy flag: while it
// is set the render thread neither writes sound nor touches the frame
// buffer. A frame offered while every ring slot is in flight is skipped,
// not queued. The encoder thread never touches Direct3D objects.
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

    // Writes the complete sound buffers, at most until `until` have been saved in all.
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
        uint32_t noSound;        // frames skipped because no new sound was complete
        int64_t audioBuffers;    // audio records written
        int64_t bytes;           // bytes written to the .rec file
        uint64_t encodeMicros;   // time spent coding pictures (encoder thread)
        uint64_t captureMicros;  // time spent copying the locked copy for the encoder (render thread)
        uint64_t soundMicros;    // time spent writing sound records (render thread)
    };
    Stats GetStats() const { return m_stats; }

private:
    static DWORD WINAPI WorkerMain(LPVOID self);
    int WriteAll(const void* data, uint32_t size);
    void Cleanup();
    // Ends the recording; with drain, the copies still in the ring are written first.
    void Finish(int drain);
    int IsWorkerBusy() const;
    // Hands the oldest finished copy to the encoder (waiting for the device
    // when `wait` is set). 1 when done or nothing is ready, 0 on a failure.
    int HandOver(int wait);

    char m_path[MAX_PATH];
    volatile LONG m_recording;
    CVQCaptureRing m_ring;
    HANDLE m_thread;
    HANDLE m_frameEvent;
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
    uint8_t* m_frame;  // the encoder's copy of the back buffer, tightly packed rows
    uint32_t m_frameStride;
    std::atomic<int64_t> m_savedBuffers;  // also read by the encoder thread and the input path
    volatile LONG m_framePending;         // the frame buffer holds a picture the encoder thread has not written
    int64_t m_captureStamp;               // stamp of the copy being taken
    int64_t m_lastStamp;                  // stamp of the last copy taken
    int64_t m_frameStamp;                 // stamp of the picture in the frame buffer
    Stats m_stats;
};
#endif
