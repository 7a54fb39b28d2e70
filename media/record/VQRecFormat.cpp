#include "VQRecFormat.h"

#include <cstring>

#include "VQAudioFormat.h"

namespace {
const uint8_t kMagic[8] = {'V', 'Q', '1', '0', '0', '0', 0, 0};
}

void VQPutLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void VQPutLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void VQPutLE64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint16_t VQGetLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t VQGetLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t VQGetLE64(const uint8_t* p) {
    return static_cast<uint64_t>(VQGetLE32(p)) | (static_cast<uint64_t>(VQGetLE32(p + 4)) << 32);
}

void VQRecPutHeader(uint8_t out[kVQRecHeaderSize], const VQRecHeader& h) {
    memcpy(out, kMagic, 8);
    VQPutLE32(out + 8, h.backBufferFormat);
    VQPutLE32(out + 12, h.width);
    VQPutLE32(out + 16, h.height);
    VQPutLE16(out + 20, h.channels);
    VQPutLE32(out + 22, h.sampleRate);
    VQPutLE16(out + 26, h.bitsPerSample);
    VQPutLE32(out + 28, h.audioBufferBytes);
    VQPutLE32(out + 32, h.codecDataSize);
}

int VQRecGetHeader(const uint8_t in[kVQRecHeaderSize], VQRecHeader* h) {
    if (memcmp(in, kMagic, 8) != 0) return 0;
    h->backBufferFormat = VQGetLE32(in + 8);
    h->width = VQGetLE32(in + 12);
    h->height = VQGetLE32(in + 16);
    h->channels = VQGetLE16(in + 20);
    h->sampleRate = VQGetLE32(in + 22);
    h->bitsPerSample = VQGetLE16(in + 26);
    h->audioBufferBytes = VQGetLE32(in + 28);
    h->codecDataSize = VQGetLE32(in + 32);
    return 1;
}

int VQRecHeaderIsSane(const VQRecHeader& h) {
    return h.width >= 1 && h.width <= kVQRecMaxDimension && h.height >= 1 && h.height <= kVQRecMaxDimension &&
           (h.channels == 1 || h.channels == 2) && h.sampleRate >= 1 && h.sampleRate <= 192000 &&
           (h.bitsPerSample == 8 || h.bitsPerSample == 16) && h.audioBufferBytes <= kVQRecMaxAudioRecord &&
           h.codecDataSize <= kVQRecMaxCodecData;
}

void VQRecPutAudioPrefix(uint8_t out[kVQRecAudioPrefixSize], uint32_t size) {
    out[0] = 'A';
    VQPutLE32(out + 1, size);
}

void VQRecPutVideoPrefix(uint8_t out[kVQRecVideoPrefixSize], int64_t timestamp, uint32_t flags, uint32_t size) {
    out[0] = 'V';
    VQPutLE64(out + 1, static_cast<uint64_t>(timestamp));
    VQPutLE32(out + 9, flags);
    VQPutLE32(out + 13, size);
}

uint32_t VQRecAudioBufferBytes(int bitsPerSample, int channels, int sampleRate) {
    const int blockAlign = bitsPerSample / 8 * channels;
    return VQWholeFrameBytes(static_cast<uint32_t>(blockAlign * sampleRate / 30), blockAlign);
}

int64_t VQRecTimestamp(int64_t audioBuffers, uint32_t bufferBytes, uint32_t bytesPerSecond) {
    const int64_t whole = VQRecTimestamp(audioBuffers);
    const int64_t num = static_cast<int64_t>(bufferBytes) * 30;
    const int64_t den = bytesPerSecond;
    if (den <= 0 || num == den) return whole;
    // whole x num / den without overflowing 64 bits on long recordings.
    return whole / den * num + whole % den * num / den;
}

uint64_t VQRecMaxVideoRecord(const VQRecHeader& h) {
    // A HuffYUV picture never needs more than a few bytes per pixel; the
    // margin covers its tables and worst-case coding.
    return static_cast<uint64_t>(h.width) * h.height * 8 + 65536;
}
