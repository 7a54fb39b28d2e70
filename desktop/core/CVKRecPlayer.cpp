#include "CVKRecPlayer.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {
// Records handled in one step at most, so a step stays short.
const int kRecordsPerStep = 8;
}  // namespace

CVKRecPlayer::CVKRecPlayer()
    : m_sink(nullptr),
      m_soundOpen(false),
      m_paused(false),
      m_ended(false),
      m_next(0),
      m_soundPending(false),
      m_pendingTime(-1),
      m_pendingPicture(nullptr),
      m_startMs(0),
      m_pausedAt(0),
      m_packet(nullptr) {}

CVKRecPlayer::~CVKRecPlayer() { Close(); }

int CVKRecPlayer::Open(const std::string& path, IVKSoundSink* sink, uint32_t nowMs) {
    Close();
    m_packet = av_packet_alloc();
    if (!m_packet || !m_reader.Open(path.c_str())) {
        Close();
        return 0;
    }
    m_sink = sink;
    // Buffers of the header's record size (the sink grows one for a larger record).
    const uint32_t bytes = m_reader.audioBufferBytes ? m_reader.audioBufferBytes : 5880;
    m_soundOpen = sink && sink->Open(m_reader.channels, static_cast<int>(m_reader.sampleRate), m_reader.bitsPerSample,
                                     kBuffers, bytes);
    m_startMs = nowMs;
    m_next = 0;
    m_ended = m_paused = m_soundPending = false;
    m_pendingTime = -1;
    return 1;
}

void CVKRecPlayer::Close() {
    if (m_soundOpen) {
        m_sink->Reset();
        m_sink->Close();
    }
    m_soundOpen = false;
    m_sink = nullptr;
    m_reader.Close();
    av_packet_free(&m_packet);
    m_pendingTime = -1;
    m_soundPending = false;
}

void CVKRecPlayer::TogglePause(uint32_t nowMs) {
    if (!m_paused) {
        m_pausedAt = nowMs;
    } else {
        m_startMs += nowMs - m_pausedAt;  // the paused time does not count
    }
    m_paused = !m_paused;
}

int CVKRecPlayer::Step(uint32_t nowMs) {
    if (m_ended) return kEnd;
    if (m_paused) return kMore;
    bool atEnd = false;
    for (int records = 0; records < kRecordsPerStep && !atEnd; records++) {
        if (m_soundPending) {
            if (m_sink->Busy(m_next)) return kMore;  // the device is full: try at the next tick
            const uint32_t size = static_cast<uint32_t>(m_pendingSound.size());
            m_sink->Play(m_next, m_pendingSound.data(), size);
            m_next = (m_next + 1) % kBuffers;
            m_soundPending = false;
            continue;
        }
        if (m_pendingTime >= 0) {
            // Without sound: the picture shows when its time has come.
            if (static_cast<int64_t>(nowMs - m_startMs) * 10000 < m_pendingTime) return kMore;
            if (onPicture) onPicture(m_pendingPicture, Width(), Height());
            m_pendingTime = -1;
            continue;
        }
        const char tag = m_reader.ReadTag();
        if (tag == 'A') {
            const uint8_t* data;
            uint32_t size;
            if (!m_reader.ReadSampleAudio(&data, &size)) atEnd = true;
            if (atEnd) break;
            if (!m_soundOpen || size == 0) continue;
            m_pendingSound.assign(data, data + size);
            m_soundPending = true;
        } else if (tag == 'V') {
            int64_t time = 0;
            if (!m_reader.ReadSampleVideo(m_packet, &time)) atEnd = true;
            if (atEnd) break;
            const uint8_t* picture = m_reader.DecodeVideoSample(m_packet);
            if (!picture) continue;
            if (m_soundOpen) {
                if (onPicture) onPicture(picture, Width(), Height());
            } else {
                m_pendingPicture = picture;
                m_pendingTime = time < 0 ? 0 : time;
            }
        } else {
            atEnd = true;  // the end, a record cut short, or not a record
        }
    }
    if (!atEnd || m_soundPending || m_pendingTime >= 0) return kMore;
    m_ended = true;
    return kEnd;
}
