#pragma once
#include <cstdint>

#include "CVKString.h"
#include "CVQDecoder.h"
#include "CVQFFmpegLibrary.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;
struct AVStream;
struct SwrContext;
struct SwsContext;

// Decodes an ASF file (a .wmv) or an ASF byte stream held in memory, packet
// by packet, into pictures of the output pixel format at the stream's size
// and interleaved PCM at the stream's channels and rate. Each Process
// advances every chosen stream by at most one packet, so the caller paces
// playback by how often it calls Process.
class CVQFFmpegDecoder : public CVQDecoder {
public:
    static constexpr int kAudioBufferSize = 192000;

    CVQFFmpegDecoder();
    ~CVQFFmpegDecoder() override;

    int Process() override;
    int Open() override;
    void Close() override;
    int GetPicture(const uint8_t** data, int* size) override;
    int GetAudio(const uint8_t** data, int* size) override;
    int64_t GetAudioTime() override;
    int64_t GetVideoTime() override;
    int SeekTo(int64_t milliseconds) override;
    int64_t GetDuration() override;
    int IsAtEnd() override;

    // A name selects file mode, none memory mode; ignored while open.
    virtual void SetFileName(const char* name);
    virtual int WriteStream(const uint8_t* data, int count) { return m_stream.Write(data, count); }
    virtual void ClearStream() { m_stream.Clear(); }
    virtual int GetAudioByteCount() const { return m_audioBytes; }
    virtual int GetAudioBitRate() const { return m_audioBitRate; }
    virtual int GetAudioCodecId() const { return m_audioCodecId; }
    virtual int GetVideoBitRate() const { return m_videoBitRate; }
    virtual int GetVideoCodecId() const { return m_videoCodecId; }
    virtual int HasVideo() const { return m_video != nullptr; }
    virtual int HasAudio() const { return m_audio != nullptr; }
    // Ignored while open; 22 (BGR32) becomes 6 (RGB32), logged.
    void SetOutputPixelFormat(int format) override;
    virtual void SetPacing(int pacing) { m_pacing = pacing; }
    virtual int GetPacing() const { return m_pacing; }
    virtual int DecodeVideoPacket();
    virtual int DecodeAudioPacket();

private:
    static int ReadMemory(void* opaque, uint8_t* buffer, int size);
    static int64_t SeekMemory(void* opaque, int64_t offset, int whence);
    int ConvertPicture();

    int m_open;
    int m_started;
    int m_memoryMode;
    CVKString m_fileName;
    int m_audioBitRate;
    int m_audioCodecId;
    int m_videoBitRate;
    int m_videoCodecId;
    AVFormatContext* m_format;
    AVIOContext* m_io;
    int64_t m_readPosition;  // memory mode
    int m_videoIndex;
    int m_audioIndex;
    AVCodecContext* m_video;
    AVCodecContext* m_audio;
    AVFrame* m_frame;
    uint8_t* m_picture;
    int m_pictureSize;
    int m_libraryFormat;
    SwsContext* m_sws;
    SwrContext* m_swr;
    uint8_t* m_audioBuffer;
    int m_audioBytes;
    int64_t m_videoPts;
    int64_t m_audioPts;
    int m_pictureReady;
    int m_audioReady;
    AVPacket* m_packet;
    int m_packetHeld;
    int m_atEnd;
    int m_pacing;
    CVQFFmpegLibrary m_stream;
};
