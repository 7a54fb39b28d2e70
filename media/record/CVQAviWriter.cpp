#include "CVQAviWriter.h"

#include <cstring>

namespace {
uint32_t FourCC(const char* s) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) | static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}
const uint32_t kHasIndex = 0x10, kIsInterleaved = 0x100, kKeyFrame = 0x10;
const uint32_t kMaxFormat = 1024;
}  // namespace

CVQAviWriter::CVQAviWriter()
    : m_file(nullptr),
      m_ok(false),
      m_headersWritten(false),
      m_bytes(0),
      m_moviAt(0),
      m_totalFramesAt(0),
      m_suggestedAt(0),
      m_microSecAt(0),
      m_maxBytesAt(0),
      m_largestChunk(0),
      m_streamCount(0) {}

CVQAviWriter::~CVQAviWriter() { Close(); }

int CVQAviWriter::Create(const char* path) {
    Close();
    m_file = fopen(path, "wb");
    if (!m_file) return 0;
    m_ok = true;
    m_headersWritten = false;
    m_bytes = 0;
    m_largestChunk = 0;
    m_streamCount = 0;
    m_index.clear();
    return 1;
}

int CVQAviWriter::AddStream(const StreamInfo& info, const void* format, uint32_t formatSize) {
    if (!m_file || m_headersWritten || m_streamCount >= kMaxStreams || formatSize > kMaxFormat || !format) return -1;
    Stream& s = m_streams[m_streamCount];
    s.info = info;
    s.format.assign(static_cast<const uint8_t*>(format), static_cast<const uint8_t*>(format) + formatSize);
    if (s.format.size() % 2) s.format.push_back(0);  // chunks are padded to even sizes
    s.length = 0;
    s.largestChunk = 0;
    s.lengthAt = s.bufferAt = 0;
    return m_streamCount++;
}

uint32_t CVQAviWriter::Length(int stream) const {
    return stream >= 0 && stream < m_streamCount ? m_streams[stream].length : 0;
}

int CVQAviWriter::Put(const void* data, uint32_t size) {
    if (!m_ok) return 0;
    if (size > kMaxFileBytes - m_bytes || (size && fwrite(data, 1, size, m_file) != size)) {
        m_ok = false;
        return 0;
    }
    m_bytes += size;
    return 1;
}

int CVQAviWriter::Put32(uint32_t v) {
    const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                          static_cast<uint8_t>(v >> 24)};
    return Put(b, 4);
}

int CVQAviWriter::PutAt(long at, uint32_t v) {
    const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                          static_cast<uint8_t>(v >> 24)};
    if (fseek(m_file, at, SEEK_SET) != 0 || fwrite(b, 1, 4, m_file) != 4) return 0;
    return 1;
}

// RIFF 'AVI ' { LIST 'hdrl' { avih, LIST 'strl' { strh, strf } ... }, LIST 'movi' { ... } }:
// the lengths are written as 0 and filled in by Close.
int CVQAviWriter::WriteHeaders() {
    m_headersWritten = true;
    uint32_t strlBytes = 0;
    for (int i = 0; i < m_streamCount; i++)
        strlBytes += 12 + 8 + 56 + 8 + static_cast<uint32_t>(m_streams[i].format.size());
    const uint32_t hdrlBytes = 4 + 8 + 56 + strlBytes;
    Put32(FourCC("RIFF"));
    Put32(0);  // filled in by Close
    Put32(FourCC("AVI "));
    Put32(FourCC("LIST"));
    Put32(hdrlBytes);
    Put32(FourCC("hdrl"));
    Put32(FourCC("avih"));
    Put32(56);
    m_microSecAt = static_cast<long>(m_bytes);
    Put32(0);  // microseconds per frame
    m_maxBytesAt = static_cast<long>(m_bytes);
    Put32(0);  // maximum bytes per second
    Put32(0);  // padding granularity
    Put32(kHasIndex | kIsInterleaved);
    m_totalFramesAt = static_cast<long>(m_bytes);
    Put32(0);  // total frames
    Put32(0);  // initial frames
    Put32(static_cast<uint32_t>(m_streamCount));
    m_suggestedAt = static_cast<long>(m_bytes);
    Put32(0);  // suggested buffer size
    uint32_t width = 0, height = 0;
    for (int i = 0; i < m_streamCount; i++)
        if (m_streams[i].info.type == kVideo) {
            width = static_cast<uint32_t>(m_streams[i].info.frame[2] - m_streams[i].info.frame[0]);
            height = static_cast<uint32_t>(m_streams[i].info.frame[3] - m_streams[i].info.frame[1]);
        }
    Put32(width);
    Put32(height);
    for (int i = 0; i < 4; i++) Put32(0);
    for (int i = 0; i < m_streamCount; i++) {
        Stream& s = m_streams[i];
        Put32(FourCC("LIST"));
        Put32(4 + 8 + 56 + 8 + static_cast<uint32_t>(s.format.size()));
        Put32(FourCC("strl"));
        Put32(FourCC("strh"));
        Put32(56);
        Put32(s.info.type);
        Put32(s.info.handler);
        Put32(0);  // flags
        Put32(0);  // priority, language
        Put32(0);  // initial frames
        Put32(s.info.scale);
        Put32(s.info.rate);
        Put32(0);  // start
        s.lengthAt = static_cast<long>(m_bytes);
        Put32(0);  // length
        s.bufferAt = static_cast<long>(m_bytes);
        Put32(0);  // suggested buffer size
        Put32(s.info.quality);
        Put32(s.info.sampleSize);
        for (int k = 0; k < 4; k += 2)
            Put32(static_cast<uint16_t>(s.info.frame[k]) |
                  static_cast<uint32_t>(static_cast<uint16_t>(s.info.frame[k + 1])) << 16);
        Put32(FourCC("strf"));
        Put32(static_cast<uint32_t>(s.format.size()));
        Put(s.format.data(), static_cast<uint32_t>(s.format.size()));
    }
    Put32(FourCC("LIST"));
    m_moviAt = static_cast<long>(m_bytes);
    Put32(0);  // filled in by Close
    Put32(FourCC("movi"));
    return m_ok ? 1 : 0;
}

int CVQAviWriter::Write(int stream, const void* data, uint32_t size, uint32_t samples, bool keyFrame) {
    if (!m_file || !m_ok || stream < 0 || stream >= m_streamCount || (size && !data)) return 0;
    if (!m_headersWritten && !WriteHeaders()) return 0;
    Stream& s = m_streams[stream];
    // The chunk and its index entry; refused whole when it would pass the size limit.
    const uint64_t needed = 8ull + size + (size & 1) + 16ull * (m_index.size() + 1);
    if (needed > kMaxFileBytes - m_bytes) return 0;
    char id[5];
    snprintf(id, sizeof id, "%02d%s", stream, s.info.type == kVideo ? "db" : "wb");
    const uint32_t offset = m_bytes - static_cast<uint32_t>(m_moviAt + 4);  // from the 'movi' code
    static const uint8_t pad = 0;
    if (!Put32(FourCC(id)) || !Put32(size) || !Put(data, size) || ((size & 1) && !Put(&pad, 1))) return 0;
    m_index.push_back({FourCC(id), keyFrame ? kKeyFrame : 0u, offset, size});
    s.length += samples;
    if (size > s.largestChunk) s.largestChunk = size;
    if (size > m_largestChunk) m_largestChunk = size;
    return 1;
}

int CVQAviWriter::Close() {
    if (!m_file) return 0;
    if (!m_headersWritten) WriteHeaders();  // an empty file is still a valid one
    const uint32_t moviEnd = m_bytes;
    Put32(FourCC("idx1"));
    Put32(static_cast<uint32_t>(m_index.size() * 16));
    for (const IndexEntry& e : m_index) {
        Put32(e.id);
        Put32(e.flags);
        Put32(e.offset);
        Put32(e.size);
    }
    bool ok = m_ok;
    if (ok) {
        uint32_t frames = 0, usPerFrame = 0, bytesPerSecond = 0;
        for (int i = 0; i < m_streamCount; i++) {
            const Stream& s = m_streams[i];
            if (s.info.type == kVideo) {
                frames = s.length;
                if (s.info.rate) usPerFrame = static_cast<uint32_t>(1000000ull * s.info.scale / s.info.rate);
            }
            if (s.info.scale) {
                const uint64_t perSecond = s.info.sampleSize
                                               ? static_cast<uint64_t>(s.info.rate) * s.info.sampleSize / s.info.scale
                                               : static_cast<uint64_t>(s.largestChunk) * s.info.rate / s.info.scale;
                bytesPerSecond += perSecond > UINT32_MAX - bytesPerSecond ? 0 : static_cast<uint32_t>(perSecond);
            }
            ok = ok && PutAt(s.lengthAt, s.length) && PutAt(s.bufferAt, s.largestChunk);
        }
        ok = ok && PutAt(4, m_bytes - 8) && PutAt(m_moviAt, moviEnd - static_cast<uint32_t>(m_moviAt) - 4) &&
             PutAt(m_totalFramesAt, frames) && PutAt(m_suggestedAt, m_largestChunk) &&
             PutAt(m_microSecAt, usPerFrame) && PutAt(m_maxBytesAt, bytesPerSecond);
    }
    if (fclose(m_file) != 0) ok = false;
    m_file = nullptr;
    m_ok = false;
    m_index.clear();
    m_index.shrink_to_fit();
    return ok ? 1 : 0;
}
