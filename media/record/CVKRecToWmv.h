#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "CVKRECDecoder.h"
#include "CVKWMVEncoder.h"

struct AVPacket;

// Encodes a recording (.rec) into a Windows Media file in time slices: each
// Step works through samples until its time budget is used, so a window's
// timer can drive a whole encode at many times real time and still stay
// responsive. Every picture gets the watermark.
class CVKRecToWmv {
public:
    enum { kFailed = -1, kDone = 0, kMore = 1 };

    CVKRecToWmv();
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
    int64_t Position() const { return m_reader.GetPosition(); }
    int64_t FileSize() const { return m_reader.GetFileSize(); }
    // The last picture written (with the watermark), top-down 32-bit; null before one.
    const uint8_t* Preview(int* width, int* height) const;
    int PicturesWritten() const { return m_pictures; }

private:
    int OneSample();

    std::function<uint32_t()> m_clock;
    CVKRECDecoder m_reader;
    CVKWMVEncoder m_writer;
    AVPacket* m_packet;
    std::vector<uint8_t> m_frame;
    int m_open;
    int m_failed;
    int m_pictures;
};
