#include "CVQFFmpegFrameEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "CVQFFmpegLibrary.h"
#include "VKLog.h"

CVQFFmpegFrameEncoder::CVQFFmpegFrameEncoder()
    : m_open(0),
      m_width(800),
      m_height(600),
      m_inputPicture(nullptr),
      m_inputAudio(nullptr),
      m_reduceFactor(1),
      m_bytesPerPixel(1),
      m_reducible(0),
      m_videoEnabled(0),
      m_audioEnabled(0),
      m_channels(2),
      m_sampleRate(44100),
      m_bits(16),
      m_pixelFormat(-1),
      m_reducedWidth(800),
      m_reducedHeight(600),
      m_stride(0),
      m_frameRate(20.0),
      m_videoFrames(0),
      m_audioSamples(0) {
    InitCodecLibrary();
}

CVQFFmpegFrameEncoder::~CVQFFmpegFrameEncoder() { CloseEncoder(); }

void CVQFFmpegFrameEncoder::SetAudioFormat(int channels, int rate, int bits) {
    if (!m_open) CVQEncoderCore::ApplyAudioFormat(channels, rate, bits, &m_channels, &m_sampleRate, &m_bits);
}

void CVQFFmpegFrameEncoder::SetVideoFormat(int width, int height, int stride, int pixelFormat) {
    if (m_open) return;
    pixelFormat = CVQEncoderCore::InputPixelFormat(pixelFormat);
    m_pixelFormat = pixelFormat;
    m_bytesPerPixel = VQBytesPerPixel(pixelFormat);
    m_reducible = VQIsReducible(pixelFormat) ? 1 : 0;
    if (width > 0) m_width = width;
    if (height > 0) m_height = height;
    if (stride >= 0) m_stride = stride;
    ApplyReduceFactor();
}

void CVQFFmpegFrameEncoder::SetReduceFactor(int factor) {
    if (m_open || factor < 1) return;
    m_reduceFactor = factor;
    ApplyReduceFactor();
}

void CVQFFmpegFrameEncoder::ApplyReduceFactor() {
    const int factor = m_reducible ? m_reduceFactor : 1;
    m_reducedWidth = (m_width / factor) & ~3;
    m_reducedHeight = (m_height / factor) & ~3;
}

void CVQFFmpegFrameEncoder::EnableVideo(int enable) {
    if (!m_open) m_videoEnabled = enable;
}

void CVQFFmpegFrameEncoder::EnableAudio(int enable) {
    if (!m_open) m_audioEnabled = enable;
}

void CVQFFmpegFrameEncoder::SetVideoCodec(int codecId, int bitRate) {
    if (!m_open) m_core.SetVideoCodec(codecId, bitRate);
}

void CVQFFmpegFrameEncoder::SetAudioCodec(int codecId, int bitRate) {
    if (!m_open) m_core.SetAudioCodec(codecId, bitRate);
}

void CVQFFmpegFrameEncoder::SetFrameRate(double fps) { CVQEncoderCore::ApplyFrameRate(fps, &m_frameRate); }

void CVQFFmpegFrameEncoder::SetInputPicture(const uint8_t* pixels) { m_inputPicture = pixels; }

void CVQFFmpegFrameEncoder::SetInputAudio(const uint8_t* pcm) { m_inputAudio = pcm; }

int CVQFFmpegFrameEncoder::GetAudioFrameBytes() const {
    const AVCodecContext* audio = m_core.GetAudioContext();
    int samples = audio ? CVQAudioConverter::FrameSamples(audio) : 0;
    if (m_core.IsRawPCM()) samples = static_cast<int>(m_sampleRate / m_frameRate);
    return m_bits * m_channels * samples / 8;
}

int CVQFFmpegFrameEncoder::OpenEncoder() {
    CloseEncoder();
    if (!InitCodecLibrary()) return 0;
    if (m_videoEnabled) {
        if (m_reducedWidth < 4 || m_reducedHeight < 4) {
            LogMessage("Couldn't open video codec\n");
            return 0;
        }
        // Viewers decode with fixed codec settings that include the loop
        // filter (they never receive the encoder's own): code to match them.
        m_core.SetLoopFilter(m_core.GetVideoCodec() == kVQCodecWMV2);
        if (!m_core.OpenVideo(m_reducedWidth, m_reducedHeight, m_frameRate)) {
            CloseEncoder();
            return 0;
        }
    }
    if (m_audioEnabled && !m_core.OpenAudio(m_channels, m_sampleRate, m_bits, 1, m_sampleRate)) {
        CloseEncoder();
        return 0;
    }
    m_open = 1;
    return 1;
}

void CVQFFmpegFrameEncoder::CloseEncoder() {
    m_core.Close();
    m_inputPicture = nullptr;
    m_inputAudio = nullptr;
    m_videoFrames = 0;
    m_audioSamples = 0;
    m_open = 0;
}

int CVQFFmpegFrameEncoder::EncodeVideoPacket(AVPacket* packet) {
    if (!m_open || !m_inputPicture) return 0;
    const int stride = m_stride ? m_stride : m_width * m_bytesPerPixel;
    return m_core.EncodeVideo(m_inputPicture, stride, m_pixelFormat, m_reducible ? m_reduceFactor : 1, m_videoFrames++,
                              AV_NOPTS_VALUE, 0, packet);
}

int CVQFFmpegFrameEncoder::EncodeAudioPacket(AVPacket* packet) {
    const AVCodecContext* audio = m_core.GetAudioContext();
    if (!m_open || !audio || !m_inputAudio) return 0;
    const int64_t pts = m_audioSamples;
    if (!m_core.IsRawPCM()) m_audioSamples += CVQAudioConverter::FrameSamples(audio);
    return m_core.EncodeAudio(m_inputAudio, m_bits,
                              CVQEncoderCore::RawChunkBytes(m_sampleRate, m_channels, m_bits, m_frameRate), pts,
                              AV_NOPTS_VALUE, 1, packet);
}

int CVQFFmpegFrameEncoder::EncodePending(AVPacket* videoPacket, AVPacket* audioPacket) {
    int result = 1;
    if (m_videoEnabled && m_inputPicture && videoPacket && !EncodeVideoPacket(videoPacket)) result = 0;
    if (m_audioEnabled && m_inputAudio && audioPacket && !EncodeAudioPacket(audioPacket)) result = 0;
    return result;
}
