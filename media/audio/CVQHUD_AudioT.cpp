#ifdef _WIN32
#include "CVQHUD_AudioT.h"

#include "VKLog.h"

CVQHUD_AudioT::CVQHUD_AudioT(IVQSoundSink* sink) : m_thread(nullptr), m_threadId(0), m_event(nullptr), m_audio(sink) {
    InitializeCriticalSection(&m_callers);
}

CVQHUD_AudioT::~CVQHUD_AudioT() {
    Stop();
    DeleteCriticalSection(&m_callers);
}

DWORD WINAPI CVQHUD_AudioT::ThreadMain(LPVOID param) {
    CVQHUD_AudioT* self = static_cast<CVQHUD_AudioT*>(param);
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the thread's message queue
    for (;;) {
        SetEvent(self->m_event);  // ready: the caller waiting on the previous call may go on
        if (GetMessageA(&msg, nullptr, 0, 0) <= 0) break;
        Request* r = reinterpret_cast<Request*>(msg.lParam);
        if (!r) continue;
        switch (msg.message) {
        case kMsgOpenChannel: r->result = self->m_audio.OpenChannel(r->a, r->b, r->c); break;
        case kMsgPlay: r->result = self->m_audio.Play(r->a, r->data, r->b); break;
        case kMsgHasChannel: r->result = self->m_audio.HasChannel(r->a); break;
        case kMsgCloseChannel:
            self->m_audio.CloseChannel(r->a);
            r->result = 1;
            break;
        default: break;
        }
    }
    self->m_audio.CloseAll();
    return 0;
}

int CVQHUD_AudioT::Start() {
    Stop();
    m_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!m_event) return 0;
    m_thread = CreateThread(nullptr, 0, ThreadMain, this, 0, &m_threadId);
    if (!m_thread) {
        LogMessage("CVQHUD_AudioT::Start(): Can't create the playback thread (%d)\r\n",
                   static_cast<int>(GetLastError()));
        CloseHandle(m_event);
        m_event = nullptr;
        return 0;
    }
    HANDLE waits[2] = {m_event, m_thread};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        Stop();
        return 0;
    }
    return 1;
}

void CVQHUD_AudioT::Stop() {
    if (m_thread) {
        EnterCriticalSection(&m_callers);
        // WM_QUIT is only refused while the queue is full; the thread keeps
        // draining it, so the loop ends.
        while (!PostThreadMessageA(m_threadId, WM_QUIT, 0, 0) && WaitForSingleObject(m_thread, 10) == WAIT_TIMEOUT) {
        }
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
        m_thread = nullptr;
        m_threadId = 0;
        LeaveCriticalSection(&m_callers);
    }
    if (m_event) CloseHandle(m_event);
    m_event = nullptr;
}

int CVQHUD_AudioT::Call(UINT message, Request* request) {
    EnterCriticalSection(&m_callers);
    int ok = 0;
    if (m_thread) {
        ResetEvent(m_event);
        if (PostThreadMessageA(m_threadId, message, 0, reinterpret_cast<LPARAM>(request))) {
            // The thread handle too: a thread that died must not hang the caller.
            HANDLE waits[2] = {m_event, m_thread};
            ok = WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 ? 1 : 0;
        }
    }
    LeaveCriticalSection(&m_callers);
    return ok;
}

int CVQHUD_AudioT::OpenChannel(int samplesPerSec, int channels, int bytesPerSample) {
    Request r = {samplesPerSec, channels, bytesPerSample, nullptr, -1};
    return Call(kMsgOpenChannel, &r) ? r.result : -1;
}

int CVQHUD_AudioT::Play(int channel, const void* data, int size) {
    Request r = {channel, size, 0, data, 0};
    return Call(kMsgPlay, &r) ? r.result : 0;
}

int CVQHUD_AudioT::HasChannel(int channel) {
    Request r = {channel, 0, 0, nullptr, 0};
    return Call(kMsgHasChannel, &r) ? r.result : 0;
}

void CVQHUD_AudioT::CloseChannel(int channel) {
    Request r = {channel, 0, 0, nullptr, 0};
    Call(kMsgCloseChannel, &r);
}
#endif
