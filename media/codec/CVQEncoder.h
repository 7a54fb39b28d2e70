#pragma once
#include "CVQWorker.h"

// Configuration shared by every encoder: what is enabled, the sound format,
// the picture format and the frame rate. Setters keep the old value when
// given one out of range.
class CVQEncoder : public CVQWorker {
public:
    CVQEncoder();
    ~CVQEncoder() override {}

    virtual int OpenEncoder() = 0;
    virtual void CloseEncoder() = 0;
    virtual void FinishEncoder() = 0;
    // Pixel format always; width and height when > 0; stride when >= 0 (0 = tightly packed).
    virtual void SetVideoFormat(int width, int height, int stride, int pixelFormat);
    // Channels 1 or 2, rate 1..48000, bits 8 or 16.
    virtual void SetAudioFormat(int channels, int rate, int bits);
    virtual void SetInputPicture(const uint8_t* pixels) = 0;
    virtual void SetInputAudio(const uint8_t* chunk) = 0;
    virtual void Reserved() = 0;
    virtual void EnableVideo(int enable) { m_videoEnabled = enable; }
    virtual void EnableAudio(int enable) { m_audioEnabled = enable; }
    virtual int GetVideoEnabled() const { return m_videoEnabled; }
    virtual int GetAudioEnabled() const { return m_audioEnabled; }
    virtual int GetChannels() const { return m_channels; }
    virtual int GetSampleRate() const { return m_sampleRate; }
    virtual int GetBitsPerSample() const { return m_bits; }
    virtual int GetPixelFormat() const { return m_pixelFormat; }
    virtual int GetVideoWidth() const { return m_width; }
    virtual int GetVideoHeight() const { return m_height; }
    virtual int GetStride() const { return m_stride; }
    virtual double GetFrameRate() const { return m_frameRate; }
    // Stored only when 0 < fps < 100.
    virtual void SetFrameRate(double fps);
    virtual int64_t GetVideoFrameCount() const = 0;
    virtual int64_t GetAudioTime() const = 0;
    virtual int GetPicturesEncoded() const { return m_picturesEncoded; }
    virtual int GetStepsWritten() const { return m_stepsWritten; }

protected:
    int m_videoEnabled;
    int m_audioEnabled;
    int m_channels;
    int m_sampleRate;
    int m_bits;
    int m_pixelFormat;
    int m_width;
    int m_height;
    int m_stride;
    double m_frameRate;
};
