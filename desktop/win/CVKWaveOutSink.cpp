#include "CVKWaveOutSink.h"

#include <cstring>

CVKWaveOutSink::CVKWaveOutSink() : m_device(nullptr) {}

CVKWaveOutSink::~CVKWaveOutSink() { Close(); }

bool CVKWaveOutSink::Open(int channels, int rate, int bits, int count, uint32_t bufferBytes) {
    Close();
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.wBitsPerSample = static_cast<WORD>(bits);
    format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    if (waveOutOpen(&m_device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        m_device = nullptr;
        return false;
    }
    m_headers.assign(static_cast<size_t>(count), WAVEHDR());
    m_buffers.assign(static_cast<size_t>(count), std::vector<char>(bufferBytes ? bufferBytes : 1));
    for (int i = 0; i < count; i++) {
        m_headers[i].lpData = m_buffers[i].data();
        m_headers[i].dwBufferLength = static_cast<DWORD>(m_buffers[i].size());
        waveOutPrepareHeader(m_device, &m_headers[i], sizeof(WAVEHDR));
        m_headers[i].dwFlags |= WHDR_DONE;  // free until first played
    }
    return true;
}

bool CVKWaveOutSink::Busy(int i) {
    return m_device && i >= 0 && i < static_cast<int>(m_headers.size()) && !(m_headers[i].dwFlags & WHDR_DONE);
}

bool CVKWaveOutSink::Play(int i, const uint8_t* data, uint32_t n) {
    if (!m_device || i < 0 || i >= static_cast<int>(m_headers.size()) || n == 0) return false;
    WAVEHDR& h = m_headers[i];
    if (n > m_buffers[i].size()) {
        waveOutUnprepareHeader(m_device, &h, sizeof h);
        m_buffers[i].resize(n);
        h = WAVEHDR();
        h.lpData = m_buffers[i].data();
        h.dwBufferLength = n;
        waveOutPrepareHeader(m_device, &h, sizeof h);
    }
    memcpy(h.lpData, data, n);
    h.dwBufferLength = n;
    h.dwFlags &= ~WHDR_DONE;
    if (waveOutWrite(m_device, &h, sizeof h) != MMSYSERR_NOERROR) {
        h.dwFlags |= WHDR_DONE;
        return false;
    }
    return true;
}

void CVKWaveOutSink::Reset() {
    if (m_device) waveOutReset(m_device);
}

void CVKWaveOutSink::Close() {
    if (!m_device) return;
    waveOutReset(m_device);
    for (WAVEHDR& h : m_headers) waveOutUnprepareHeader(m_device, &h, sizeof h);
    waveOutClose(m_device);
    m_device = nullptr;
    m_headers.clear();
    m_buffers.clear();
}
