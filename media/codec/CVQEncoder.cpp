#include "CVQEncoder.h"

#include "CVQEncoderCore.h"

CVQEncoder::CVQEncoder()
    : m_videoEnabled(0),
      m_audioEnabled(0),
      m_channels(2),
      m_sampleRate(44100),
      m_bits(16),
      m_pixelFormat(-1),
      m_width(800),
      m_height(600),
      m_stride(600),
      m_frameRate(20.0) {}

void CVQEncoder::SetVideoFormat(int width, int height, int stride, int pixelFormat) {
    m_pixelFormat = pixelFormat;
    if (width > 0) m_width = width;
    if (height > 0) m_height = height;
    if (stride >= 0) m_stride = stride;
}

void CVQEncoder::SetAudioFormat(int channels, int rate, int bits) {
    CVQEncoderCore::ApplyAudioFormat(channels, rate, bits, &m_channels, &m_sampleRate, &m_bits);
}

void CVQEncoder::SetFrameRate(double fps) { CVQEncoderCore::ApplyFrameRate(fps, &m_frameRate); }
