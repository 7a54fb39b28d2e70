#pragma once
#include <cstdint>

extern "C" {
#include <libavutil/rational.h>
}

#include "CVQAudioConverter.h"
#include "CVQPictureConverter.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

// The codec work the two FFmpeg encoders share (the container encoder and the
// single-packet encoder): the rules their setters follow, the video and audio
// codec settings, opening the codecs, and coding one picture or one chunk of
// sound into a packet that views the core's own buffers. The owner decides
// when settings may change (never while open), the sizes, and the times and
// stream numbers its packets carry.
class CVQEncoderCore {
public:
    CVQEncoderCore();
    ~CVQEncoderCore();
    CVQEncoderCore(const CVQEncoderCore&) = delete;
    CVQEncoderCore& operator=(const CVQEncoderCore&) = delete;

    // Channels 1 or 2, rate 1..48000, bits 8 or 16; other values keep the old ones.
    static void ApplyAudioFormat(int channels, int rate, int bits, int* outChannels, int* outRate, int* outBits);
    // Stored only when 0 < fps < 100.
    static void ApplyFrameRate(double fps, double* frameRate);
    // The format input pictures are read in: BGR32 is read as RGB32 (logged:
    // the conversion library cannot take it).
    static int InputPixelFormat(int pixelFormat);
    // Bytes of one raw PCM chunk: rate x channels x bytes per sample / frame
    // rate, integer part.
    static int RawChunkBytes(int rate, int channels, int bits, double frameRate);

    // The codec id always, the bit rate only when > 1000.
    void SetVideoCodec(int codecId, int bitRate);
    // Likewise; the 16-bit PCM ids make the sound raw (copied, not coded).
    void SetAudioCodec(int codecId, int bitRate);
    int GetVideoCodec() const { return m_videoCodec; }
    int GetVideoBitRate() const { return m_videoBitRate; }
    int GetAudioCodec() const { return m_audioCodec; }
    int GetAudioBitRate() const { return m_audioBitRate; }
    int IsRawPCM() const { return m_rawPCM; }
    // Pictures are coded with the codec's in-loop deblocking filter (taken
    // by the next OpenVideo).
    void SetLoopFilter(int on) { m_loopFilter = on ? 1 : 0; }

    // Opens the video codec for width x height pictures, time base the
    // rational nearest to 1 / frameRate. Logs why it cannot. 1 or 0 (the
    // owner closes after a failure).
    int OpenVideo(int width, int height, double frameRate);
    // The time of one frame as a fraction, worked out here rather than by the
    // codec library: its 64-bit delay-load stub does not keep a double argument.
    static AVRational FrameTime(double frameRate);
    // Opens the audio codec for interleaved PCM of the given format.
    int OpenAudio(int channels, int rate, int bits, int timeBaseNum, int timeBaseDen);
    // Frees the codecs and every buffer; the settings stay.
    void Close();
    AVCodecContext* GetVideoContext() const { return m_videoContext; }
    AVCodecContext* GetAudioContext() const { return m_audioContext; }

    // Codes one picture (rows stride bytes apart, in the program's pixelFormat),
    // every factor-th pixel of every factor-th row, at the codec's size.
    // packet views the coded bytes with the key flag, time and stream. 1 or 0.
    int EncodeVideo(const uint8_t* pixels, int stride, int pixelFormat, int factor, int64_t pts, int64_t time,
                    int streamIndex, AVPacket* packet);
    // One chunk of sound: raw PCM is copied (rawBytes bytes), anything else is
    // coded with pts in samples. Key flag set. 1 or 0.
    int EncodeAudio(const uint8_t* pcm, int bits, int rawBytes, int64_t pts, int64_t time, int streamIndex,
                    AVPacket* packet);

private:
    int m_videoCodec;
    int m_videoBitRate;
    int m_audioCodec;
    int m_audioBitRate;
    int m_rawPCM;
    int m_loopFilter;
    AVCodecContext* m_videoContext;
    AVCodecContext* m_audioContext;
    AVFrame* m_codedFrame;    // the converted picture given to the codec
    AVPacket* m_videoPacket;  // last coded picture
    AVPacket* m_audioPacket;  // last coded sound
    uint8_t* m_pcmBuffer;     // last raw PCM chunk
    int m_pcmBufferSize;
    CVQPictureConverter m_pictures;
    CVQAudioConverter m_sound;
};
