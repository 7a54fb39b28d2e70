#include "CNcAviToWmv.h"

#include <chrono>
#include <cstdio>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "CVQFFmpegLibrary.h"

namespace {
uint32_t SteadyMilliseconds() {
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

AVCodecContext* OpenDecoder(const AVStream* stream) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    AVCodecContext* c = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (c && (avcodec_parameters_to_context(c, stream->codecpar) < 0 || avcodec_open2(c, codec, nullptr) < 0))
        avcodec_free_context(&c);
    return c;
}
}  // namespace

CNcAviToWmv::CNcAviToWmv()
    : m_clock(SteadyMilliseconds),
      m_format(nullptr),
      m_video(nullptr),
      m_audio(nullptr),
      m_videoIndex(-1),
      m_audioIndex(-1),
      m_packet(nullptr),
      m_frame(nullptr),
      m_sws(nullptr),
      m_swr(nullptr),
      m_width(0),
      m_height(0),
      m_fileSize(0),
      m_open(0),
      m_failed(0) {}

CNcAviToWmv::~CNcAviToWmv() { Close(); }

int CNcAviToWmv::Start(const char* aviPath, const char* wmvPath, int profile) {
    Close();
    if (!InitCodecLibrary() || avformat_open_input(&m_format, aviPath, av_find_input_format("avi"), nullptr) < 0) {
        m_format = nullptr;
        printf("Could not encode AVI to Windows Media (init)\r\n");
        return 0;
    }
    if (avformat_find_stream_info(m_format, nullptr) < 0) {
        printf("Could not encode AVI to Windows Media (init)\r\n");
        Close();
        return 0;
    }
    m_videoIndex = av_find_best_stream(m_format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    m_audioIndex = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (m_videoIndex < 0 || !(m_video = OpenDecoder(m_format->streams[m_videoIndex])) || m_video->width < 2 ||
        m_video->height < 2 || m_video->width > 16384 || m_video->height > 16384) {
        printf("Could not encode AVI to Windows Media (init)\r\n");
        Close();
        return 0;
    }
    if (m_audioIndex >= 0) m_audio = OpenDecoder(m_format->streams[m_audioIndex]);
    if (!m_audio) m_audioIndex = -1;
    if (!m_writer.LoadProfile(profile)) {
        printf("Could not load Windows Media profile\r\n");
        Close();
        return 0;
    }
    m_width = m_video->width;
    m_height = m_video->height;
    const int channels = m_audio ? (m_audio->ch_layout.nb_channels == 1 ? 1 : 2) : 0;
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (!m_packet || !m_frame || !m_writer.Open(wmvPath) ||
        (m_audio && !m_writer.InitAudio(channels, m_audio->sample_rate, 16, 0)) ||
        !m_writer.InitVideo(m_width, m_height, 333333) || !m_writer.BeginWriting()) {
        printf("Could not encode AVI to Windows Media (start)\r\n");
        Close();
        return 0;
    }
    m_picture.assign(static_cast<size_t>(m_width) * m_height * 4, 0);
    m_fileSize = m_format->pb ? avio_size(m_format->pb) : 0;
    m_open = 1;
    m_failed = 0;
    return 1;
}

int CNcAviToWmv::WritePicture(AVFrame* frame) {
    m_sws = sws_getCachedContext(m_sws, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), m_width,
                                 m_height, AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
    uint8_t* planes[4] = {m_picture.data(), nullptr, nullptr, nullptr};
    int strides[4] = {m_width * 4, 0, 0, 0};
    if (!m_sws || sws_scale(m_sws, frame->data, frame->linesize, 0, frame->height, planes, strides) != m_height)
        return 1;  // a picture that does not convert is left out
    const AVStream* s = m_format->streams[m_videoIndex];
    const int64_t pts = frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : 0;
    return m_writer.WriteVideoSample(m_picture.data(), av_rescale_q(pts, s->time_base, AVRational{1, 10000000}));
}

int CNcAviToWmv::WriteSound(AVFrame* frame) {
    const int channels = m_audio->ch_layout.nb_channels == 1 ? 1 : 2;
    if (!m_swr) {
        AVChannelLayout out;
        av_channel_layout_default(&out, channels);
        const int ok =
            swr_alloc_set_opts2(&m_swr, &out, AV_SAMPLE_FMT_S16, m_audio->sample_rate, &frame->ch_layout,
                                static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr) >= 0 &&
            swr_init(m_swr) >= 0;
        av_channel_layout_uninit(&out);
        if (!ok) return 1;  // sound that cannot be converted is left out
    }
    const int room = swr_get_out_samples(m_swr, frame->nb_samples);
    if (room <= 0) return 1;
    m_sound.resize(static_cast<size_t>(room) * channels * 2);
    uint8_t* out[1] = {m_sound.data()};
    const int got = swr_convert(m_swr, out, room, const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    if (got <= 0) return 1;
    return m_writer.WriteAudioSample(m_sound.data(), static_cast<uint32_t>(got * channels * 2));
}

int CNcAviToWmv::OnePacket() {
    if (av_read_frame(m_format, m_packet) < 0) return kDone;
    AVCodecContext* codec = m_packet->stream_index == m_videoIndex   ? m_video
                            : m_packet->stream_index == m_audioIndex ? m_audio
                                                                     : nullptr;
    int result = kMore;
    if (codec && avcodec_send_packet(codec, m_packet) >= 0) {
        while (result == kMore && avcodec_receive_frame(codec, m_frame) >= 0) {
            if (!(codec == m_video ? WritePicture(m_frame) : WriteSound(m_frame))) {
                printf("WriteSample failed: Error (hr=0x%08x)\n", 0x80004005u);
                result = kFailed;
            }
            av_frame_unref(m_frame);
        }
    }
    av_packet_unref(m_packet);
    return result;
}

int CNcAviToWmv::Step(uint32_t budgetMs) {
    if (!m_open) return kDone;
    if (m_failed) return kFailed;
    const uint32_t start = m_clock();
    do {
        const int r = OnePacket();
        if (r == kFailed) m_failed = 1;
        if (r != kMore) return r;
    } while (m_clock() - start < budgetMs);
    return kMore;
}

int CNcAviToWmv::Finish() {
    if (!m_open) return 0;
    const int complete = m_writer.Close() && !m_failed;
    if (!complete) printf("EndWriting failed: Error (hr=0x%08x)\n", 0x80004005u);
    Close();
    return complete;
}

void CNcAviToWmv::Close() {
    m_writer.Close();
    if (m_format) avformat_close_input(&m_format);
    avcodec_free_context(&m_video);
    avcodec_free_context(&m_audio);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    sws_freeContext(m_sws);
    m_sws = nullptr;
    swr_free(&m_swr);
    m_videoIndex = m_audioIndex = -1;
    m_open = 0;
}

int CNcAviToWmv::Percent() const {
    if (!m_open || m_fileSize <= 0 || !m_format || !m_format->pb) return 0;
    const int64_t at = avio_tell(m_format->pb);
    return at <= 0 ? 0 : static_cast<int>(at * 100 / m_fileSize > 100 ? 100 : at * 100 / m_fileSize);
}
