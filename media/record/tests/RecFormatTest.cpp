#include <gtest/gtest.h>

#include <cstring>

#include "VQAudioFormat.h"
#include "VQRecFormat.h"

// A 1366 x 768 X8R8G8B8 back buffer at factor 1 is coded 1364 wide; the sound
// is 44,100 Hz 16-bit stereo; 6 bytes of codec data.
TEST(RecFormat, HeaderBytes) {
    VQRecHeader h = {22, 1364, 768, 2, 44100, 16, VQRecAudioBufferBytes(16, 2, 44100), 6};
    EXPECT_EQ(5880u, h.audioBufferBytes);
    uint8_t raw[kVQRecHeaderSize];
    VQRecPutHeader(raw, h);
    const uint8_t golden[36] = {
        'V',  'Q',  '1', '0', '0', '0', 0, 0,  // magic
        22,   0,    0,   0,                    // backBufferFormat
        0x54, 0x05, 0,   0,                    // width 1364
        0x00, 0x03, 0,   0,                    // height 768
        2,    0,                               // channels
        0x44, 0xAC, 0,   0,                    // sampleRate 44100
        16,   0,                               // bitsPerSample
        0xF8, 0x16, 0,   0,                    // audioBufferBytes 5880
        6,    0,    0,   0,                    // codecDataSize
    };
    EXPECT_EQ(0, memcmp(golden, raw, sizeof golden));
    // Read back field by field (the struct's padding is no part of the file),
    // and written again to the same bytes.
    VQRecHeader back;
    ASSERT_EQ(1, VQRecGetHeader(raw, &back));
    EXPECT_EQ(22u, back.backBufferFormat);
    EXPECT_EQ(1364u, back.width);
    EXPECT_EQ(768u, back.height);
    EXPECT_EQ(2u, back.channels);
    EXPECT_EQ(44100u, back.sampleRate);
    EXPECT_EQ(16u, back.bitsPerSample);
    EXPECT_EQ(5880u, back.audioBufferBytes);
    EXPECT_EQ(6u, back.codecDataSize);
    uint8_t again[kVQRecHeaderSize];
    VQRecPutHeader(again, back);
    EXPECT_EQ(0, memcmp(golden, again, sizeof again));
    EXPECT_EQ(1, VQRecHeaderIsSane(back));
    raw[6] = 1;  // "VQ1000" must be followed by two zero bytes
    EXPECT_EQ(0, VQRecGetHeader(raw, &back));
}

TEST(RecFormat, RecordLayouts) {
    uint8_t a[kVQRecAudioPrefixSize];
    VQRecPutAudioPrefix(a, 5880);
    const uint8_t goldenA[] = {'A', 0xF8, 0x16, 0, 0};
    EXPECT_EQ(0, memcmp(goldenA, a, sizeof a));
    uint8_t v[kVQRecVideoPrefixSize];
    VQRecPutVideoPrefix(v, VQRecTimestamp(2), 1, 0x01020304);
    const uint8_t goldenV[] = {'V', 0x2A, 0x2C, 0x0A, 0, 0, 0, 0, 0, 1, 0, 0, 0, 4, 3, 2, 1};  // 666666
    EXPECT_EQ(0, memcmp(goldenV, v, sizeof v));
}

TEST(RecFormat, TimestampsStay64BitPastTwoToThe32) {
    EXPECT_EQ(333333, VQRecTimestamp(1));
    // 12885 buffers (7 minutes) already pass 2^32 units of 100 ns.
    const int64_t t = VQRecTimestamp(12885);
    EXPECT_EQ(4294995705LL, t);
    EXPECT_GT(t, 0xFFFFFFFFLL);
    const int64_t day = VQRecTimestamp(30LL * 86400);  // a day of sound
    uint8_t v[kVQRecVideoPrefixSize];
    VQRecPutVideoPrefix(v, day, 1, 0);
    EXPECT_EQ(static_cast<uint64_t>(day), VQGetLE64(v + 1));
    EXPECT_EQ(863999136000LL, day);
}

TEST(RecFormat, SaneHeaderLimits) {
    VQRecHeader h = {22, 640, 480, 2, 22050, 16, 2940, 100};
    EXPECT_EQ(1, VQRecHeaderIsSane(h));
    VQRecHeader bad = h;
    bad.width = 0;
    EXPECT_EQ(0, VQRecHeaderIsSane(bad));
    bad = h;
    bad.height = 1u << 20;
    EXPECT_EQ(0, VQRecHeaderIsSane(bad));
    bad = h;
    bad.channels = 3;
    EXPECT_EQ(0, VQRecHeaderIsSane(bad));
    bad = h;
    bad.bitsPerSample = 12;
    EXPECT_EQ(0, VQRecHeaderIsSane(bad));
    bad = h;
    bad.codecDataSize = 0xFFFFFFFF;
    EXPECT_EQ(0, VQRecHeaderIsSane(bad));
}

// The header's buffer size is the size the capture gives every audio record:
// whole sample frames, also at 11,025 Hz where 1/30 s is not a whole number
// of them.
TEST(RecFormat, AudioBufferBytesAreWholeSampleFrames) {
    const struct {
        int bits, channels, rate;
        uint32_t bytes;
    } cases[] = {
        {16, 2, 44100, 5880}, {16, 2, 22050, 2940}, {16, 2, 11025, 1468}, {8, 2, 11025, 734},
        {16, 1, 11025, 734},  {8, 1, 11025, 367},   {8, 1, 22050, 735},   {16, 1, 44100, 2940},
    };
    for (const auto& c : cases) {
        const uint32_t bytes = VQRecAudioBufferBytes(c.bits, c.channels, c.rate);
        EXPECT_EQ(c.bytes, bytes) << c.bits << "/" << c.channels << "/" << c.rate;
        const int blockAlign = c.bits / 8 * c.channels;
        EXPECT_EQ(bytes, VQWholeFrameBytes(bytes, blockAlign));  // the capture keeps it as it is
    }
}

// Pictures are timed by the sound before them: 333333 per buffer when a
// buffer is exactly 1/30 s, else by the buffer's true length, so a minute of
// 11,025 Hz recording does not drift 80 ms ahead of its sound.
TEST(RecFormat, TimestampsFollowTheBufferLength) {
    EXPECT_EQ(VQRecTimestamp(7), VQRecTimestamp(7, 2940, 88200));
    EXPECT_EQ(VQRecTimestamp(30LL * 86400), VQRecTimestamp(30LL * 86400, 5880, 176400));
    // 1800 buffers of 1468 bytes at 44100 bytes/s: 59.92 s of sound.
    EXPECT_EQ(599183074, VQRecTimestamp(1800, 1468, 44100));
    // Long recordings stay in 64 bits: a year of 8-bit mono at 11,025 Hz.
    const int64_t year = 30LL * 86400 * 365;
    EXPECT_NEAR(static_cast<double>(year) * 333333 * 367 * 30 / 11025,
                static_cast<double>(VQRecTimestamp(year, 367, 11025)), 1e3);
}
