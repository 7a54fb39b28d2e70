#pragma once
#include <cstdint>

#include "CVQWorker.h"

// A media decoder driven packet by packet: pictures in the output pixel
// format and PCM sound. Setters keep only sensible values: channels, rate,
// width and height above 0, bits 8 or 16, frame rate above 0 and below 100.
class CVQDecoder : public CVQWorker {
public:
    CVQDecoder()
        : m_audioDisabled(1),
          m_channels(2),
          m_samplesPerSecond(44100),
          m_bitsPerSample(16),
          m_pixelFormat(-1),
          m_width(800),
          m_height(600),
          m_frameRate(20.0) {}
    ~CVQDecoder() override {}

    int EncodePending() override { return Process(); }
    virtual int Process() = 0;
    virtual int Open() = 0;
    virtual void Close() = 0;
    // The output buffers; 1 only when something new was decoded since the last call.
    virtual int GetPicture(const uint8_t** data, int* size) = 0;
    virtual int GetAudio(const uint8_t** data, int* size) = 0;
    virtual int GetChannels() const { return m_channels; }
    virtual int GetSamplesPerSecond() const { return m_samplesPerSecond; }
    virtual int GetBitsPerSample() const { return m_bitsPerSample; }
    virtual int64_t GetAudioTime() = 0;
    virtual void SetAudioDisabled(int disabled) { m_audioDisabled = disabled; }
    virtual int GetOutputPixelFormat() const { return m_pixelFormat; }
    virtual int GetWidth() const { return m_width; }
    virtual int GetHeight() const { return m_height; }
    virtual double GetFrameRate() const { return m_frameRate; }
    virtual int64_t GetVideoTime() = 0;
    virtual int SeekTo(int64_t milliseconds) = 0;
    virtual int64_t GetDuration() = 0;
    virtual int IsAtEnd() = 0;
    virtual void SetChannels(int channels) {
        if (channels > 0) m_channels = channels;
    }
    virtual void SetSamplesPerSecond(int rate) {
        if (rate > 0) m_samplesPerSecond = rate;
    }
    virtual void SetBitsPerSample(int bits) {
        if (bits == 8 || bits == 16) m_bitsPerSample = bits;
    }
    virtual void SetOutputPixelFormat(int format) { m_pixelFormat = format; }
    virtual void SetWidth(int width) {
        if (width > 0) m_width = width;
    }
    virtual void SetHeight(int height) {
        if (height > 0) m_height = height;
    }
    virtual void SetFrameRate(double fps) {
        if (fps > 0.0 && fps < 100.0) m_frameRate = fps;
    }

protected:
    int32_t m_audioDisabled;
    int m_channels;
    int m_samplesPerSecond;
    int m_bitsPerSample;
    int m_pixelFormat;
    int m_width;
    int m_height;
    double m_frameRate;
};
