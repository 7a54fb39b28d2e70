#include "CVQFFmpegOutput.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "VKLog.h"

CVQFFmpegOutput::CVQFFmpegOutput()
    : m_frame(nullptr),
      m_sws(nullptr),
      m_swr(nullptr),
      m_libraryFormat(-1),
      m_width(0),
      m_height(0),
      m_picture(nullptr),
      m_pictureSize(0),
      m_channels(0),
      m_samplesPerSecond(0),
      m_bitsPerSample(0),
      m_sound(nullptr),
      m_soundBytes(0),
      m_pictureReady(0),
      m_soundReady(0) {}

CVQFFmpegOutput::~CVQFFmpegOutput() { Free(); }

int CVQFFmpegOutput::SetPictureFormat(int libraryFormat, int width, int height) {
    if (m_picture && libraryFormat == m_libraryFormat && width == m_width && height == m_height) return 1;
    av_freep(&m_picture);
    m_pictureSize = 0;
    m_pictureReady = 0;
    m_libraryFormat = libraryFormat;
    m_width = width;
    m_height = height;
    if (libraryFormat < 0 || width < 1 || height < 1) return 0;
    const int size = av_image_get_buffer_size(static_cast<AVPixelFormat>(libraryFormat), width, height, 1);
    m_picture = size > 0 ? static_cast<uint8_t*>(av_mallocz(static_cast<size_t>(size))) : nullptr;
    if (!m_picture) return 0;
    m_pictureSize = size;
    return 1;
}

int CVQFFmpegOutput::SetSoundFormat(int channels, int samplesPerSecond, int bitsPerSample) {
    ResetSound();
    m_soundBytes = 0;
    m_soundReady = 0;
    m_channels = channels;
    m_samplesPerSecond = samplesPerSecond;
    m_bitsPerSample = bitsPerSample;
    if (channels < 1 || channels > 8 || samplesPerSecond < 1 || (bitsPerSample != 8 && bitsPerSample != 16)) {
        av_freep(&m_sound);
        return 0;
    }
    if (!m_sound) m_sound = static_cast<uint8_t*>(av_malloc(kAudioBufferSize));
    return m_sound != nullptr;
}

void CVQFFmpegOutput::ResetSound() { swr_free(&m_swr); }

void CVQFFmpegOutput::Free() {
    av_frame_free(&m_frame);
    sws_freeContext(m_sws);
    m_sws = nullptr;
    swr_free(&m_swr);
    av_freep(&m_picture);
    av_freep(&m_sound);
    m_pictureSize = 0;
    m_soundBytes = 0;
    m_pictureReady = 0;
    m_soundReady = 0;
    m_libraryFormat = -1;
}

void CVQFFmpegOutput::Clear() {
    m_pictureReady = 0;
    m_soundReady = 0;
    m_soundBytes = 0;
}

int CVQFFmpegOutput::TakePicture() {
    const int ready = m_pictureReady;
    m_pictureReady = 0;
    return ready;
}

int CVQFFmpegOutput::TakeSound() {
    const int ready = m_soundReady;
    m_soundReady = 0;
    return ready;
}

int CVQFFmpegOutput::ConvertPicture() {
    // The frame's own size may differ from the output size (a size change
    // mid-stream, or a picture shown smaller): it is scaled to the output,
    // never written past the buffer.
    const AVPixelFormat out = static_cast<AVPixelFormat>(m_libraryFormat);
    m_sws = sws_getCachedContext(m_sws, m_frame->width, m_frame->height, static_cast<AVPixelFormat>(m_frame->format),
                                 m_width, m_height, out, SWS_BILINEAR, nullptr, nullptr, nullptr);
    uint8_t* planes[4];
    int strides[4];
    if (!m_sws || !m_picture || av_image_fill_arrays(planes, strides, m_picture, out, m_width, m_height, 1) < 0)
        return 0;
    return sws_scale(m_sws, m_frame->data, m_frame->linesize, 0, m_frame->height, planes, strides) == m_height;
}

int CVQFFmpegOutput::DecodeVideo(AVCodecContext* codec, const AVPacket* packet) {
    if (!m_frame) m_frame = av_frame_alloc();
    if (!codec || !m_frame) return 0;
    if (avcodec_send_packet(codec, packet) < 0) {
        LogMessage("Couldn't decode video frame\n");
        return 0;
    }
    int result = 1;
    for (;;) {
        const int r = avcodec_receive_frame(codec, m_frame);
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

int CVQFFmpegOutput::ConvertSound() {
    if (!m_swr) {
        AVChannelLayout layout;
        av_channel_layout_default(&layout, m_channels);
        const int made =
            swr_alloc_set_opts2(&m_swr, &layout, m_bitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16,
                                m_samplesPerSecond, &m_frame->ch_layout, static_cast<AVSampleFormat>(m_frame->format),
                                m_frame->sample_rate, 0, nullptr) >= 0 &&
            swr_init(m_swr) >= 0;
        av_channel_layout_uninit(&layout);
        if (!made) {
            swr_free(&m_swr);
            return 0;
        }
    }
    // Never more than the buffer holds: the rest of an oversized packet is dropped.
    const int frameBytes = m_channels * m_bitsPerSample / 8;
    const int room = (kAudioBufferSize - m_soundBytes) / frameBytes;
    uint8_t* out[1] = {m_sound + m_soundBytes};
    const int got = room > 0 ? swr_convert(m_swr, out, room, const_cast<const uint8_t**>(m_frame->extended_data),
                                           m_frame->nb_samples)
                             : 0;
    if (got > 0) m_soundBytes += got * frameBytes;
    return 1;
}

int CVQFFmpegOutput::DecodeAudio(AVCodecContext* codec, const AVPacket* packet) {
    if (!m_frame) m_frame = av_frame_alloc();
    if (!codec || !m_frame || !m_sound) return 0;
    if (avcodec_send_packet(codec, packet) < 0) {
        LogMessage("Couldn't decode audio frame\n");
        return 0;
    }
    m_soundBytes = 0;
    int result = 1;
    for (;;) {
        const int r = avcodec_receive_frame(codec, m_frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) break;
        if (r < 0 || !ConvertSound()) {
            LogMessage("Couldn't decode audio frame\n");
            av_frame_unref(m_frame);
            result = 0;
            break;
        }
        av_frame_unref(m_frame);
    }
    if (m_soundBytes > 0) m_soundReady = 1;
    return result;
}
