#pragma once
#include <cstdint>

#include "CVKString.h"

struct AVAudioFifo;
struct AVBufferPool;
struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwrContext;
struct SwsContext;

// Writes a Windows Media file (.wmv): an ASF container with Windows Media
// Video 8 pictures and Windows Media Audio 2 sound at 44,100 Hz stereo, at
// the picture size and bit rates of one of the encoder profiles. It is our
// own small writer over the codec library: the caller hands it top-down
// 32-bit pictures of any size with their times, and PCM sound in any of the
// recording formats; it scales the pictures, resamples the sound, encodes
// and interleaves both.
//
// Calling order: LoadProfile, Open, InitAudio, InitVideo, BeginWriting, then
// WriteAudioSample / WriteVideoSample in any mix, Close. Every failure is
// logged and returns 0; after a failed write the file is not complete and
// Close says so.
class CVKWMVEncoder {
public:
    CVKWMVEncoder();
    virtual ~CVKWMVEncoder();
    CVKWMVEncoder(const CVKWMVEncoder&) = delete;
    CVKWMVEncoder& operator=(const CVKWMVEncoder&) = delete;

    // Profile index 0..2. 1 or 0.
    int LoadProfile(int index);
    int Open(const char* path);
    // PCM input: channels 1 or 2, 8 or 16 bits, any rate up to 192,000 Hz.
    int InitAudio(int channels, int samplesPerSecond, int bitsPerSample, int sampleSize);
    // Picture input size and the frame time in 100 ns units.
    int InitVideo(int width, int height, int64_t frameTime);
    int BeginWriting();
    // Writes length bytes of sound at the running audio time and advances it.
    int WriteAudioSample(const uint8_t* data, uint32_t length);
    // Writes a top-down picture (width x height x 4 bytes, B G R X) at a time
    // in 100 ns units. A time at or before the previous picture's goes one
    // frame after it.
    int WriteVideoSample(const uint8_t* pixels, int64_t time);
    // The same for a picture as the codec library decoded it (any size and
    // pixel format, planar YUV from a HuffYUV decoder for one): scaled and
    // converted straight to the profile's picture, without a detour through
    // 32-bit RGB. A picture that ScaleToProfile made goes to the codec as it
    // is, without a copy.
    int WriteVideoFrame(const AVFrame* frame, int64_t time);
    // Scales and converts a decoded picture to the profile's picture exactly
    // as WriteVideoFrame would, into out (whose earlier content is released),
    // with the caller's scaler context: another thread may call it while
    // this one writes, to take that work off the writing thread. Valid after
    // InitVideo until Close. 1 or 0.
    int ScaleToProfile(SwsContext** sws, const AVFrame* in, AVFrame* out) const;
    // Ends the file. 1 when everything written is in a complete file.
    int Close();
    // Duration (100 ns units) and bit rate of a written file. 1 or 0.
    static int ReadHeader(const char* path, int64_t* duration, int32_t* bitRate);

    int64_t GetAudioTime() const { return m_audioTime; }
    int GetOutputWidth() const { return m_outWidth; }
    int GetOutputHeight() const { return m_outHeight; }

private:
    int EncodeAudioFrames(bool flush);
    // Encodes a profile picture at time (its pts is set); logs as caller.
    int EncodePicture(AVFrame* picture, int64_t time, const char* caller);
    // A profile picture's buffer from the pool into frame (whose earlier
    // content is released): the codec may still hold the last one it got.
    int GetPictureBuffer(AVFrame* frame) const;
    int Drain(AVCodecContext* codec, AVStream* stream);
    void Free();

    int m_profile;
    int m_outWidth;
    int m_outHeight;
    int m_outFormat;  // the profile picture's pixel format, fixed by InitVideo
    int m_videoBitRate;
    int m_audioBitRate;
    CVKString m_path;
    AVFormatContext* m_format;
    AVStream* m_videoStream;
    AVStream* m_audioStream;
    AVCodecContext* m_video;
    AVCodecContext* m_audio;
    AVFrame* m_picture;
    AVFrame* m_direct;     // a reference to the caller's picture on its way to the codec
    AVBufferPool* m_pool;  // buffers of profile pictures, shared with ScaleToProfile's callers
    AVFrame* m_sound;
    AVPacket* m_packet;
    SwsContext* m_sws;
    SwsContext* m_frameSws;  // for WriteVideoFrame, made for the frames' size and format
    SwrContext* m_swr;
    AVAudioFifo* m_fifo;
    int m_inChannels;
    int m_inRate;
    int m_inBits;
    int m_inWidth;
    int m_inHeight;
    int64_t m_frameTime;
    int64_t m_audioTime;     // 100 ns units of sound written
    int64_t m_audioSamples;  // output samples handed to the codec
    int64_t m_lastVideoPts;  // in frames; -1 before the first
    int m_writing;
    int m_failed;
};
