#ifdef _WIN32
#include "CVQVoiceVS.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstdlib>
#include <cstring>

#include "VKLog.h"
#include "VKSettings.h"
#include "VQAudioFormat.h"
#include "VQCodecIds.h"

namespace {
// Settings read as numbers and held to their range; compared unsigned, so a
// negative value counts as too large.
int HeldTo(int value, unsigned low, unsigned high) {
    const unsigned v = static_cast<unsigned>(value);
    if (v < low) return static_cast<int>(low);
    if (v > high) return static_cast<int>(high);
    return value;
}
}  // namespace

CVQVoiceVS::CVQVoiceVS(IVKDatagramSocket* socket, IVKClock* clock)
    : m_client(socket, clock),
      m_worker(nullptr),
      m_wake(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_packet(nullptr),
      m_staging(nullptr),
      m_stagingFill(0),
      m_audioPackets(0),
      m_started(0),
      m_threads(1),
      m_frameRate(4),
      m_audioBitRate(64000),
      m_device(0),
      m_inCall(0),
      m_clock(clock ? clock : VKSystemClock()),
      m_lastBeginTry(-1),
      m_timeSound(0) {
    memset(&m_format, 0, sizeof m_format);
    memset(&m_report, 0, sizeof m_report);
}

CVQVoiceVS::~CVQVoiceVS() {
    EndCall();
    CloseRemoteVoices();
    m_client.Close();
    if (m_packet) av_packet_free(&m_packet);
    free(m_staging);
    if (m_wake) CloseHandle(m_wake);
}

int64_t CVQVoiceVS::PacketTime(int64_t packets, int frameBytes, int channels, int bytesPerSample, int samplesPerSec) {
    const int64_t perSecond = static_cast<int64_t>(channels) * bytesPerSample * samplesPerSec;
    if (perSecond <= 0 || packets < 0 || frameBytes <= 0) return 0;
    return packets * frameBytes * 1000 / perSecond;
}

void CVQVoiceVS::ReadVoiceSettings() {
    m_threads = VKGetSettingInt("shareThreads", "1");
    m_frameRate = HeldTo(VKGetSettingInt("shareFPS", "4"), 1, 100);
    m_audioBitRate = HeldTo(VKGetSettingInt("shareAudioBitrate", "64000"), 100, 1000000);
    m_device = VKGetSettingInt("shareVoiceDevice", "0");
    if (!ChooseAudioFormat(m_device, &m_format)) {
        // No capabilities to choose from: the format every device offers.
        m_format.wFormatTag = WAVE_FORMAT_PCM;
        m_format.nChannels = 1;
        m_format.nSamplesPerSec = 22050;
        m_format.wBitsPerSample = 16;
        m_format.nBlockAlign = 2;
        m_format.nAvgBytesPerSec = 44100;
        m_format.cbSize = 0;
    }
}

void CVQVoiceVS::AddRemoteVoice(IVQVoiceStream* voice) {
    if (voice) m_remote.Insert(voice);
}

void CVQVoiceVS::CloseRemoteVoices() {
    while (m_remote.Count()) {
        IVQVoiceStream* voice = static_cast<IVQVoiceStream*>(m_remote.Get(m_remote.Count() - 1));
        m_remote.RemoveAt(m_remote.Count() - 1);
        voice->Logout();
        voice->Close();
        delete voice;
    }
}

void CVQVoiceVS::Update() {
    // The worker still sends the previous buffer: this frame does nothing.
    // Only a worker's buffer sets the event, so without a call the event is
    // not asked (each wait is a trip to the system on some platforms).
    if (m_worker && WaitForSingleObject(m_wake, 0) == WAIT_OBJECT_0) return;
    m_client.Update();
    for (int i = 0; i < m_remote.Count(); ++i) static_cast<IVQVoiceStream*>(m_remote.Get(i))->Update();
    if (m_started) {
        // Logged out, or the worker gave up after a failure.
        if (!m_client.IsLoggedIn() || !m_inCall.load()) {
            EndCall();
            return;
        }
        if (!m_waveIn.IsCurrentDone()) return;
        if (m_worker) {
            SetEvent(m_wake);
        } else if (!SendAudio()) {
            EndCall();
            return;
        }
        ReportFrameRate(&m_report, 0, timeGetTime());
        m_report.frames++;
        return;
    }
    if (m_client.IsLoggedIn()) {
        // A call that could not begin (no device, no codec) is tried again
        // once a second, not on every frame.
        const int64_t now = m_clock->Millis();
        if (m_lastBeginTry >= 0 && now - m_lastBeginTry < kBeginRetryMs) return;
        m_lastBeginTry = now;
        BeginCall();
    }
}

int CVQVoiceVS::BeginCall() {
    EndCall();
    ReadVoiceSettings();
    const int channels = m_format.nChannels;
    const int bits = m_format.wBitsPerSample;
    const int rate = static_cast<int>(m_format.nSamplesPerSec);
    m_encoder.EnableVideo(0);
    m_encoder.EnableAudio(1);
    m_encoder.SetAudioCodec(kVQCodecWMAV2, m_audioBitRate);
    m_encoder.SetAudioFormat(channels, rate, bits);
    m_encoder.SetFrameRate(m_frameRate);
    if (!m_encoder.OpenEncoder() || m_encoder.GetAudioFrameBytes() <= 0 ||
        m_encoder.GetAudioFrameBytes() > kStagingBytes / 2) {
        m_encoder.CloseEncoder();
        LogMessage("CVQVoiceVS::BeginCall(): Failed to create audio encoder\r\n");
        return 0;
    }
    if (!m_packet) m_packet = av_packet_alloc();
    if (!m_staging) m_staging = static_cast<uint8_t*>(malloc(kStagingBytes));
    if (!m_packet || !m_staging) {
        m_encoder.CloseEncoder();
        LogMessage("CVQVoiceVS::BeginCall(): Out of memory\r\n");
        return 0;
    }
    const DWORD bufferBytes = static_cast<DWORD>(channels * (bits / 8) * rate / m_frameRate);
    if (!m_waveIn.Open(m_device, &m_format, bufferBytes) || !m_waveIn.Start()) {
        m_waveIn.Close();
        m_encoder.CloseEncoder();
        LogMessage("CVQVoiceVS::BeginCall(): Failed to start the voice device\r\n");
        return 0;
    }
    m_stagingFill = 0;
    m_audioPackets = 0;
    m_timeSound = 0;
    m_inCall.store(1);
    m_started = 1;
    ResetEvent(m_wake);
    if (m_threads) {
        m_worker = CreateThread(nullptr, 0, WorkerMain, this, 0, nullptr);
        if (!m_worker) m_threads = 0;
    }
    InitFrameRateReport(&m_report, timeGetTime());
    LogMessage("Start voice call:\r\n");
    LogMessage("Threading: %d\r\n", m_threads);
    LogMessage("Framerate: %d\r\n", m_frameRate);
    LogMessage("Audio: samplespersec %d channels %d bitspersample %d\r\n", rate, channels, bits);
    return 1;
}

void CVQVoiceVS::StopWorker() {
    if (!m_worker) return;
    // The worker sees the call ended at its next wake-up and leaves.
    SetEvent(m_wake);
    WaitForSingleObject(m_worker, INFINITE);
    CloseHandle(m_worker);
    m_worker = nullptr;
    ResetEvent(m_wake);
}

void CVQVoiceVS::EndCall() {
    if (!m_started) return;
    m_started = 0;
    m_inCall.store(0);
    StopWorker();
    ReportFrameRate(&m_report, 1, timeGetTime());
    LogMessage("Timing: sau=%d cap=%d enc=%d sav=%d\r\n", static_cast<int>(m_timeSound), 0, 0, 0);
    LogMessage("End sharing(le)\r\n");
    m_waveIn.Stop();
    m_waveIn.Close();
    m_encoder.CloseEncoder();
}

DWORD WINAPI CVQVoiceVS::WorkerMain(LPVOID param) {
    CVQVoiceVS* self = static_cast<CVQVoiceVS*>(param);
    for (;;) {
        WaitForSingleObject(self->m_wake, INFINITE);
        if (!self->m_inCall.load()) break;
        if (!self->SendAudio()) {
            // The render thread sees the call ended and cleans up (EndCall).
            self->m_inCall.store(0);
            ResetEvent(self->m_wake);
            break;
        }
        ResetEvent(self->m_wake);
    }
    return 0;
}

int CVQVoiceVS::SendAudio() {
    const DWORD start = timeGetTime();
    const int frameBytes = m_encoder.GetAudioFrameBytes();
    const int channels = m_format.nChannels;
    const int bytesPerSample = m_format.wBitsPerSample / 8;
    const int rate = static_cast<int>(m_format.nSamplesPerSec);
    if (frameBytes <= 0 || !m_staging) return 0;
    for (int taken = 0; taken < CWaveIn::kBuffers && m_waveIn.IsCurrentDone(); ++taken) {
        const uint8_t* bytes = m_waveIn.GetCurrentData();
        int size = static_cast<int>(m_waveIn.GetCurrentBytes());
        // The staging buffer holds less than one frame between buffers; what
        // would not fit is dropped rather than written past its end.
        if (size > kStagingBytes - m_stagingFill) size = kStagingBytes - m_stagingFill;
        if (size > 0 && bytes) {
            memcpy(m_staging + m_stagingFill, bytes, static_cast<size_t>(size));
            m_stagingFill += size;
        }
        int used = 0;
        while (m_stagingFill - used >= frameBytes) {
            m_encoder.SetInputAudio(m_staging + used);
            if (!m_encoder.EncodeAudioPacket(m_packet)) return 0;
            used += frameBytes;
            const int64_t time = PacketTime(m_audioPackets, frameBytes, channels, bytesPerSample, rate);
            if (m_packet->size > 0) m_client.SendAudioPacket(m_packet->data, m_packet->size, m_packet->flags, time);
            // Counted per frame of sound, so the time stamps follow the sound
            // even when the codec holds a frame back.
            m_audioPackets++;
        }
        if (used) {
            memmove(m_staging, m_staging + used, static_cast<size_t>(m_stagingFill - used));
            m_stagingFill -= used;
        }
        m_waveIn.Requeue();
        m_waveIn.IncrementCount();
    }
    m_timeSound += timeGetTime() - start;
    return 1;
}
#endif
