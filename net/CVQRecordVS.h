#pragma once
#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "CVQCaptureRing.h"
#include "CVQFFmpegFrameEncoder.h"
#include "CVQPictureQueue.h"
#include "CVQRecordDI.h"
#include "CVQVSClient.h"
#include "CWaveInT.h"
#include "IVQRecord.h"
#include "VQFrameRate.h"
#include "VQShareSettings.h"

// The live-share recorder: sends the game's picture, the sound of the
// wave-in device and the player's input to the video-sharing server through
// its share client.
//
// Once per presented frame (ProcessFrame, render thread): whenever a new
// buffer of sound is complete, the back buffer is copied on the device side
// into a slot of the capture ring, stamped with the sound buffers complete
// so far. On a later frame, once the device has finished that copy, it is
// read into the one buffer of the picture queue, which hands it to the worker
// thread; the worker sends the sound recorded so far, codes and sends the
// picture and sends the input events, then gives the buffer back. So the
// render thread never waits for the device, the coder or the network. While
// the worker holds a picture the render thread skips the whole frame (the
// share client's other users take its lock), so at most one picture is on
// its way at a time.
//
// The picture rate follows the sound clock: one picture per sound buffer
// of 1 / frame rate seconds, fewer when the worker is behind.
class CVQRecordVS : public IVQRecord {
public:
    // client may be null: a share client over a Winsock socket.
    explicit CVQRecordVS(CVQShareVS* client = nullptr);
    virtual ~CVQRecordVS();
    CVQRecordVS(const CVQRecordVS&) = delete;
    CVQRecordVS& operator=(const CVQRecordVS&) = delete;

    int BeginRecording() override;
    void EndRecording() override;
    int IsRecording() override { return m_sharing ? 1 : 0; }
    virtual int GetVideoWidth() const;
    virtual int GetVideoHeight() const;

    void ProcessFrame();
    // Reads the share settings (and the back buffer, for the automatic
    // reduction) and chooses the sound format of the audio device.
    int ReadShareSettings();
    // Reads the back buffer's format and size for the next share. 1 or 0.
    int ReadBackBuffer();
    // Input the HUD did not take, for the viewers.
    int OnInputEvent(unsigned message, uintptr_t data, uintptr_t flags);
    // Before a device reset and at the final device release.
    void ReleaseSurface();

    CVQShareVS* GetClient() { return m_client; }
    const VQShareSettings& GetSettings() const { return m_settings; }
    const WAVEFORMATEX& GetAudioFormat() const { return m_format; }

    struct Stats {
        int64_t pictures;       // pictures sent
        int64_t audioPackets;   // audio packets sent (the share's sound clock)
        int64_t lastAudioTime;  // time stamp of the last audio packet (ms)
        int64_t lastVideoTime;
        uint32_t skippedBusy;  // frames skipped: every capture slot in flight
        uint64_t soundMicros, captureMicros, encodeMicros, sendMicros;
    };
    Stats GetStats() const { return m_stats; }

    // Failed starts are tried again this often at most.
    static constexpr DWORD kRetryMillis = 1000;
    static constexpr int kStagingBytes = 500000;

private:
    static DWORD WINAPI WorkerMain(LPVOID self);
    int CaptureBackBuffer();
    // Queues the oldest finished copy for the worker; without the worker it
    // is sent at once. 1 when done or nothing is ready, 0 on failure.
    int HandOver(int wait);
    // The worker's three steps for a queued picture (or the render thread's
    // without threads).
    int SendFrame(const uint8_t* pixels, int64_t stamp);
    int SendAudio();
    int EncodeBackBuffer();
    int SendInputEvents();
    void Cleanup();
    int IsWorkerBusy() const;
    // A share's buffers are held (from a start until its end is cleaned up).
    int HoldsShare() const { return m_pictures.RowBytes() != 0; }

    volatile LONG m_sharing;
    CVQCaptureRing m_ring;
    CVQShareVS* m_client;
    uint32_t m_bbFormat, m_bbWidth, m_bbHeight;
    WAVEFORMATEX m_format;
    HANDLE m_thread;
    CWaveInT m_waveIn;
    CVQFFmpegFrameEncoder m_encoder;
    CVQRecordDI m_di;
    uint8_t* m_staging;  // kStagingBytes, made on first use
    int m_stagingFill;
    int64_t m_audioPackets;
    std::atomic<int64_t> m_buffersTaken;  // wave-in buffers sent (also read by the input path)
    VQFrameRateReport m_report;
    VQShareSettings m_settings;
    int m_pixelFormat;
    CVQPictureQueue m_pictures;  // one copy of the back buffer on its way to the worker; Init'd while a share runs
    const uint8_t* m_frame;      // the picture being coded (in m_pictures)
    int64_t m_frameStamp;
    int64_t m_lastStamp;
    DWORD m_lastBeginFailure;
    int m_beginFailed;
    AVPacket* m_packet;
    Stats m_stats;
};
#endif
