#include "CVQFFmpegEncoder.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
}

#include "VKLog.h"
#include "VQCodecPacket.h"

CVQFFmpegEncoder::CVQFFmpegEncoder()
    : m_open(0),
      m_headerWritten(0),
      m_trailerWritten(0),
      m_useMemoryStream(1),
      m_inputWidth(800),
      m_inputHeight(600),
      m_format(nullptr),
      m_videoStream(nullptr),
      m_audioStream(nullptr),
      m_inputPicture(nullptr),
      m_inputAudio(nullptr),
      m_videoFrames(0),
      m_audioFrames(0),
      m_videoWritten(0),
      m_audioWritten(0),
      m_taken(nullptr),
      m_takenSize(0),
      m_reduceFactor(1),
      m_reducedWidth(800),
      m_reducedHeight(600),
      m_bytesPerPixel(1),
      m_reducible(0),
      m_onePacketPerInput(0),
      m_codecFrameRate(20.0) {
    InitCodecLibrary();
}

CVQFFmpegEncoder::~CVQFFmpegEncoder() { CloseEncoder(); }

void CVQFFmpegEncoder::SetVideoFormat(int width, int height, int stride, int pixelFormat) {
    if (m_open) return;
    if (width > 0) m_inputWidth = width;
    if (height > 0) m_inputHeight = height;
    pixelFormat = CVQEncoderCore::InputPixelFormat(pixelFormat);
    m_bytesPerPixel = VQBytesPerPixel(pixelFormat);
    m_reducible = VQIsReducible(pixelFormat) ? 1 : 0;
    CVQEncoder::SetVideoFormat(width, height, stride, pixelFormat);
    // 1 to 3 pixels align to nothing: the size becomes 0 (the open refuses it)
    // rather than keeping an earlier, larger size the pictures do not have.
    if (width > 0) m_width = width & ~3;
    if (height > 0) m_height = height & ~3;
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
    if (!m_open) m_core.SetVideoCodec(codecId, bitRate);
}

void CVQFFmpegEncoder::SetAudioCodec(int codecId, int bitRate) {
    if (!m_open) m_core.SetAudioCodec(codecId, bitRate);
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
    return CVQEncoderCore::RawChunkBytes(m_sampleRate, m_channels, m_bits, m_frameRate);
}

const uint8_t* CVQFFmpegEncoder::GetCodecData(int* size) const {
    const AVCodecContext* video = m_core.GetVideoContext();
    if (!video) {
        *size = 0;
        return nullptr;
    }
    *size = video->extradata_size;
    return video->extradata;
}

int CVQFFmpegEncoder::OpenEncoder() {
    CloseEncoder();
    if (!InitCodecLibrary()) return 0;
    if (avformat_alloc_output_context2(&m_format, nullptr, "asf", nullptr) < 0 || !m_format) {
        LogMessage("Couldn't allocate the container\n");
        return 0;
    }
    m_codecFrameRate = m_frameRate;
    const AVRational frameTime = CVQEncoderCore::FrameTime(m_frameRate);
    if (m_videoEnabled) {
        if (m_reducedWidth < 2 || m_reducedHeight < 2) {
            LogMessage("Couldn't open video codec\n");
            CloseEncoder();
            return 0;
        }
        m_videoStream = avformat_new_stream(m_format, nullptr);
        if (!m_videoStream || !m_core.OpenVideo(m_reducedWidth, m_reducedHeight, m_frameRate) ||
            avcodec_parameters_from_context(m_videoStream->codecpar, m_core.GetVideoContext()) < 0) {
            if (!m_videoStream) LogMessage("Couldn't open video codec\n");
            CloseEncoder();
            return 0;
        }
        m_videoStream->id = 0;
        m_videoStream->time_base = frameTime;
    }
    if (m_audioEnabled) {
        // Raw PCM goes in chunks of one frame time; coded sound is timed in samples.
        const AVRational timeBase = m_core.IsRawPCM() ? frameTime : AVRational{1, m_sampleRate};
        m_audioStream = avformat_new_stream(m_format, nullptr);
        if (!m_audioStream || !m_core.OpenAudio(m_channels, m_sampleRate, m_bits, timeBase.num, timeBase.den) ||
            avcodec_parameters_from_context(m_audioStream->codecpar, m_core.GetAudioContext()) < 0) {
            if (!m_audioStream) LogMessage("Couldn't open audio codec\n");
            CloseEncoder();
            return 0;
        }
        m_audioStream->id = 1;
        m_audioStream->time_base = timeBase;
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
    m_core.Close();
    av_freep(&m_taken);
    m_takenSize = 0;
    m_memoryStream.Clear();
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
    const AVCodecContext* video = m_core.GetVideoContext();
    if (!m_open || !video || !m_inputPicture) return 0;
    const int stride = m_stride ? m_stride : m_inputWidth * m_bytesPerPixel;
    const int64_t time =
        m_videoStream ? av_rescale_q(m_videoFrames, video->time_base, m_videoStream->time_base) : AV_NOPTS_VALUE;
    if (!m_core.EncodeVideo(m_inputPicture, stride, m_pixelFormat, m_reducible ? m_reduceFactor : 1, m_videoFrames,
                            time, m_videoStream ? m_videoStream->index : 0, packet)) {
        LogMessage("CVQFFmpegEncoder::EncodeVideoPacket(): Couldn't encode picture\r\n");
        return 0;
    }
    return 1;
}

int CVQFFmpegEncoder::EncodeAudioPacket(AVPacket* packet) {
    const AVCodecContext* audio = m_core.GetAudioContext();
    if (!m_open || !audio || !m_inputAudio || !m_audioStream) return 0;
    int64_t pts = m_audioFrames;
    int64_t time = av_rescale_q(m_audioFrames, audio->time_base, m_audioStream->time_base);
    if (!m_core.IsRawPCM()) {
        pts = m_audioFrames * CVQAudioConverter::FrameSamples(audio);
        time = av_rescale_q(pts, AVRational{1, m_sampleRate}, m_audioStream->time_base);
    }
    if (!m_core.EncodeAudio(m_inputAudio, m_bits, GetAudioChunkBytes(), pts, time, m_audioStream->index, packet)) {
        LogMessage("CVQFFmpegEncoder::EncodeAudioPacket(): Couldn't encode sound\r\n");
        return 0;
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
    if (m_videoEnabled && m_inputPicture && m_core.GetVideoContext()) {
        if (!(m_onePacketPerInput && m_videoWritten)) {
            if (!EncodeVideoPacket(packet)) result = 0;
            m_videoWritten = 1;
            if (result && WritePacket(packet) < 0) result = 0;
        }
        if (result) m_videoFrames++;
    }
    if (result && m_audioEnabled && m_inputAudio && m_core.GetAudioContext()) {
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
