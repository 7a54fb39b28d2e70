#pragma once
#ifdef _WIN32
#include "CVQHUD_Audio.h"

// The HUD's sound output: one playback thread owns every wave-out device.
// Each call is posted to that thread as a thread message and the caller
// waits until the thread has carried it out. Calls from several threads are
// taken one at a time. Without a running thread every call fails (-1, 0).
class CVQHUD_AudioT {
public:
    enum {
        kMsgOpenChannel = WM_USER + 10,  // 1034; lParam: the caller's Request
        kMsgPlay = WM_USER + 11,
        kMsgHasChannel = WM_USER + 12,
        kMsgCloseChannel = WM_USER + 13,
    };

    // sink may be null: the platform's wave mapper.
    explicit CVQHUD_AudioT(IVQSoundSink* sink = nullptr);
    CVQHUD_AudioT(const CVQHUD_AudioT&) = delete;
    CVQHUD_AudioT& operator=(const CVQHUD_AudioT&) = delete;
    virtual ~CVQHUD_AudioT();

    // Starts the playback thread (ending an earlier one) and waits until it
    // runs: 1, or 0 on failure.
    virtual int Start();
    // Ends the thread; it closes every channel first.
    virtual void Stop();
    virtual int OpenChannel(int samplesPerSec, int channels, int bytesPerSample);
    virtual int Play(int channel, const void* data, int size);
    virtual int HasChannel(int channel);
    virtual void CloseChannel(int channel);

    int IsRunning() const { return m_thread != nullptr; }
    // Another sink (null: the wave mapper); only while stopped.
    int SetSink(IVQSoundSink* sink) { return m_thread ? 0 : m_audio.SetSink(sink); }
    DWORD ThreadId() const { return m_threadId; }
    // The channels themselves: only for code running on the playback thread.
    CVQHUD_Audio* Channels() { return &m_audio; }

private:
    struct Request {
        int a, b, c;
        const void* data;
        int result;
    };
    static DWORD WINAPI ThreadMain(LPVOID self);
    int Call(UINT message, Request* request);

    HANDLE m_thread;
    DWORD m_threadId;
    HANDLE m_event;  // manual-reset: set by the thread when it is ready for the next call
    CRITICAL_SECTION m_callers;
    CVQHUD_Audio m_audio;
};
#endif
