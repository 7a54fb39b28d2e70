#include "CVQFFmpegLibrary.h"

#ifdef _WIN32
#include <windows.h>
#include <delayimp.h>
#endif

#include <cstring>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/version.h>
#include <libswresample/version.h>
#include <libswscale/version.h>
}

#include "VKLog.h"

namespace {
void CodecLogCallback(void* avcl, int level, const char* format, va_list args) {
    if (level > av_log_get_level()) return;
    LogMessageNoFile(format, args);
}
std::once_flag g_codecInit;
}  // namespace

#ifdef _WIN32
namespace {
// The codec DLLs are delay-loaded. A call into one that cannot be loaded
// returns 0 (null, nothing done) instead of raising an exception inside the
// game; InitCodecLibrary keeps the program from relying on such calls.
intptr_t MissingCodecFunction() { return 0; }

FARPROC WINAPI CodecLoadFailure(unsigned notify, PDelayLoadInfo) {
    if (notify == dliFailLoadLib) return reinterpret_cast<FARPROC>(GetModuleHandleA(nullptr));
    if (notify == dliFailGetProc) return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(MissingCodecFunction));
    return nullptr;
}
const bool g_failureHook = (__pfnDliFailureHook2 = CodecLoadFailure, true);

#define VQ_STR2(x) #x
#define VQ_STR(x) VQ_STR2(x)
int LoadCodecLibraries() {
    static const char* const kNames[] = {
        "avutil-" VQ_STR(LIBAVUTIL_VERSION_MAJOR) ".dll",     "swresample-" VQ_STR(LIBSWRESAMPLE_VERSION_MAJOR) ".dll",
        "swscale-" VQ_STR(LIBSWSCALE_VERSION_MAJOR) ".dll",   "avcodec-" VQ_STR(LIBAVCODEC_VERSION_MAJOR) ".dll",
        "avformat-" VQ_STR(LIBAVFORMAT_VERSION_MAJOR) ".dll",
    };
    (void)g_failureHook;
    for (const char* name : kNames)
        if (!LoadLibraryA(name)) {
            LogMessage("InitCodecLibrary(): Can't load %s (%d)\r\n", name, static_cast<int>(GetLastError()));
            return 0;
        }
    return 1;
}
}  // namespace
#else
namespace {
int LoadCodecLibraries() { return 1; }
}  // namespace
#endif

int InitCodecLibrary() {
    static int available = 0;
    std::call_once(g_codecInit, [] {
        available = LoadCodecLibraries();
        if (available) av_log_set_callback(CodecLogCallback);
    });
    return available;
}

CVQFFmpegLibrary::CVQFFmpegLibrary() : m_data(nullptr), m_size(0), m_capacity(0) {}

CVQFFmpegLibrary::~CVQFFmpegLibrary() { Clear(); }

void CVQFFmpegLibrary::Take(uint8_t** data, int* size) {
    *data = m_data;
    *size = m_size;
    m_data = nullptr;
    m_size = 0;
    m_capacity = 0;
}

int CVQFFmpegLibrary::Read(uint8_t* dst, int n) {
    if (n <= 0 || !m_data) return 0;
    int count = n < m_size ? n : m_size;
    memcpy(dst, m_data, static_cast<size_t>(count));
    memmove(m_data, m_data + count, static_cast<size_t>(m_size - count));
    m_size -= count;
    return count;
}

int CVQFFmpegLibrary::Write(const uint8_t* src, int n) {
    if (n <= 0) return 0;
    if (n > INT32_MAX - m_size) return -1;
    if (m_size + n > m_capacity) {
        // Doubling keeps a long stream of small container writes linear.
        int64_t want = static_cast<int64_t>(m_capacity) * 2;
        if (want < m_size + n) want = m_size + n;
        if (want > INT32_MAX) want = INT32_MAX;
        uint8_t* grown = static_cast<uint8_t*>(av_realloc(m_data, static_cast<size_t>(want)));
        if (!grown) return -1;
        m_data = grown;
        m_capacity = static_cast<int>(want);
    }
    memcpy(m_data + m_size, src, static_cast<size_t>(n));
    m_size += n;
    return n;
}

void CVQFFmpegLibrary::Clear() {
    av_freep(&m_data);
    m_size = 0;
    m_capacity = 0;
}

namespace {
int WritePacket(void* opaque, uint8_t* buf, int size) {
    int n = static_cast<CVQFFmpegLibrary*>(opaque)->Write(buf, size);
    return n < 0 ? AVERROR(ENOMEM) : n;
}
const int kIOBufferSize = 32768;
}  // namespace

AVIOContext* CVQFFmpegLibrary::CreateIOContext() {
    uint8_t* buffer = static_cast<uint8_t*>(av_malloc(kIOBufferSize));
    if (!buffer) return nullptr;
    AVIOContext* context = avio_alloc_context(buffer, kIOBufferSize, 1, this, nullptr, WritePacket, nullptr);
    if (!context) {
        av_free(buffer);
        return nullptr;
    }
    context->seekable = 0;  // streamed: the muxer writes its header once and never seeks back
    return context;
}

void CVQFFmpegLibrary::CloseIOContext(AVIOContext** context) {
    if (!*context) return;
    avio_flush(*context);
    av_freep(&(*context)->buffer);
    avio_context_free(context);
}
