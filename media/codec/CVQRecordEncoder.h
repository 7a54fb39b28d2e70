#pragma once
#ifdef _WIN32
#include <windows.h>

#include <atomic>

#include "CVQFFmpegEncoder.h"
#include "CVQRecordDI.h"

// The encoder of the pipelined recorder: pictures and 1/30-second sound
// chunks go into an ASF file in the recorder folder, written through one
// overlapped write per worker pass, and the player's keys and mouse buttons
// into a .txt log beside it (the device-input format).
//
// The render thread configures, opens, closes and hands over input only
// while the worker is idle; the worker runs EncodePending and FlushOutput.
// Input events may arrive from any thread.
//
// A write that fails or comes back short is logged and marks the encoder
// failed: the file keeps what reached it (nothing is written over), later
// output is dropped, and HasFailed() tells the recorder to stop.
class CVQRecordEncoder : public CVQFFmpegEncoder {
public:
    static const int kQueueChunks = 100;

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
    // Muxes the queued chunks, the pending picture with the last one. 0 when
    // a step could not be muxed (its packets are lost, the counts stay).
    int EncodePending() override;
    // Completes the previous write and starts writing what the container
    // produced since. 0 when a write failed now or before.
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
    int HasFailed() const { return m_failed; }

protected:
    // Starts one overlapped write of the block at the offset in overlapped;
    // the platform's WriteFile contract (tests put a failing disk here).
    virtual BOOL WriteBlock(HANDLE file, const uint8_t* data, DWORD size, DWORD* written, OVERLAPPED* overlapped);

private:
    int MuxStep(bool picture);
    // method names the caller in the failure line.
    int WriteAt(const uint8_t* data, int size, bool wait, const char* method);
    int CompleteWrite(const char* method);
    int Account(BOOL ok, DWORD written, const char* method);

    uint8_t* m_queue;
    int m_chunkSize;
    int m_chunkCount;
    int m_wallClock;
    uint8_t* m_picture;  // our copy of the last picture handed over
    size_t m_pictureSize;
    int m_gotPicture;
    std::atomic<int64_t> m_chunksMuxed;  // read by the input thread
    CVQRecordDI m_inputLog;              // the .txt beside the file
    char m_path[MAX_PATH];
    HANDLE m_file;
    OVERLAPPED m_overlapped;
    std::atomic<int64_t> m_fileOffset;
    int m_writePending;
    DWORD m_writeSize;  // bytes of the outstanding write
    int m_failed;
    int m_hotKey;
    DWORD m_openTime;
    int m_pendingPicture;
};
#endif
