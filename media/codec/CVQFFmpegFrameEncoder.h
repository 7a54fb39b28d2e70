#pragma once
#include <cstdint>

#include "CVQEncoderCore.h"
#include "VQCodecIds.h"

struct AVCodecContext;
struct AVPacket;

// Encodes single video and audio packets without a container (live sharing
// and voice). Every setter except SetFrameRate is ignored while open.
//
// It keeps the full width and height given to SetVideoFormat; the coded size
// is that divided by the reduce factor, rounded down to multiples of 4.
// Packets point into the encoder's buffers (no reference) and stay valid
// until the next encode of the same kind or CloseEncoder. Video packets go
// to stream index 0, audio packets to 1; neither carries a time.
class CVQFFmpegFrameEncoder {
public:
    CVQFFmpegFrameEncoder();
    virtual ~CVQFFmpegFrameEncoder();
    CVQFFmpegFrameEncoder(const CVQFFmpegFrameEncoder&) = delete;
    CVQFFmpegFrameEncoder& operator=(const CVQFFmpegFrameEncoder&) = delete;

    // Video packet if video is enabled and a picture is set, then audio
    // packet likewise; the packets are handed to the caller's two packets.
    virtual int EncodePending(AVPacket* videoPacket, AVPacket* audioPacket);
    virtual void SetAudioFormat(int channels, int rate, int bits);
    virtual void SetVideoFormat(int width, int height, int stride, int pixelFormat);
    virtual void SetInputPicture(const uint8_t* pixels);
    virtual void SetInputAudio(const uint8_t* pcm);
    virtual void Reserved() {}
    virtual int OpenEncoder();
    virtual void CloseEncoder();
    virtual void EnableVideo(int enable);
    virtual void EnableAudio(int enable);
    virtual int GetVideoEnabled() const { return m_videoEnabled; }
    virtual int GetAudioEnabled() const { return m_audioEnabled; }
    virtual int GetChannels() const { return m_channels; }
    virtual int GetSampleRate() const { return m_sampleRate; }
    virtual int GetBitsPerSample() const { return m_bits; }
    virtual int GetPixelFormat() const { return m_pixelFormat; }
    virtual int GetReducedWidth() const { return m_reducedWidth; }
    virtual int GetReducedHeight() const { return m_reducedHeight; }
    virtual int GetStride() const { return m_stride; }
    virtual void SetVideoCodec(int codecId, int bitRate);
    virtual void SetAudioCodec(int codecId, int bitRate);
    virtual int GetAudioBitRate() const { return m_core.GetAudioBitRate(); }
    virtual int GetAudioCodec() const { return m_core.GetAudioCodec(); }
    // Bytes of PCM one audio packet takes: bits x channels x codec frame size / 8.
    virtual int GetAudioFrameBytes() const;
    virtual int GetWidth() const { return m_width; }
    virtual int GetHeight() const { return m_height; }
    virtual int GetVideoBitRate() const { return m_core.GetVideoBitRate(); }
    virtual int GetVideoCodec() const { return m_core.GetVideoCodec(); }
    virtual int EncodeVideoPacket(AVPacket* packet);
    virtual int EncodeAudioPacket(AVPacket* packet);
    virtual double GetFrameRate() const { return m_frameRate; }
    virtual void SetFrameRate(double fps);
    virtual void SetReduceFactor(int factor);
    virtual int GetReduceFactor() const { return m_reduceFactor; }
    virtual AVCodecContext* GetVideoContext() const { return m_core.GetVideoContext(); }
    virtual AVCodecContext* GetAudioContext() const { return m_core.GetAudioContext(); }

    int IsOpen() const { return m_open; }

private:
    void ApplyReduceFactor();

    int m_open;
    int m_width;
    int m_height;
    CVQEncoderCore m_core;  // codec settings, contexts and coding
    const uint8_t* m_inputPicture;
    const uint8_t* m_inputAudio;
    int m_reduceFactor;
    int m_bytesPerPixel;
    int m_reducible;
    int m_videoEnabled;
    int m_audioEnabled;
    int m_channels;
    int m_sampleRate;
    int m_bits;
    int m_pixelFormat;
    int m_reducedWidth;
    int m_reducedHeight;
    int m_stride;
    double m_frameRate;
    int64_t m_videoFrames;
    int64_t m_audioSamples;
};
