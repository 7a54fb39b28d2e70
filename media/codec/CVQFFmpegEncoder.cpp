#include "CVQFFmpegEncoder.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
}

#include "VKLog.h"
#include "VQCodecPacket.h"

CVQFFmpegEncoder::CVQFFmpegEncoder()
    : m_open(0), m_headerWritten(0), m_trailerWritten(0), m_useMemoryStream(1), m_audioBitRate(96000),
      m_audioCodec(0), m_inputWidth(800), m_inputHeight(600), m_videoBitRate(400000), m_videoCodec(0),
      m_format(nullptr), m_videoStream(nullptr), m_audioStream(nullptr), m_videoContext(nullptr),
      m_audioContext(nullptr), m_inputPicture(nullptr), m_inputAudio(nullptr), m_videoFrames(0), m_audioFrames(0),
      m_videoWritten(0), m_audioWritten(0), m_rawPCM(1), m_codedFrame(nullptr), m_videoPacket(nullptr),
      m_audioPacket(nullptr), m_pcmBuffer(nullptr), m_pcmBufferSize(0), m_taken(nullptr), m_takenSize(0),
      m_reduceFactor(1), m_reducedWidth(800), m_reducedHeight(600), m_bytesPerPixel(1), m_reducible(0),
      m_onePacketPerInput(0), m_codecFrameRate(20.0) {
    InitCodecLibrary();
}

CVQFFmpegEncoder::~CVQFFmpegEncoder() { CloseEncoder(); }

void CVQFFmpegEncoder::SetVideoFormat(int width, int height, int stride, int pixelFormat) {
    if (m_open) return;
    if (width > 0) m_inputWidth = width;
    if (height > 0) m_inputHeight = height;
    if (pixelFormat == kVQPixBGR32) {
        LogMessage("FIXME: FFmpeg crashes whenever we use BGR32. We should make our own conversion!\n"
                   "We force RGB32 for now.\n");
        pixelFormat = kVQPixRGB32;
    }
    m_bytesPerPixel = VQBytesPerPixel(pixelFormat);
    m_reducible = VQIsReducible(pixelFormat) ? 1 : 0;
    CVQEncoder::SetVideoFormat(width > 0 ? width & ~3 : width, height > 0 ? height & ~3 : height, stride,
                               pixelFormat);
    ApplyReduceFactor();
}

void CVQFFmpegEncoder::SetAudioFormat(int channels, int rate, int bits) {
    if (!m_open) CVQEncoder::SetAudioFormat(channels, rate, bits);
}

void CVQFFmpegEncoder::EnableVideo(int enable) {
    if (!m_open) m_videoEnabled = enable;
}

void CVQFFmpegEncoder::EnableAudio(int enable) {
    if (!m_open) m_audioEnabled = enable;
}

void CVQFFmpegEncoder::SetReduceFactor(int factor) {
    if (m_open || factor < 1) return;
    m_reduceFactor = factor;
    ApplyReduceFactor();
}

void CVQFFmpegEncoder::ApplyReduceFactor() {
    const int factor = m_reducible ? m_reduceFactor : 1;
    m_reducedWidth = (m_width / factor) & ~1;
    m_reducedHeight = m_height / factor;
}

void CVQFFmpegEncoder::SetVideoCodec(int codecId, int bitRate) {
    if (m_open) return;
    m_videoCodec = codecId;
    if (bitRate > 1000) m_videoBitRate = bitRate;
}

void CVQFFmpegEncoder::SetAudioCodec(int codecId, int bitRate) {
    if (m_open) return;
    m_audioCodec = codecId;
    if (bitRate > 1000) m_audioBitRate = bitRate;
    m_rawPCM = VQIsRawPCM(codecId) ? 1 : 0;
}

void CVQFFmpegEncoder::SetOutputName(const char* name) {
    if (m_open) return;
    m_outputName.Set(name);
    m_useMemoryStream = name && *name ? 0 : 1;
}

void CVQFFmpegEncoder::SetInputPicture(const uint8_t* pixels) {
    m_inputPicture = pixels;
    m_videoWritten = 0;
}

void CVQFFmpegEncoder::SetInputAudio(const uint8_t* chunk) {
    m_inputAudio = chunk;
    m_audioWritten = 0;
}

int CVQFFmpegEncoder::GetAudioChunkBytes() const {
    const int bytes = m_bits == 8 ? 1 : 2;
    return static_cast<int>(static_cast<double>(m_sampleRate) * m_channels * bytes / m_frameRate);
}

const uint8_t* CVQFFmpegEncoder::GetCodecData(int* size) const {
    if (!m_videoContext) {
        *size = 0;
        return nullptr;
    }
    *size = m_videoContext->extradata_size;
    return m_videoContext->extradata;
}

int CVQFFmpegEncoder::OpenEncoder() {
    CloseEncoder();
    if (avformat_alloc_output_context2(&m_format, nullptr, "asf", nullptr) < 0 || !m_format) {
        LogMessage("Couldn't allocate the container\n");
        return 0;
    }
    m_codecFrameRate = m_frameRate;
    const AVRational frameTime = av_d2q(1.0 / m_frameRate, 1000000);
    if (m_videoEnabled) {
        const AVCodec* codec = avcodec_find_encoder(static_cast<AVCodecID>(VQCodecToLibrary(m_videoCodec)));
        if (!codec) {
            LogMessage("Couldn't find video codec\n");
            CloseEncoder();
            return 0;
        }
        m_videoStream = avformat_new_stream(m_format, nullptr);
        m_videoContext = avcodec_alloc_context3(codec);
        if (!m_videoStream || !m_videoContext || m_reducedWidth < 2 || m_reducedHeight < 2) {
            LogMessage("Couldn't open video codec\n");
            CloseEncoder();
            return 0;
        }
        m_videoStream->id = 0;
        m_videoContext->codec_type = AVMEDIA_TYPE_VIDEO;
        m_videoContext->bit_rate = m_videoBitRate;
        m_videoContext->width = m_reducedWidth;
        m_videoContext->height = m_reducedHeight;
        m_videoContext->gop_size = 20;
        m_videoContext->time_base = frameTime;
        m_videoContext->max_b_frames = 0;
        m_videoContext->pix_fmt = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
        if (avcodec_open2(m_videoContext, codec, nullptr) < 0 ||
            avcodec_parameters_from_context(m_videoStream->codecpar, m_videoContext) < 0) {
            LogMessage("Couldn't open video codec\n");
            CloseEncoder();
            return 0;
        }
        m_videoStream->time_base = frameTime;
        m_codedFrame = av_frame_alloc();
        if (m_codedFrame) {
            m_codedFrame->format = m_videoContext->pix_fmt;
            m_codedFrame->width = m_reducedWidth;
            m_codedFrame->height = m_reducedHeight;
        }
        if (!m_codedFrame || av_frame_get_buffer(m_codedFrame, 0) < 0) {
            LogMessage("Couldn't open video codec\n");
            CloseEncoder();
            return 0;
        }
    }
    if (m_audioEnabled) {
        const AVCodec* codec = avcodec_find_encoder(static_cast<AVCodecID>(VQCodecToLibrary(m_audioCodec)));
        m_audioStream = codec ? avformat_new_stream(m_format, nullptr) : nullptr;
        m_audioContext = m_audioStream ? avcodec_alloc_context3(codec) : nullptr;
        if (!m_audioContext) {
            LogMessage("Couldn't open audio codec\n");
            CloseEncoder();
            return 0;
        }
        m_audioStream->id = 1;
        m_audioContext->codec_type = AVMEDIA_TYPE_AUDIO;
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
        m_audioContext->time_base = m_rawPCM ? frameTime : AVRational{1, m_sampleRate};
        if (avcodec_open2(m_audioContext, codec, nullptr) < 0 ||
            avcodec_parameters_from_context(m_audioStream->codecpar, m_audioContext) < 0) {
            LogMessage("Couldn't open audio codec\n");
            CloseEncoder();
            return 0;
        }
        m_audioStream->time_base = m_audioContext->time_base;
    }
    m_videoPacket = av_packet_alloc();
    m_audioPacket = av_packet_alloc();
    if (!m_videoPacket || !m_audioPacket) {
        CloseEncoder();
        return 0;
    }
    int opened;
    if (m_useMemoryStream) {
        m_format->pb = m_memoryStream.CreateIOContext();
        m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
        opened = m_format->pb != nullptr;
    } else {
        opened = avio_open(&m_format->pb, m_outputName.Str(), AVIO_FLAG_WRITE) >= 0;
    }
    if (!opened) {
        LogMessage("Could not open memstream\n");
        CloseEncoder();
        return 0;
    }
    m_open = 1;
    if (!m_headerWritten) {
        if (avformat_write_header(m_format, nullptr) < 0) {
            LogMessage("Couldn't write the container header\n");
            CloseEncoder();
            return 0;
        }
        m_headerWritten = 1;
    }
    return 1;
}

void CVQFFmpegEncoder::FinishEncoder() {
    if (!m_open || !m_headerWritten || m_trailerWritten) return;
    av_write_trailer(m_format);
    if (m_useMemoryStream)
        CVQFFmpegLibrary::CloseIOContext(&m_format->pb);
    else
        avio_closep(&m_format->pb);
    m_trailerWritten = 1;
}

void CVQFFmpegEncoder::CloseEncoder() {
    if (m_open) FinishEncoder();
    if (m_format && m_format->pb) {
        if (m_useMemoryStream)
            CVQFFmpegLibrary::CloseIOContext(&m_format->pb);
        else
            avio_closep(&m_format->pb);
    }
    m_pictures.Free();
    m_sound.Free();
    av_frame_free(&m_codedFrame);
    av_packet_free(&m_videoPacket);
    av_packet_free(&m_audioPacket);
    av_freep(&m_pcmBuffer);
    m_pcmBufferSize = 0;
    av_freep(&m_taken);
    m_takenSize = 0;
    m_memoryStream.Clear();
    avcodec_free_context(&m_videoContext);
    avcodec_free_context(&m_audioContext);
    avformat_free_context(m_format);  // frees the streams too
    m_format = nullptr;
    m_videoStream = nullptr;
    m_audioStream = nullptr;
    m_inputPicture = nullptr;
    m_inputAudio = nullptr;
    m_open = m_headerWritten = m_trailerWritten = 0;
    m_videoFrames = m_audioFrames = 0;
    m_videoWritten = m_audioWritten = 0;
}

void CVQFFmpegEncoder::TakeOutput(const uint8_t** data, int* size) {
    av_freep(&m_taken);
    m_memoryStream.Take(&m_taken, &m_takenSize);
    *data = m_taken;
    *size = m_takenSize;
}

void CVQFFmpegEncoder::DiscardOutput() { m_memoryStream.Clear(); }

int CVQFFmpegEncoder::EncodeVideoPacket(AVPacket* packet) {
    if (!m_open || !m_videoContext || !m_inputPicture) return 0;
    const int stride = m_stride ? m_stride : m_inputWidth * m_bytesPerPixel;
    if (av_frame_make_writable(m_codedFrame) < 0 ||
        !m_pictures.Convert(m_inputPicture, stride, m_pixelFormat, m_reducible ? m_reduceFactor : 1, m_reducedWidth,
                            m_reducedHeight, m_codedFrame)) {
        LogMessage("CVQFFmpegEncoder::EncodeVideoPacket(): Couldn't convert picture\r\n");
        return 0;
    }
    m_codedFrame->pts = m_videoFrames;
    int result = VQEncodeFrame(m_videoContext, m_codedFrame, m_videoPacket);
    if (result < 0 && result != AVERROR(EAGAIN)) {
        LogMessage("CVQFFmpegEncoder::EncodeVideoPacket(): Couldn't encode picture\r\n");
        return 0;
    }
    const int64_t time = m_videoStream ? av_rescale_q(m_videoFrames, m_videoContext->time_base, m_videoStream->time_base)
                                       : AV_NOPTS_VALUE;
    VQViewPacket(packet, m_videoPacket->data, m_videoPacket->size, m_videoPacket->flags & AV_PKT_FLAG_KEY, time,
                 m_videoStream ? m_videoStream->index : 0);
    return 1;
}

int CVQFFmpegEncoder::EncodeAudioPacket(AVPacket* packet) {
    if (!m_open || !m_audioContext || !m_inputAudio) return 0;
    const int index = m_audioStream ? m_audioStream->index : 1;
    if (m_rawPCM) {
        const int bytes = GetAudioChunkBytes();
        if (bytes > m_pcmBufferSize) {
            av_freep(&m_pcmBuffer);
            m_pcmBufferSize = 0;
            m_pcmBuffer = static_cast<uint8_t*>(av_malloc(static_cast<size_t>(bytes)));
            if (!m_pcmBuffer) return 0;
            m_pcmBufferSize = bytes;
        }
        memcpy(m_pcmBuffer, m_inputAudio, static_cast<size_t>(bytes));
        const int64_t time = av_rescale_q(m_audioFrames, m_audioContext->time_base, m_audioStream->time_base);
        VQViewPacket(packet, m_pcmBuffer, bytes, 1, time, index);
    } else {
        AVFrame* frame = m_sound.Convert(m_audioContext, m_inputAudio, m_bits);
        if (!frame) return 0;
        const int64_t samples = CVQAudioConverter::FrameSamples(m_audioContext);
        frame->pts = m_audioFrames * samples;
        int result = VQEncodeFrame(m_audioContext, frame, m_audioPacket);
        if (result < 0 && result != AVERROR(EAGAIN)) {
            LogMessage("CVQFFmpegEncoder::EncodeAudioPacket(): Couldn't encode sound\r\n");
            return 0;
        }
        const int64_t time =
            av_rescale_q(m_audioFrames * samples, AVRational{1, m_sampleRate}, m_audioStream->time_base);
        VQViewPacket(packet, m_audioPacket->data, m_audioPacket->size, 1, time, index);
    }
    LogMessage("Audio encode: %i\n", static_cast<int>(packet->pts));
    return 1;
}

int CVQFFmpegEncoder::WritePacket(AVPacket* packet) {
    if (packet->size <= 0) return 0;  // the codec holds this input back; nothing to mux yet
    // Interleaved: the ASF muxer aborts the process when the times of
    // consecutive packets go back across streams, which they do whenever
    // sound was queued before the first picture.
    return av_interleaved_write_frame(m_format, packet);
}

int CVQFFmpegEncoder::WriteFrame() {
    if (!m_open || m_trailerWritten) return 0;
    AVPacket* packet = av_packet_alloc();
    if (!packet) return 0;
    int result = 1;
    if (m_videoEnabled && m_inputPicture && m_videoContext) {
        if (!(m_onePacketPerInput && m_videoWritten)) {
            if (!EncodeVideoPacket(packet)) result = 0;
            m_videoWritten = 1;
            if (result && WritePacket(packet) < 0) result = 0;
        }
        if (result) m_videoFrames++;
    }
    if (result && m_audioEnabled && m_inputAudio && m_audioContext) {
        if (!(m_onePacketPerInput && m_audioWritten)) {
            if (!EncodeAudioPacket(packet)) result = 0;
            m_audioWritten = 1;
            if (result && WritePacket(packet) < 0) result = 0;
        }
        if (result) m_audioFrames++;
    }
    av_packet_free(&packet);
    return result;
}
