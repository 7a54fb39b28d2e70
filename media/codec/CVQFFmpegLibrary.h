#pragma once
#include <cstdint>

struct AVIOContext;

// The codec library's start-up and the in-memory byte stream that containers
// are written into.

// Once per process: loads the codec library (its DLLs are loaded on first
// use, and a program runs without them), routes its log to
// LogMessageNoFile and initialises it. 1 when the library is there, 0 when
// it cannot be loaded (logged once): then nothing may call into it. Safe to
// call from several threads.
int InitCodecLibrary();

// Growing in-memory byte stream. Containers write into it through the I/O
// context it makes; the owner takes the bytes out between writes.
class CVQFFmpegLibrary {
public:
    CVQFFmpegLibrary();
    virtual ~CVQFFmpegLibrary();  // frees the data
    CVQFFmpegLibrary(const CVQFFmpegLibrary&) = delete;
    CVQFFmpegLibrary& operator=(const CVQFFmpegLibrary&) = delete;

    virtual int Open() { return 0; }
    // Hands the whole buffer to the caller (who frees it with av_free) and
    // leaves the stream empty. Empty stream: data null, size 0.
    virtual void Take(uint8_t** data, int* size);
    // Copies min(n, size) bytes from the front and drops them; returns the count.
    virtual int Read(uint8_t* dst, int n);
    // Appends n bytes; returns n, or -1 when the buffer cannot grow.
    virtual int Write(const uint8_t* src, int n);
    virtual int Close() { return 0; }
    virtual int GetSize() const { return m_size; }
    // The bytes held (for readers that keep their own position); null when empty.
    const uint8_t* Data() const { return m_data; }
    virtual void Clear();

    // A write-only, not seekable I/O context over this stream; free it with
    // CloseIOContext. Null when out of memory.
    AVIOContext* CreateIOContext();
    // Flushes what the context still buffers into the stream and frees it.
    static void CloseIOContext(AVIOContext** context);

private:
    uint8_t* m_data;
    int m_size;
    int m_capacity;
};
