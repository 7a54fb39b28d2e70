#ifdef _WIN32
#include "CVQController.h"

#include "CVQRecord.h"
#include "CVQRecordEncoder.h"
#include "VKLog.h"

CVQController::CVQController() : m_record(nullptr), m_threaded(1), m_idle(1), m_run(1), m_left(0), m_thread(nullptr) {
    m_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!m_event) {
        LogMessage("CreateEvent error: %d\n", static_cast<int>(GetLastError()));
        m_threaded = 0;
    }
}

CVQController::~CVQController() {
    if (m_thread) {
        // The worker may already be gone (ended at process exit, or mid-pass):
        // then its idle flag never comes, so the wait watches the thread too.
        InterlockedExchange(&m_run, 0);
        SetEvent(m_event);
        const DWORD start = GetTickCount();
        while (!m_left && !WorkerGone() && GetTickCount() - start < kStopWaitMs) Sleep(20);
        if (!m_left && !WorkerGone()) LogMessage("CVQController::~CVQController(): The worker did not stop\r\n");
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
    if (m_record) m_record->SetController(nullptr);
    if (m_event) CloseHandle(m_event);
}

int CVQController::WorkerGone() { return !m_thread || WaitForSingleObject(m_thread, 0) == WAIT_OBJECT_0; }

int CVQController::WaitIdle(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (!m_threaded || m_idle || WorkerGone()) return 1;
        if (GetTickCount() - start >= timeoutMs) return 0;
        Sleep(20);
    }
}

void CVQController::AddEncoder(CVQEncoder* encoder) {
    if (m_encoders.IndexOf(encoder) >= 0) return;
    m_encoders.Insert(encoder);
    if (m_encoders.Count() == 1 && m_threaded && !m_thread) {
        m_thread = CreateThread(nullptr, 0, WorkerMain, this, 0, nullptr);
        if (!m_thread) {
            LogMessage("CVQController::AddEncoder(): Can't start the worker (%d)\r\n",
                       static_cast<int>(GetLastError()));
            m_threaded = 0;  // the passes run inline from now on
        }
    }
}

void CVQController::RemoveEncoder(CVQEncoder* encoder) { m_encoders.Remove(encoder); }

int CVQController::IsIdle() {
    if (m_threaded) return m_idle ? 1 : 0;
    Pass();
    return 1;
}

void CVQController::Signal() {
    if (!m_threaded || m_encoders.Count() == 0) return;
    InterlockedExchange(&m_idle, 0);
    SetEvent(m_event);
}

void CVQController::Pass() {
    for (int i = 0; i < m_encoders.Count(); i++) static_cast<CVQEncoder*>(m_encoders.Get(i))->EncodePending();
    for (int i = 0; i < m_encoders.Count(); i++) {
        CVQRecordEncoder* recorder = dynamic_cast<CVQRecordEncoder*>(static_cast<CVQEncoder*>(m_encoders.Get(i)));
        if (recorder) recorder->FlushOutput();
    }
}

DWORD WINAPI CVQController::WorkerMain(LPVOID param) {
    CVQController* self = static_cast<CVQController*>(param);
    while (self->m_run) {
        WaitForSingleObject(self->m_event, INFINITE);
        if (!self->m_run) break;
        if (self->m_encoders.Count() > 0) self->Pass();
        InterlockedExchange(&self->m_idle, 1);
    }
    InterlockedExchange(&self->m_idle, 1);
    InterlockedExchange(&self->m_left, 1);
    return 0;
}
#endif
