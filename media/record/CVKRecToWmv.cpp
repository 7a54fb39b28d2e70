#include "CVKRecToWmv.h"

#include <chrono>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "VKWatermark.h"

namespace {
uint32_t SteadyMilliseconds() {
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}
const int64_t kFrameTime = 333333;  // 30 pictures a second, in 100 ns units
}  // namespace

CVKRecToWmv::CVKRecToWmv() : m_clock(SteadyMilliseconds), m_packet(nullptr), m_open(0), m_failed(0), m_pictures(0) {}

CVKRecToWmv::~CVKRecToWmv() { Close(); }

int CVKRecToWmv::Start(const char* recPath, const char* wmvPath, int profile, int* profileMissing) {
    Close();
    if (profileMissing) *profileMissing = 0;
    if (!m_reader.Open(recPath)) return 0;
    if (!m_writer.LoadProfile(profile)) {
        if (profileMissing) *profileMissing = 1;
        Close();
        return 0;
    }
    m_packet = av_packet_alloc();
    if (!m_packet || !m_writer.Open(wmvPath) ||
        !m_writer.InitAudio(m_reader.channels, static_cast<int>(m_reader.sampleRate), m_reader.bitsPerSample,
                            static_cast<int>(m_reader.audioBufferBytes)) ||
        !m_writer.InitVideo(static_cast<int>(m_reader.width), static_cast<int>(m_reader.height), kFrameTime) ||
        !m_writer.BeginWriting()) {
        Close();
        return 0;
    }
    m_frame.assign(static_cast<size_t>(m_reader.width) * m_reader.height * 4, 0);
    m_open = 1;
    m_failed = 0;
    m_pictures = 0;
    return 1;
}

int CVKRecToWmv::OneSample() {
    const char tag = m_reader.ReadTag();
    if (tag == 'A') {
        const uint8_t* data;
        uint32_t size;
        if (!m_reader.ReadSampleAudio(&data, &size)) return kDone;
        return m_writer.WriteAudioSample(data, size) ? kMore : kFailed;
    }
    if (tag == 'V') {
        int64_t time = 0;
        if (!m_reader.ReadSampleVideo(m_packet, &time)) return kDone;
        const uint8_t* picture = m_reader.DecodeVideoSample(m_packet);
        if (!picture) return kMore;  // a picture that does not decode is left out
        memcpy(m_frame.data(), picture, m_frame.size());
        const int width = static_cast<int>(m_reader.width), height = static_cast<int>(m_reader.height);
        VKBlendWatermark(m_frame.data(), width, height, width * 4, VKWatermarkPixels(), kVKWatermarkWidth,
                         kVKWatermarkHeight, kVKWatermarkX, kVKWatermarkY);
        if (!m_writer.WriteVideoSample(m_frame.data(), time)) return kFailed;
        m_pictures++;
        return kMore;
    }
    return kDone;
}

int CVKRecToWmv::Step(uint32_t budgetMs) {
    if (!m_open) return kDone;
    if (m_failed) return kFailed;
    const uint32_t start = m_clock();
    do {
        const int r = OneSample();
        if (r == kFailed) m_failed = 1;
        if (r != kMore) return r;
    } while (m_clock() - start < budgetMs);
    return kMore;
}

int CVKRecToWmv::Finish() {
    if (!m_open) return 0;
    const int complete = m_writer.Close() && !m_failed;
    Close();
    return complete;
}

void CVKRecToWmv::Close() {
    m_writer.Close();
    m_reader.Close();
    av_packet_free(&m_packet);
    m_open = 0;
}

int CVKRecToWmv::Percent() const {
    const int64_t size = m_reader.GetFileSize();
    if (size <= 0) return 0;
    return static_cast<int>(static_cast<uint64_t>(m_reader.GetPosition()) * 100 / static_cast<uint64_t>(size));
}

const uint8_t* CVKRecToWmv::Preview(int* width, int* height) const {
    *width = static_cast<int>(m_reader.width);
    *height = static_cast<int>(m_reader.height);
    return m_pictures > 0 ? m_frame.data() : nullptr;
}
