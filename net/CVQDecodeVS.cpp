#include "CVQDecodeVS.h"

#include <chrono>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <system_error>
#include <utility>

#include "VKLog.h"

CVQDecodeVS::CVQDecodeVS(IVKDatagramSocket* socket, IVKClock* clock)
    : m_client(socket, clock),
      m_decoderOpen(0),
      m_decoderFailed(0),
      m_rate(0),
      m_channels(0),
      m_bits(0),
      m_latestWins(0),
      m_pictureFill(0),
      m_pictureReady(1),
      m_pictureTaken(2),
      m_pictureWaiting(0),
      m_soundFill(0),
      m_soundReady(1),
      m_soundTaken(2),
      m_soundWaiting(0),
      m_useWorker(0),
      m_stop(0),
      m_idlePasses(0),
      m_audioChannel(-1) {
    memset(&m_stats, 0, sizeof m_stats);
    m_published = m_stats;
    memset(m_pictures, 0, sizeof m_pictures);
    memset(m_sounds, 0, sizeof m_sounds);
}

CVQDecodeVS::~CVQDecodeVS() {
    Close();
    m_client.Close();
}

int CVQDecodeVS::Open() {
    Close();
    memset(&m_stats, 0, sizeof m_stats);
    m_published = m_stats;
    if (!m_client.Open()) return 0;
    if (m_useWorker) StartWorker();
    return 1;
}

void CVQDecodeVS::Close() {
    StopWorker();  // from here on this thread is the decoding side
    if (m_stats.pictures || m_stats.soundPackets)
        LogMessage("View of %s: pictures %d, sound packets %d (%d out of order), last sound at %" PRId64 " ms\r\n",
                   m_peer.Str(), m_stats.pictures, m_stats.soundPackets, m_stats.soundOutOfOrder,
                   m_stats.lastSoundTime);
    // Logged once: the destructor closes again what was closed before.
    memset(&m_stats, 0, sizeof m_stats);
    CloseDecoder();
    FreeBuffers();
    m_audioChannel = -1;
}

void CVQDecodeVS::FreeBuffers() {
    for (Buffer* set : {m_pictures, m_sounds})
        for (int i = 0; i < 3; i++) {
            free(set[i].data);
            memset(&set[i], 0, sizeof set[i]);
        }
}

void CVQDecodeVS::CloseDecoder() {
    m_decoder.CloseDecoder();
    m_decoderOpen.store(0);
    m_sounds[m_soundFill].bytes = 0;
    std::lock_guard<std::mutex> lock(m_handoff);
    m_pictureWaiting.store(0);
    m_soundWaiting = 0;
}

void CVQDecodeVS::Connect(const char* user, const char* password, int session, const char* host, int port) {
    m_client.SetViewSession(session);
    m_client.SetServer(host, port);
    m_client.Login(user, password);
}

void CVQDecodeVS::Logout() { m_client.Logout(); }

int CVQDecodeVS::OpenDecoderFromStream() {
    // The stream parameters of the sharer's "LOGIN OK" (checked by the client).
    const CVQVSClient::StreamFormat f = m_client.GetStreamFormat();
    m_decoder.SetBitsPerSample(f.bitsPerSample);
    m_decoder.SetChannels(f.channels);
    m_decoder.SetSamplesPerSecond(f.samplesPerSec);
    m_decoder.SetAudioCodec(kVQCodecWMAV2);
    m_decoder.SetWidth(f.width);
    m_decoder.SetHeight(f.height);
    m_decoder.SetFrameRate(f.frameRate);
    m_decoder.SetVideoCodec(kVQCodecWMV2);
    m_decoder.SetOutputPixelFormat(kVQPixRGB32);
    if (!m_decoder.OpenDecoder()) {
        LogMessage("CVQDecodeVS::Update(): Failed to open the decoder for %dx%d\r\n", f.width, f.height);
        m_decoderFailed = 1;
        return 0;
    }
    m_rate = m_decoder.GetSamplesPerSecond();
    m_channels = m_decoder.GetChannels();
    m_bits = m_decoder.GetBitsPerSample();
    m_decoderOpen.store(1);
    return 1;
}

void CVQDecodeVS::Update() {
    m_client.Update();
    if (!m_worker.joinable()) DecodePending();
}

int CVQDecodeVS::DecodePending() {
    if (!m_client.IsLoggedIn()) {
        if (m_decoderOpen.load()) CloseDecoder();
        m_decoderFailed = 0;  // the next login tries its own stream
        return 0;
    }
    if (!m_decoderOpen.load() && (m_decoderFailed || !OpenDecoderFromStream())) return 0;
    // The newest picture of the pass is handed over once, at its end.
    uint8_t* picture = nullptr;
    int pictureBytes = 0;
    int64_t pictureTime = 0;
    int tookAny = 0;
    for (int round = 0; round < kMaxSoundPacketsPerUpdate; round++) {
        int took = 0;
        unsigned char* data = nullptr;
        int length = 0;
        int64_t timestamp = 0;
        if (m_client.TakeAudioPacket(&data, &length, &timestamp)) {
            took = 1;
            if (m_decoder.DecodeAudioPacket(data, length)) GatherSound(timestamp);
            if (m_stats.soundPackets && timestamp <= m_stats.lastSoundTime) m_stats.soundOutOfOrder++;
            m_stats.soundPackets++;
            m_stats.lastSoundTime = timestamp;
            VQPacketFree(data);
        }
        const int roomForPicture = m_latestWins || (!picture && !m_pictureWaiting.load());
        if (roomForPicture && m_client.TakeVideoPacket(&data, &length, &timestamp)) {
            took = 1;
            if (m_decoder.DecodeVideoPacket(data, length) && m_decoder.GetPicture(&picture, &pictureBytes)) {
                pictureTime = timestamp;
                m_stats.pictures++;
            }
            VQPacketFree(data);
        }
        if (!took) break;
        tookAny = 1;
    }
    if (picture) PublishPicture(picture, pictureBytes, pictureTime);
    PublishSound();
    return tookAny;
}

void CVQDecodeVS::GatherSound(int64_t timestamp) {
    uint8_t* data = nullptr;
    int size = 0;
    if (!m_decoder.GetAudio(&data, &size) || size <= 0) return;
    Buffer& b = m_sounds[m_soundFill];
    if (!b.data) {
        b.data = static_cast<uint8_t*>(malloc(CVQFFmpegFrameDecoder::kAudioBufferSize));
        if (!b.data) return;
        b.capacity = CVQFFmpegFrameDecoder::kAudioBufferSize;
        b.bytes = 0;
    }
    if (b.bytes == 0) {
        b.time = timestamp;
        b.rate = m_rate;
        b.channels = m_channels;
        b.bits = m_bits;
    }
    const int room = b.capacity - b.bytes;
    if (size > room) size = room;  // beyond the buffer, sound is dropped
    if (size <= 0) return;
    memcpy(b.data + b.bytes, data, static_cast<size_t>(size));
    b.bytes += size;
    m_stats.soundBytes += size;
}

void CVQDecodeVS::PublishPicture(const uint8_t* data, int size, int64_t timestamp) {
    Buffer& b = m_pictures[m_pictureFill];
    if (b.capacity < size) {
        uint8_t* grown = static_cast<uint8_t*>(realloc(b.data, static_cast<size_t>(size)));
        if (!grown) return;
        b.data = grown;
        b.capacity = size;
    }
    memcpy(b.data, data, static_cast<size_t>(size));
    b.bytes = size;
    b.time = timestamp;
    std::lock_guard<std::mutex> lock(m_handoff);
    std::swap(m_pictureFill, m_pictureReady);
    m_pictureWaiting.store(1);
}

void CVQDecodeVS::PublishSound() {
    std::lock_guard<std::mutex> lock(m_handoff);
    m_published = m_stats;
    // Sound not yet taken stays waiting; what came since keeps gathering
    // behind it, so the order holds.
    if (m_sounds[m_soundFill].bytes > 0 && !m_soundWaiting) {
        std::swap(m_soundFill, m_soundReady);
        m_sounds[m_soundFill].bytes = 0;  // taken long ago
        m_soundWaiting = 1;
    }
}

int CVQDecodeVS::TakePicture(uint8_t** data, int* size, int64_t* timestamp) {
    std::unique_lock<std::mutex> lock(m_handoff, std::try_to_lock);
    if (!lock.owns_lock() || !m_pictureWaiting.load()) return 0;
    std::swap(m_pictureReady, m_pictureTaken);
    m_pictureWaiting.store(0);
    const Buffer& b = m_pictures[m_pictureTaken];
    if (data) *data = b.data;
    if (size) *size = b.bytes;
    if (timestamp) *timestamp = b.time;
    return 1;
}

int CVQDecodeVS::TakeAudio(uint8_t** data, int* size, int64_t* timestamp) {
    std::unique_lock<std::mutex> lock(m_handoff, std::try_to_lock);
    if (!lock.owns_lock() || !m_soundWaiting) return 0;
    std::swap(m_soundReady, m_soundTaken);
    m_soundWaiting = 0;
    const Buffer& b = m_sounds[m_soundTaken];
    if (data) *data = b.data;
    if (size) *size = b.bytes;
    if (timestamp) *timestamp = b.time;
    return 1;
}

int CVQDecodeVS::GetSoundFormat(int* samplesPerSec, int* channels, int* bitsPerSample) {
    // The taken buffer is the consumer's own: no lock.
    const Buffer& b = m_sounds[m_soundTaken];
    if (!b.data || b.rate <= 0) return 0;
    if (samplesPerSec) *samplesPerSec = b.rate;
    if (channels) *channels = b.channels;
    if (bitsPerSample) *bitsPerSample = b.bits;
    return 1;
}

CVQDecodeVS::Stats CVQDecodeVS::GetStats() {
    std::lock_guard<std::mutex> lock(m_handoff);
    return m_published;
}

void CVQDecodeVS::StartWorker() {
    m_stop = 0;
    m_idlePasses = 0;
    m_latestWins = 1;
    try {
        m_worker = std::thread(&CVQDecodeVS::WorkerMain, this);
    } catch (const std::system_error&) {
        // No thread to be had: Update decodes, as without a worker.
        LogMessage("CVQDecodeVS::Open(): Can't start the decoding thread\r\n");
        m_latestWins = 0;
    }
}

void CVQDecodeVS::StopWorker() {
    if (!m_worker.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(m_wakeLock);
        m_stop = 1;
    }
    m_wake.notify_all();
    m_worker.join();
    m_latestWins = 0;
}

void CVQDecodeVS::WorkerMain() {
    std::unique_lock<std::mutex> lock(m_wakeLock);
    while (!m_stop) {
        lock.unlock();
        const int took = DecodePending();
        lock.lock();
        if (took) continue;
        // Nothing to decode: look again a little later (the render thread
        // never signals, so its frames stay free of system calls).
        m_idlePasses++;
        m_wake.notify_all();
        if (!m_stop) m_wake.wait_for(lock, std::chrono::milliseconds(kWorkerPollMillis));
    }
}

int CVQDecodeVS::WaitForWorker(int timeoutMs) {
    if (!m_worker.joinable()) return 0;
    std::unique_lock<std::mutex> lock(m_wakeLock);
    const int64_t target = m_idlePasses + 2;
    m_wake.notify_all();
    m_wake.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_idlePasses >= target || m_stop; });
    return m_idlePasses >= target ? 1 : 0;
}
