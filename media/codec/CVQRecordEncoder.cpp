#ifdef _WIN32
#include "CVQRecordEncoder.h"

#include <mmsystem.h>

#include <cstring>
#include <ctime>

#include "VKLog.h"
#include "VKSettings.h"
#include "VQRecordingName.h"

CVQRecordEncoder::CVQRecordEncoder()
    : m_queue(nullptr), m_chunkSize(0), m_chunkCount(0), m_wallClock(1), m_picture(nullptr), m_pictureSize(0),
      m_gotPicture(0), m_chunksMuxed(0), m_logCount(0), m_logFirstWrite(1), m_file(INVALID_HANDLE_VALUE),
      m_log(nullptr), m_fileOffset(0), m_writePending(0), m_hotKey(45), m_openTime(0), m_pendingPicture(0) {
    m_path[0] = 0;
    SetOnePacketPerInput(1);
    memset(&m_overlapped, 0, sizeof m_overlapped);
    m_overlapped.hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!m_overlapped.hEvent) LogMessage("CreateEvent error: %d\n", static_cast<int>(GetLastError()));
    m_hotKey = VKGetSettingInt("hotkey", "45");
}

CVQRecordEncoder::~CVQRecordEncoder() {
    CloseEncoder();
    if (m_overlapped.hEvent) CloseHandle(m_overlapped.hEvent);
}

int CVQRecordEncoder::OpenEncoder() {
    CloseEncoder();
    if (!m_overlapped.hEvent) return 0;
    if (!CVQFFmpegEncoder::OpenEncoder()) return 0;
    m_chunkSize = static_cast<int>(m_bits / 8 * m_sampleRate * m_channels / m_frameRate);
    if (m_chunkSize > 0) m_queue = static_cast<uint8_t*>(malloc(static_cast<size_t>(m_chunkSize) * kQueueChunks));
    const int bytesPerPixel = VQBytesPerPixel(m_pixelFormat);
    const size_t rowBytes = m_stride ? static_cast<size_t>(m_stride) : static_cast<size_t>(m_inputWidth) * bytesPerPixel;
    m_pictureSize = rowBytes * static_cast<size_t>(m_inputHeight);
    m_picture = static_cast<uint8_t*>(malloc(m_pictureSize ? m_pictureSize : 1));
    if ((m_audioEnabled && !m_queue) || !m_picture) {
        LogMessage("CVQRecordEncoder::OpenEncoder(): Out of memory\r\n");
        CloseEncoder();
        return 0;
    }
    char exe[MAX_PATH] = "\\vqrec.exe";
    char module[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, module, sizeof module);
    if (n > 0 && n < sizeof module) strcpy(exe, module);
    time_t now = time(nullptr);
    struct tm local = *localtime(&now);
    VQLocalTime when = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                        local.tm_sec};
    CVKString folder = VKGetSetting("recorderFolder", "C:\\");
    if (VQBuildRecordingPath(m_path, sizeof m_path, folder.Str(), exe, when, ".asf") >= sizeof m_path) {
        LogMessage("Could not open file (error %d). %s\n", 0, m_path);
        CloseEncoder();
        return 0;
    }
    m_file = CreateFileA(m_path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (m_file == INVALID_HANDLE_VALUE) {
        LogMessage("Could not open file (error %d). %s\n", static_cast<int>(GetLastError()), m_path);
        CloseEncoder();
        return 0;
    }
    std::lock_guard<std::mutex> guard(m_logLock);
    m_openTime = timeGetTime();
    m_fileOffset = 0;
    m_picturesEncoded = 0;
    m_stepsWritten = 0;
    m_chunksMuxed = 0;
    m_logCount = 0;
    m_logFirstWrite = 1;
    return 1;
}

void CVQRecordEncoder::CompleteWrite() {
    if (!m_writePending) return;
    DWORD written = 0;
    if (GetOverlappedResult(m_file, &m_overlapped, &written, TRUE)) m_fileOffset += written;
    m_writePending = 0;
}

int CVQRecordEncoder::WriteAt(const uint8_t* data, int size, bool wait) {
    m_overlapped.Offset = static_cast<DWORD>(m_fileOffset & 0xFFFFFFFF);
    m_overlapped.OffsetHigh = static_cast<DWORD>(m_fileOffset >> 32);
    DWORD written = 0;
    if (WriteFile(m_file, data, static_cast<DWORD>(size), &written, &m_overlapped)) {
        m_fileOffset += written;
        return 1;
    }
    if (GetLastError() != ERROR_IO_PENDING) return 0;  // the bytes are dropped
    m_writePending = 1;
    if (wait) CompleteWrite();
    return 1;
}

void CVQRecordEncoder::CloseEncoder() {
    if (m_file != INVALID_HANDLE_VALUE) {
        CompleteWrite();
        FinishEncoder();
        const uint8_t* data = nullptr;
        int size = 0;
        TakeOutput(&data, &size);
        if (size > 0 && !WriteAt(data, size, true))
            LogMessage("CVQRecordEncoder::CloseEncoder(): Failed to write the end of %s\r\n", m_path);
        CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
    }
    DiscardOutput();
    {
        std::lock_guard<std::mutex> guard(m_logLock);
        if (m_logCount > 0) WriteLogLocked();
        if (m_log) fclose(m_log);
        m_log = nullptr;
        m_logCount = 0;
        m_logFirstWrite = 1;
        m_path[0] = 0;
    }
    free(m_queue);
    m_queue = nullptr;
    free(m_picture);
    m_picture = nullptr;
    m_pictureSize = 0;
    m_chunkCount = 0;
    m_gotPicture = 0;
    m_pendingPicture = 0;
    m_writePending = 0;
    m_fileOffset = 0;
    CVQFFmpegEncoder::CloseEncoder();
}

void CVQRecordEncoder::SetInputPicture(const uint8_t* pixels) {
    if (!m_picture || !pixels) return;
    memcpy(m_picture, pixels, m_pictureSize);
    m_pendingPicture = 1;
    m_gotPicture = 1;
}

void CVQRecordEncoder::SetInputAudio(const uint8_t* chunk) {
    if (!m_queue || !chunk || m_chunkCount >= kQueueChunks) return;
    memcpy(m_queue + static_cast<size_t>(m_chunkCount) * m_chunkSize, chunk, static_cast<size_t>(m_chunkSize));
    m_chunkCount++;
}

int CVQRecordEncoder::EncodePending() {
    if (!IsOpen() || m_file == INVALID_HANDLE_VALUE) return 0;
    if (!m_gotPicture) return 1;  // sound waits (up to 100 chunks) for the first picture
    if (!m_audioEnabled || m_chunkCount == 0) {
        if (!m_audioEnabled && m_pendingPicture) {
            // Without sound the picture itself is the clock: one step per picture.
            CVQFFmpegEncoder::SetInputPicture(m_picture);
            WriteFrame();
            m_stepsWritten++;
            m_picturesEncoded++;
            m_pendingPicture = 0;
        }
        return 1;
    }
    for (int i = 0; i < m_chunkCount - 1; i++) {
        CVQFFmpegEncoder::SetInputAudio(m_queue + static_cast<size_t>(i) * m_chunkSize);
        WriteFrame();
        m_stepsWritten++;
    }
    m_chunksMuxed += m_chunkCount;
    CVQFFmpegEncoder::SetInputAudio(m_queue + static_cast<size_t>(m_chunkCount - 1) * m_chunkSize);
    if (m_pendingPicture) {
        CVQFFmpegEncoder::SetInputPicture(m_picture);
        WriteFrame();
        m_stepsWritten++;
        m_picturesEncoded++;
        m_pendingPicture = 0;
    } else {
        WriteFrame();
    }
    m_chunkCount = 0;
    return 1;
}

int CVQRecordEncoder::FlushOutput() {
    if (m_file == INVALID_HANDLE_VALUE) return 0;
    CompleteWrite();
    const uint8_t* data = nullptr;
    int size = 0;
    TakeOutput(&data, &size);
    if (size <= 0) return 1;
    return WriteAt(data, size, false);
}

int CVQRecordEncoder::OnInputEvent(unsigned message, uintptr_t data, uintptr_t flags) {
    if (static_cast<int>(data) == m_hotKey) return 0;
    const char* mouse = nullptr;
    int release = 0;
    switch (message) {
    case WM_KEYDOWN: break;
    case WM_KEYUP: release = 1; break;
    case WM_LBUTTONDOWN: mouse = "ml"; break;
    case WM_LBUTTONUP: mouse = "ml"; release = 1; break;
    case WM_RBUTTONDOWN: mouse = "mr"; break;
    case WM_RBUTTONUP: mouse = "mr"; release = 1; break;
    case WM_MBUTTONDOWN: mouse = "mm"; break;
    case WM_MBUTTONUP: mouse = "mm"; release = 1; break;
    default: return 0;
    }
    std::lock_guard<std::mutex> guard(m_logLock);
    if (m_file == INVALID_HANDLE_VALUE) return 0;  // no recording open
    int64_t time = m_wallClock ? static_cast<int64_t>(timeGetTime() - m_openTime)
                               : static_cast<int64_t>(m_chunksMuxed * 1000 / m_frameRate);
    char* name = m_logNames[m_logCount];
    if (mouse)
        snprintf(name, sizeof m_logNames[0], "%s", mouse);
    else
        snprintf(name, sizeof m_logNames[0], "%c%d", (flags >> 24) & 1 ? 'e' : 'c',
                 static_cast<int>((flags >> 16) & 0xFF));
    m_logTimes[m_logCount] = static_cast<int32_t>(time);
    m_logReleases[m_logCount] = static_cast<uint8_t>(release);
    if (++m_logCount >= kLogCapacity) WriteLogLocked();
    return 0;
}

int CVQRecordEncoder::WriteLogLocked() {
    if (!m_log) {
        char name[MAX_PATH];
        strcpy(name, m_path);
        size_t length = strlen(name);
        if (length < 3) return 0;
        strcpy(name + length - 3, "txt");
        m_log = fopen(name, "a");
        if (!m_log) {
            m_logCount = 0;
            return 0;
        }
    }
    for (int i = 0; i < m_logCount; i++) {
        // Batches written at 4096 entries continue the same comma-separated list.
        if (!m_logFirstWrite || i > 0) fputc(',', m_log);
        fprintf(m_log, "\"%d\",\"%d\",\"%s\"", m_logTimes[i], m_logReleases[i], m_logNames[i]);
    }
    if (m_logCount > 0) m_logFirstWrite = 0;
    m_logCount = 0;
    fflush(m_log);
    return ferror(m_log) ? 0 : 1;
}
#endif
