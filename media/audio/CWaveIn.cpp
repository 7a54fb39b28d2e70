#ifdef _WIN32
#include "CWaveIn.h"

#include <cstring>

#include "VKLog.h"
#include "VQAudioFormat.h"

CWaveIn::CWaveIn()
    : m_device(nullptr), m_started(0), m_readPosition(0), m_startTime(0), m_count(0), m_bufferSize(0), m_prepared(0) {
    memset(m_headers, 0, sizeof m_headers);
}

CWaveIn::~CWaveIn() { Close(); }

int CWaveIn::IsCurrentDone() const {
    const volatile DWORD* flags = &m_headers[m_readPosition].dwFlags;
    return (*flags & WHDR_DONE) ? 1 : 0;
}

int CWaveIn::CountDone() const {
    // The device completes buffers in ring order: count from the read position
    // up to the first one still being filled.
    int n = 0;
    while (n < kBuffers) {
        const volatile DWORD* flags = &m_headers[(m_readPosition + n) % kBuffers].dwFlags;
        if (!(*flags & WHDR_DONE)) break;
        n++;
    }
    return n;
}

int CWaveIn::Open(int device, const WAVEFORMATEX* format, DWORD bufferSize) {
    Close();
    m_readPosition = 0;
    MMRESULT result = waveInOpen(&m_device, WaveInDeviceId(device), format, 0, 0, CALLBACK_NULL);
    if (result != MMSYSERR_NOERROR) {
        m_device = nullptr;
        LogMessage("CWaveIn::Open(): Can't open WAVE In Device!\r\n");
        return 0;
    }
    if (bufferSize == 0) bufferSize = 2 * format->nAvgBytesPerSec;
    bufferSize = VQWholeFrameBytes(bufferSize, format->nBlockAlign);
    void* memory = bufferSize ? VirtualAlloc(nullptr, static_cast<SIZE_T>(bufferSize) * kBuffers,
                                             MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)
                              : nullptr;
    if (!memory) {
        LogMessage("CWaveIn::Open(): Can't allocate memory for WAVE buffer!\r\n");
        Close();
        return 0;
    }
    m_bufferSize = bufferSize;
    for (int i = 0; i < kBuffers; i++) {
        m_headers[i].lpData = static_cast<LPSTR>(memory) + static_cast<size_t>(i) * bufferSize;
        m_headers[i].dwBufferLength = bufferSize;
    }
    for (int i = 0; i < kBuffers; i++) {
        result = waveInPrepareHeader(m_device, &m_headers[i], sizeof(WAVEHDR));
        if (result != MMSYSERR_NOERROR) {
            LogMessage("CWaveIn::Open(): Error preparing WAVEHDR %d! -- %08X\r\n", i, static_cast<unsigned>(result));
            Close();
            return 0;
        }
        m_prepared = i + 1;
    }
    for (int i = 0; i < kBuffers; i++) {
        result = waveInAddBuffer(m_device, &m_headers[i], sizeof(WAVEHDR));
        if (result != MMSYSERR_NOERROR) {
            LogMessage("CWaveIn::Open(): Error queueing WAVEHDR %d! -- %08X\r\n", i, static_cast<unsigned>(result));
            Close();
            return 0;
        }
    }
    return 1;
}

void CWaveIn::Close() {
    if (m_device) {
        waveInReset(m_device);
        for (int i = 0; i < m_prepared; i++) waveInUnprepareHeader(m_device, &m_headers[i], sizeof(WAVEHDR));
        waveInClose(m_device);
    }
    if (m_headers[0].lpData) VirtualFree(m_headers[0].lpData, 0, MEM_RELEASE);
    m_device = nullptr;
    m_started = 0;
    m_prepared = 0;
    m_bufferSize = 0;
    memset(m_headers, 0, sizeof m_headers);
}

int CWaveIn::Start() {
    if (!m_device) return 0;
    MMRESULT result = waveInStart(m_device);
    if (result != MMSYSERR_NOERROR) {
        LogMessage("CWaveIn::Start(): Can't start WAVE In Device! -- %08X\r\n", static_cast<unsigned>(result));
        return 0;
    }
    m_started = 1;
    m_startTime = timeGetTime();
    m_count = 0;
    return 1;
}

int CWaveIn::Stop() {
    if (!m_device) return 0;
    MMRESULT result = waveInStop(m_device);
    if (result != MMSYSERR_NOERROR) {
        LogMessage("CWaveIn::Stop(): Can't stop WAVE In Device! -- %08X\r\n", static_cast<unsigned>(result));
        return 0;
    }
    m_started = 0;
    return 1;
}

WAVEHDR* CWaveIn::Advance() {
    if (!m_started || !m_device) return nullptr;
    WAVEHDR* header = &m_headers[m_readPosition];
    header->dwFlags &= ~WHDR_DONE;
    header->dwBytesRecorded = 0;
    m_readPosition = (m_readPosition + 1) % kBuffers;
    return header;
}

int CWaveIn::Queue(WAVEHDR* header) {
    if (!header || !m_device) return 0;
    waveInAddBuffer(m_device, header, sizeof(WAVEHDR));
    return 1;
}
#endif
