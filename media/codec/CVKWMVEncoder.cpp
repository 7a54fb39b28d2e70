#include "CVKWMVEncoder.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "CVQFFmpegLibrary.h"
#include "VKEncoderProfile.h"
#include "VKLog.h"

namespace {
const int64_t kUnitsPerSecond = 10000000;  // 100 ns units
// Row and plane alignment of profile pictures, enough for the scaler's and
// the codec's vector code.
const int kPictureAlign = 64;
}  // namespace

CVKWMVEncoder::CVKWMVEncoder()
    : m_profile(-1),
      m_outWidth(0),
      m_outHeight(0),
      m_outFormat(AV_PIX_FMT_YUV420P),
      m_videoBitRate(0),
      m_audioBitRate(0),
      m_format(nullptr),
      m_videoStream(nullptr),
      m_audioStream(nullptr),
      m_video(nullptr),
      m_audio(nullptr),
      m_picture(nullptr),
      m_direct(nullptr),
      m_pool(nullptr),
      m_sound(nullptr),
      m_packet(nullptr),
      m_sws(nullptr),
      m_frameSws(nullptr),
      m_swr(nullptr),
      m_fifo(nullptr),
      m_inChannels(0),
      m_inRate(0),
      m_inBits(0),
      m_inWidth(0),
      m_inHeight(0),
      m_frameTime(333333),
      m_audioTime(0),
      m_audioSamples(0),
      m_lastVideoPts(-1),
      m_writing(0),
      m_failed(0) {}

CVKWMVEncoder::~CVKWMVEncoder() { Close(); }

int CVKWMVEncoder::LoadProfile(int index) {
    const VKEncoderProfile* profile = VKGetEncoderProfile(index);
    if (!profile || !InitCodecLibrary()) return 0;
    m_profile = index;
    m_outWidth = profile->width;
    m_outHeight = profile->height;
    m_videoBitRate = profile->videoBitRate;
    m_audioBitRate = profile->audioBitRate;
    return 1;
}

int CVKWMVEncoder::Open(const char* path) {
    Close();
    if (m_profile < 0 || !path || !*path || avformat_alloc_output_context2(&m_format, nullptr, "asf", path) < 0 ||
        !m_format) {
        LogMessage("CVKWMVEncoder::Open(): Unable to Create Media Writer Object\r\n");
        return 0;
    }
    m_path.Set(path);
    // Times stay as given: the sound codec's first packet (its priming)
    // begins a little before 0, and nothing is moved for it.
    m_format->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;
    av_dict_set(&m_format->metadata, "author", "Orvalo HUD", 0);
    av_dict_set(&m_format->metadata, "title", "Orvalo Video", 0);
    av_dict_set(&m_format->metadata, "copyright", "Copyright (C) Brinmoor. All rights reserved.", 0);
    av_dict_set(&m_format->metadata, "comment", "http://www.orvalohud.net", 0);
    m_packet = av_packet_alloc();
    if (!m_packet) {
        LogMessage("CVKWMVEncoder::Open(): Unable to Create Media Writer Object\r\n");
        Free();
        return 0;
    }
    m_failed = 0;
    m_audioTime = m_audioSamples = 0;
    m_lastVideoPts = -1;
    return 1;
}

int CVKWMVEncoder::InitAudio(int channels, int samplesPerSecond, int bitsPerSample, int sampleSize) {
    (void)sampleSize;
    if (!m_format || m_audio || (channels != 1 && channels != 2) || (bitsPerSample != 8 && bitsPerSample != 16) ||
        samplesPerSecond < 1000 || samplesPerSecond > 192000) {
        LogMessage("CVKWMVEncoder::InitAudio(): Unable to Set Media Type\r\n");
        return 0;
    }
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    m_audioStream = codec ? avformat_new_stream(m_format, nullptr) : nullptr;
    m_audio = m_audioStream ? avcodec_alloc_context3(codec) : nullptr;
    if (!m_audio) {
        LogMessage("CVKWMVEncoder::InitAudio(): Unable to Set Media Type\r\n");
        return 0;
    }
    m_audio->sample_rate = kVKProfileSampleRate;
    av_channel_layout_default(&m_audio->ch_layout, kVKProfileChannels);
    m_audio->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    m_audio->bit_rate = m_audioBitRate;
    m_audio->time_base = AVRational{1, kVKProfileSampleRate};
    if (m_format->oformat->flags & AVFMT_GLOBALHEADER) m_audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVChannelLayout in;
    av_channel_layout_default(&in, channels);
    const int opened = avcodec_open2(m_audio, codec, nullptr) >= 0 &&
                       avcodec_parameters_from_context(m_audioStream->codecpar, m_audio) >= 0 &&
                       swr_alloc_set_opts2(&m_swr, &m_audio->ch_layout, m_audio->sample_fmt, m_audio->sample_rate, &in,
                                           bitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16, samplesPerSecond,
                                           0, nullptr) >= 0 &&
                       swr_init(m_swr) >= 0;
    av_channel_layout_uninit(&in);
    m_fifo = opened ? av_audio_fifo_alloc(m_audio->sample_fmt, kVKProfileChannels, m_audio->frame_size * 4) : nullptr;
    m_sound = av_frame_alloc();
    if (!opened || !m_fifo || !m_sound || m_audio->frame_size <= 0) {
        LogMessage("CVKWMVEncoder::InitAudio(): Unable to Set Input Properties for Media Writer\r\n");
        return 0;
    }
    m_audioStream->time_base = m_audio->time_base;
    m_inChannels = channels;
    m_inRate = samplesPerSecond;
    m_inBits = bitsPerSample;
    return 1;
}

int CVKWMVEncoder::InitVideo(int width, int height, int64_t frameTime) {
    if (!m_format || m_video || width < 2 || height < 2 || width > 16384 || height > 16384 || frameTime <= 0) {
        LogMessage("CVKWMVEncoder::InitVideo(): Unable to Set Media Type\r\n");
        return 0;
    }
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMV2);
    m_videoStream = codec ? avformat_new_stream(m_format, nullptr) : nullptr;
    m_video = m_videoStream ? avcodec_alloc_context3(codec) : nullptr;
    if (!m_video) {
        LogMessage("CVKWMVEncoder::InitVideo(): Unable to Set Media Type\r\n");
        return 0;
    }
    // The frame time as a fraction the video codec takes (denominator below 2^16).
    int num = 0, den = 0;
    av_reduce(&num, &den, frameTime, kUnitsPerSecond, 65535);
    m_video->width = m_outWidth;
    m_video->height = m_outHeight;
    m_video->pix_fmt = AV_PIX_FMT_YUV420P;
    m_video->time_base = AVRational{num, den};
    m_video->framerate = AVRational{den, num};
    m_video->bit_rate = m_videoBitRate;
    m_video->gop_size = static_cast<int>(kVKProfileKeyFrameSeconds * kUnitsPerSecond / frameTime);
    m_video->max_b_frames = 0;
    m_video->thread_count = 1;
    if (m_format->oformat->flags & AVFMT_GLOBALHEADER) m_video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    m_picture = av_frame_alloc();
    m_direct = av_frame_alloc();
    if (avcodec_open2(m_video, codec, nullptr) < 0 ||
        avcodec_parameters_from_context(m_videoStream->codecpar, m_video) < 0 || !m_picture || !m_direct) {
        LogMessage("CVKWMVEncoder::InitVideo(): Unable to Set Input Properties for Media Writer\r\n");
        return 0;
    }
    m_outFormat = m_video->pix_fmt;
    const int pictureBytes =
        av_image_get_buffer_size(static_cast<AVPixelFormat>(m_outFormat), m_outWidth, m_outHeight, kPictureAlign);
    m_pool = pictureBytes > 0 ? av_buffer_pool_init(static_cast<size_t>(pictureBytes), nullptr) : nullptr;
    m_sws = sws_getContext(width, height, AV_PIX_FMT_RGB32, m_outWidth, m_outHeight, m_video->pix_fmt, SWS_BILINEAR,
                           nullptr, nullptr, nullptr);
    if (!m_pool || !m_sws) {
        LogMessage("CVKWMVEncoder::InitVideo(): Unable to Set Input Properties for Media Writer\r\n");
        return 0;
    }
    m_videoStream->time_base = m_video->time_base;
    m_inWidth = width;
    m_inHeight = height;
    m_frameTime = frameTime;
    return 1;
}

int CVKWMVEncoder::BeginWriting() {
    if (!m_format || !m_video || m_writing || avio_open(&m_format->pb, m_path.Str(), AVIO_FLAG_WRITE) < 0) {
        LogMessage("CVKWMVEncoder::BeginWriting(): Unable to Initialize Writing\r\n");
        return 0;
    }
    if (avformat_write_header(m_format, nullptr) < 0) {
        LogMessage("CVKWMVEncoder::BeginWriting(): Unable to Initialize Writing\r\n");
        avio_closep(&m_format->pb);
        return 0;
    }
    m_writing = 1;
    return 1;
}

int CVKWMVEncoder::Drain(AVCodecContext* codec, AVStream* stream) {
    for (;;) {
        const int r = avcodec_receive_packet(codec, m_packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return 1;
        if (r < 0) return 0;
        av_packet_rescale_ts(m_packet, codec->time_base, stream->time_base);
        m_packet->stream_index = stream->index;
        if (av_interleaved_write_frame(m_format, m_packet) < 0) return 0;  // takes the packet's data
    }
}

int CVKWMVEncoder::EncodeAudioFrames(bool flush) {
    const int frameSize = m_audio->frame_size;
    for (;;) {
        const int have = av_audio_fifo_size(m_fifo);
        if (have <= 0 || (have < frameSize && !flush)) return 1;
        const int n = have < frameSize ? have : frameSize;
        av_frame_unref(m_sound);
        m_sound->format = m_audio->sample_fmt;
        m_sound->sample_rate = m_audio->sample_rate;
        m_sound->nb_samples = n;
        if (av_channel_layout_copy(&m_sound->ch_layout, &m_audio->ch_layout) < 0 ||
            av_frame_get_buffer(m_sound, 0) < 0 ||
            av_audio_fifo_read(m_fifo, reinterpret_cast<void**>(m_sound->data), n) != n)
            return 0;
        m_sound->pts = m_audioSamples;
        m_audioSamples += n;
        if (avcodec_send_frame(m_audio, m_sound) < 0 || !Drain(m_audio, m_audioStream)) return 0;
    }
}

int CVKWMVEncoder::WriteAudioSample(const uint8_t* data, uint32_t length) {
    if (!m_writing || !m_audio || !data) {
        LogMessage("CVKWMVEncoder::WriteAudioSample(): Unable to Write Frame");
        return 0;
    }
    const int frameBytes = m_inChannels * m_inBits / 8;
    const int frames = static_cast<int>(length / static_cast<uint32_t>(frameBytes));
    if (frames <= 0) return 1;
    const int room = swr_get_out_samples(m_swr, frames);
    uint8_t** converted = nullptr;
    if (room <= 0 ||
        av_samples_alloc_array_and_samples(&converted, nullptr, kVKProfileChannels, room, m_audio->sample_fmt, 0) < 0) {
        LogMessage("CVKWMVEncoder::WriteAudioSample(): Unable to Allocate Memory\r\n");
        m_failed = 1;
        return 0;
    }
    const uint8_t* in[1] = {data};
    const int got = swr_convert(m_swr, converted, room, in, frames);
    const int ok = got >= 0 && av_audio_fifo_write(m_fifo, reinterpret_cast<void**>(converted), got) == got &&
                   EncodeAudioFrames(false);
    av_freep(&converted[0]);
    av_freep(&converted);
    if (!ok) {
        LogMessage("CVKWMVEncoder::WriteAudioSample(): Unable to Write Frame");
        m_failed = 1;
        return 0;
    }
    m_audioTime += static_cast<int64_t>(length) * kUnitsPerSecond / (static_cast<int64_t>(frameBytes) * m_inRate);
    return 1;
}

int CVKWMVEncoder::WriteVideoSample(const uint8_t* pixels, int64_t time) {
    if (!m_writing || !m_video || !pixels) {
        LogMessage("CVKWMVEncoder::WriteVideoSample(): Unable to Write Frame");
        return 0;
    }
    if (!GetPictureBuffer(m_picture)) {
        LogMessage("CVKWMVEncoder::WriteVideoSample(): Unable to Allocate Memory\r\n");
        m_failed = 1;
        return 0;
    }
    const uint8_t* planes[4] = {pixels, nullptr, nullptr, nullptr};
    const int strides[4] = {m_inWidth * 4, 0, 0, 0};
    if (sws_scale(m_sws, planes, strides, 0, m_inHeight, m_picture->data, m_picture->linesize) != m_outHeight) {
        LogMessage("CVKWMVEncoder::WriteVideoSample(): Unable to Write Frame");
        m_failed = 1;
        return 0;
    }
    return EncodePicture(m_picture, time, "WriteVideoSample");
}

int CVKWMVEncoder::GetPictureBuffer(AVFrame* frame) const {
    av_frame_unref(frame);
    AVBufferRef* buffer = m_pool ? av_buffer_pool_get(m_pool) : nullptr;
    if (!buffer) return 0;
    frame->buf[0] = buffer;
    frame->format = m_outFormat;
    frame->width = m_outWidth;
    frame->height = m_outHeight;
    if (av_image_fill_arrays(frame->data, frame->linesize, buffer->data, static_cast<AVPixelFormat>(m_outFormat),
                             m_outWidth, m_outHeight, kPictureAlign) < 0) {
        av_frame_unref(frame);
        return 0;
    }
    return 1;
}

int CVKWMVEncoder::ScaleToProfile(SwsContext** sws, const AVFrame* in, AVFrame* out) const {
    if (!m_pool || !in || in->width <= 0 || in->height <= 0 || !in->data[0] || !GetPictureBuffer(out)) return 0;
    *sws = sws_getCachedContext(*sws, in->width, in->height, static_cast<AVPixelFormat>(in->format), m_outWidth,
                                m_outHeight, static_cast<AVPixelFormat>(m_outFormat), SWS_BILINEAR, nullptr, nullptr,
                                nullptr);
    return *sws && sws_scale(*sws, in->data, in->linesize, 0, in->height, out->data, out->linesize) == m_outHeight;
}

int CVKWMVEncoder::WriteVideoFrame(const AVFrame* frame, int64_t time) {
    if (!m_writing || !m_video || !frame || frame->width <= 0 || frame->height <= 0 || !frame->data[0]) {
        LogMessage("CVKWMVEncoder::WriteVideoFrame(): Unable to Write Frame");
        return 0;
    }
    if (frame->width == m_outWidth && frame->height == m_outHeight && frame->format == m_outFormat) {
        // Already the profile's picture: the codec takes a reference. The
        // codec chooses the picture type, as for a picture scaled here.
        int ok = av_frame_ref(m_direct, frame) >= 0;
        if (ok) m_direct->pict_type = AV_PICTURE_TYPE_NONE;
        ok = ok && EncodePicture(m_direct, time, "WriteVideoFrame");
        if (!ok && !m_failed) {
            LogMessage("CVKWMVEncoder::WriteVideoFrame(): Unable to Allocate Memory\r\n");
            m_failed = 1;
        }
        av_frame_unref(m_direct);
        return ok;
    }
    if (!ScaleToProfile(&m_frameSws, frame, m_picture)) {
        LogMessage("CVKWMVEncoder::WriteVideoFrame(): Unable to Write Frame");
        m_failed = 1;
        return 0;
    }
    return EncodePicture(m_picture, time, "WriteVideoFrame");
}

int CVKWMVEncoder::EncodePicture(AVFrame* picture, int64_t time, const char* caller) {
    int64_t pts = av_rescale_rnd(time < 0 ? 0 : time, m_video->time_base.den,
                                 static_cast<int64_t>(m_video->time_base.num) * kUnitsPerSecond, AV_ROUND_NEAR_INF);
    if (pts <= m_lastVideoPts) pts = m_lastVideoPts + 1;
    m_lastVideoPts = pts;
    picture->pts = pts;
    if (avcodec_send_frame(m_video, picture) < 0 || !Drain(m_video, m_videoStream)) {
        LogMessage("CVKWMVEncoder::%s(): Unable to Write Frame", caller);
        m_failed = 1;
        return 0;
    }
    return 1;
}

int CVKWMVEncoder::Close() {
    int complete = 0;
    if (m_writing) {
        int ok = !m_failed;
        if (m_audio)
            ok = EncodeAudioFrames(true) && avcodec_send_frame(m_audio, nullptr) >= 0 &&
                 Drain(m_audio, m_audioStream) && ok;
        ok = avcodec_send_frame(m_video, nullptr) >= 0 && Drain(m_video, m_videoStream) && ok;
        ok = av_write_trailer(m_format) >= 0 && ok;
        ok = avio_closep(&m_format->pb) >= 0 && ok;
        complete = ok;
        m_writing = 0;
    }
    Free();
    return complete;
}

void CVKWMVEncoder::Free() {
    if (m_format && m_format->pb) avio_closep(&m_format->pb);
    avformat_free_context(m_format);
    m_format = nullptr;
    m_videoStream = m_audioStream = nullptr;
    avcodec_free_context(&m_video);
    avcodec_free_context(&m_audio);
    av_frame_free(&m_picture);
    av_frame_free(&m_direct);
    // Pictures still out (a caller's) keep the pool until they go.
    av_buffer_pool_uninit(&m_pool);
    av_frame_free(&m_sound);
    av_packet_free(&m_packet);
    sws_freeContext(m_sws);
    m_sws = nullptr;
    sws_freeContext(m_frameSws);
    m_frameSws = nullptr;
    swr_free(&m_swr);
    if (m_fifo) av_audio_fifo_free(m_fifo);
    m_fifo = nullptr;
    m_writing = 0;
}

int CVKWMVEncoder::ReadHeader(const char* path, int64_t* duration, int32_t* bitRate) {
    *duration = 0;
    *bitRate = 0;
    AVFormatContext* format = nullptr;
    if (!InitCodecLibrary() || !path || avformat_open_input(&format, path, av_find_input_format("asf"), nullptr) < 0) {
        LogMessage("CVKWMVEncoder::ReadHeader(): Unable to Create Media Reader Object\r\n");
        return 0;
    }
    const int ok = avformat_find_stream_info(format, nullptr) >= 0;
    if (ok) {
        if (format->duration != AV_NOPTS_VALUE && format->duration > 0) *duration = format->duration * 10;
        *bitRate = static_cast<int32_t>(format->bit_rate > INT32_MAX ? INT32_MAX : format->bit_rate);
    } else {
        LogMessage("CVKWMVEncoder::ReadHeader(): Unable to Create Media Reader Object\r\n");
    }
    avformat_close_input(&format);
    return ok;
}
