#pragma once
#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

// Polled sound capture: the device fills a ring of 30 equal buffers; the
// owner looks at the buffer at the read position, and once the device marked
// it done takes its bytes, gives it back (Requeue) and moves on. No callback,
// window message or event from the device is used. Not thread-safe: one
// owner thread (CWaveInT provides one).
class CWaveIn {
public:
    static const int kBuffers = 30;

    CWaveIn();
    virtual ~CWaveIn();
    CWaveIn(const CWaveIn&) = delete;
    CWaveIn& operator=(const CWaveIn&) = delete;

    // device: 0 the wave mapper, n device n - 1. A buffer size of 0 means
    // 2 seconds of sound. A failed open leaves nothing open. 1 or 0.
    int Open(int device, const WAVEFORMATEX* format, DWORD bufferSize);
    void Close();
    int Start();
    int Stop();
    // Gives the buffer at the read position back and advances; 0 when not started.
    int Requeue() { return Queue(Advance()); }
    // Requeue in two steps, for a reader on another thread that counts done
    // buffers: Advance takes the buffer at the read position out of the count
    // (clears its done flag, moves the read position on) at once; Queue then
    // gives it to the device, which may take a while. Advance returns null
    // when not started; Queue(null) is 0.
    WAVEHDR* Advance();
    int Queue(WAVEHDR* header);

    int IsOpen() const { return m_device != nullptr; }
    int IsStarted() const { return m_started; }
    int GetReadPosition() const { return m_readPosition; }
    DWORD GetBufferSize() const { return m_bufferSize; }
    const WAVEHDR* GetCurrentHeader() const { return &m_headers[m_readPosition]; }
    // The device sets the done flag from its own thread.
    int IsCurrentDone() const;
    // Buffers marked done, in ring order from the read position (0 to kBuffers).
    int CountDone() const;
    DWORD GetCurrentBytes() const { return m_headers[m_readPosition].dwBytesRecorded; }
    const uint8_t* GetCurrentData() const { return reinterpret_cast<const uint8_t*>(m_headers[m_readPosition].lpData); }
    DWORD GetStartTime() const { return m_startTime; }
    int32_t GetCount() const { return m_count; }
    void IncrementCount() { m_count++; }

private:
    HWAVEIN m_device;
    WAVEHDR m_headers[kBuffers];
    int m_started;
    int m_readPosition;
    DWORD m_startTime;
    int32_t m_count;
    DWORD m_bufferSize;
    int m_prepared;  // headers prepared so far (Close unprepares exactly these)
};
#endif
