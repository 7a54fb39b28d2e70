#include "CVQFFmpegDecoder.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
}

#include "CVQEncoderCore.h"
#include "VKLog.h"
#include "VQCodecIds.h"

namespace {
const int kIOBufferSize = 32768;

AVCodecContext* OpenStreamDecoder(const AVStream* stream) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    AVCodecContext* context = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!context) return nullptr;
    context->thread_count = 1;
    if (avcodec_parameters_to_context(context, stream->codecpar) < 0 || avcodec_open2(context, codec, nullptr) < 0)
        avcodec_free_context(&context);
    return context;
}
}  // namespace

CVQFFmpegDecoder::CVQFFmpegDecoder()
    : m_open(0),
      m_started(0),
      m_memoryMode(1),
      m_audioBitRate(96000),
      m_audioCodecId(0),
      m_videoBitRate(400000),
      m_videoCodecId(0),
      m_format(nullptr),
      m_io(nullptr),
      m_readPosition(0),
      m_videoIndex(-1),
      m_audioIndex(-1),
      m_video(nullptr),
      m_audio(nullptr),
      m_libraryFormat(-1),
      m_pictureWidth(0),
      m_pictureHeight(0),
      m_videoPts(AV_NOPTS_VALUE),
      m_audioPts(AV_NOPTS_VALUE),
      m_packet(nullptr),
      m_packetHeld(0),
      m_atEnd(0),
      m_pacing(0) {}

CVQFFmpegDecoder::~CVQFFmpegDecoder() { Close(); }

void CVQFFmpegDecoder::SetFileName(const char* name) {
    if (m_open) return;
    m_fileName.Set(name && *name ? name : "");
    m_memoryMode = name && *name ? 0 : 1;
}

void CVQFFmpegDecoder::SetOutputPixelFormat(int format) {
    if (m_open) return;
    m_pixelFormat = CVQEncoderCore::InputPixelFormat(format);
}

int CVQFFmpegDecoder::SetPictureSize(int width, int height) {
    const int kMaxSide = 16384;
    m_pictureWidth = width < 1 ? 0 : width > kMaxSide ? kMaxSide : width;
    m_pictureHeight = height < 1 ? 0 : height > kMaxSide ? kMaxSide : height;
    if (!m_open || !m_video) return 1;
    return m_output.SetPictureFormat(m_libraryFormat, m_pictureWidth ? m_pictureWidth : m_width,
                                     m_pictureHeight ? m_pictureHeight : m_height);
}

int CVQFFmpegDecoder::ReadMemory(void* opaque, uint8_t* buffer, int size) {
    CVQFFmpegDecoder* self = static_cast<CVQFFmpegDecoder*>(opaque);
    const int64_t left = self->m_stream.GetSize() - self->m_readPosition;
    if (left <= 0 || !self->m_stream.Data()) return AVERROR_EOF;
    const int n = left < size ? static_cast<int>(left) : size;
    memcpy(buffer, self->m_stream.Data() + self->m_readPosition, static_cast<size_t>(n));
    self->m_readPosition += n;
    return n;
}

int64_t CVQFFmpegDecoder::SeekMemory(void* opaque, int64_t offset, int whence) {
    CVQFFmpegDecoder* self = static_cast<CVQFFmpegDecoder*>(opaque);
    const int64_t size = self->m_stream.GetSize();
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return size;
    const int64_t base = whence == SEEK_CUR ? self->m_readPosition : whence == SEEK_END ? size : 0;
    const int64_t to = base + offset;
    if (to < 0 || to > size) return AVERROR(EINVAL);
    self->m_readPosition = to;
    return to;
}

int CVQFFmpegDecoder::Open() {
    Close();
    if (!InitCodecLibrary()) return 0;
    const AVInputFormat* asf = av_find_input_format("asf");
    m_format = avformat_alloc_context();
    if (!asf || !m_format) {
        Close();
        return 0;
    }
    char url[64];
    if (m_memoryMode) {
        uint8_t* buffer = static_cast<uint8_t*>(av_malloc(kIOBufferSize));
        m_io = buffer ? avio_alloc_context(buffer, kIOBufferSize, 0, this, ReadMemory, nullptr, SeekMemory) : nullptr;
        if (!m_io) {
            av_free(buffer);
            Close();
            return 0;
        }
        m_readPosition = 0;
        m_format->pb = m_io;
        m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
        snprintf(url, sizeof url, "memstream:%" PRIuPTR, reinterpret_cast<uintptr_t>(&m_stream));
    }
    // A failed open frees the context itself.
    if (avformat_open_input(&m_format, m_memoryMode ? url : m_fileName.Str(), asf, nullptr) < 0) {
        m_format = nullptr;
        Close();
        return 0;
    }
    if (avformat_find_stream_info(m_format, nullptr) < 0) {
        Close();
        return 0;
    }
    for (unsigned i = 0; i < m_format->nb_streams; i++) {
        AVStream* stream = m_format->streams[i];
        const AVCodecParameters* p = stream->codecpar;
        if (p->codec_type == AVMEDIA_TYPE_AUDIO && !m_audioDisabled && m_audioIndex < 0) {
            if (p->ch_layout.nb_channels < 1 || p->ch_layout.nb_channels > 8 || p->sample_rate < 1 ||
                !(m_audio = OpenStreamDecoder(stream))) {
                Close();
                return 0;
            }
            m_audioIndex = static_cast<int>(i);
            SetChannels(p->ch_layout.nb_channels);
            SetSamplesPerSecond(p->sample_rate);
            m_audioCodecId = p->codec_id;
            if (p->bit_rate > 0) m_audioBitRate = static_cast<int>(p->bit_rate);
            if (!m_output.SetSoundFormat(m_channels, m_samplesPerSecond, m_bitsPerSample)) {
                Close();
                return 0;
            }
        } else if (p->codec_type == AVMEDIA_TYPE_VIDEO && m_videoIndex < 0) {
            if (p->width < 1 || p->height < 1 || p->width > 16384 || p->height > 16384 ||
                !(m_video = OpenStreamDecoder(stream))) {
                Close();
                return 0;
            }
            m_videoIndex = static_cast<int>(i);
            SetWidth(p->width);
            SetHeight(p->height);
            if (m_pixelFormat < 0) m_pixelFormat = VQPixelFormatFromLibrary(p->format);
            m_libraryFormat = m_pixelFormat >= 0 ? VQPixelFormatToLibrary(m_pixelFormat) : p->format;
            if (!m_output.SetPictureFormat(m_libraryFormat, m_pictureWidth ? m_pictureWidth : m_width,
                                           m_pictureHeight ? m_pictureHeight : m_height)) {
                Close();
                return 0;
            }
            // A rate of n/0 (or 0/n) is no rate: the default stays.
            AVRational rate = stream->avg_frame_rate;
            if (rate.num <= 0 || rate.den <= 0) rate = stream->r_frame_rate;
            if (rate.num > 0 && rate.den > 0) SetFrameRate(static_cast<double>(rate.num) / rate.den);
            m_videoCodecId = p->codec_id;
            if (p->bit_rate > 0) m_videoBitRate = static_cast<int>(p->bit_rate);
        }
    }
    m_packet = av_packet_alloc();
    if (!m_packet || (m_videoIndex < 0 && m_audioIndex < 0)) {
        Close();
        return 0;
    }
    m_open = 1;
    return 1;
}

void CVQFFmpegDecoder::Close() {
    if (m_format) avformat_close_input(&m_format);
    m_format = nullptr;
    if (m_io) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
    m_output.Free();
    avcodec_free_context(&m_video);
    avcodec_free_context(&m_audio);
    av_packet_free(&m_packet);
    m_open = m_started = 0;
    m_videoIndex = m_audioIndex = -1;
    m_libraryFormat = -1;
    m_packetHeld = m_atEnd = 0;
    m_videoPts = m_audioPts = AV_NOPTS_VALUE;
    m_readPosition = 0;
}

int CVQFFmpegDecoder::Process() {
    if (!m_open) return 0;
    if (m_memoryMode && m_stream.GetSize() == 0) return 0;
    m_started = 1;
    const int rounds = (m_videoIndex >= 0) + (m_audioIndex >= 0);
    int videoDone = 0, audioDone = 0;
    for (int round = 0; round < rounds; round++) {
        if (!m_packetHeld) {
            av_packet_unref(m_packet);
            if (av_read_frame(m_format, m_packet) < 0) {
                m_atEnd = 1;
                return 0;
            }
        }
        m_packetHeld = 0;
        const int index = m_packet->stream_index;
        if (index == m_videoIndex) {
            if (videoDone) {
                m_packetHeld = 1;  // the next call decodes it
                return 1;
            }
            DecodeVideoPacket();
            videoDone = 1;
        } else if (index == m_audioIndex) {
            if (audioDone) {
                m_packetHeld = 1;
                return 1;
            }
            DecodeAudioPacket();
            audioDone = 1;
        }
    }
    return 1;
}

int CVQFFmpegDecoder::DecodeVideoPacket() {
    if (m_packet->pts != AV_NOPTS_VALUE)
        m_videoPts = m_packet->pts;
    else if (m_packet->dts != AV_NOPTS_VALUE)
        m_videoPts = m_packet->dts;
    return m_output.DecodeVideo(m_video, m_packet);
}

int CVQFFmpegDecoder::DecodeAudioPacket() {
    if (m_packet->pts != AV_NOPTS_VALUE) m_audioPts = m_packet->pts;
    return m_output.DecodeAudio(m_audio, m_packet);
}

int CVQFFmpegDecoder::GetPicture(const uint8_t** data, int* size) {
    if (!m_open || !m_output.Picture()) {
        *data = nullptr;
        *size = 0;
        return 0;
    }
    *data = m_output.Picture();
    *size = m_output.PictureSize();
    return m_output.TakePicture();
}

int CVQFFmpegDecoder::GetAudio(const uint8_t** data, int* size) {
    if (!m_open || !m_output.Sound()) {
        *data = nullptr;
        *size = 0;
        return 0;
    }
    *data = m_output.Sound();
    *size = m_output.SoundBytes();
    return m_output.TakeSound();
}

int64_t CVQFFmpegDecoder::GetVideoTime() {
    if (m_videoIndex < 0 || m_videoPts == AV_NOPTS_VALUE) return 0;
    return av_rescale_q(m_videoPts, m_format->streams[m_videoIndex]->time_base, AVRational{1, 1000});
}

int64_t CVQFFmpegDecoder::GetAudioTime() {
    if (m_audioIndex < 0 || m_audioPts == AV_NOPTS_VALUE) return 0;
    return av_rescale_q(m_audioPts, m_format->streams[m_audioIndex]->time_base, AVRational{1, 1000});
}

int CVQFFmpegDecoder::SeekTo(int64_t milliseconds) {
    if (!m_open) return 0;
    const int index = m_videoIndex >= 0 ? m_videoIndex : m_audioIndex;
    const int64_t target = av_rescale_q(milliseconds, AVRational{1, 1000}, m_format->streams[index]->time_base);
    if (av_seek_frame(m_format, index, target, AVSEEK_FLAG_BACKWARD) < 0) return 0;
    if (m_video) avcodec_flush_buffers(m_video);
    if (m_audio) avcodec_flush_buffers(m_audio);
    av_packet_unref(m_packet);
    m_packetHeld = 0;
    m_atEnd = 0;
    return 1;
}

int64_t CVQFFmpegDecoder::GetDuration() {
    // A length guessed from the bit rate is no known duration.
    if (!m_open || m_format->duration == AV_NOPTS_VALUE || m_format->duration <= 0 ||
        m_format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE)
        return -1;
    return m_format->duration / 1000;
}

int CVQFFmpegDecoder::IsAtEnd() { return m_open && m_started ? m_atEnd : 0; }
