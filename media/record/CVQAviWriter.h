#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

// A RIFF AVI 1.0 file writer: up to two streams, chunks appended in the order
// they are written (interleaved as written), an 'idx1' index at the end, and
// the headers' lengths filled in when the file is closed. Free of any
// platform call, so it builds and is tested natively too.
//
// The platform's AVIFile service counts a fixed-sample-size (sound) stream's
// length in chunks rather than in samples in some implementations, so a
// second sound chunk written at its sample position is refused there; this
// writer keeps both counts itself.
//
// Files are kept below 2 GiB (AVI 1.0 offsets): a write that would pass that
// is refused.
class CVQAviWriter {
public:
    // A stream header ('strh'); lengths and the largest chunk are filled in
    // by the writer.
    struct StreamInfo {
        uint32_t type;  // 'vids' or 'auds' as a little-endian four-character code
        uint32_t handler;
        uint32_t scale;
        uint32_t rate;
        uint32_t quality;
        uint32_t sampleSize;  // 0 for pictures, the block size for sound
        int16_t frame[4];     // left, top, right, bottom
    };
    static const uint32_t kVideo = 0x73646976;  // "vids"
    static const uint32_t kAudio = 0x73647561;  // "auds"
    static const int kMaxStreams = 2;
    static const uint32_t kMaxFileBytes = 0x7FF00000u;

    CVQAviWriter();
    ~CVQAviWriter();  // closes an open file
    CVQAviWriter(const CVQAviWriter&) = delete;
    CVQAviWriter& operator=(const CVQAviWriter&) = delete;

    // Creates (or truncates) the file. 1 or 0.
    int Create(const char* path);
    // Adds a stream with its format ('strf': a BITMAPINFOHEADER or a
    // WAVEFORMATEX, at most 1024 bytes) before anything is written. The
    // stream's number, or -1.
    int AddStream(const StreamInfo& info, const void* format, uint32_t formatSize);
    // Appends one chunk of `stream`: a picture (samples 1) or `samples` sound
    // blocks. 1 or 0 (write failed, file too large, bad stream).
    int Write(int stream, const void* data, uint32_t size, uint32_t samples, bool keyFrame);
    // Writes the index and the final headers and closes the file. 1 when the
    // whole file was written, 0 otherwise (the file is closed either way).
    int Close();

    bool IsOpen() const { return m_file != nullptr; }
    // Bytes in the file so far (the index and the final headers not counted).
    uint32_t Bytes() const { return m_bytes; }
    // Samples (pictures, sound blocks) written to a stream so far.
    uint32_t Length(int stream) const;

private:
    struct Stream {
        StreamInfo info;
        std::vector<uint8_t> format;
        uint32_t length;        // samples
        uint32_t largestChunk;  // bytes
        long lengthAt;          // where strh's dwLength is in the file
        long bufferAt;          // where strh's dwSuggestedBufferSize is
    };
    struct IndexEntry {
        uint32_t id, flags, offset, size;
    };
    int WriteHeaders();
    int Put(const void* data, uint32_t size);
    int Put32(uint32_t v);
    int PutAt(long at, uint32_t v);

    FILE* m_file;
    bool m_ok;
    bool m_headersWritten;
    uint32_t m_bytes;
    long m_moviAt;  // the 'movi' list's size field
    long m_totalFramesAt;
    long m_suggestedAt;
    long m_microSecAt;
    long m_maxBytesAt;
    uint32_t m_largestChunk;
    Stream m_streams[kMaxStreams];
    int m_streamCount;
    std::vector<IndexEntry> m_index;
};
