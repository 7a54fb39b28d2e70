#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "CVKRECDecoder.h"
#include "CVKWMVEncoder.h"

struct AVFrame;
struct AVPacket;
struct SwsContext;

// Encodes a recording (.rec) into a Windows Media file in time slices: each
// Step works through samples until its time budget is used, so a window's
// timer can drive a whole encode at many times real time and still stay
// responsive. Every picture gets the watermark.
//
// Pictures stay in the decoder's planar YUV from the HuffYUV decoder to the
// scaler (the watermark is blended into them there), with no detour through
// 32-bit RGB; only the preview is converted, when it is asked for. Reading,
// decoding and scaling the recording runs ahead on a thread of its own, a
// few pictures at most, with the codec library's own threads decoding
// several pictures at once, while Step encodes and writes in the caller's
// thread. The samples reach the writer in file order either way, and
// decoding is exact, so the file is the same as without the threads.
class CVKRecToWmv {
public:
    enum { kFailed = -1, kDone = 0, kMore = 1 };

    // decodeAhead false: everything in the caller's thread.
    explicit CVKRecToWmv(bool decodeAhead = true);
    ~CVKRecToWmv();
    CVKRecToWmv(const CVKRecToWmv&) = delete;
    CVKRecToWmv& operator=(const CVKRecToWmv&) = delete;

    // Milliseconds of a monotonic clock (tests give their own).
    void SetClock(std::function<uint32_t()> clock) { m_clock = std::move(clock); }
    // Opens the recording and starts the output at the profile (0..2). 1 or
    // 0 (logged); *profileMissing tells a profile that could not be loaded.
    int Start(const char* recPath, const char* wmvPath, int profile, int* profileMissing = nullptr);
    // Samples until budgetMs have passed (at least one): kMore, kDone at the
    // end of the recording (a record cut short by a crash is its end), or
    // kFailed when the writer failed.
    int Step(uint32_t budgetMs);
    // Closes both files. 1 when the output is a complete file.
    int Finish();
    void Close();

    int Percent() const;
    // The recording's bytes up to the last sample written, and its size.
    int64_t Position() const { return m_position; }
    int64_t FileSize() const { return m_fileSize; }
    // The last picture written (with the watermark), top-down 32-bit; null
    // before one. Valid until the next call of any method.
    const uint8_t* Preview(int* width, int* height);
    int PicturesWritten() const { return m_pictures; }

private:
    // One record of the recording, read (and its picture decoded).
    struct Sample {
        Sample() = default;
        Sample(const Sample&) = delete;
        Sample& operator=(const Sample&) = delete;
        ~Sample();
        enum Kind { kAudio, kVideo, kSkipped, kEnd } kind = kEnd;
        std::vector<uint8_t> sound;
        AVFrame* picture = nullptr;  // as decoded, with the watermark
        AVFrame* rgb = nullptr;      // for a decoder that gives no planar YUV
        AVFrame* scaled = nullptr;   // the profile's picture made from it
        int64_t time = 0;
        int64_t position = 0;   // the reader's position after the record
        int64_t number = 0;     // of a picture, in file order
        bool decoding = false;  // its picture is still in the decoder
    };
    // Reads the next record into s (reusing its buffers); a picture is
    // decoded at once, or with decoding set only handed to the decoder.
    void Produce(Sample* s, bool delayed);
    // The watermark into a decoded picture and the profile's picture made
    // from it: kVideo, or kSkipped when that fails.
    Sample::Kind Complete(Sample* s);
    // The watermark into a decoded picture; the picture marked, or null.
    AVFrame* Mark(Sample* s);
    // Pictures that came out of the decoder into the samples held for them,
    // in order; all of them after the last packet (end).
    void Collect(std::deque<std::unique_ptr<Sample>>* held, bool end);
    // Hands a sample to the writer: kMore, kDone or kFailed.
    int Consume(Sample* s);
    // The next sample in file order (waits for the decoding thread).
    std::unique_ptr<Sample> Next();
    // Keeps a written picture as the preview; the buffers of the sample it
    // replaces, or of any other sample, are used again.
    void Recycle(std::unique_ptr<Sample> s, bool preview);
    void DecodeAhead();
    void StopDecoding();

    std::function<uint32_t()> m_clock;
    const bool m_decodeAhead;
    CVKRECDecoder m_reader;
    CVKWMVEncoder m_writer;
    AVPacket* m_packet;
    AVFrame* m_received;  // the decoding thread's picture out of the decoder
    int64_t m_pictureNumber;
    int m_open;
    int m_failed;
    int m_ended;
    int m_pictures;
    int64_t m_position;
    int64_t m_fileSize;
    int m_width;
    int m_height;
    // The last picture written (the preview); its buffer goes back to the
    // free list when the next picture is written.
    std::unique_ptr<Sample> m_last;
    std::vector<uint8_t> m_preview;  // m_last's picture in 32-bit RGB, when asked for
    bool m_previewStale;
    SwsContext* m_previewSws;
    SwsContext* m_rgbSws;    // the decoding side's, for the fallback to RGB
    SwsContext* m_scaleSws;  // the decoding side's, to the profile's picture

    // Between the decoding thread and Step: samples read in file order, and
    // emptied samples whose buffers are used again.
    std::thread m_thread;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::unique_ptr<Sample>> m_ready;
    std::vector<std::unique_ptr<Sample>> m_free;
    int m_readyPictures;
    bool m_stop;
};
