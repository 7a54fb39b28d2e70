#pragma once
#include <cstdint>

#include "CVQFFmpegOutput.h"
#include "VQCodecIds.h"

struct AVCodecContext;
struct AVPacket;

// Decodes the single packets of a viewed stream (no container): pictures
// into one buffer of the output pixel format at the stream's size, sound
// into one buffer of interleaved PCM at the stream's format.
//
// The codec private data never travel with a stream: both sides use the
// same fixed settings. The video decoder gets them at OpenDecoder. The audio
// codec also needs the size of its coded blocks and the bit rate, which no
// stream announces; every coded audio packet is exactly one block, so the
// audio decoder is opened with the first packet: block size = packet size,
// bit rate = the largest rate whose blocks have that size (see
// AudioBitRateOfBlock). A packet of another size opens it again.
//
// Setters are ignored while open; a value <= 0 is ignored, bits only 8 or
// 16, frame rate only 0 < fps < 100.
class CVQFFmpegFrameDecoder {
public:
    CVQFFmpegFrameDecoder();
    virtual ~CVQFFmpegFrameDecoder();
    CVQFFmpegFrameDecoder(const CVQFFmpegFrameDecoder&) = delete;
    CVQFFmpegFrameDecoder& operator=(const CVQFFmpegFrameDecoder&) = delete;

    // Closes first. 1 only when both codecs can be used: the video decoder
    // is open and the audio decoder exists for the stream's sound format.
    virtual int OpenDecoder();
    virtual void CloseDecoder();
    virtual int IsOpen() const { return m_open; }
    virtual int GetAudioEnabled() const { return m_audioEnabled; }
    virtual int GetVideoEnabled() const { return m_videoEnabled; }
    virtual int GetOutputPixelFormat() const { return m_outputFormat; }
    virtual void SetOutputPixelFormat(int pixelFormat);
    // 1 and the picture (output format, width x height, rows packed) when a
    // new one was decoded since the last call. The bytes stay owned here.
    virtual int GetPicture(uint8_t** data, int* size);
    // 1 and the sound of the last audio packet when there is new sound.
    virtual int GetAudio(uint8_t** data, int* size);
    // 1 when the packet was taken (a picture may or may not be ready).
    virtual int DecodeVideoPacket(const uint8_t* data, int size);
    virtual int DecodeAudioPacket(const uint8_t* data, int size);
    virtual void SetVideoCodec(int codecId);
    virtual void SetAudioCodec(int codecId);
    virtual int GetVideoCodec() const { return m_videoCodec; }
    virtual int GetAudioCodec() const { return m_audioCodec; }
    virtual int GetChannels() const { return m_channels; }
    virtual int GetSamplesPerSecond() const { return m_samplesPerSecond; }
    virtual int GetBitsPerSample() const { return m_bitsPerSample; }
    virtual int GetWidth() const { return m_width; }
    virtual int GetHeight() const { return m_height; }
    virtual double GetFrameRate() const { return m_frameRate; }
    virtual void SetChannels(int channels);
    virtual void SetSamplesPerSecond(int rate);
    virtual void SetBitsPerSample(int bits);
    virtual void SetWidth(int width);
    virtual void SetHeight(int height);
    virtual void SetFrameRate(double fps);

    // The audio decoder's block size and bit rate in use (0 before the first packet).
    int GetAudioBlockAlign() const { return m_blockAlign; }
    int64_t GetAudioBitRate() const { return m_audioBitRate; }
    // The bit rate the audio decoder is given for blocks of blockAlign bytes.
    static int64_t AudioBitRateOfBlock(int blockAlign, int samplesPerSecond);

    static constexpr int kAudioBufferSize = CVQFFmpegOutput::kAudioBufferSize;
    // Pictures larger than this many pixels are refused before anything is allocated.
    static constexpr int kMaxPicturePixels = 3840 * 2160;
    static constexpr int kMaxPictureSide = 8192;
    // The largest coded audio block the audio codec makes.
    static constexpr int kMaxAudioBlock = 32768;

private:
    int OpenAudio(int blockAlign);
    // The packet's bytes copied into m_packet, with the padding zeroed.
    int FillPacket(const uint8_t* data, int size);

    int m_open;
    int m_audioEnabled;
    int m_videoEnabled;
    int m_audioCodec;
    int m_videoCodec;
    AVCodecContext* m_videoContext;
    AVCodecContext* m_audioContext;
    AVPacket* m_packet;
    CVQFFmpegOutput m_output;
    int m_channels;
    int m_samplesPerSecond;
    int m_bitsPerSample;
    int m_width;
    int m_height;
    double m_frameRate;
    int m_outputFormat;
    int m_blockAlign;
    int64_t m_audioBitRate;
};
