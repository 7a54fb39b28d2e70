#ifdef _WIN32
#include "CVQRecordVS.h"

#include <mmsystem.h>

#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "CVKPixels.h"
#include "CVQSurface.h"
#include "VKClock.h"
#include "VKLog.h"
#include "VKSettings.h"
#include "VQAudioFormat.h"

namespace {
uint64_t Micros() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<uint64_t>(now.QuadPart * 1000000.0 / frequency.QuadPart);
}
}  // namespace

CVQRecordVS::CVQRecordVS(CVQShareVS* client)
    : m_sharing(0),
      m_client(client ? client : new CVQShareVS),
      m_bbFormat(0),
      m_bbWidth(0),
      m_bbHeight(0),
      m_thread(nullptr),
      m_staging(nullptr),
      m_stagingFill(0),
      m_audioPackets(0),
      m_buffersTaken(0),
      m_settings(VQDefaultShareSettings()),
      m_pixelFormat(-1),
      m_frame(nullptr),
      m_frameStamp(0),
      m_lastStamp(0),
      m_lastBeginFailure(0),
      m_beginFailed(0),
      m_packet(nullptr) {
    memset(&m_format, 0, sizeof m_format);
    memset(&m_report, 0, sizeof m_report);
    memset(&m_stats, 0, sizeof m_stats);
}

CVQRecordVS::~CVQRecordVS() {
    EndRecording();
    m_waveIn.Close();
    free(m_staging);
    delete m_client;
}

int CVQRecordVS::GetVideoWidth() const { return VQShareSide(m_bbWidth, m_settings.reduceFactor); }
int CVQRecordVS::GetVideoHeight() const { return VQShareSide(m_bbHeight, m_settings.reduceFactor); }

int CVQRecordVS::ReadBackBuffer() {
    uint32_t format = 0, width = 0, height = 0;
    if (!CVQSurface::GetBackBufferInfo(&format, &width, &height, nullptr)) return 0;
    m_bbFormat = format;
    m_bbWidth = width;
    m_bbHeight = height;
    return 1;
}

int CVQRecordVS::ReadShareSettings() {
    VQShareSettings s = VQDefaultShareSettings();
    s.threads = VKGetSettingInt("shareThreads", "1");
    s.reduceMethod = VKGetSettingInt("shareImageReduceMethod", "0");
    s.reduceFactor = VKGetSettingInt("shareImageReduceFactor", "1");
    s.frameRate = VKGetSettingInt("shareFPS", "4");
    s.videoBitRate = VKGetSettingInt("shareVideoBitrate", "128000");
    s.audioBitRate = VKGetSettingInt("shareAudioBitrate", "64000");
    VQLimitShareSettings(&s, m_bbWidth, m_bbHeight);
    s.audioDevice = VKGetSettingInt("recorderAudioDevice", "0");
    m_settings = s;
    return ChooseAudioFormat(s.audioDevice, &m_format);
}

// The worker gives a picture's buffer back only once it has sent it, so a
// queued picture means the worker is at work (or about to be).
int CVQRecordVS::IsWorkerBusy() const { return m_thread && m_pictures.Pending() > 0; }

void CVQRecordVS::Cleanup() {
    m_waveIn.Close();
    m_encoder.CloseEncoder();
    m_ring.Release();
    m_di.Close();
    m_pictures.Free();
    m_frame = nullptr;
    av_packet_free(&m_packet);
}

int CVQRecordVS::BeginRecording() {
    if (m_sharing) EndRecording();
    if (!ReadBackBuffer()) {
        LogMessage("CVQRecordVS::BeginRecording(): Failed to get back buffer\r\n");
        return 0;
    }
    if (!ReadShareSettings()) {
        LogMessage("CVQRecordVS::BeginRecording(): Failed to choose an audio format\r\n");
        return 0;
    }
    const VQShareSettings& s = m_settings;
    int pixelFormat = -1;
    const int bytesPerPixel = CVQSurface::MapBackBufferPixelFormat(m_bbFormat, &pixelFormat)
                                  ? CVQSurface::BytesPerPixelOfCodecFormat(pixelFormat)
                                  : 0;
    m_pixelFormat = pixelFormat;
    const uint32_t rowBytes = m_bbWidth * static_cast<uint32_t>(bytesPerPixel);
    // One picture deep: the worker is handed a picture only while it is idle.
    const int queued =
        bytesPerPixel && m_pictures.Init(CVKPixels::LayoutOfFormat(m_bbFormat), m_bbWidth, m_bbHeight, rowBytes, 1);
    m_packet = av_packet_alloc();
    m_encoder.EnableVideo(1);
    m_encoder.EnableAudio(1);
    m_encoder.SetVideoCodec(kVQCodecWMV2, s.videoBitRate);
    m_encoder.SetAudioCodec(kVQCodecWMAV2, s.audioBitRate);
    m_encoder.SetFrameRate(s.frameRate);
    m_encoder.SetVideoFormat(static_cast<int>(m_bbWidth), static_cast<int>(m_bbHeight), static_cast<int>(rowBytes),
                             pixelFormat);
    m_encoder.SetReduceFactor(s.reduceFactor);
    m_encoder.SetAudioFormat(m_format.nChannels, static_cast<int>(m_format.nSamplesPerSec), m_format.wBitsPerSample);
    if (!queued || !m_packet || !m_encoder.OpenEncoder()) {
        LogMessage("CVQRecordVS::BeginRecording(): Failed to create video encoder\r\n");
        Cleanup();
        return 0;
    }
    // One frame's worth of sound per buffer, in whole sample frames.
    const DWORD bufferBytes =
        VQWholeFrameBytes(static_cast<uint32_t>(m_format.nChannels * (m_format.wBitsPerSample / 8) *
                                                m_format.nSamplesPerSec / static_cast<DWORD>(s.frameRate)),
                          m_format.nBlockAlign);
    if (!m_waveIn.Open(s.audioDevice, &m_format, bufferBytes) || !m_waveIn.Start()) {
        LogMessage("CVQRecordVS::BeginRecording(): Failed to start audio capture\r\n");
        Cleanup();
        return 0;
    }
    if (!m_staging) m_staging = static_cast<uint8_t*>(malloc(kStagingBytes));
    if (!m_staging) {
        Cleanup();
        return 0;
    }
    m_stagingFill = 0;
    m_audioPackets = 0;
    m_buffersTaken = 0;
    m_lastStamp = 0;
    memset(&m_stats, 0, sizeof m_stats);
    m_di.Open(nullptr);
    m_ring.Release();  // made on the first capture
    InterlockedExchange(&m_sharing, 1);
    if (m_settings.threads) {
        m_thread = CreateThread(nullptr, 0, WorkerMain, this, 0, nullptr);
        if (!m_thread) m_settings.threads = 0;
    }
    InitFrameRateReport(&m_report, timeGetTime());
    LogMessage("Start sharing(le):\r\n");
    LogMessage("BackBuffer: format 0x%x width %d height %d\r\n", m_bbFormat, static_cast<int>(m_bbWidth),
               static_cast<int>(m_bbHeight));
    LogMessage("Threading: %d\r\n", m_settings.threads);
    LogMessage("Framerate: %d\r\n", s.frameRate);
    LogMessage("Encoding: video-bitrate %d audio-bitrate %d\r\n", s.videoBitRate, s.audioBitRate);
    LogMessage("Audio: samplespersec %d channels %d bitspersample %d\r\n", static_cast<int>(m_format.nSamplesPerSec),
               m_format.nChannels, m_format.wBitsPerSample);
    return 1;
}

void CVQRecordVS::EndRecording() {
    const LONG was = InterlockedExchange(&m_sharing, 0);
    if (m_thread) {
        m_pictures.Stop();  // the worker sends what is queued, then ends
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
    if (!was && !HoldsShare()) return;  // nothing was running
    ReportFrameRate(&m_report, 1, timeGetTime());
    LogMessage("Timing: sau=%d cap=%d enc=%d sav=%d\r\n", static_cast<int>(m_stats.soundMicros / 1000),
               static_cast<int>(m_stats.captureMicros / 1000), static_cast<int>(m_stats.encodeMicros / 1000),
               static_cast<int>(m_stats.sendMicros / 1000));
    LogMessage("Shared: pictures %d, sound packets %d, last sound at %d ms\r\n", static_cast<int>(m_stats.pictures),
               static_cast<int>(m_stats.audioPackets), static_cast<int>(m_stats.lastAudioTime));
    LogMessage("End sharing(le)\r\n");
    Cleanup();
}

void CVQRecordVS::ReleaseSurface() {
    // Copies on the device are gone after a reset; pictures are only
    // pictures of the moment, so they are dropped, not drained. A worker
    // that failed keeps its picture and has ended the share: not waited for.
    while (m_sharing && IsWorkerBusy()) Sleep(1);
    m_ring.Release();
}

int CVQRecordVS::OnInputEvent(unsigned message, uintptr_t data, uintptr_t flags) {
    if (m_sharing)
        m_di.DeviceInput(message, data, flags,
                         static_cast<int32_t>(VQShareVideoTime(m_buffersTaken, m_settings.frameRate)));
    return 0;
}

void CVQRecordVS::ProcessFrame() {
    if (!m_sharing && HoldsShare()) EndRecording();  // the worker failed: clean up
    // The worker is still busy with the last picture: the whole frame is skipped.
    if (IsWorkerBusy()) return;
    m_client->Update();
    if (!m_sharing) {
        // Sharing starts by itself once the client is logged in; a start that
        // fails is tried again a second later, not on every frame.
        if (m_client->IsLoggedIn() && (!m_beginFailed || VKClockMs() - m_lastBeginFailure >= kRetryMillis)) {
            m_beginFailed = BeginRecording() ? 0 : 1;
            if (m_beginFailed) m_lastBeginFailure = VKClockMs();
        }
        return;
    }
    if (!m_client->IsLoggedIn()) {
        EndRecording();
        return;
    }
    m_ring.Poll();
    if (!HandOver(0)) {
        EndRecording();
        return;
    }
    if (IsWorkerBusy()) return;  // a picture was just handed over
    // A new picture needs new sound: its stamp is all sound complete so far.
    const int64_t stamp = m_buffersTaken + m_waveIn.CountDone();
    if (stamp <= m_lastStamp) return;
    if (m_ring.InFlight() == CVQCaptureRing::kSlots) {
        m_stats.skippedBusy++;
        return;
    }
    if (!CaptureBackBuffer()) {
        EndRecording();
        return;
    }
    m_lastStamp = stamp;
    // A copy that is finished already (always so without completion queries)
    // goes on now.
    if (!HandOver(0)) {
        EndRecording();
        return;
    }
    ReportFrameRate(&m_report, 0, timeGetTime());
    m_report.frames++;
}

int CVQRecordVS::CaptureBackBuffer() {
    const uint64_t micros = Micros();
    const int result = m_ring.Capture(m_buffersTaken + m_waveIn.CountDone());
    m_stats.captureMicros += Micros() - micros;
    if (result != CVQCaptureRing::kCaptured) {
        LogMessage("CVQRecordVS::CaptureBackBuffer(): Failed to copy back buffer\r\n");
        return 0;
    }
    if (m_ring.Width() != m_bbWidth || m_ring.Height() != m_bbHeight || m_ring.Format() != m_bbFormat) {
        LogMessage("CVQRecordVS::CaptureBackBuffer(): Back buffer size/format change (w:%d, h:%d, f:%d)\r\n",
                   static_cast<int>(m_ring.Width()), static_cast<int>(m_ring.Height()),
                   static_cast<int>(m_ring.Format()));
        return 0;
    }
    return 1;
}

int CVQRecordVS::HandOver(int wait) {
    CVQPictureQueue::Timing timing;
    const int result = m_pictures.TakeFromRing(&m_ring, wait, &timing);
    if (result == CVQPictureQueue::kTakeFailed) {
        LogMessage("CVQRecordVS::EncodeBackBuffer(): Failed to LockRect() copy buffer\r\n");
        return 0;
    }
    if (result != CVQPictureQueue::kTaken) return 1;
    m_stats.captureMicros += timing.copyMicros;
    if (m_thread) return 1;  // the queue wakes the worker
    const uint8_t* pixels = nullptr;
    int64_t stamp = 0;
    int ok = 1;
    for (; ok && m_pictures.Peek(&pixels, &stamp); m_pictures.Pop()) ok = SendFrame(pixels, stamp);
    return ok;
}

int CVQRecordVS::SendFrame(const uint8_t* pixels, int64_t stamp) {
    m_frame = pixels;
    m_frameStamp = stamp;
    return SendAudio() && EncodeBackBuffer() && SendInputEvents();
}

int CVQRecordVS::SendAudio() {
    const uint64_t micros = Micros();
    const int frameBytes = m_encoder.GetAudioFrameBytes();
    if (frameBytes <= 0 || frameBytes > kStagingBytes) return 0;
    // At most a ring of buffers per picture, so a device delivering faster
    // than real time cannot hold the worker here.
    for (int i = 0; i < CWaveIn::kBuffers && m_waveIn.IsCurrentDone(); i++) {
        const DWORD size = m_waveIn.GetCurrentBytes();
        if (size > static_cast<DWORD>(kStagingBytes - m_stagingFill)) {
            LogMessage("CVQRecordVS::SendAudio(): Sound buffer of %d bytes does not fit\r\n", static_cast<int>(size));
            return 0;
        }
        memcpy(m_staging + m_stagingFill, m_waveIn.GetCurrentData(), size);
        m_stagingFill += static_cast<int>(size);
        int used = 0;
        while (m_stagingFill - used >= frameBytes) {
            m_encoder.SetInputAudio(m_staging + used);
            if (!m_encoder.EncodeAudioPacket(m_packet)) return 0;
            used += frameBytes;
            const int64_t time = VQShareAudioTime(m_audioPackets, frameBytes, m_format.nChannels,
                                                  m_format.wBitsPerSample, static_cast<int>(m_format.nSamplesPerSec));
            m_audioPackets++;
            if (m_packet->size > 0) {
                const uint64_t sent = Micros();
                m_client->SendAudioPacket(m_packet->data, m_packet->size, m_packet->flags, time);
                m_stats.sendMicros += Micros() - sent;
                m_stats.audioPackets++;
                m_stats.lastAudioTime = time;
            }
        }
        memmove(m_staging, m_staging + used, static_cast<size_t>(m_stagingFill - used));
        m_stagingFill -= used;
        m_waveIn.Requeue();
        m_waveIn.IncrementCount();
        m_buffersTaken++;
    }
    m_stats.soundMicros += Micros() - micros;
    return 1;
}

int CVQRecordVS::EncodeBackBuffer() {
    const uint64_t micros = Micros();
    m_encoder.SetInputPicture(m_frame);
    const int ok = m_encoder.EncodeVideoPacket(m_packet);
    m_stats.encodeMicros += Micros() - micros;
    if (!ok) {
        LogMessage("CVQRecordVS::EncodeBackBuffer(): Failed to encode picture\r\n");
        return 0;
    }
    const int64_t time = VQShareVideoTime(m_frameStamp, m_settings.frameRate);
    if (m_packet->size > 0) {
        const uint64_t sent = Micros();
        m_client->SendVideoPacket(m_packet->data, m_packet->size, m_packet->flags, time);
        m_stats.sendMicros += Micros() - sent;
        m_stats.pictures++;
        m_stats.lastVideoTime = time;
    }
    return 1;
}

int CVQRecordVS::SendInputEvents() {
    const std::string entries = m_di.TakeEntries();
    if (entries.empty()) return 1;
    // The text with its terminating zero, as one key packet of the third kind.
    m_client->SendOtherPacket(reinterpret_cast<const unsigned char*>(entries.c_str()),
                              static_cast<int>(entries.size() + 1), 1,
                              VQShareVideoTime(m_frameStamp, m_settings.frameRate));
    return 1;
}

DWORD WINAPI CVQRecordVS::WorkerMain(LPVOID param) {
    CVQRecordVS* self = static_cast<CVQRecordVS*>(param);
    const uint8_t* pixels = nullptr;
    int64_t stamp = 0;
    // A picture queued just before the end is still sent.
    while (self->m_pictures.Wait(&pixels, &stamp)) {
        if (!self->SendFrame(pixels, stamp)) {
            // The render thread ends the share on its next frame; the picture
            // stays queued, so it sees the worker busy until then.
            InterlockedExchange(&self->m_sharing, 0);
            break;
        }
        self->m_pictures.Pop();
    }
    return 0;
}
#endif
