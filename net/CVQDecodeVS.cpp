#include "CVQDecodeVS.h"

#include <cinttypes>
#include <cstdlib>
#include <cstring>

#include "VKLog.h"

CVQDecodeVS::CVQDecodeVS(IVKDatagramSocket* socket, IVKClock* clock)
    : m_client(socket, clock),
      m_decoderOpen(0),
      m_decoderFailed(0),
      m_sound(nullptr),
      m_soundBytes(0),
      m_soundTime(0),
      m_soundWaiting(0),
      m_picture(nullptr),
      m_pictureBytes(0),
      m_pictureTime(0),
      m_pictureWaiting(0),
      m_audioChannel(-1) {
    memset(&m_stats, 0, sizeof m_stats);
}

CVQDecodeVS::~CVQDecodeVS() {
    Close();
    m_client.Close();
}

int CVQDecodeVS::Open() {
    Close();
    memset(&m_stats, 0, sizeof m_stats);
    return m_client.Open();
}

void CVQDecodeVS::CloseDecoder() {
    m_decoder.CloseDecoder();
    m_decoderOpen = 0;
    m_soundWaiting = 0;
    m_soundBytes = 0;
    m_pictureWaiting = 0;
    m_picture = nullptr;
    m_pictureBytes = 0;
}

void CVQDecodeVS::Close() {
    if (m_stats.pictures || m_stats.soundPackets)
        LogMessage("View of %s: pictures %d, sound packets %d (%d out of order), last sound at %" PRId64 " ms\r\n",
                   m_peer.Str(), m_stats.pictures, m_stats.soundPackets, m_stats.soundOutOfOrder,
                   m_stats.lastSoundTime);
    // Logged once: the destructor closes again what was closed before.
    memset(&m_stats, 0, sizeof m_stats);
    CloseDecoder();
    free(m_sound);
    m_sound = nullptr;
    m_audioChannel = -1;
}

void CVQDecodeVS::Connect(const char* user, const char* password, int session, const char* host, int port) {
    m_client.SetViewSession(session);
    m_client.SetServer(host, port);
    m_client.Login(user, password);
}

void CVQDecodeVS::Logout() { m_client.Logout(); }

int CVQDecodeVS::OpenDecoderFromStream() {
    // The stream parameters of the sharer's "LOGIN OK" (checked by the client).
    m_decoder.SetBitsPerSample(m_client.GetBitsPerSample());
    m_decoder.SetChannels(m_client.GetChannels());
    m_decoder.SetSamplesPerSecond(m_client.GetSamplesPerSec());
    m_decoder.SetAudioCodec(kVQCodecWMAV2);
    m_decoder.SetWidth(m_client.GetWidth());
    m_decoder.SetHeight(m_client.GetHeight());
    m_decoder.SetFrameRate(m_client.GetFrameRate());
    m_decoder.SetVideoCodec(kVQCodecWMV2);
    m_decoder.SetOutputPixelFormat(kVQPixRGB32);
    if (!m_sound) m_sound = static_cast<uint8_t*>(malloc(CVQFFmpegFrameDecoder::kAudioBufferSize));
    if (!m_sound || !m_decoder.OpenDecoder()) {
        LogMessage("CVQDecodeVS::Update(): Failed to open the decoder for %dx%d\r\n", m_client.GetWidth(),
                   m_client.GetHeight());
        m_decoderFailed = 1;
        return 0;
    }
    m_decoderOpen = 1;
    return 1;
}

void CVQDecodeVS::Update() {
    m_client.Update();
    if (!m_client.IsLoggedIn()) {
        if (m_decoderOpen) CloseDecoder();
        m_decoderFailed = 0;  // the next login tries its own stream
        return;
    }
    if (!m_decoderOpen && (m_decoderFailed || !OpenDecoderFromStream())) return;
    for (int round = 0; round < kMaxSoundPacketsPerUpdate; round++) {
        int took = 0;
        unsigned char* data = nullptr;
        int length = 0;
        int64_t timestamp = 0;
        if (m_client.TakeAudioPacket(&data, &length, &timestamp)) {
            took = 1;
            const int fresh = !m_soundWaiting;
            if (m_decoder.DecodeAudioPacket(data, length)) TakeSound();
            if (fresh && m_soundWaiting) m_soundTime = timestamp;
            if (m_stats.soundPackets && timestamp <= m_stats.lastSoundTime) m_stats.soundOutOfOrder++;
            m_stats.soundPackets++;
            m_stats.lastSoundTime = timestamp;
            VQPacketFree(data);
        }
        if (!m_pictureWaiting && m_client.TakeVideoPacket(&data, &length, &timestamp)) {
            took = 1;
            if (m_decoder.DecodeVideoPacket(data, length) && m_decoder.GetPicture(&m_picture, &m_pictureBytes)) {
                m_pictureWaiting = 1;
                m_pictureTime = timestamp;
                m_stats.pictures++;
            }
            VQPacketFree(data);
        }
        if (!took) break;
    }
}

void CVQDecodeVS::TakeSound() {
    uint8_t* data = nullptr;
    int size = 0;
    if (!m_decoder.GetAudio(&data, &size) || size <= 0) return;
    if (!m_soundWaiting) m_soundBytes = 0;  // what was taken before is the consumer's no more
    const int room = CVQFFmpegFrameDecoder::kAudioBufferSize - m_soundBytes;
    if (size > room) size = room;  // beyond the buffer, sound is dropped
    if (size <= 0) return;
    memcpy(m_sound + m_soundBytes, data, static_cast<size_t>(size));
    m_soundBytes += size;
    m_soundWaiting = 1;
    m_stats.soundBytes += size;
}

int CVQDecodeVS::TakePicture(uint8_t** data, int* size, int64_t* timestamp) {
    if (!m_pictureWaiting) return 0;
    m_pictureWaiting = 0;
    if (data) *data = m_picture;
    if (size) *size = m_pictureBytes;
    if (timestamp) *timestamp = m_pictureTime;
    return 1;
}

int CVQDecodeVS::TakeAudio(uint8_t** data, int* size, int64_t* timestamp) {
    if (!m_soundWaiting) return 0;
    m_soundWaiting = 0;
    if (data) *data = m_sound;
    if (size) *size = m_soundBytes;
    if (timestamp) *timestamp = m_soundTime;
    return 1;
}
