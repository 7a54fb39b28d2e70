#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "CVKWMVEncoder.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;
struct SwsContext;

// Converts one AVI recording segment into a Windows Media file in time
// slices, like CVKRecToWmv: its video ("vids") and sound ("auds") streams are
// decoded with the codec library and written at their stream times, from the
// one source file, without a preprocessing pass or a length limit.
class CNcAviToWmv {
public:
    enum { kFailed = -1, kDone = 0, kMore = 1 };

    CNcAviToWmv();
    ~CNcAviToWmv();
    CNcAviToWmv(const CNcAviToWmv&) = delete;
    CNcAviToWmv& operator=(const CNcAviToWmv&) = delete;

    void SetClock(std::function<uint32_t()> clock) { m_clock = std::move(clock); }
    // 1 or 0 (logged).
    int Start(const char* aviPath, const char* wmvPath, int profile);
    // kMore, kDone at the end of the streams, kFailed when the writer failed.
    int Step(uint32_t budgetMs);
    int Finish();
    void Close();
    // Bytes of the file read so far x 100 / its size.
    int Percent() const;

private:
    int OnePacket();
    int WritePicture(AVFrame* frame);
    int WriteSound(AVFrame* frame);

    std::function<uint32_t()> m_clock;
    CVKWMVEncoder m_writer;
    AVFormatContext* m_format;
    AVCodecContext* m_video;
    AVCodecContext* m_audio;
    int m_videoIndex;
    int m_audioIndex;
    AVPacket* m_packet;
    AVFrame* m_frame;
    SwsContext* m_sws;
    SwrContext* m_swr;
    std::vector<uint8_t> m_picture;
    std::vector<uint8_t> m_sound;
    int m_width;
    int m_height;
    int64_t m_fileSize;
    int m_open;
    int m_failed;
};
