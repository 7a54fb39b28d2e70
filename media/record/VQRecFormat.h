#pragma once
#include <cstddef>
#include <cstdint>

// The recording file (.rec): a 36-byte header and the codec data, then
// records until the end of the file. All integers little-endian, no gaps.
//
//   0  magic "VQ1000\0\0"         20 channels (16)      28 audioBufferBytes
//   8  backBufferFormat (D3D)     22 sampleRate         32 codecDataSize
//  12  width                      26 bitsPerSample (16) 36 codec data
//  16  height
//
// Records: 'A' size(32) <size bytes of PCM>
//          'V' timestamp(s64, 100 ns) flags(32, bit 0 key) size(32) <size bytes of HuffYUV>
// A video record's timestamp is the number of audio records before it x 333333.

static const size_t kVQRecHeaderSize = 36;
static const size_t kVQRecAudioPrefixSize = 5;
static const size_t kVQRecVideoPrefixSize = 17;
static const int64_t kVQRecBufferTime = 333333;  // 1/30 s in 100 ns units

// Limits a reader holds a file to.
static const uint32_t kVQRecMaxDimension = 16384;
static const uint32_t kVQRecMaxCodecData = 1u << 20;
static const uint32_t kVQRecMaxAudioRecord = 16u << 20;

struct VQRecHeader {
    uint32_t backBufferFormat;
    uint32_t width;
    uint32_t height;
    uint16_t channels;
    uint32_t sampleRate;
    uint16_t bitsPerSample;
    uint32_t audioBufferBytes;
    uint32_t codecDataSize;
};

void VQRecPutHeader(uint8_t out[kVQRecHeaderSize], const VQRecHeader& header);
// 1 when the magic is right (fields filled), else 0.
int VQRecGetHeader(const uint8_t in[kVQRecHeaderSize], VQRecHeader* header);
// 1 when every field is within what a recording can hold.
int VQRecHeaderIsSane(const VQRecHeader& header);
void VQRecPutAudioPrefix(uint8_t out[kVQRecAudioPrefixSize], uint32_t size);
void VQRecPutVideoPrefix(uint8_t out[kVQRecVideoPrefixSize], int64_t timestamp, uint32_t flags, uint32_t size);
// Bytes of one audio buffer, 1/30 s of sound: (bits / 8) x channels x rate / 30,
// rounded down to whole sample frames as the capture rounds its buffers
// (1468 rather than 1470 at 11,025 Hz 16-bit stereo), so the header's value
// is the size of every audio record.
uint32_t VQRecAudioBufferBytes(int bitsPerSample, int channels, int sampleRate);
// Time of the sound in audioBuffers whole buffers of 1/30 s.
inline int64_t VQRecTimestamp(int64_t audioBuffers) { return audioBuffers * kVQRecBufferTime; }
// Time of the sound in audioBuffers buffers of bufferBytes each, at
// bytesPerSecond: buffers x 333333 when a buffer holds exactly 1/30 s, else
// scaled to the buffer's true length, so pictures keep time with the sound.
int64_t VQRecTimestamp(int64_t audioBuffers, uint32_t bufferBytes, uint32_t bytesPerSecond);
// Largest video record a header allows.
uint64_t VQRecMaxVideoRecord(const VQRecHeader& header);

void VQPutLE16(uint8_t* p, uint16_t v);
void VQPutLE32(uint8_t* p, uint32_t v);
void VQPutLE64(uint8_t* p, uint64_t v);
uint16_t VQGetLE16(const uint8_t* p);
uint32_t VQGetLE32(const uint8_t* p);
uint64_t VQGetLE64(const uint8_t* p);
