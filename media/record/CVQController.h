#pragma once
#ifdef _WIN32
#include <windows.h>

#include "CVKPtrList.h"

class CVQEncoder;
class CVQRecord;

// The worker hand-shake of the pipelined recorder. The render thread hands
// input to the encoders only while IsIdle() says the worker is idle, then
// Signal()s; the worker runs one pass (EncodePending on every encoder, then
// FlushOutput on every recording encoder) and becomes idle again. Without an
// event (creation failed) every IsIdle runs the pass inline.
//
// The controller and its recorder may die in either order: whichever goes
// first tells the other to forget it.
class CVQController {
public:
    // How long the destructor and WaitIdle wait for a pass to end.
    static constexpr DWORD kStopWaitMs = 5000;

    CVQController();
    virtual ~CVQController();  // stops and joins the worker (bounded)
    CVQController(const CVQController&) = delete;
    CVQController& operator=(const CVQController&) = delete;

    void SetRecord(CVQRecord* record) { m_record = record; }
    // The worker starts with the first encoder (once; it lives as long as the controller).
    void AddEncoder(CVQEncoder* encoder);
    void RemoveEncoder(CVQEncoder* encoder);
    CVKPtrList* GetEncoders() { return &m_encoders; }
    int IsIdle();
    void Signal();
    int IsThreaded() const { return m_threaded; }
    // Waits (at most timeoutMs) until no pass runs on the worker. 1 when none
    // does (also when the worker has ended or never started), 0 on time-out.
    int WaitIdle(DWORD timeoutMs);

private:
    static DWORD WINAPI WorkerMain(LPVOID self);
    void Pass();
    int WorkerGone();

    CVKPtrList m_encoders;  // not owned
    CVQRecord* m_record;
    volatile LONG m_threaded;
    volatile LONG m_idle;
    volatile LONG m_run;
    volatile LONG m_left;  // the worker has left its loop and touches nothing more
    HANDLE m_event;        // auto-reset wake-up of the worker
    HANDLE m_thread;
};
#endif
