#ifdef _WIN32
#include "CVQRecord.h"

#include <cstring>

#include "CVKPixels.h"
#include "CVQController.h"
#include "VKLog.h"

namespace {
const uint32_t kLockFlags = 0x8810;  // D3DLOCK_READONLY | D3DLOCK_NOSYSLOCK | D3DLOCK_NO_DIRTY_UPDATE
}

CVQRecord::CVQRecord()
    : m_encoders(nullptr),
      m_timerStart(0),
      m_frameInterval(33),
      m_startTime(0),
      m_chunks(nullptr),
      m_maxChunks(kMaxChunks),
      m_chunkSize(0),
      m_chunkCount(0),
      m_audioEnabled(1),
      m_frameSize(0),
      m_armed(0),
      m_toggle(0),
      m_frameRate(30),
      m_controller(nullptr),
      m_pendingFrame(nullptr),
      m_recording(0),
      m_startRequested(0),
      m_stopRequested(0),
      m_width(-1),
      m_height(-1),
      m_pitch(-1),
      m_pixelFormat(-1),
      m_d3dFormat(0),
      m_failureHandler(nullptr),
      m_failureContext(nullptr) {
    memset(&m_format, 0, sizeof m_format);
    m_frames[0] = m_frames[1] = nullptr;
}

CVQRecord::~CVQRecord() {
    // A pass of the controller's worker may be running on our encoder: let it
    // end before the encoder leaves the list and is closed.
    if (m_controller) {
        if (!m_controller->WaitIdle(CVQController::kStopWaitMs))
            LogMessage("CVQRecord::~CVQRecord(): The worker is still busy\r\n");
        m_controller->RemoveEncoder(&m_encoder);
        m_controller->SetRecord(nullptr);
    }
    m_encoder.CloseEncoder();
    StopCapture();
}

void CVQRecord::SetFailureHandler(void (*handler)(const char*, void*), void* context) {
    m_failureHandler = handler;
    m_failureContext = context;
}

int CVQRecord::BeginRecording() {
    m_startRequested = 1;
    return 1;
}

void CVQRecord::EndRecording() {
    m_startRequested = 0;
    m_stopRequested = 1;
}

int CVQRecord::IsRecording() { return m_recording || m_startRequested; }

int CVQRecord::OnInputEvent(unsigned message, uintptr_t data, uintptr_t flags) {
    if (m_recording && m_controller) {
        CVKPtrList* list = m_controller->GetEncoders();
        for (int i = 0; i < list->Count(); i++) {
            CVQRecordEncoder* e = dynamic_cast<CVQRecordEncoder*>(static_cast<CVQEncoder*>(list->Get(i)));
            if (e) e->OnInputEvent(message, data, flags);
        }
    }
    return 0;
}

int CVQRecord::OnMouseEvent(unsigned message, uintptr_t data, uintptr_t flags) {
    return OnInputEvent(message, data, flags);
}

int CVQRecord::GetDesc(int* width, int* height, int* pitch, int* pixelFormat) {
    if (m_width == -1 || m_height == -1 || m_pitch == -1 || m_pixelFormat == -1) {
        uint32_t format = 0, w = 0, h = 0;
        if (!CVQSurface::GetBackBufferInfo(&format, &w, &h, nullptr)) {
            LogMessage("CVQRecord::GetDesc(): Failed to get back buffer\r\n");
            return 0;
        }
        int codecFormat = -1;
        if (!CVQSurface::MapBackBufferPixelFormat(format, &codecFormat)) {
            LogMessage("CVQRecord::GetDesc(): Unexpected DX backbuffer pixelformat: %d\r\n", static_cast<int>(format));
            return 0;
        }
        if (!m_surface.CopyBackBuffer()) {
            LogMessage("CVQRecord::GetDesc(): Failed to copy back buffer\r\n");
            return 0;
        }
        CVKPixels locked;
        if (!m_surface.Lock(&locked, kLockFlags)) {
            LogMessage("CVQRecord::GetDesc(): Failed to LockRect() copy buffer\r\n");
            return 0;
        }
        m_pitch = locked.Stride();
        m_surface.Unlock();
        m_width = static_cast<int>(w);
        m_height = static_cast<int>(h);
        m_pixelFormat = codecFormat;
        m_d3dFormat = format;
    }
    *width = m_width;
    *height = m_height;
    *pitch = m_pitch;
    *pixelFormat = m_pixelFormat;
    return 1;
}

void CVQRecord::CollectAudio() {
    if (!m_waveIn.IsStarted()) return;
    for (int i = 0; i < CWaveIn::kBuffers && m_waveIn.IsCurrentDone(); i++) {
        if (m_chunks && m_chunkCount < m_maxChunks) {
            memcpy(m_chunks + static_cast<size_t>(m_chunkCount) * m_chunkSize, m_waveIn.GetCurrentData(),
                   static_cast<size_t>(m_chunkSize));
            m_chunkCount++;
        }
        m_waveIn.Requeue();
        m_waveIn.IncrementCount();
    }
}

int CVQRecord::CopyFrame() {
    if (m_controller && m_controller->GetEncoders()->Count() > 0) m_armed = 1;
    if (!m_armed || !m_frames[0]) return 0;
    const DWORD now = timeGetTime();
    if (m_timerStart == 0) {
        m_timerStart = now ? now : 1;
    } else if (now - m_timerStart < 33) {
        return 0;
    }
    uint8_t* target = m_frames[m_toggle ? 1 : 0];
    if (!m_surface.CopyBackBuffer()) {
        LogMessage("CVQRecord::CopyFrame(): Failed to copy back buffer\r\n");
        return 0;
    }
    if (static_cast<int>(m_surface.Width()) != m_width || static_cast<int>(m_surface.Height()) != m_height ||
        m_surface.Format() != m_d3dFormat)
        return 0;  // the back buffer changed under the recording: its pictures no longer fit
    CVKPixels locked;
    if (!m_surface.Lock(&locked, kLockFlags)) {
        LogMessage("CVQRecord::CopyFrame(): Failed to LockRect() copy buffer\r\n");
        return 0;
    }
    const size_t rowBytes = m_frameSize / static_cast<size_t>(m_height);
    for (int y = 0; y < m_height; y++)
        memcpy(target + static_cast<size_t>(y) * rowBytes, locked.Data() + static_cast<ptrdiff_t>(y) * locked.Stride(),
               rowBytes);
    m_pendingFrame = target;
    m_surface.Unlock();
    if (m_toggle) {
        m_toggle = 0;
        m_armed = 0;
    } else {
        m_toggle = 1;
    }
    return 1;
}

void CVQRecord::StopCapture() {
    m_waveIn.Close();
    free(m_chunks);
    m_chunks = nullptr;
    m_chunkCount = 0;
    free(m_frames[0]);
    free(m_frames[1]);
    m_frames[0] = m_frames[1] = nullptr;
    m_frameSize = 0;
    m_pendingFrame = nullptr;
}

void CVQRecord::ProcessRequests() {
    if (m_startRequested && m_recording) m_startRequested = 0;  // already running: nothing to start
    if (m_recording && !m_stopRequested && m_encoder.HasFailed()) {
        // The file takes no more (disk full, write error): end the recording as a stop would.
        if (m_failureHandler)
            m_failureHandler("Recording failed", m_failureContext);
        else
            LogMessage("CVQRecord::ProcessRequests(): Recording failed\r\n");
        m_stopRequested = 1;
    }
    if (m_startRequested) {
        m_format.wFormatTag = WAVE_FORMAT_PCM;
        m_format.nChannels = 2;
        m_format.nSamplesPerSec = 22050;
        m_format.nAvgBytesPerSec = 88200;
        m_format.nBlockAlign = 4;
        m_format.wBitsPerSample = 16;
        m_format.cbSize = 0;
        m_chunkSize = 88200 / m_frameRate;
        StopCapture();
        m_chunks = static_cast<uint8_t*>(malloc(static_cast<size_t>(m_chunkSize) * m_maxChunks));
        // Without a capture device the recording runs on without sound.
        const int sound = m_chunks && m_waveIn.Open(0, &m_format, static_cast<DWORD>(m_chunkSize)) && m_waveIn.Start();
        if (!sound) m_waveIn.Close();
        m_timerStart = 0;
        m_frameInterval = 1000 / m_frameRate;
        m_startTime = timeGetTime();
        m_pendingFrame = nullptr;
        m_width = -1;
        m_armed = 1;
        int width, height, pitch, pixelFormat;
        int started = 0;
        if (GetDesc(&width, &height, &pitch, &pixelFormat)) {
            m_frameSize = static_cast<size_t>(width) * CVQSurface::BytesPerPixelOfCodecFormat(pixelFormat) * height;
            m_frames[0] = static_cast<uint8_t*>(malloc(m_frameSize));
            m_frames[1] = static_cast<uint8_t*>(malloc(m_frameSize));
            m_encoder.SetVideoFormat(width, height, 0, pixelFormat);  // our copies are tightly packed
            m_encoder.EnableVideo(1);
            m_encoder.SetFrameRate(30.0);
            if (sound) m_encoder.SetAudioFormat(2, 22050, 16);
            m_encoder.EnableAudio(sound);
            m_encoder.SetVideoCodec(kVQCodecHuffYUV, 400000);
            if (sound) m_encoder.SetAudioCodec(kVQCodecPCMS16LE, 96000);
            m_encoder.SetOutputName(nullptr);
            if (m_frames[0] && m_frames[1] && m_controller && m_encoder.OpenEncoder()) {
                m_controller->AddEncoder(&m_encoder);
                started = 1;
            } else if (m_failureHandler) {
                m_failureHandler("Recording failed", m_failureContext);
            } else {
                LogMessage("CVQRecord::ProcessRequests(): Recording failed\r\n");
            }
        }
        m_recording = started;
        if (!started) {
            m_armed = 0;
            StopCapture();  // a start that failed leaves nothing open
        }
        m_startRequested = 0;
    } else if (m_stopRequested) {
        StopCapture();
        if (m_controller) m_controller->RemoveEncoder(&m_encoder);
        m_encoder.CloseEncoder();
        m_armed = 0;
        m_recording = 0;
        m_startRequested = 0;
        m_stopRequested = 0;
    }
    m_encoders = m_controller ? m_controller->GetEncoders() : nullptr;
    if (!m_encoders || m_encoders->Count() == 0) return;
    if (m_pendingFrame) {
        for (int i = 0; i < m_encoders->Count(); i++)
            static_cast<CVQEncoder*>(m_encoders->Get(i))->SetInputPicture(m_pendingFrame);
        m_pendingFrame = nullptr;
    }
    for (int i = 0; i < m_encoders->Count(); i++) {
        CVQEncoder* e = static_cast<CVQEncoder*>(m_encoders->Get(i));
        for (int c = 0; c < m_chunkCount; c++) e->SetInputAudio(m_chunks + static_cast<size_t>(c) * m_chunkSize);
    }
    m_chunkCount = 0;
}
#endif
