// The AVI 1.0 writer: files read back by the codec library, the headers'
// lengths in samples, odd chunk sizes, and the calls it refuses.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/codec_id.h>
}

#include "CVQAviWriter.h"
#include "MediaTestUtil.h"

namespace {
std::string TempPath(const char* name) {
    const char* dir = getenv("TEMP");
    if (!dir) dir = getenv("TMPDIR");
    std::string path = std::string(dir ? dir : ".") + "/" + name;
    return path;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    uint8_t chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(f);
    return bytes;
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// The offset of the first occurrence of a four-character code.
size_t Find(const std::vector<uint8_t>& b, const char* code, size_t from = 0) {
    for (size_t i = from; i + 4 <= b.size(); i++)
        if (memcmp(&b[i], code, 4) == 0) return i;
    return std::string::npos;
}

#pragma pack(push, 1)
struct Bih {
    uint32_t size;
    int32_t width, height;
    uint16_t planes, bits;
    uint32_t compression, image, xppm, yppm, used, important;
};
struct Wfx {
    uint16_t tag, channels;
    uint32_t rate, bytes;
    uint16_t align, bits, extra;
};
#pragma pack(pop)

void AddStreams(CVQAviWriter& w, int width, int height) {
    CVQAviWriter::StreamInfo video = {CVQAviWriter::kVideo, 0, 1, 30, 0, 0, {0, 0, 0, 0}};
    video.frame[2] = static_cast<int16_t>(width);
    video.frame[3] = static_cast<int16_t>(height);
    const uint32_t row = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const Bih bih = {40, width, height, 1, 24, 0, row * height, 0, 0, 0, 0};
    ASSERT_EQ(0, w.AddStream(video, &bih, sizeof bih));
    const CVQAviWriter::StreamInfo audio = {CVQAviWriter::kAudio, 0, 4, 88200, 0xFFFFFFFFu, 4, {0, 0, 0, 0}};
    const Wfx wfx = {1, 2, 22050, 88200, 4, 16, 0};
    ASSERT_EQ(1, w.AddStream(audio, &wfx, sizeof wfx));
}
}  // namespace

TEST(AviWriter, InterleavedFileReadsBack) {
    const std::string path = TempPath("aviwriter-test.avi");
    {
        CVQAviWriter w;
        ASSERT_EQ(1, w.Create(path.c_str()));
        AddStreams(w, 5, 2);  // rows of 15 bytes padded to 16
        std::vector<uint8_t> picture(32), sound(2940);
        for (int i = 0; i < 4; i++) {
            for (size_t k = 0; k < sound.size(); k++) sound[k] = static_cast<uint8_t>(i * 7 + k);
            ASSERT_EQ(1, w.Write(1, sound.data(), 2940, 735, true));
            picture.assign(32, static_cast<uint8_t>(0x10 * i));
            ASSERT_EQ(1, w.Write(0, picture.data(), 32, 1, true));
        }
        EXPECT_EQ(4u, w.Length(0));
        EXPECT_EQ(4u * 735, w.Length(1));
        // Streams cannot be added once data is written.
        const CVQAviWriter::StreamInfo late = {CVQAviWriter::kAudio, 0, 1, 1, 0, 1, {0, 0, 0, 0}};
        const Wfx wfx = {1, 1, 8000, 8000, 1, 8, 0};
        EXPECT_EQ(-1, w.AddStream(late, &wfx, sizeof wfx));
        EXPECT_EQ(0, w.Write(2, picture.data(), 32, 1, true));
        ASSERT_EQ(1, w.Close());
    }
    const std::vector<ContainerStream> streams = ReadContainerFile(path);
    ASSERT_EQ(2u, streams.size());
    EXPECT_EQ(AV_CODEC_ID_RAWVIDEO, streams[0].codecId);
    EXPECT_EQ(5, streams[0].width);
    EXPECT_EQ(2, streams[0].height);
    ASSERT_EQ(4, streams[0].packets);
    EXPECT_EQ(std::vector<uint8_t>(32, 0x30), streams[0].data[3]);
    EXPECT_EQ(AV_CODEC_ID_PCM_S16LE, streams[1].codecId);
    EXPECT_EQ(22050, streams[1].sampleRate);
    EXPECT_EQ(2, streams[1].channels);
    size_t soundBytes = 0;
    for (const auto& d : streams[1].data) soundBytes += d.size();
    EXPECT_EQ(4u * 2940, soundBytes);
    ASSERT_FALSE(streams[1].times.empty());
    EXPECT_EQ(0, streams[1].times.front());
    EXPECT_EQ(0, streams[0].times.front());
    EXPECT_EQ(3, streams[0].times.back());

    // The headers: RIFF size, total frames, each stream's length in its own
    // samples (pictures; 4-byte sound blocks), and the index.
    const std::vector<uint8_t> b = ReadAll(path);
    ASSERT_GT(b.size(), 200u);
    EXPECT_EQ(b.size() - 8, U32(b, 4));
    const size_t avih = Find(b, "avih");
    EXPECT_EQ(33333u, U32(b, avih + 8));
    EXPECT_EQ(4u, U32(b, avih + 8 + 16));  // total frames
    EXPECT_EQ(2u, U32(b, avih + 8 + 24));  // streams
    const size_t strh1 = Find(b, "strh");
    const size_t strh2 = Find(b, "strh", strh1 + 4);
    EXPECT_EQ(4u, U32(b, strh1 + 8 + 32));        // video length
    EXPECT_EQ(4u * 735, U32(b, strh2 + 8 + 32));  // sound length in blocks
    EXPECT_EQ(2940u, U32(b, strh2 + 8 + 36));     // largest sound chunk
    const size_t idx1 = Find(b, "idx1");
    EXPECT_EQ(8u * 16, U32(b, idx1 + 4));
    EXPECT_EQ(b.size(), idx1 + 8 + 8 * 16);
    remove(path.c_str());
}

TEST(AviWriter, OddChunksArePaddedAndEmptyFilesAreValid) {
    const std::string path = TempPath("aviwriter-odd.avi");
    {
        CVQAviWriter w;
        ASSERT_EQ(1, w.Create(path.c_str()));
        AddStreams(w, 1, 1);
        const uint8_t odd[3] = {1, 2, 3};
        ASSERT_EQ(1, w.Write(0, odd, 3, 1, true));
        ASSERT_EQ(1, w.Write(0, odd, 3, 1, true));
        ASSERT_EQ(1, w.Close());
        EXPECT_EQ(0, w.Write(0, odd, 3, 1, true));  // closed
    }
    std::vector<ContainerStream> streams = ReadContainerFile(path);
    ASSERT_EQ(2u, streams.size());
    ASSERT_EQ(2, streams[0].packets);
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), streams[0].data[1]);

    {
        CVQAviWriter w;
        ASSERT_EQ(1, w.Create(path.c_str()));
        AddStreams(w, 4, 4);
    }  // closed by the destructor with nothing written
    streams = ReadContainerFile(path);
    ASSERT_EQ(2u, streams.size());
    EXPECT_EQ(0, streams[0].packets);
    remove(path.c_str());

    CVQAviWriter w;
    EXPECT_EQ(0, w.Create((TempPath("no-such-folder") + "/x.avi").c_str()));
    EXPECT_EQ(-1, w.AddStream(CVQAviWriter::StreamInfo(), "x", 1));
}
