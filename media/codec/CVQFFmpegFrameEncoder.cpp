#include "CVQFFmpegFrameEncoder.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
}

#include "CVQFFmpegLibrary.h"
#include "VKLog.h"
#include "VQCodecPacket.h"

CVQFFmpegFrameEncoder::CVQFFmpegFrameEncoder()
    : m_open(0), m_audioBitRate(96000), m_audioCodec(0), m_width(800), m_height(600), m_videoBitRate(400000),
      m_videoCodec(0), m_videoContext(nullptr), m_audioContext(nullptr), m_inputPicture(nullptr),
      m_inputAudio(nullptr), m_codedFrame(nullptr), m_videoPacket(nullptr), m_audioPacket(nullptr),
      m_pcmBuffer(nullptr), m_pcmBufferSize(0), m_rawPCM(1), m_reduceFactor(1), m_bytesPerPixel(1), m_reducible(0),
      m_videoEnabled(0), m_audioEnabled(0), m_channels(2), m_sampleRate(44100), m_bits(16), m_pixelFormat(-1),
      m_reducedWidth(800), m_reducedHeight(600), m_stride(0), m_frameRate(20.0), m_videoFrames(0),
      m_audioSamples(0) {
    InitCodecLibrary();
}

CVQFFmpegFrameEncoder::~CVQFFmpegFrameEncoder() { CloseEncoder(); }

void CVQFFmpegFrameEncoder::SetAudioFormat(int channels, int rate, int bits) {
    if (m_open) return;
    if (channels == 1 || channels == 2) m_channels = channels;
    if (rate >= 1 && rate <= 48000) m_sampleRate = rate;
    if (bits == 8 || bits == 16) m_bits = bits;
}

void CVQFFmpegFrameEncoder::SetVideoFormat(int width, int height, int stride, int pixelFormat) {
    if (m_open) return;
    if (pixelFormat == kVQPixBGR32) {
        LogMessage("FIXME: FFmpeg crashes whenever we use BGR32. We should make our own conversion!\n"
                   "We force RGB32 for now.\n");
        pixelFormat = kVQPixRGB32;
    }
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
    if (m_open) return;
    m_videoCodec = codecId;
    if (bitRate > 1000) m_videoBitRate = bitRate;
}

void CVQFFmpegFrameEncoder::SetAudioCodec(int codecId, int bitRate) {
    if (m_open) return;
    m_audioCodec = codecId;
    if (bitRate > 1000) m_audioBitRate = bitRate;
    m_rawPCM = VQIsRawPCM(codecId) ? 1 : 0;
}

void CVQFFmpegFrameEncoder::SetFrameRate(double fps) {
    if (fps > 0.0 && fps < 100.0) m_frameRate = fps;
}

void CVQFFmpegFrameEncoder::SetInputPicture(const uint8_t* pixels) { m_inputPicture = pixels; }

void CVQFFmpegFrameEncoder::SetInputAudio(const uint8_t* pcm) { m_inputAudio = pcm; }

int CVQFFmpegFrameEncoder::GetAudioFrameBytes() const {
    int samples = m_audioContext ? CVQAudioConverter::FrameSamples(m_audioContext) : 0;
    if (m_rawPCM) samples = static_cast<int>(m_sampleRate / m_frameRate);
    return m_bits * m_channels * samples / 8;
}

int CVQFFmpegFrameEncoder::OpenEncoder() {
    CloseEncoder();
    const AVRational frameTime = av_d2q(1.0 / m_frameRate, 1000000);
    if (m_videoEnabled) {
        const AVCodec* codec = avcodec_find_encoder(static_cast<AVCodecID>(VQCodecToLibrary(m_videoCodec)));
        if (!codec) {
            LogMessage("Couldn't find video codec\n");
            return 0;
        }
        m_videoContext = avcodec_alloc_context3(codec);
        if (!m_videoContext || m_reducedWidth < 4 || m_reducedHeight < 4) {
            LogMessage("Couldn't open video codec\n");
            CloseEncoder();
            return 0;
        }
        m_videoContext->bit_rate = m_videoBitRate;
        m_videoContext->width = m_reducedWidth;
        m_videoContext->height = m_reducedHeight;
        m_videoContext->gop_size = 20;
        m_videoContext->time_base = frameTime;
        m_videoContext->max_b_frames = 0;
        m_videoContext->pix_fmt = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
        m_codedFrame = av_frame_alloc();
        if (avcodec_open2(m_videoContext, codec, nullptr) < 0 || !m_codedFrame) {
            LogMessage("Couldn't open video codec\n");
            CloseEncoder();
            return 0;
        }
        m_codedFrame->format = m_videoContext->pix_fmt;
        m_codedFrame->width = m_reducedWidth;
        m_codedFrame->height = m_reducedHeight;
        if (av_frame_get_buffer(m_codedFrame, 0) < 0) {
            LogMessage("Couldn't open video codec\n");
            CloseEncoder();
            return 0;
        }
    }
    if (m_audioEnabled) {
        const AVCodec* codec = avcodec_find_encoder(static_cast<AVCodecID>(VQCodecToLibrary(m_audioCodec)));
        m_audioContext = codec ? avcodec_alloc_context3(codec) : nullptr;
        if (!m_audioContext) {
            LogMessage("Couldn't open audio codec\n");
            CloseEncoder();
            return 0;
        }
        m_audioContext->bit_rate = m_audioBitRate;
        m_audioContext->sample_rate = m_sampleRate;
        av_channel_layout_default(&m_audioContext->ch_layout, m_channels);
        m_audioContext->sample_fmt = m_bits == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
        if (codec->sample_fmts) {
            bool supported = false;
            for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; f++)
                if (*f == m_audioContext->sample_fmt) supported = true;
            if (!supported) m_audioContext->sample_fmt = codec->sample_fmts[0];
        }
        m_audioContext->time_base = AVRational{1, m_sampleRate};
        if (avcodec_open2(m_audioContext, codec, nullptr) < 0) {
            LogMessage("Couldn't open audio codec\n");
            CloseEncoder();
            return 0;
        }
    }
    m_videoPacket = av_packet_alloc();
    m_audioPacket = av_packet_alloc();
    if (!m_videoPacket || !m_audioPacket) {
        CloseEncoder();
        return 0;
    }
    m_open = 1;
    return 1;
}

void CVQFFmpegFrameEncoder::CloseEncoder() {
    m_pictures.Free();
    m_sound.Free();
    av_frame_free(&m_codedFrame);
    av_packet_free(&m_videoPacket);
    av_packet_free(&m_audioPacket);
    av_freep(&m_pcmBuffer);
    m_pcmBufferSize = 0;
    avcodec_free_context(&m_videoContext);
    avcodec_free_context(&m_audioContext);
    m_inputPicture = nullptr;
    m_inputAudio = nullptr;
    m_videoFrames = 0;
    m_audioSamples = 0;
    m_open = 0;
}

int CVQFFmpegFrameEncoder::EncodeVideoPacket(AVPacket* packet) {
    if (!m_open || !m_videoContext || !m_inputPicture) return 0;
    const int stride = m_stride ? m_stride : m_width * m_bytesPerPixel;
    if (av_frame_make_writable(m_codedFrame) < 0 ||
        !m_pictures.Convert(m_inputPicture, stride, m_pixelFormat, m_reducible ? m_reduceFactor : 1, m_reducedWidth,
                            m_reducedHeight, m_codedFrame))
        return 0;
    m_codedFrame->pts = m_videoFrames++;
    int result = VQEncodeFrame(m_videoContext, m_codedFrame, m_videoPacket);
    if (result < 0 && result != AVERROR(EAGAIN)) return 0;
    VQViewPacket(packet, m_videoPacket->data, m_videoPacket->size, m_videoPacket->flags & AV_PKT_FLAG_KEY,
                 AV_NOPTS_VALUE, 0);
    return 1;
}

int CVQFFmpegFrameEncoder::EncodeAudioPacket(AVPacket* packet) {
    if (!m_open || !m_audioContext || !m_inputAudio) return 0;
    if (m_rawPCM) {
        const int bytes = static_cast<int>(static_cast<double>(m_sampleRate) * m_channels * (m_bits == 8 ? 1 : 2) /
                                           m_frameRate);
        if (bytes > m_pcmBufferSize) {
            av_freep(&m_pcmBuffer);
            m_pcmBufferSize = 0;
            m_pcmBuffer = static_cast<uint8_t*>(av_malloc(static_cast<size_t>(bytes)));
            if (!m_pcmBuffer) return 0;
            m_pcmBufferSize = bytes;
        }
        memcpy(m_pcmBuffer, m_inputAudio, static_cast<size_t>(bytes));
        VQViewPacket(packet, m_pcmBuffer, bytes, 1, AV_NOPTS_VALUE, 1);
        return 1;
    }
    AVFrame* frame = m_sound.Convert(m_audioContext, m_inputAudio, m_bits);
    if (!frame) return 0;
    frame->pts = m_audioSamples;
    m_audioSamples += CVQAudioConverter::FrameSamples(m_audioContext);
    int result = VQEncodeFrame(m_audioContext, frame, m_audioPacket);
    if (result < 0 && result != AVERROR(EAGAIN)) return 0;
    VQViewPacket(packet, m_audioPacket->data, m_audioPacket->size, 1, AV_NOPTS_VALUE, 1);
    return 1;
}

int CVQFFmpegFrameEncoder::EncodePending(AVPacket* videoPacket, AVPacket* audioPacket) {
    int result = 1;
    if (m_videoEnabled && m_inputPicture && videoPacket && !EncodeVideoPacket(videoPacket)) result = 0;
    if (m_audioEnabled && m_inputAudio && audioPacket && !EncodeAudioPacket(audioPacket)) result = 0;
    return result;
}
