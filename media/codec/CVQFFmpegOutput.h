#pragma once
#include <cstdint>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;
struct SwsContext;

// What a decoder does with a packet once it has one, whatever it came from
// (a file's reader or a viewed stream): the packet goes to its codec, and
// every frame the codec gives back is converted into one of two buffers.
// Pictures are scaled and converted to the output pixel format and size,
// rows packed; sound becomes interleaved PCM of the output channels, bits
// and rate. Each buffer holds what the last packet gave.
class CVQFFmpegOutput {
public:
    static constexpr int kAudioBufferSize = 192000;

    CVQFFmpegOutput();
    ~CVQFFmpegOutput();
    CVQFFmpegOutput(const CVQFFmpegOutput&) = delete;
    CVQFFmpegOutput& operator=(const CVQFFmpegOutput&) = delete;

    // The picture buffer for libraryFormat (an AVPixelFormat) at width x
    // height, zeroed; kept when nothing changes. 1, or 0 with no buffer.
    int SetPictureFormat(int libraryFormat, int width, int height);
    // The sound buffer's format (channels 1..8, bits 8 or 16); the resampler
    // is made again for the next frame. 1, or 0 with no buffer.
    int SetSoundFormat(int channels, int samplesPerSecond, int bitsPerSample);
    // A new audio codec may give frames of another format: the resampler is
    // made again from the next frame.
    void ResetSound();
    // Frees both buffers and the converters.
    void Free();

    // Sends packet to codec and converts each picture it gives back. 1 when
    // the codec took the packet and every picture was converted (logged
    // otherwise). A picture is ready after it when one was converted.
    int DecodeVideo(AVCodecContext* codec, const AVPacket* packet);
    // Sends packet to codec; the sound buffer then holds what it gave (the
    // rest of an oversized packet is dropped). 1 or 0, as DecodeVideo.
    int DecodeAudio(AVCodecContext* codec, const AVPacket* packet);

    // 1 once for each time something new was converted since the last call.
    int TakePicture();
    int TakeSound();
    // Drops what is ready and the sound held (after a seek).
    void Clear();

    uint8_t* Picture() const { return m_picture; }
    int PictureSize() const { return m_pictureSize; }
    int PictureWidth() const { return m_width; }
    int PictureHeight() const { return m_height; }
    uint8_t* Sound() const { return m_sound; }
    int SoundBytes() const { return m_soundBytes; }

private:
    int ConvertPicture();
    int ConvertSound();

    AVFrame* m_frame;
    SwsContext* m_sws;
    SwrContext* m_swr;
    int m_libraryFormat;
    int m_width;
    int m_height;
    uint8_t* m_picture;
    int m_pictureSize;
    int m_channels;
    int m_samplesPerSecond;
    int m_bitsPerSample;
    uint8_t* m_sound;
    int m_soundBytes;
    int m_pictureReady;
    int m_soundReady;
};
