#pragma once
#ifdef _WIN32
#include "CWaveIn.h"

// Runs one CWaveIn on a capture thread of its own: every call into the
// wave-in service happens on that thread, driven by thread messages; each
// request blocks its caller until the thread has carried it out. The owner
// reads the current buffer (done flag, bytes) directly: the device sets the
// flag, and a buffer's bytes stay put until the owner gives it back.
class CWaveInT {
public:
    enum {
        kMsgOpen = WM_USER + 10,  // lParam: the caller's OpenRequest
        kMsgStart = WM_USER + 12,
        kMsgStop = WM_USER + 13,
        kMsgRequeue = WM_USER + 14,
        kMsgQueue = WM_USER + 15,  // lParam: the WAVEHDR to give back
    };

    CWaveInT();
    virtual ~CWaveInT();
    CWaveInT(const CWaveInT&) = delete;
    CWaveInT& operator=(const CWaveInT&) = delete;

    // Starts the capture thread (ending an earlier one) and opens the device on it.
    int Open(int device, const WAVEFORMATEX* format, DWORD bufferSize);
    int Start();
    int Stop();
    int Requeue();
    // Requeue in two steps (see CWaveIn): Advance on the caller's thread at
    // once, Queue on the capture thread.
    WAVEHDR* Advance() { return m_thread ? m_waveIn.Advance() : nullptr; }
    int Queue(WAVEHDR* header) { return header ? Request(kMsgQueue, reinterpret_cast<LPARAM>(header)) : 0; }
    // Ends the thread, which closes the device.
    void Close();

    int IsRunning() const { return m_thread != nullptr; }
    const WAVEHDR* GetCurrentHeader() const { return m_waveIn.GetCurrentHeader(); }
    int IsCurrentDone() const { return m_thread ? m_waveIn.IsCurrentDone() : 0; }
    int CountDone() const { return m_thread ? m_waveIn.CountDone() : 0; }
    DWORD GetCurrentBytes() const { return m_waveIn.GetCurrentBytes(); }
    const uint8_t* GetCurrentData() const { return m_waveIn.GetCurrentData(); }
    DWORD GetBufferSize() const { return m_waveIn.GetBufferSize(); }
    int32_t GetCount() const { return m_waveIn.GetCount(); }
    void IncrementCount() { m_waveIn.IncrementCount(); }

private:
    struct OpenRequest {
        int device;
        const WAVEFORMATEX* format;
        DWORD bufferSize;
    };
    static DWORD WINAPI ThreadMain(LPVOID self);
    int Request(UINT message, LPARAM lParam);
    void StopThread();

    CWaveIn m_waveIn;
    HANDLE m_thread;
    DWORD m_threadId;
    HANDLE m_reply;
    volatile LONG m_result;
};
#endif
