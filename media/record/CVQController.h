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
class CVQController {
public:
    CVQController();
    virtual ~CVQController();  // stops and joins the worker
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

private:
    static DWORD WINAPI WorkerMain(LPVOID self);
    void Pass();

    CVKPtrList m_encoders;  // not owned
    CVQRecord* m_record;
    volatile LONG m_threaded;
    volatile LONG m_idle;
    volatile LONG m_run;
    HANDLE m_event;   // auto-reset wake-up of the worker
    HANDLE m_thread;
};
#endif
