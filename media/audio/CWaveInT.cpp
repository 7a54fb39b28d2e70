#ifdef _WIN32
#include "CWaveInT.h"

#include "VKLog.h"

CWaveInT::CWaveInT() : m_thread(nullptr), m_threadId(0), m_reply(nullptr), m_result(0) {}

CWaveInT::~CWaveInT() { StopThread(); }

DWORD WINAPI CWaveInT::ThreadMain(LPVOID param) {
    CWaveInT* self = static_cast<CWaveInT*>(param);
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the thread's message queue
    for (;;) {
        SetEvent(self->m_reply);  // readiness the first time, then the previous request's result
        if (GetMessageA(&msg, nullptr, 0, 0) <= 0) break;
        switch (msg.message) {
        case kMsgOpen: {
            const OpenRequest* r = reinterpret_cast<const OpenRequest*>(msg.lParam);
            self->m_result = self->m_waveIn.Open(r->device, r->format, r->bufferSize);
            break;
        }
        case kMsgStart: self->m_result = self->m_waveIn.Start(); break;
        case kMsgStop: self->m_result = self->m_waveIn.Stop(); break;
        case kMsgRequeue: self->m_result = self->m_waveIn.Requeue(); break;
        case kMsgQueue: self->m_result = self->m_waveIn.Queue(reinterpret_cast<WAVEHDR*>(msg.lParam)); break;
        default: break;
        }
    }
    self->m_waveIn.Close();
    return 0;
}

int CWaveInT::Request(UINT message, LPARAM lParam) {
    if (!m_thread) return 0;
    ResetEvent(m_reply);
    if (!PostThreadMessageA(m_threadId, message, 0, lParam)) return 0;
    // The thread handle too: a thread that died must not hang the caller.
    HANDLE waits[2] = {m_reply, m_thread};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) return 0;
    return m_result;
}

int CWaveInT::Open(int device, const WAVEFORMATEX* format, DWORD bufferSize) {
    StopThread();
    m_reply = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!m_reply) return 0;
    m_thread = CreateThread(nullptr, 0, ThreadMain, this, 0, &m_threadId);
    if (!m_thread) {
        LogMessage("CWaveInT::Open(): Can't create the capture thread (%d)\r\n", static_cast<int>(GetLastError()));
        CloseHandle(m_reply);
        m_reply = nullptr;
        return 0;
    }
    HANDLE waits[2] = {m_reply, m_thread};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        StopThread();
        return 0;
    }
    OpenRequest request = {device, format, bufferSize};
    int result = Request(kMsgOpen, reinterpret_cast<LPARAM>(&request));
    if (!result) StopThread();  // a failed open leaves no thread and no device behind
    return result;
}

int CWaveInT::Start() { return Request(kMsgStart, 0); }

int CWaveInT::Stop() { return Request(kMsgStop, 0); }

int CWaveInT::Requeue() { return Request(kMsgRequeue, 0); }

void CWaveInT::Close() { StopThread(); }

void CWaveInT::StopThread() {
    if (m_thread) {
        // WM_QUIT may only be refused when the queue is full; the wait then
        // still ends because the thread keeps draining it.
        while (!PostThreadMessageA(m_threadId, WM_QUIT, 0, 0) && WaitForSingleObject(m_thread, 10) == WAIT_TIMEOUT) {
        }
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
    }
    m_thread = nullptr;
    m_threadId = 0;
    if (m_reply) CloseHandle(m_reply);
    m_reply = nullptr;
}
#endif
