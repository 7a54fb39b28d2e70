#include "CVQEncoderCore.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
}

#include "VKLog.h"
#include "VQCodecIds.h"
#include "VQCodecPacket.h"

CVQEncoderCore::CVQEncoderCore()
    : m_videoCodec(0),
      m_videoBitRate(400000),
      m_audioCodec(0),
      m_audioBitRate(96000),
      m_rawPCM(1),
      m_loopFilter(0),
      m_videoContext(nullptr),
      m_audioContext(nullptr),
      m_codedFrame(nullptr),
      m_videoPacket(nullptr),
      m_audioPacket(nullptr),
      m_pcmBuffer(nullptr),
      m_pcmBufferSize(0) {}

CVQEncoderCore::~CVQEncoderCore() { Close(); }

void CVQEncoderCore::ApplyAudioFormat(int channels, int rate, int bits, int* outChannels, int* outRate, int* outBits) {
    if (channels == 1 || channels == 2) *outChannels = channels;
    if (rate >= 1 && rate <= 48000) *outRate = rate;
    if (bits == 8 || bits == 16) *outBits = bits;
}

AVRational CVQEncoderCore::FrameTime(double frameRate) {
    // Milliframes per second over 1000, reduced: 30 -> 1/30, 29.97 -> 100/2997.
    int num = 0, den = 0;
    av_reduce(&num, &den, 1000, static_cast<int64_t>(frameRate * 1000.0 + 0.5), 1000000);
    return AVRational{num, den};
}

void CVQEncoderCore::ApplyFrameRate(double fps, double* frameRate) {
    if (fps > 0.0 && fps < 100.0) *frameRate = fps;
}

int CVQEncoderCore::InputPixelFormat(int pixelFormat) {
    if (pixelFormat != kVQPixBGR32) return pixelFormat;
    LogMessage(
        "FIXME: FFmpeg crashes whenever we use BGR32. We should make our own conversion!\n"
        "We force RGB32 for now.\n");
    return kVQPixRGB32;
}

int CVQEncoderCore::RawChunkBytes(int rate, int channels, int bits, double frameRate) {
    return static_cast<int>(static_cast<double>(rate) * channels * (bits == 8 ? 1 : 2) / frameRate);
}

void CVQEncoderCore::SetVideoCodec(int codecId, int bitRate) {
    m_videoCodec = codecId;
    if (bitRate > 1000) m_videoBitRate = bitRate;
}

void CVQEncoderCore::SetAudioCodec(int codecId, int bitRate) {
    m_audioCodec = codecId;
    if (bitRate > 1000) m_audioBitRate = bitRate;
    m_rawPCM = VQIsRawPCM(codecId) ? 1 : 0;
}

int CVQEncoderCore::OpenVideo(int width, int height, double frameRate) {
    const AVCodec* codec = avcodec_find_encoder(static_cast<AVCodecID>(VQCodecToLibrary(m_videoCodec)));
    if (!codec) {
        LogMessage("Couldn't find video codec\n");
        return 0;
    }
    m_videoContext = avcodec_alloc_context3(codec);
    m_codedFrame = av_frame_alloc();
    m_videoPacket = av_packet_alloc();
    if (!m_videoContext || !m_codedFrame || !m_videoPacket) {
        LogMessage("Couldn't open video codec\n");
        return 0;
    }
    m_videoContext->codec_type = AVMEDIA_TYPE_VIDEO;
    m_videoContext->bit_rate = m_videoBitRate;
    m_videoContext->width = width;
    m_videoContext->height = height;
    m_videoContext->gop_size = 20;
    m_videoContext->time_base = FrameTime(frameRate);
    m_videoContext->max_b_frames = 0;
    if (m_loopFilter) m_videoContext->flags |= AV_CODEC_FLAG_LOOP_FILTER;
    m_videoContext->pix_fmt = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
    if (avcodec_open2(m_videoContext, codec, nullptr) < 0) {
        LogMessage("Couldn't open video codec\n");
        return 0;
    }
    m_codedFrame->format = m_videoContext->pix_fmt;
    m_codedFrame->width = width;
    m_codedFrame->height = height;
    if (av_frame_get_buffer(m_codedFrame, 0) < 0) {
        LogMessage("Couldn't open video codec\n");
        return 0;
    }
    return 1;
}

int CVQEncoderCore::OpenAudio(int channels, int rate, int bits, int timeBaseNum, int timeBaseDen) {
    const AVCodec* codec = avcodec_find_encoder(static_cast<AVCodecID>(VQCodecToLibrary(m_audioCodec)));
    m_audioContext = codec ? avcodec_alloc_context3(codec) : nullptr;
    m_audioPacket = av_packet_alloc();
    if (!m_audioContext || !m_audioPacket) {
        LogMessage("Couldn't open audio codec\n");
        return 0;
    }
    m_audioContext->codec_type = AVMEDIA_TYPE_AUDIO;
    m_audioContext->bit_rate = m_audioBitRate;
    m_audioContext->sample_rate = rate;
    av_channel_layout_default(&m_audioContext->ch_layout, channels);
    m_audioContext->sample_fmt = bits == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
    if (codec->sample_fmts) {
        bool supported = false;
        for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; f++)
            if (*f == m_audioContext->sample_fmt) supported = true;
        if (!supported) m_audioContext->sample_fmt = codec->sample_fmts[0];
    }
    m_audioContext->time_base = AVRational{timeBaseNum, timeBaseDen};
    if (avcodec_open2(m_audioContext, codec, nullptr) < 0) {
        LogMessage("Couldn't open audio codec\n");
        return 0;
    }
    return 1;
}

void CVQEncoderCore::Close() {
    m_pictures.Free();
    m_sound.Free();
    av_frame_free(&m_codedFrame);
    av_packet_free(&m_videoPacket);
    av_packet_free(&m_audioPacket);
    av_freep(&m_pcmBuffer);
    m_pcmBufferSize = 0;
    avcodec_free_context(&m_videoContext);
    avcodec_free_context(&m_audioContext);
}

int CVQEncoderCore::EncodeVideo(const uint8_t* pixels, int stride, int pixelFormat, int factor, int64_t pts,
                                int64_t time, int streamIndex, AVPacket* packet) {
    if (!m_videoContext || !m_codedFrame || !pixels) return 0;
    if (av_frame_make_writable(m_codedFrame) < 0 ||
        !m_pictures.Convert(pixels, stride, pixelFormat, factor, m_videoContext->width, m_videoContext->height,
                            m_codedFrame))
        return 0;
    m_codedFrame->pts = pts;
    const int result = VQEncodeFrame(m_videoContext, m_codedFrame, m_videoPacket);
    if (result < 0 && result != AVERROR(EAGAIN)) return 0;
    VQViewPacket(packet, m_videoPacket->data, m_videoPacket->size, m_videoPacket->flags & AV_PKT_FLAG_KEY, time,
                 streamIndex);
    return 1;
}

int CVQEncoderCore::EncodeAudio(const uint8_t* pcm, int bits, int rawBytes, int64_t pts, int64_t time, int streamIndex,
                                AVPacket* packet) {
    if (!m_audioContext || !pcm) return 0;
    if (m_rawPCM) {
        if (rawBytes <= 0) return 0;
        if (rawBytes > m_pcmBufferSize) {
            av_freep(&m_pcmBuffer);
            m_pcmBufferSize = 0;
            m_pcmBuffer = static_cast<uint8_t*>(av_malloc(static_cast<size_t>(rawBytes)));
            if (!m_pcmBuffer) return 0;
            m_pcmBufferSize = rawBytes;
        }
        memcpy(m_pcmBuffer, pcm, static_cast<size_t>(rawBytes));
        VQViewPacket(packet, m_pcmBuffer, rawBytes, 1, time, streamIndex);
        return 1;
    }
    AVFrame* frame = m_sound.Convert(m_audioContext, pcm, bits);
    if (!frame) return 0;
    frame->pts = pts;
    const int result = VQEncodeFrame(m_audioContext, frame, m_audioPacket);
    if (result < 0 && result != AVERROR(EAGAIN)) return 0;
    VQViewPacket(packet, m_audioPacket->data, m_audioPacket->size, 1, time, streamIndex);
    return 1;
}
