#pragma once
#include <cstdint>
#include <cstdio>

#include "CVKString.h"
#include "VQRecFormat.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// Reads a recording file (.rec): the header, then audio and video records in
// file order, decoding HuffYUV pictures into a pixel format of the caller's
// choice. Every size in the file is checked against the bytes left and the
// limits of the format before it is used; a record that the file does not
// hold completely (a recording cut off by a crash) reads as the end.
//
// Reading:  Open; loop ReadTag: 'A' -> ReadSampleAudio, 'V' -> ReadSampleVideo
// then DecodeVideoSample or nothing; 0 -> end.
class CVKRECDecoder {
public:
    CVKRECDecoder();
    virtual ~CVKRECDecoder();
    CVKRECDecoder(const CVKRECDecoder&) = delete;
    CVKRECDecoder& operator=(const CVKRECDecoder&) = delete;

    // Output pixel format (program code, default 6 = 32-bit RGB); set before Open.
    void SetOutputFormat(int pixelFormat) { m_outputFormat = pixelFormat; }
    int Open(const char* path);
    void Close();

    // The next record's tag ('A', 'V', or another byte for a file that is not
    // a recording); 0 at the end of the file or before an incomplete record.
    char ReadTag();
    uint32_t ReadSampleAudioSize();
    int ReadSampleAudioData(uint8_t* buffer, uint32_t n);
    // After 'A': the record's sound, in an internal buffer valid until the
    // next read. 1 or 0.
    int ReadSampleAudio(const uint8_t** data, uint32_t* size);
    // After 'V': the time stamp, and the packet pointing at the payload in an
    // internal buffer valid until the next read. 1 or 0.
    int ReadSampleVideo(AVPacket* packet, int64_t* timestamp);
    // The picture, rows top to bottom, width x height pixels of the output
    // format; null on failure. Valid until the next decode or Close.
    const uint8_t* DecodeVideoSample(const AVPacket* packet);
    // The picture as the codec decoded it (planar YUV), into the caller's
    // frame (whose earlier content is released); the frame is the caller's
    // to keep and to write into. 1 or 0.
    int DecodeVideoFrame(const AVPacket* packet, AVFrame* frame);
    int SkipSampleVideo();
    int SkipSampleAudio();
    // Skips audio records and n video records; stops right after the tag of
    // the n-th video record (from 0). 0 at the end or at an unknown tag.
    int SeekVideoSample(int n);
    int64_t GetPosition() const { return m_position; }
    int64_t GetFileSize() const { return m_fileSize; }
    int GetOutputSize() const { return m_outputSize; }

    // Header values, valid after Open.
    uint32_t backBufferFormat;
    uint32_t width;
    uint32_t height;
    uint16_t channels;
    uint32_t sampleRate;
    uint16_t bitsPerSample;
    uint32_t audioBufferBytes;

private:
    int ReadExact(void* buffer, uint64_t n);
    int Skip(uint64_t n);
    int PeekRecord(char tag);
    int64_t Left() const { return m_fileSize - m_position; }
    int Grow(uint8_t** buffer, uint32_t* capacity, uint64_t size);

    CVKString m_fileName;
    int64_t m_fileSize;
    int64_t m_position;
    FILE* m_file;
    uint8_t* m_video;
    uint32_t m_videoCapacity;
    uint8_t* m_audio;
    uint32_t m_audioCapacity;
    AVCodecContext* m_codec;
    int m_outputFormat;
    AVFrame* m_decoded;
    uint8_t* m_output;
    int m_outputSize;
    int m_outputStride;
    SwsContext* m_sws;
    AVPacket* m_packet;
};
