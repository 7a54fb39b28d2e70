#pragma once
#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#include <mutex>

#include "CVQFFmpegEncoder.h"

// The encoder of the pipelined recorder: pictures and 1/30-second sound
// chunks go into an ASF file in the recorder folder, written through one
// overlapped write per worker pass, and the player's keys and mouse buttons
// into a .txt log beside it (the device-input format).
//
// The render thread configures, opens, closes and hands over input only
// while the worker is idle; the worker runs EncodePending and FlushOutput.
// Input events may arrive from any thread.
class CVQRecordEncoder : public CVQFFmpegEncoder {
public:
    static const int kQueueChunks = 100;
    static const int kLogCapacity = 4096;

    CVQRecordEncoder();
    ~CVQRecordEncoder() override;

    // Opens the codecs and container, then creates the output file. A file
    // that cannot be created fails the open and leaves nothing open.
    int OpenEncoder() override;
    // Waits for the outstanding write, finishes the container and writes its
    // last bytes, writes out the input log, closes both files and frees all.
    void CloseEncoder() override;
    // Keeps a copy of the pixels: the caller's buffer may change as soon as
    // this returns.
    void SetInputPicture(const uint8_t* pixels) override;
    // Appends one chunk to the audio queue (dropped when 100 are queued).
    void SetInputAudio(const uint8_t* chunk) override;
    // Muxes the queued chunks, the pending picture with the last one.
    int EncodePending() override;
    // Completes the previous write and starts writing what the container produced since.
    int FlushOutput();
    // Keyboard and mouse-button messages go into the input log; returns 0.
    int OnInputEvent(unsigned message, uintptr_t data, uintptr_t flags);
    // 1: input times by the wall clock since the open; 0: derived from the sound muxed.
    void SetTimeSource(int wallClock) { m_wallClock = wallClock; }

    const char* GetOutputPath() const { return m_path; }
    int GetChunkBytes() const { return m_chunkSize; }
    int GetQueuedChunks() const { return m_chunkCount; }
    int64_t GetChunksMuxed() const { return m_chunksMuxed; }
    int64_t GetBytesWritten() const { return m_fileOffset; }

private:
    int WriteLogLocked();
    int WriteAt(const uint8_t* data, int size, bool wait);
    void CompleteWrite();

    uint8_t* m_queue;
    int m_chunkSize;
    int m_chunkCount;
    int m_wallClock;
    uint8_t* m_picture;  // our copy of the last picture handed over
    size_t m_pictureSize;
    int m_gotPicture;
    int64_t m_chunksMuxed;
    std::mutex m_logLock;
    int32_t m_logTimes[kLogCapacity];
    char m_logNames[kLogCapacity][9];  // at most 8 characters
    uint8_t m_logReleases[kLogCapacity];
    int m_logCount;
    int m_logFirstWrite;
    char m_path[MAX_PATH];
    HANDLE m_file;
    FILE* m_log;
    OVERLAPPED m_overlapped;
    int64_t m_fileOffset;
    int m_writePending;
    int m_hotKey;
    DWORD m_openTime;
    int m_pendingPicture;
};
#endif
