#pragma once
#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

#include "CVQAviPacer.h"
#include "CVQAviWriter.h"
#include "CVQSurface.h"
#include "CWaveIn.h"
#include "IVQRecord.h"
#include "VQFrameRate.h"

// The recorder of recorder type 1: the game's picture at half size as
// uncompressed DIB frames and the sound as 22050 Hz 16-bit stereo PCM, into
// AVI 1.0 files (CVQAviWriter). A new numbered file
// (_0001.avi, _0002.avi, ...) is started whenever the current one has grown
// past 1,000,000,000 bytes.
//
// Everything runs on the render thread: the wave-in device is polled, and
// each frame looked at (CVQAviPacer) writes every finished 1/30-second sound
// buffer, with one copy of the picture per buffer, so the file's pictures
// stay in step with its sound.
//
// A start that fails releases what it made and reports 0. A failure while
// recording (a write, the back buffer, the sound device) is logged and ends
// the recording on the next frame; what was written stays a valid file.
class CVQRecordAvi : public IVQRecord {
public:
    static constexpr uint32_t kSplitBytes = 1000000000u;
    static constexpr DWORD kAudioBufferBytes = 2940;  // 1/30 s of 22050 Hz 16-bit stereo
    static constexpr LONG kAudioBufferSamples = 735;

    CVQRecordAvi();
    virtual ~CVQRecordAvi();
    CVQRecordAvi(const CVQRecordAvi&) = delete;
    CVQRecordAvi& operator=(const CVQRecordAvi&) = delete;

    int BeginRecording() override;
    void EndRecording() override;
    int IsRecording() override { return m_recording ? 1 : 0; }
    // Starts a recording (continuation 0) or its next file part (1). 1 or 0;
    // on 0 nothing of the part is left open.
    virtual int BeginMovieCapture(int continuation);
    // Closes the current file part.
    virtual void EndMovieCapture();

    // Once per presented frame, before the HUD is drawn.
    void ProcessFrame();
    // Releases the back-buffer copy (made again on the next capture).
    void ReleaseSurface() { m_copy.Release(); }

    const char* GetPath() const { return m_path; }
    int GetPart() const { return m_part; }
    // Files are split past this size (tests use a small one).
    void SetSplitBytes(uint32_t bytes) { m_splitBytes = bytes; }
    // The wave-in device: 0 the default device (tests choose a missing one).
    void SetAudioDevice(int device) { m_audioDevice = device; }

    // Counters of the running (or last) recording, for measurements.
    struct Stats {
        uint32_t framesLookedAt;  // frames the pacing let through
        uint32_t picturesCopied;  // back-buffer copies converted
        uint32_t framesWritten;   // video frames written (with repeats), all parts
        uint32_t audioBuffers;    // sound buffers written, all parts
    };
    Stats GetStats() const { return m_stats; }

private:
    int ProcessFirst();
    int ProcessDelta();
    int CopyFrame();
    // Closes the file and the sound device of the current part (the file
    // stays valid: its index and headers are written).
    void ReleasePart();
    void FreeFrameBuffer();

    BYTE m_recording;
    CVQSurface m_copy;
    int m_videoStream;  // stream numbers in the file, -1 until made
    BYTE m_fileOpen;
    CVQAviWriter m_file;
    uint32_t m_width;  // stored picture size (back buffer / 2)
    uint32_t m_height;
    uint32_t m_format;  // the back buffer's Direct3D format
    LONG m_frameIndex;  // next video frame's position in the stream
    CVQAviWriter::StreamInfo m_videoInfo;
    uint8_t* m_frameBuffer;
    BITMAPINFOHEADER m_picture;
    CVQAviPacer m_pacer;
    int m_audioStream;
    LONG m_samplePosition;  // next sound sample's position in the stream
    CVQAviWriter::StreamInfo m_audioInfo;
    WAVEFORMATEX m_audioFormat;
    CWaveIn m_waveIn;
    char m_path[MAX_PATH];
    int m_part;
    uint32_t m_framesSinceSizeCheck;
    VQFrameRateReport m_report;
    uint32_t m_backBufferWidth;
    uint32_t m_backBufferHeight;
    uint32_t m_splitBytes;
    int m_audioDevice;
    uint32_t m_lastSoundTime;  // when a sound buffer was last finished
    Stats m_stats;
};
#endif
