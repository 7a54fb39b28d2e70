#pragma once
#include <cstdint>

#include "CVKString.h"
#include "CVQDecoder.h"
#include "CVQFFmpegLibrary.h"
#include "CVQFFmpegOutput.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVIOContext;
struct AVPacket;

// Decodes an ASF file (a .wmv) or an ASF byte stream held in memory, packet
// by packet, into pictures of the output pixel format at the stream's size
// (or a size the caller asks for) and interleaved PCM at the stream's
// channels and rate. Each Process
// advances every chosen stream by at most one packet, so the caller paces
// playback by how often it calls Process.
class CVQFFmpegDecoder : public CVQDecoder {
public:
    static constexpr int kAudioBufferSize = CVQFFmpegOutput::kAudioBufferSize;

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
    virtual int GetAudioByteCount() const { return m_output.SoundBytes(); }
    virtual int GetAudioBitRate() const { return m_audioBitRate; }
    virtual int GetAudioCodecId() const { return m_audioCodecId; }
    virtual int GetVideoBitRate() const { return m_videoBitRate; }
    virtual int GetVideoCodecId() const { return m_videoCodecId; }
    virtual int HasVideo() const { return m_video != nullptr; }
    virtual int HasAudio() const { return m_audio != nullptr; }
    // Ignored while open; 22 (BGR32) becomes 6 (RGB32), logged.
    void SetOutputPixelFormat(int format) override;
    // The size pictures come out at, scaled from the stream's (each side
    // held to 1..16384; 0 x 0: the stream's own size). Also while open: the
    // next picture has the new size. 1, or 0 when the buffer could not be made.
    int SetPictureSize(int width, int height);
    int GetPictureWidth() const { return m_output.PictureWidth(); }
    int GetPictureHeight() const { return m_output.PictureHeight(); }
    virtual void SetPacing(int pacing) { m_pacing = pacing; }
    virtual int GetPacing() const { return m_pacing; }
    virtual int DecodeVideoPacket();
    virtual int DecodeAudioPacket();

private:
    static int ReadMemory(void* opaque, uint8_t* buffer, int size);
    static int64_t SeekMemory(void* opaque, int64_t offset, int whence);

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
    int m_libraryFormat;
    int m_pictureWidth;  // asked for; 0: the stream's
    int m_pictureHeight;
    CVQFFmpegOutput m_output;
    int64_t m_videoPts;
    int64_t m_audioPts;
    AVPacket* m_packet;
    int m_packetHeld;
    int m_atEnd;
    int m_pacing;
    CVQFFmpegLibrary m_stream;
};
