#ifdef _WIN32
#include "CVQRecordAvi.h"

#include <cstdlib>
#include <cstring>

#include "CVKPixels.h"
#include "VKClock.h"
#include "VKLog.h"
#include "VKSettings.h"
#include "VQAviFormat.h"
#include "VQRecordingName.h"

namespace {
const uint32_t kLockFlags = 0x8810;     // D3DLOCK_READONLY | D3DLOCK_NOSYSLOCK | D3DLOCK_NO_DIRTY_UPDATE
const uint32_t kSizeCheckFrames = 90;   // frames written between two looks at the file's size
const uint32_t kSoundSilenceMs = 3000;  // no sound buffer for this long: the device has failed
}  // namespace

CVQRecordAvi::CVQRecordAvi()
    : m_recording(0),
      m_videoStream(-1),
      m_fileOpen(0),
      m_width(0),
      m_height(0),
      m_format(0),
      m_frameIndex(0),
      m_frameBuffer(nullptr),
      m_audioStream(-1),
      m_samplePosition(0),
      m_part(0),
      m_framesSinceSizeCheck(0),
      m_backBufferWidth(0),
      m_backBufferHeight(0),
      m_splitBytes(kSplitBytes),
      m_audioDevice(0),
      m_lastSoundTime(0) {
    memset(&m_videoInfo, 0, sizeof m_videoInfo);
    memset(&m_picture, 0, sizeof m_picture);
    memset(&m_audioInfo, 0, sizeof m_audioInfo);
    memset(&m_audioFormat, 0, sizeof m_audioFormat);
    memset(&m_report, 0, sizeof m_report);
    memset(&m_stats, 0, sizeof m_stats);
    m_path[0] = 0;
}

CVQRecordAvi::~CVQRecordAvi() {
    EndMovieCapture();
    ReleasePart();
    FreeFrameBuffer();
}

int CVQRecordAvi::BeginRecording() {
    if (m_recording) return 1;
    memset(&m_stats, 0, sizeof m_stats);
    return BeginMovieCapture(0);
}

void CVQRecordAvi::EndRecording() { EndMovieCapture(); }

void CVQRecordAvi::FreeFrameBuffer() {
    free(m_frameBuffer);
    m_frameBuffer = nullptr;
}

void CVQRecordAvi::ReleasePart() {
    if (m_file.IsOpen() && !m_file.Close())
        LogMessage("CVQRecordAvi::EndMovieCapture(): Failed to finish AVI file: %s\r\n", m_path);
    m_videoStream = m_audioStream = -1;
    m_waveIn.Close();
}

int CVQRecordAvi::BeginMovieCapture(int continuation) {
    if (m_recording) return 1;
    m_recording = 1;
    memset(&m_videoInfo, 0, sizeof m_videoInfo);
    memset(&m_audioInfo, 0, sizeof m_audioInfo);

    // A start that fails leaves nothing behind: no file, no device, no buffer.
    auto fail = [this](bool deleteFile) {
        ReleasePart();
        FreeFrameBuffer();
        if (deleteFile) DeleteFileA(m_path);
        m_fileOpen = 0;
        m_recording = 0;
        return 0;
    };

    uint32_t format = 0, width = 0, height = 0;
    if (!CVQSurface::GetBackBufferInfo(&format, &width, &height, nullptr)) {
        LogMessage("CVQRecordAvi::BeginMovieCapture(): Failed to get back buffer\r\n");
        return fail(false);
    }
    memset(&m_picture, 0, sizeof m_picture);
    m_picture.biSize = sizeof(BITMAPINFOHEADER);
    m_picture.biWidth = static_cast<LONG>(width / kVQAviReduceFactor);
    m_picture.biHeight = static_cast<LONG>(height / kVQAviReduceFactor);
    m_picture.biPlanes = 1;
    m_picture.biCompression = BI_RGB;
    const int bits = VQAviBitCount(format);
    if (!bits) {
        LogMessage("CVQRecordAvi::BeginMovieCapture(): Unsupported backbuffer pixel format (0x%x)\r\n", format);
        return fail(false);
    }
    m_picture.biBitCount = static_cast<WORD>(bits);
    m_picture.biSizeImage = VQAviImageSize(width / kVQAviReduceFactor, height / kVQAviReduceFactor, bits);
    // Zeroed, so the row padding written to the file is zeros too.
    m_frameBuffer = m_picture.biSizeImage ? static_cast<uint8_t*>(calloc(1, m_picture.biSizeImage)) : nullptr;
    if (!m_frameBuffer) {
        LogMessage("CVQRecordAvi::BeginMovieCapture(): Failed to allocate AVI buffer\r\n");
        return fail(false);
    }

    m_fileOpen = 1;
    m_pacer.Reset();
    m_width = width / kVQAviReduceFactor;
    m_height = height / kVQAviReduceFactor;
    m_format = format;
    m_backBufferWidth = width;
    m_backBufferHeight = height;

    if (continuation) {
        m_part++;
        if (!VQAviPartPath(m_path, sizeof m_path, m_part)) {
            LogMessage("CVQRecordAvi::BeginMovieCapture(): Failed to create AVI file: %s\r\n", m_path);
            return fail(false);
        }
    } else {
        char exe[MAX_PATH] = "\\vqrec.exe";
        char module[MAX_PATH];
        const DWORD n = GetModuleFileNameA(nullptr, module, sizeof module);
        if (n > 0 && n < sizeof module) strcpy(exe, module);
        SYSTEMTIME now;
        GetLocalTime(&now);
        const VQLocalTime when = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
        const CVKString folder = VKGetSetting("recorderFolder", "C:\\");
        m_part = 0;
        if (VQBuildRecordingPath(m_path, sizeof m_path, folder.Str(), exe, when, "_0000.avi") >= sizeof m_path) {
            LogMessage("CVQRecordAvi::BeginMovieCapture(): Failed to create AVI file: %s\r\n", m_path);
            return fail(false);
        }
    }

    m_framesSinceSizeCheck = 0;
    if (!m_file.Create(m_path)) {
        LogMessage("CVQRecordAvi::BeginMovieCapture(): Failed to create AVI file: %s\r\n", m_path);
        return fail(false);
    }

    // The sound paces the recording: without a working device there would
    // be no frame at all, only an empty file shown as recording.
    memset(&m_audioFormat, 0, sizeof m_audioFormat);
    m_audioFormat.wFormatTag = WAVE_FORMAT_PCM;
    m_audioFormat.nChannels = 2;
    m_audioFormat.nSamplesPerSec = 22050;
    m_audioFormat.nAvgBytesPerSec = 88200;
    m_audioFormat.nBlockAlign = 4;
    m_audioFormat.wBitsPerSample = 16;
    m_audioFormat.cbSize = 0;
    if (!m_waveIn.Open(m_audioDevice, &m_audioFormat, kAudioBufferBytes) || !m_waveIn.Start()) {
        LogMessage("CVQRecordAvi::BeginMovieCapture(): Failed to start audio capture\r\n");
        return fail(true);
    }
    m_lastSoundTime = timeGetTime();

    // Positions start again in every file part.
    m_frameIndex = 0;
    m_samplePosition = 0;

    LogMessage("Start recording:\r\n");
    LogMessage("Back Buffer: format 0x%x width %d height %d\r\n", format, static_cast<int>(width),
               static_cast<int>(height));
    LogMessage("File Name: %s\r\n", m_path);
    return 1;
}

void CVQRecordAvi::EndMovieCapture() {
    if (!m_recording) return;
    m_recording = 0;
    m_report.frames = static_cast<uint32_t>(m_frameIndex);
    if (m_videoStream >= 0) ReportFrameRate(&m_report, 1, VKClockMs());
    LogMessage("End recording\r\n");
    FreeFrameBuffer();
    ReleasePart();
    m_fileOpen = 0;
    m_frameIndex = 0;
    m_samplePosition = 0;
}

void CVQRecordAvi::ProcessFrame() {
    if (!m_recording) return;
    if (!m_fileOpen) {
        EndMovieCapture();
        return;
    }
    if (!m_pacer.FrameDue(VKClockMs())) return;
    m_stats.framesLookedAt++;
    if (m_videoStream < 0 && !ProcessFirst()) return;
    const int written = ProcessDelta();
    if (written <= 0) return;
    m_framesSinceSizeCheck += static_cast<uint32_t>(written);
    if (m_framesSinceSizeCheck >= kSizeCheckFrames) {
        m_framesSinceSizeCheck = 0;
        if (m_file.Bytes() > m_splitBytes) {
            EndMovieCapture();
            BeginMovieCapture(1);  // on failure the recording stays ended
        }
    }
}

int CVQRecordAvi::ProcessFirst() {
    memset(&m_videoInfo, 0, sizeof m_videoInfo);
    m_videoInfo.type = CVQAviWriter::kVideo;
    m_videoInfo.scale = 1;
    m_videoInfo.rate = 30;
    m_videoInfo.frame[2] = static_cast<int16_t>(m_width);
    m_videoInfo.frame[3] = static_cast<int16_t>(m_height);
    // No compressor: the pictures are stored as they are.
    m_videoStream = m_file.AddStream(m_videoInfo, &m_picture, sizeof m_picture);
    if (m_videoStream < 0) {
        LogMessage("CVQRecordAvi::ProcessFirst(): Failed to create AVI video stream\r\n");
        m_fileOpen = 0;
        return 0;
    }
    memset(&m_audioInfo, 0, sizeof m_audioInfo);
    m_audioInfo.type = CVQAviWriter::kAudio;
    m_audioInfo.scale = m_audioFormat.nBlockAlign;
    m_audioInfo.rate = m_audioFormat.nBlockAlign * m_audioFormat.nSamplesPerSec;
    m_audioInfo.quality = static_cast<uint32_t>(-1);
    m_audioInfo.sampleSize = m_audioFormat.nBlockAlign;
    m_audioStream = m_file.AddStream(m_audioInfo, &m_audioFormat, sizeof m_audioFormat);
    if (m_audioStream < 0) {
        LogMessage("CVQRecordAvi::ProcessFirst(): Failed to create AVI audio stream\r\n");
        m_fileOpen = 0;
        return 0;
    }
    InitFrameRateReport(&m_report, VKClockMs());
    return 1;
}

int CVQRecordAvi::ProcessDelta() {
    const uint32_t now = VKClockMs();
    const int buffers = CVQAviPacer::BuffersToWrite(m_waveIn.CountDone(), CWaveIn::kBuffers);
    if (buffers == 0) {
        if (timeGetTime() - m_lastSoundTime > kSoundSilenceMs) {
            LogMessage("CVQRecordAvi::ProcessDelta(): No sound from the audio device\r\n");
            m_fileOpen = 0;
        }
        return 0;
    }
    m_lastSoundTime = timeGetTime();
    if (!CopyFrame()) return 0;
    // One picture per sound buffer: a game below 30 frames per second has
    // its picture repeated, so no sound is lost and both stay in step.
    for (int i = 0; i < buffers; i++) {
        if (!m_file.Write(m_audioStream, m_waveIn.GetCurrentData(), kAudioBufferBytes, kAudioBufferSamples, true)) {
            LogMessage("CVQRecordAvi::ProcessDelta(): Failed to write AVI audio data\r\n");
            m_fileOpen = 0;
            return 0;
        }
        m_samplePosition += kAudioBufferSamples;
        m_waveIn.Requeue();
        m_waveIn.IncrementCount();
        m_stats.audioBuffers++;
        if (!m_file.Write(m_videoStream, m_frameBuffer, m_picture.biSizeImage, 1, true)) {
            LogMessage("CVQRecordAvi::ProcessDelta(): Failed to write AVI video data\r\n");
            m_fileOpen = 0;
            return 0;
        }
        m_frameIndex++;
        m_stats.framesWritten++;
    }
    m_report.frames = static_cast<uint32_t>(m_frameIndex);
    ReportFrameRate(&m_report, 0, now);
    return buffers;
}

int CVQRecordAvi::CopyFrame() {
    if (!m_copy.CopyBackBuffer()) {
        LogMessage("CVQRecordAvi::CopyFrame(): Failed to copy back buffer\r\n");
        m_fileOpen = 0;
        return 0;
    }
    if (m_copy.Width() / kVQAviReduceFactor != m_width || m_copy.Height() / kVQAviReduceFactor != m_height ||
        m_copy.Format() != m_format) {
        LogMessage("CVQRecordAvi::CopyFrame(): Back buffer size/format change (w:%d, h:%d, f:%d)\r\n",
                   static_cast<int>(m_copy.Width()), static_cast<int>(m_copy.Height()),
                   static_cast<int>(m_copy.Format()));
        m_fileOpen = 0;
        return 0;
    }
    CVKPixels locked;
    if (!m_copy.Lock(&locked, kLockFlags)) {
        LogMessage("CVQRecordAvi::CopyFrame(): Failed to LockRect() copy buffer\r\n");
        m_fileOpen = 0;
        return 0;
    }
    // Only rows the lock really covers are read.
    const bool usable = locked.UsableRows() >= 2 * m_height && locked.Width() >= 2 * m_width;
    if (!usable || !VQAviReducePicture(locked.Data(), locked.Stride(), m_format, m_width, m_height, m_frameBuffer)) {
        m_copy.Unlock();
        LogMessage("CVQRecordAvi::CopyFrame(): Unsupported pixel format (0x%x)\r\n", m_format);
        m_fileOpen = 0;
        return 0;
    }
    m_copy.Unlock();
    m_stats.picturesCopied++;
    return 1;
}
#endif
