#pragma once
#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "CVQFFmpegEncoder.h"
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
// On every presented frame (ProcessFrame, render thread): once a capture
// buffer of sound is complete and the encoder thread is not busy, the sound
// captured so far is written, the back buffer is copied into the recorder's
// own frame buffer and handed to the encoder thread, which codes it and
// writes the video record. The manual-reset frame event is the hand-off and
// the busy flag: while it is set the render thread neither writes sound nor
// touches the frame buffer, so records stay in file order; a frame offered
// meanwhile is skipped, not queued. The encoder thread never touches
// Direct3D objects.
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

    int SaveAudioSamples();
    int CaptureBackBuffer();
    int EncodeBackBuffer(AVPacket* packet);
    int SaveBackBuffer(AVPacket* packet);

    // The back-buffer copy surface (the HUD releases it on a device reset).
    void ReleaseSurface() { m_surface.Release(); }
    const char* GetPath() const { return m_path; }
    uint32_t GetHeaderWidth() const { return m_width; }
    uint32_t GetHeaderHeight() const { return m_height; }

    // Counters of the running (or last) recording, for measurements.
    struct Stats {
        uint32_t offered;      // frames ProcessFrame saw while recording
        uint32_t recorded;     // video records written
        uint32_t skippedBusy;  // frames skipped because the encoder thread was busy
        uint32_t noSound;      // frames skipped because no new sound was complete
        int64_t audioBuffers;  // audio records written
        int64_t bytes;         // bytes written to the .rec file
        uint64_t encodeMicros; // time spent coding pictures (encoder thread)
        uint64_t captureMicros;  // time spent copying the locked copy for the encoder (render thread)
    };
    Stats GetStats() const { return m_stats; }

private:
    static DWORD WINAPI WorkerMain(LPVOID self);
    int WriteAll(const void* data, uint32_t size);
    void Cleanup();

    char m_path[MAX_PATH];
    volatile LONG m_recording;
    CVQSurface m_surface;
    HANDLE m_thread;
    HANDLE m_frameEvent;
    WAVEFORMATEX m_format;
    CWaveInT m_waveIn;
    CVQFFmpegEncoder m_encoder;
    CVQRecordDI m_di;
    HANDLE m_file;
    uint32_t m_backBufferFormat;
    uint32_t m_width;   // coded size written into the header
    uint32_t m_height;
    VQFrameRateReport m_report;
    int m_threads;
    int m_reduceMethod;
    int m_reduceFactor;
    uint32_t m_bbWidth;  // back buffer at the start
    uint32_t m_bbHeight;
    uint8_t* m_frame;    // the encoder's copy of the back buffer, tightly packed rows
    uint32_t m_frameStride;
    std::atomic<int64_t> m_savedBuffers;  // also read by the encoder thread and the input path
    Stats m_stats;
};
#endif
