#pragma once
#include <cstdint>
#include <cstdio>

#include "CVKString.h"
#include "VQRecFormat.h"

struct AVBufferPool;
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
    // Threads of the codec library's own that decode several pictures at
    // once (set before Open); 1, the default, decodes in the caller's thread.
    // With more, pictures come out of ReceiveVideoFrame later than their
    // packets go into SendVideoPacket, and the decoding calls that expect a
    // picture at once (DecodeVideoSample, DecodeVideoFrame) are not for use.
    void SetDecodeThreads(int threads) { m_threads = threads < 1 ? 1 : threads > 16 ? 16 : threads; }
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
    // After 'V': the time stamp, and the packet holding a reference to the
    // payload (the codec takes it without a copy). 1 or 0.
    int ReadSampleVideo(AVPacket* packet, int64_t* timestamp);
    // The picture, rows top to bottom, width x height pixels of the output
    // format; null on failure. Valid until the next decode or Close.
    const uint8_t* DecodeVideoSample(const AVPacket* packet);
    // The picture as the codec decoded it (planar YUV), into the caller's
    // frame (whose earlier content is released); the frame is the caller's
    // to keep and to write into. 1 or 0.
    int DecodeVideoFrame(const AVPacket* packet, AVFrame* frame);
    // Decoding with a delay: SendVideoPacket hands a packet to the codec (a
    // null packet: no more come, the rest is to come out); 1 or 0 (logged).
    // ReceiveVideoFrame takes the next picture out, in the order the packets
    // went in, with the packet's dts in pkt_dts (so a caller can tell which
    // one it is): 1 a picture (the caller's to keep, as DecodeVideoFrame),
    // 0 none until another packet goes in (none left after the null
    // packet), -1 a picture failed (it never comes; call again).
    int SendVideoPacket(const AVPacket* packet);
    int ReceiveVideoFrame(AVFrame* frame);
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
    // Payload buffers of video records, reused once the packets that hold
    // them are gone; made again larger when a record does not fit.
    AVBufferPool* m_videoPool;
    size_t m_videoPoolSize;
    uint8_t* m_audio;
    uint32_t m_audioCapacity;
    AVCodecContext* m_codec;
    int m_outputFormat;
    int m_threads;
    AVFrame* m_decoded;
    uint8_t* m_output;
    int m_outputSize;
    int m_outputStride;
    SwsContext* m_sws;
    AVPacket* m_packet;
};
