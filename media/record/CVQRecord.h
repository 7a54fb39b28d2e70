#pragma once
#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

#include "CVQRecordEncoder.h"
#include "CVQSurface.h"
#include "CWaveIn.h"
#include "IVQRecord.h"

class CVKPtrList;
class CVQController;

// The pipelined recorder: an ASF file (HuffYUV pictures, 22,050 Hz 16-bit
// stereo PCM) written by CVQRecordEncoder on the controller's worker, and a
// .txt input log. Driven from the render thread on every frame:
//   CollectAudio(); CopyFrame(); if (controller->IsIdle()) { ProcessRequests(); controller->Signal(); }
// Start and stop requests take effect on the next frame with an idle worker.
class CVQRecord : public IVQRecord {
public:
    static const int kMaxChunks = 100;

    CVQRecord();
    virtual ~CVQRecord();
    CVQRecord(const CVQRecord&) = delete;
    CVQRecord& operator=(const CVQRecord&) = delete;

    int BeginRecording() override;
    void EndRecording() override;
    int IsRecording() override;
    // Keyboard events (OnInputEvent) and mouse events (OnMouseEvent) go into
    // the input log while recording; both return 0.
    virtual int OnInputEvent(unsigned message, uintptr_t data, uintptr_t flags);
    virtual int OnMouseEvent(unsigned message, uintptr_t data, uintptr_t flags);

    void SetController(CVQController* controller) { m_controller = controller; }
    // Shown when a requested start cannot open the encoder ("Recording failed");
    // without a handler the line is logged.
    void SetFailureHandler(void (*handler)(const char* message, void* context), void* context);

    int GetDesc(int* width, int* height, int* pitch, int* pixelFormat);
    int CopyFrame();
    void CollectAudio();
    void ProcessRequests();

    CVQRecordEncoder* GetEncoder() { return &m_encoder; }
    void ReleaseSurface() { m_surface.Release(); }
    int GetHeldChunks() const { return m_chunkCount; }

private:
    void StopCapture();

    CVQSurface m_surface;
    CVKPtrList* m_encoders;
    DWORD m_timerStart;
    DWORD m_frameInterval;
    DWORD m_startTime;
    uint8_t* m_chunks;
    int m_maxChunks;
    int m_chunkSize;
    int m_chunkCount;
    int m_audioEnabled;
    WAVEFORMATEX m_format;
    CWaveIn m_waveIn;
    uint8_t* m_frames[2];  // our copies of the captured pixels, used alternately
    size_t m_frameSize;
    int m_armed;
    int m_toggle;
    int m_frameRate;
    CVQRecordEncoder m_encoder;
    CVQController* m_controller;
    const uint8_t* m_pendingFrame;
    int m_recording;
    int m_startRequested;
    int m_stopRequested;
    int m_width, m_height, m_pitch, m_pixelFormat;
    uint32_t m_d3dFormat;
    void (*m_failureHandler)(const char*, void*);
    void* m_failureContext;
};
#endif
