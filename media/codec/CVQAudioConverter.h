#pragma once
#include <cstdint>

struct AVCodecContext;
struct AVFrame;
struct SwrContext;

// Turns interleaved 8-bit unsigned or 16-bit signed PCM into a frame of the
// audio codec's sample format and frame size (planar float for the Windows
// Media audio codec). The resampler and frame are made on first use.
class CVQAudioConverter {
public:
    CVQAudioConverter();
    ~CVQAudioConverter();
    CVQAudioConverter(const CVQAudioConverter&) = delete;
    CVQAudioConverter& operator=(const CVQAudioConverter&) = delete;

    // Samples per channel the codec takes in one frame (its frame size, or
    // 1/30 s worth for codecs without a fixed frame size).
    static int FrameSamples(const AVCodecContext* codec);
    // Converts FrameSamples() samples per channel from pcm. Null on failure;
    // the frame stays owned by the converter.
    AVFrame* Convert(const AVCodecContext* codec, const uint8_t* pcm, int bits);
    void Free();

private:
    SwrContext* m_swr;
    AVFrame* m_frame;
};
