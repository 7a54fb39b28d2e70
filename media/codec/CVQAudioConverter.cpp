#include "CVQAudioConverter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

CVQAudioConverter::CVQAudioConverter() : m_swr(nullptr), m_frame(nullptr) {}

CVQAudioConverter::~CVQAudioConverter() { Free(); }

void CVQAudioConverter::Free() {
    swr_free(&m_swr);
    av_frame_free(&m_frame);
}

int CVQAudioConverter::FrameSamples(const AVCodecContext* codec) {
    if (codec->frame_size > 0) return codec->frame_size;
    return codec->sample_rate / 30 > 0 ? codec->sample_rate / 30 : 1;
}

AVFrame* CVQAudioConverter::Convert(const AVCodecContext* codec, const uint8_t* pcm, int bits) {
    const int samples = FrameSamples(codec);
    const AVSampleFormat inFormat = bits == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
    if (!m_swr) {
        AVChannelLayout layout = codec->ch_layout;  // 5.1 takes the layouts as non-const
        if (swr_alloc_set_opts2(&m_swr, &layout, codec->sample_fmt, codec->sample_rate, &layout, inFormat,
                                codec->sample_rate, 0, nullptr) < 0 ||
            swr_init(m_swr) < 0) {
            swr_free(&m_swr);
            return nullptr;
        }
    }
    if (!m_frame) {
        m_frame = av_frame_alloc();
        if (!m_frame) return nullptr;
        m_frame->format = codec->sample_fmt;
        m_frame->nb_samples = samples;
        m_frame->sample_rate = codec->sample_rate;
        if (av_channel_layout_copy(&m_frame->ch_layout, &codec->ch_layout) < 0 || av_frame_get_buffer(m_frame, 0) < 0) {
            av_frame_free(&m_frame);
            return nullptr;
        }
    }
    if (av_frame_make_writable(m_frame) < 0) return nullptr;
    const uint8_t* in[1] = {pcm};
    int converted = swr_convert(m_swr, m_frame->data, samples, in, samples);
    if (converted != samples) return nullptr;
    return m_frame;
}
