#include "CVQFFmpegDecoder.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
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
      m_frame(nullptr),
      m_picture(nullptr),
      m_pictureSize(0),
      m_libraryFormat(-1),
      m_sws(nullptr),
      m_swr(nullptr),
      m_audioBuffer(nullptr),
      m_audioBytes(0),
      m_videoPts(AV_NOPTS_VALUE),
      m_audioPts(AV_NOPTS_VALUE),
      m_pictureReady(0),
      m_audioReady(0),
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
            m_audioBuffer = static_cast<uint8_t*>(av_malloc(kAudioBufferSize));
            if (!m_audioBuffer) {
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
            m_frame = av_frame_alloc();
            m_pictureSize = m_libraryFormat < 0 ? -1
                                                : av_image_get_buffer_size(static_cast<AVPixelFormat>(m_libraryFormat),
                                                                           m_width, m_height, 1);
            m_picture =
                m_pictureSize > 0 ? static_cast<uint8_t*>(av_mallocz(static_cast<size_t>(m_pictureSize))) : nullptr;
            if (!m_frame || !m_picture) {
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
    av_freep(&m_picture);
    av_freep(&m_audioBuffer);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_video);
    avcodec_free_context(&m_audio);
    av_packet_free(&m_packet);
    sws_freeContext(m_sws);
    m_sws = nullptr;
    swr_free(&m_swr);
    m_open = m_started = 0;
    m_videoIndex = m_audioIndex = -1;
    m_pictureSize = m_audioBytes = 0;
    m_libraryFormat = -1;
    m_pictureReady = m_audioReady = m_packetHeld = m_atEnd = 0;
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

int CVQFFmpegDecoder::ConvertPicture() {
    // The frame's own size, which may differ from the size at Open after a
    // change mid-stream: the output keeps its size.
    m_sws = sws_getCachedContext(m_sws, m_frame->width, m_frame->height, static_cast<AVPixelFormat>(m_frame->format),
                                 m_width, m_height, static_cast<AVPixelFormat>(m_libraryFormat), SWS_BILINEAR, nullptr,
                                 nullptr, nullptr);
    uint8_t* planes[4];
    int strides[4];
    if (!m_sws || av_image_fill_arrays(planes, strides, m_picture, static_cast<AVPixelFormat>(m_libraryFormat), m_width,
                                       m_height, 1) < 0)
        return 0;
    return sws_scale(m_sws, m_frame->data, m_frame->linesize, 0, m_frame->height, planes, strides) == m_height;
}

int CVQFFmpegDecoder::DecodeVideoPacket() {
    if (m_packet->pts != AV_NOPTS_VALUE)
        m_videoPts = m_packet->pts;
    else if (m_packet->dts != AV_NOPTS_VALUE)
        m_videoPts = m_packet->dts;
    if (avcodec_send_packet(m_video, m_packet) < 0) {
        LogMessage("Couldn't decode video frame\n");
        return 0;
    }
    int result = 1;
    for (;;) {
        const int r = avcodec_receive_frame(m_video, m_frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) break;
        if (r < 0) {
            LogMessage("Couldn't decode video frame\n");
            return 0;
        }
        if (m_frame->width < 1 || m_frame->height < 1 || !ConvertPicture()) {
            LogMessage("Couldn't convert video frame\n");
            result = 0;
        } else {
            m_pictureReady = 1;
        }
        av_frame_unref(m_frame);
    }
    return result;
}

int CVQFFmpegDecoder::DecodeAudioPacket() {
    if (m_packet->pts != AV_NOPTS_VALUE) m_audioPts = m_packet->pts;
    if (avcodec_send_packet(m_audio, m_packet) < 0) {
        LogMessage("Couldn't decode audio frame\n");
        return 0;
    }
    AVFrame* frame = av_frame_alloc();
    if (!frame) return 0;
    m_audioBytes = 0;
    const int frameBytes = m_channels * m_bitsPerSample / 8;
    int result = 1;
    for (;;) {
        const int r = avcodec_receive_frame(m_audio, frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) break;
        if (r < 0) {
            LogMessage("Couldn't decode audio frame\n");
            result = 0;
            break;
        }
        if (!m_swr) {
            AVChannelLayout out;
            av_channel_layout_default(&out, m_channels);
            const int made =
                swr_alloc_set_opts2(&m_swr, &out, m_bitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16,
                                    m_samplesPerSecond, &frame->ch_layout, static_cast<AVSampleFormat>(frame->format),
                                    frame->sample_rate, 0, nullptr) >= 0 &&
                swr_init(m_swr) >= 0;
            av_channel_layout_uninit(&out);
            if (!made) {
                swr_free(&m_swr);
                LogMessage("Couldn't decode audio frame\n");
                result = 0;
                break;
            }
        }
        // Never more than the buffer holds: the rest of a huge packet is dropped.
        const int room = (kAudioBufferSize - m_audioBytes) / frameBytes;
        uint8_t* out[1] = {m_audioBuffer + m_audioBytes};
        const int got = room > 0 ? swr_convert(m_swr, out, room, const_cast<const uint8_t**>(frame->extended_data),
                                               frame->nb_samples)
                                 : 0;
        if (got > 0) m_audioBytes += got * frameBytes;
        av_frame_unref(frame);
    }
    av_frame_free(&frame);
    if (m_audioBytes > 0) m_audioReady = 1;
    return result;
}

int CVQFFmpegDecoder::GetPicture(const uint8_t** data, int* size) {
    if (!m_open || !m_picture) {
        *data = nullptr;
        *size = 0;
        return 0;
    }
    *data = m_picture;
    *size = m_pictureSize;
    const int ready = m_pictureReady;
    m_pictureReady = 0;
    return ready;
}

int CVQFFmpegDecoder::GetAudio(const uint8_t** data, int* size) {
    if (!m_open || !m_audioBuffer) {
        *data = nullptr;
        *size = 0;
        return 0;
    }
    *data = m_audioBuffer;
    *size = m_audioBytes;
    const int ready = m_audioReady;
    m_audioReady = 0;
    return ready;
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
