#ifdef _WIN32
#include "CVQRecordEncoder.h"

#include <mmsystem.h>

#include <cstring>
#include <ctime>

#include "VKLog.h"
#include "VKSettings.h"
#include "VQRecordingName.h"

CVQRecordEncoder::CVQRecordEncoder()
    : m_queue(nullptr),
      m_chunkSize(0),
      m_chunkCount(0),
      m_wallClock(1),
      m_picture(nullptr),
      m_pictureSize(0),
      m_gotPicture(0),
      m_chunksMuxed(0),
      m_file(INVALID_HANDLE_VALUE),
      m_fileOffset(0),
      m_writePending(0),
      m_writeSize(0),
      m_failed(0),
      m_hotKey(45),
      m_openTime(0),
      m_pendingPicture(0) {
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
    m_failed = 0;
    if (!m_overlapped.hEvent) return 0;
    if (!CVQFFmpegEncoder::OpenEncoder()) return 0;
    m_chunkSize = static_cast<int>(m_bits / 8 * m_sampleRate * m_channels / m_frameRate);
    if (m_chunkSize > 0) m_queue = static_cast<uint8_t*>(malloc(static_cast<size_t>(m_chunkSize) * kQueueChunks));
    const int bytesPerPixel = VQBytesPerPixel(m_pixelFormat);
    const size_t rowBytes =
        m_stride ? static_cast<size_t>(m_stride) : static_cast<size_t>(m_inputWidth) * bytesPerPixel;
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
    VQLocalTime when = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                        local.tm_hour,        local.tm_min,     local.tm_sec};
    CVKString folder = VKGetSetting("recorderFolder", "C:\\");
    if (VQBuildRecordingPath(m_path, sizeof m_path, folder.Str(), exe, when, ".asf") >= sizeof m_path) {
        LogMessage("CVQRecordEncoder::OpenEncoder(): File name too long: %s\r\n", m_path);
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
    m_openTime = timeGetTime();
    m_fileOffset = 0;
    m_picturesEncoded = 0;
    m_stepsWritten = 0;
    m_chunksMuxed = 0;
    // The input log beside the file: same name, extension "txt".
    char log[MAX_PATH];
    strcpy(log, m_path);
    strcpy(log + strlen(log) - 3, "txt");
    if (!m_inputLog.Open(log))
        LogMessage("Could not open file (error %d). %s\n", static_cast<int>(GetLastError()), log);
    return 1;
}

BOOL CVQRecordEncoder::WriteBlock(HANDLE file, const uint8_t* data, DWORD size, DWORD* written,
                                  OVERLAPPED* overlapped) {
    return WriteFile(file, data, size, written, overlapped);
}

int CVQRecordEncoder::Account(BOOL ok, DWORD written, const char* method) {
    const DWORD error = ok ? 0 : GetLastError();
    m_fileOffset += written;  // what reached the file stays; the next block goes after it
    if (ok && written == m_writeSize) return 1;
    if (!m_failed)
        LogMessage("CVQRecordEncoder::%s(): Failed to write %s (error %d, %u of %u bytes)\r\n", method, m_path,
                   static_cast<int>(error), static_cast<unsigned>(written), static_cast<unsigned>(m_writeSize));
    m_failed = 1;
    return 0;
}

int CVQRecordEncoder::CompleteWrite(const char* method) {
    if (!m_writePending) return 1;
    m_writePending = 0;
    DWORD written = 0;
    const BOOL ok = GetOverlappedResult(m_file, &m_overlapped, &written, TRUE);
    return Account(ok, written, method);
}

int CVQRecordEncoder::WriteAt(const uint8_t* data, int size, bool wait, const char* method) {
    const int64_t offset = m_fileOffset;
    m_overlapped.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    m_overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
    m_writeSize = static_cast<DWORD>(size);
    DWORD written = 0;
    if (WriteBlock(m_file, data, m_writeSize, &written, &m_overlapped)) return Account(TRUE, written, method);
    if (GetLastError() != ERROR_IO_PENDING) return Account(FALSE, 0, method);
    m_writePending = 1;
    return wait ? CompleteWrite(method) : 1;
}

void CVQRecordEncoder::CloseEncoder() {
    if (m_file != INVALID_HANDLE_VALUE) {
        CompleteWrite("CloseEncoder");
        FinishEncoder();
        const uint8_t* data = nullptr;
        int size = 0;
        TakeOutput(&data, &size);
        if (size > 0 && !m_failed) WriteAt(data, size, true, "CloseEncoder");  // the container's end
        CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
    }
    DiscardOutput();
    m_inputLog.Close();
    m_path[0] = 0;
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
    int result = 1;
    if (!m_audioEnabled || m_chunkCount == 0) {
        if (!m_audioEnabled && m_pendingPicture) {
            // Without sound the picture itself is the clock: one step per picture.
            result = MuxStep(true);
            m_pendingPicture = 0;
        }
        return result;
    }
    for (int i = 0; i < m_chunkCount - 1; i++) {
        CVQFFmpegEncoder::SetInputAudio(m_queue + static_cast<size_t>(i) * m_chunkSize);
        if (!MuxStep(false)) result = 0;
    }
    m_chunksMuxed += m_chunkCount;
    CVQFFmpegEncoder::SetInputAudio(m_queue + static_cast<size_t>(m_chunkCount - 1) * m_chunkSize);
    if (!MuxStep(m_pendingPicture != 0)) result = 0;
    m_pendingPicture = 0;
    m_chunkCount = 0;
    return result;
}

int CVQRecordEncoder::MuxStep(bool picture) {
    if (picture) CVQFFmpegEncoder::SetInputPicture(m_picture);
    if (!WriteFrame()) {
        LogMessage("CVQRecordEncoder::EncodePending(): Failed to mux a frame\r\n");
        return 0;
    }
    m_stepsWritten++;
    if (picture) m_picturesEncoded++;
    return 1;
}

int CVQRecordEncoder::FlushOutput() {
    if (m_file == INVALID_HANDLE_VALUE) return 0;
    CompleteWrite("FlushOutput");
    const uint8_t* data = nullptr;
    int size = 0;
    TakeOutput(&data, &size);
    if (m_failed) return 0;  // the file ends at its last whole write; later output is dropped
    if (size <= 0) return 1;
    return WriteAt(data, size, false, "FlushOutput");
}

int CVQRecordEncoder::OnInputEvent(unsigned message, uintptr_t data, uintptr_t flags) {
    if (static_cast<int>(data) == m_hotKey) return 0;
    const int64_t time = m_wallClock ? static_cast<int64_t>(timeGetTime() - m_openTime)
                                     : static_cast<int64_t>(m_chunksMuxed * 1000 / m_frameRate);
    // Closed (no recording open): the log ignores the event.
    m_inputLog.DeviceInput(message, data, flags, static_cast<int32_t>(time));
    return 0;
}
#endif
