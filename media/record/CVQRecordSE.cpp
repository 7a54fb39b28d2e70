#ifdef _WIN32
#include "CVQRecordSE.h"

#include <mmsystem.h>

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "CVKPixels.h"
#include "VKLog.h"
#include "VKSettings.h"
#include "VQAudioFormat.h"
#include "VQRecFormat.h"
#include "VQRecordingName.h"

namespace {
const uint32_t kLockFlags = 0x8810;  // D3DLOCK_READONLY | D3DLOCK_NOSYSLOCK | D3DLOCK_NO_DIRTY_UPDATE
const int kMaxBuffersPerFrame = CWaveIn::kBuffers;

uint64_t Micros() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<uint64_t>(now.QuadPart * 1000000.0 / frequency.QuadPart);
}
}  // namespace

CVQRecordSE::CVQRecordSE()
    : m_recording(0),
      m_thread(nullptr),
      m_file(INVALID_HANDLE_VALUE),
      m_backBufferFormat(0),
      m_width(0),
      m_height(0),
      m_threads(1),
      m_reduceMethod(1),
      m_reduceFactor(1),
      m_bbWidth(0),
      m_bbHeight(0),
      m_frame(nullptr),
      m_savedBuffers(0),
      m_soundChanging(0),
      m_captureStamp(0),
      m_lastStamp(0),
      m_frameStamp(0) {
    m_path[0] = 0;
    memset(&m_format, 0, sizeof m_format);
    memset(&m_report, 0, sizeof m_report);
    memset(&m_stats, 0, sizeof m_stats);
}

CVQRecordSE::~CVQRecordSE() {
    // Normally ended by the HUD before; a recorder never leaves its thread running.
    if (m_recording || m_file != INVALID_HANDLE_VALUE || m_thread) Finish(0);
    m_waveIn.Close();
}

int CVQRecordSE::WriteAll(const void* data, uint32_t size) {
    DWORD written = 0;
    if (!WriteFile(m_file, data, size, &written, nullptr) || written != size) return 0;
    m_stats.bytes += written;
    return 1;
}

void CVQRecordSE::Cleanup() {
    m_waveIn.Close();
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    m_encoder.CloseEncoder();
    m_ring.Release();
    m_di.Close();
    m_pictures.Free();
    m_frame = nullptr;
}

int CVQRecordSE::BeginRecording() {
    if (m_recording || m_file != INVALID_HANDLE_VALUE) EndRecording();
    uint32_t format = 0, width = 0, height = 0;
    if (!CVQSurface::GetBackBufferInfo(&format, &width, &height, nullptr)) {
        LogMessage("CVQRecordSE::BeginRecording(): Failed to get back buffer\r\n");
        return 0;
    }
    m_backBufferFormat = format;
    m_bbWidth = width;
    m_bbHeight = height;
    m_threads = VKGetSettingInt("recorderThreads", "1");
    m_reduceMethod = VKGetSettingInt("recorderImageReduceMethod", "1");
    m_reduceFactor = VKGetSettingInt("recorderImageReduceFactor", "1");
    if (m_reduceMethod == 0) m_reduceFactor = (width >= 1280 && height >= 960) ? 2 : 1;
    if (m_reduceFactor < 1) m_reduceFactor = 1;  // a factor must divide the picture, not the program

    int pixelFormat = -1;
    const int bytesPerPixel = CVQSurface::MapBackBufferPixelFormat(format, &pixelFormat)
                                  ? CVQSurface::BytesPerPixelOfCodecFormat(pixelFormat)
                                  : 0;
    const int queued = bytesPerPixel && m_pictures.Init(CVKPixels::LayoutOfFormat(format), width, height,
                                                        width * static_cast<uint32_t>(bytesPerPixel));
    m_encoder.EnableVideo(1);
    m_encoder.SetVideoCodec(kVQCodecHuffYUV, 0);
    m_encoder.SetVideoFormat(static_cast<int>(width), static_cast<int>(height), 0, pixelFormat);
    m_encoder.SetReduceFactor(m_reduceFactor);
    if (!queued || !m_encoder.OpenEncoder()) {
        LogMessage("CVQRecordSE::BeginRecording(): Failed to create video encoder\r\n");
        Cleanup();
        return 0;
    }
    m_width = static_cast<uint32_t>(m_encoder.GetReducedWidth());
    m_height = static_cast<uint32_t>(m_encoder.GetReducedHeight());

    const int device = VKGetSettingInt("recorderAudioDevice", "0");
    if (!ChooseAudioFormat(device, &m_format)) {
        LogMessage("CVQRecordSE::BeginRecording(): Failed to choose an audio format\r\n");
        Cleanup();
        return 0;
    }
    const uint32_t audioBufferBytes =
        VQRecAudioBufferBytes(m_format.wBitsPerSample, m_format.nChannels, static_cast<int>(m_format.nSamplesPerSec));
    if (!m_waveIn.Open(device, &m_format, audioBufferBytes) || !m_waveIn.Start()) {
        LogMessage("CVQRecordSE::BeginRecording(): Failed to start audio capture\r\n");
        Cleanup();
        return 0;
    }

    char exe[MAX_PATH] = "\\vqhud.exe";
    char module[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, module, sizeof module);
    if (n > 0 && n < sizeof module) strcpy(exe, module);
    SYSTEMTIME now;
    GetLocalTime(&now);
    const VQLocalTime when = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    CVKString folder = VKGetSetting("recorderFolder", "C:\\");
    if (VQBuildRecordingPath(m_path, sizeof m_path, folder.Str(), exe, when, ".rec") >= sizeof m_path) {
        LogMessage("CVQRecordSE::BeginRecording(): File name too long: %s\r\n", m_path);
        Cleanup();
        return 0;
    }
    m_file = CreateFileA(m_path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE) {
        LogMessage("CVQRecordSE::BeginRecording(): Failed to create %s (%d)\r\n", m_path,
                   static_cast<int>(GetLastError()));
        Cleanup();
        return 0;
    }
    memset(&m_stats, 0, sizeof m_stats);
    int codecDataSize = 0;
    const uint8_t* codecData = m_encoder.GetCodecData(&codecDataSize);
    VQRecHeader header = {format,
                          m_width,
                          m_height,
                          m_format.nChannels,
                          m_format.nSamplesPerSec,
                          m_format.wBitsPerSample,
                          audioBufferBytes,
                          static_cast<uint32_t>(codecDataSize)};
    uint8_t raw[kVQRecHeaderSize];
    VQRecPutHeader(raw, header);
    if (!WriteAll(raw, sizeof raw) ||
        (codecDataSize > 0 && !WriteAll(codecData, static_cast<uint32_t>(codecDataSize)))) {
        LogMessage("CVQRecordSE::BeginRecording(): File error: %d\r\n", static_cast<int>(GetLastError()));
        Cleanup();
        DeleteFileA(m_path);  // a file without its header is no recording
        return 0;
    }

    char diPath[MAX_PATH];
    strcpy(diPath, m_path);
    if (VQReplaceExtension(diPath, sizeof diPath, ".di")) m_di.Open(diPath);

    m_savedBuffers = 0;
    m_soundChanging = 0;
    m_lastStamp = 0;   // the first picture needs sound before it
    m_ring.Release();  // made on the first capture, synchronous or not as the device allows
    InterlockedExchange(&m_recording, 1);
    if (m_threads) {
        m_thread = CreateThread(nullptr, 0, WorkerMain, this, 0, nullptr);
        if (!m_thread) m_threads = 0;
    }
    InitFrameRateReport(&m_report, timeGetTime());
    LogMessage("Start recording:\r\n");
    LogMessage("BackBuffer: format 0x%x width %d height %d\r\n", format, static_cast<int>(width),
               static_cast<int>(height));
    LogMessage("Threading: %d\r\n", m_threads);
    LogMessage("FileName: %s\r\n", m_path);
    return 1;
}

void CVQRecordSE::EndRecording() { Finish(1); }

void CVQRecordSE::Finish(int drain) {
    InterlockedExchange(&m_recording, 0);
    if (m_thread) {
        m_pictures.Stop();  // the encoder thread writes what is queued, then ends
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
    if (m_file == INVALID_HANDLE_VALUE) return;  // nothing was running
    // Copies taken before the end are still pictures of the recording: with
    // the encoder thread gone they are coded here.
    for (int i = 0; drain && i < CVQCaptureRing::kSlots && m_ring.InFlight() > 0; i++)
        if (!HandOver(1)) break;
    ReportFrameRate(&m_report, 1, timeGetTime());
    // Milliseconds this recording spent saving sound, copying pictures for
    // the encoder, coding them and saving them.
    LogMessage("Timing: sau=%d cap=%d enc=%d sav=%d\r\n", static_cast<int>(m_stats.soundMicros / 1000),
               static_cast<int>(m_stats.captureMicros / 1000), static_cast<int>(m_stats.encodeMicros / 1000),
               static_cast<int>(m_stats.saveMicros / 1000));
    LogMessage("End recording\r\n");
    Cleanup();
}

void CVQRecordSE::ReleaseSurface() {
    // The ring's copies live on the device and are gone after a reset: read
    // them now, each once the picture queue has room for it.
    for (int i = 0; i < CVQCaptureRing::kSlots && m_recording && m_ring.InFlight() > 0; i++) {
        while (m_recording && m_thread && !m_pictures.HasRoom()) Sleep(1);
        if (!m_recording) break;
        if (!HandOver(1)) {
            InterlockedExchange(&m_recording, 0);  // the next frame ends the recording
            break;
        }
    }
    m_ring.Release();
}

void CVQRecordSE::ProcessFrame() {
    if (!m_recording) {
        if (m_file != INVALID_HANDLE_VALUE) Finish(0);  // the encoder thread failed
        return;
    }
    m_stats.offered++;
    // A new picture needs new sound: its stamp is all sound complete as the
    // frame arrives (read first, so the time the steps below take does not
    // move the frame's sound position later than the picture it shows).
    // While the encoder thread gives a buffer back the count is unsettled:
    // the frame waits for the next one.
    int done = 0;
    const int64_t stamp = SoundPosition(&done);
    // A copy taken on an earlier frame goes to the encoder thread once the
    // device has finished it and it has been read back (taken before the
    // other slots' reads are started, so its lock is not asked for behind them).
    if (!HandOver(0)) {
        Finish(0);
        return;
    }
    m_ring.Poll();
    if (stamp < 0) {
        m_stats.noSound++;
        return;
    }
    // Sound held for copies still in flight fills the capture buffers; once
    // all are full, the frame is skipped because the recorder is behind.
    if (stamp <= m_lastStamp) {
        if (done < CWaveIn::kBuffers)
            m_stats.noSound++;
        else
            m_stats.skippedBusy++;
        return;
    }
    if (m_ring.InFlight() == CVQCaptureRing::kSlots) {
        m_stats.skippedBusy++;
        if (m_pictures.HasRoom()) m_stats.deviceBehind++;
        return;
    }
    m_captureStamp = stamp;
    if (!CaptureBackBuffer()) {
        Finish(0);
        return;
    }
    m_lastStamp = stamp;
    // A copy that is finished already (always so without completion queries)
    // is handed on now: the sound after it waits no longer than it must.
    if (!HandOver(0)) {
        Finish(0);
        return;
    }
    ReportFrameRate(&m_report, 0, timeGetTime());
    m_report.frames++;
}

int64_t CVQRecordSE::SoundPosition(int* waiting) const {
    const LONG changing = m_soundChanging;
    const int64_t saved = m_savedBuffers;
    const int done = m_waveIn.CountDone();
    if ((changing & 1) || m_soundChanging != changing || m_savedBuffers != saved) return -1;
    if (waiting) *waiting = done;
    return saved + done;
}

int CVQRecordSE::HandOver(int wait) {
    CVQPictureQueue::Timing timing;
    const int result = m_pictures.TakeFromRing(&m_ring, wait, &timing);
    m_stats.lockMicros += timing.lockMicros;
    if (result == CVQPictureQueue::kTakeFailed) {
        LogMessage("CVQRecordSE::CaptureBackBuffer(): Failed to LockRect() copy buffer\r\n");
        return 0;
    }
    if (result != CVQPictureQueue::kTaken) return 1;
    m_stats.captureMicros += timing.copyMicros;
    if (m_thread) return 1;  // the queue wakes the encoder thread
    const uint8_t* pixels = nullptr;
    int64_t stamp = 0;
    AVPacket* packet = av_packet_alloc();
    int ok = packet != nullptr;
    for (; ok && m_pictures.Peek(&pixels, &stamp); m_pictures.Pop()) ok = WritePicture(pixels, stamp, packet);
    av_packet_free(&packet);
    return ok;
}

int CVQRecordSE::WritePicture(const uint8_t* pixels, int64_t stamp, AVPacket* packet) {
    if (!SaveAudioSamples(stamp)) return 0;
    m_frame = pixels;
    m_frameStamp = stamp;
    return EncodeBackBuffer(packet) && SaveBackBuffer(packet);
}

int CVQRecordSE::OnInputEvent(unsigned message, uintptr_t data, uintptr_t flags) {
    m_di.DeviceInput(message, data, flags, static_cast<int32_t>(m_savedBuffers * 33));
    return 0;
}

int CVQRecordSE::SaveAudioSamples(int64_t until) {
    const uint64_t micros = Micros();
    // At most one ring's worth per frame, so a device that delivers faster
    // than real time cannot hold the render thread here.
    for (int i = 0; i < kMaxBuffersPerFrame && m_savedBuffers < until && m_waveIn.IsCurrentDone(); i++) {
        const uint32_t size = m_waveIn.GetCurrentBytes();
        uint8_t prefix[kVQRecAudioPrefixSize];
        VQRecPutAudioPrefix(prefix, size);
        if (!WriteAll(prefix, sizeof prefix) || !WriteAll(m_waveIn.GetCurrentData(), size)) {
            LogMessage("CVQRecordSE::SaveAudioSamples(): File error: %d\r\n", static_cast<int>(GetLastError()));
            m_stats.soundMicros += Micros() - micros;
            return 0;
        }
        // The render thread reads the saved count and the device's done
        // buffers together: it takes neither while both change. Only the
        // count changes inside; the device gets the buffer back after, so
        // a slow device call does not leave the count unsettled for frames.
        InterlockedIncrement(&m_soundChanging);
        WAVEHDR* header = m_waveIn.Advance();
        m_waveIn.IncrementCount();
        m_savedBuffers++;
        InterlockedIncrement(&m_soundChanging);
        m_waveIn.Queue(header);
        m_stats.audioBuffers++;
    }
    m_stats.soundMicros += Micros() - micros;
    return 1;
}

int CVQRecordSE::CaptureBackBuffer() {
    if (m_ring.Capture(m_captureStamp) != CVQCaptureRing::kCaptured) {
        LogMessage("CVQRecordSE::CaptureBackBuffer(): Failed to copy back buffer\r\n");
        return 0;
    }
    if (m_ring.Width() != m_bbWidth || m_ring.Height() != m_bbHeight || m_ring.Format() != m_backBufferFormat) {
        LogMessage("CVQRecordSE::CaptureBackBuffer(): Back buffer size/format change (w:%d, h:%d, f:%d)\r\n",
                   static_cast<int>(m_ring.Width()), static_cast<int>(m_ring.Height()),
                   static_cast<int>(m_ring.Format()));
        return 0;
    }
    return 1;
}

int CVQRecordSE::EncodeBackBuffer(AVPacket* packet) {
    const uint64_t micros = Micros();
    m_encoder.SetInputPicture(m_frame);
    const int ok = m_encoder.EncodeVideoPacket(packet);
    m_stats.encodeMicros += Micros() - micros;
    return ok;
}

int CVQRecordSE::SaveBackBuffer(AVPacket* packet) {
    const uint64_t micros = Micros();
    uint8_t prefix[kVQRecVideoPrefixSize];
    const uint32_t bufferBytes =
        VQRecAudioBufferBytes(m_format.wBitsPerSample, m_format.nChannels, static_cast<int>(m_format.nSamplesPerSec));
    VQRecPutVideoPrefix(prefix, VQRecTimestamp(m_frameStamp, bufferBytes, m_format.nAvgBytesPerSec),
                        (packet->flags & AV_PKT_FLAG_KEY) ? 1 : 0, static_cast<uint32_t>(packet->size));
    if (!WriteAll(prefix, sizeof prefix) ||
        (packet->size > 0 && !WriteAll(packet->data, static_cast<uint32_t>(packet->size)))) {
        LogMessage("CVQRecordSE::SaveBackBuffer(): File error: %d\r\n", static_cast<int>(GetLastError()));
        m_stats.saveMicros += Micros() - micros;
        return 0;
    }
    m_stats.saveMicros += Micros() - micros;
    m_stats.recorded++;
    return 1;
}

DWORD WINAPI CVQRecordSE::WorkerMain(LPVOID param) {
    CVQRecordSE* self = static_cast<CVQRecordSE*>(param);
    AVPacket* packet = av_packet_alloc();
    const uint8_t* pixels = nullptr;
    int64_t stamp = 0;
    // Pictures queued just before the end are still written.
    while (self->m_pictures.Wait(&pixels, &stamp)) {
        if (!packet || !self->WritePicture(pixels, stamp, packet)) {
            // The render thread ends the recording on its next frame.
            InterlockedExchange(&self->m_recording, 0);
            break;
        }
        self->m_pictures.Pop();
    }
    av_packet_free(&packet);
    return 0;
}
#endif
