#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "CVKRECDecoder.h"
#include "LogCapture.h"
#include "MediaTestUtil.h"
#include "RecFileMaker.h"
#include "VKLog.h"

namespace {
const int kW = 160, kH = 32, kVideo = 12;
const uint32_t kAudio = 5880;

struct ReadResult {
    int audio = 0, video = 0, decoded = 0;
    std::vector<int64_t> times;
    std::vector<uint32_t> counters;
    bool audioBytesCountUp = true;
};

// Reads a recording the way the desktop's encode job does.
ReadResult ReadAll(CVKRECDecoder* d, bool decode) {
    ReadResult r;
    AVPacket* packet = av_packet_alloc();
    uint8_t next = 0;
    for (char tag; (tag = d->ReadTag()) != 0;) {
        if (tag == 'A') {
            const uint8_t* data;
            uint32_t size;
            if (!d->ReadSampleAudio(&data, &size)) break;
            for (uint32_t i = 0; i < size; i++) r.audioBytesCountUp = r.audioBytesCountUp && data[i] == next++;
            r.audio++;
        } else if (tag == 'V') {
            int64_t ts;
            if (!d->ReadSampleVideo(packet, &ts)) break;
            r.video++;
            r.times.push_back(ts);
            if (decode) {
                const uint8_t* pixels = d->DecodeVideoSample(packet);
                if (pixels) {
                    r.decoded++;
                    r.counters.push_back(ReadCounter(reinterpret_cast<const uint32_t*>(pixels), kW, kH));
                }
            }
        } else {
            break;
        }
    }
    av_packet_free(&packet);
    return r;
}

class RECDecoderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_file = MakeRecFile(kW, kH, kVideo, kAudio, &s_ends); }
    static std::vector<uint8_t> s_file;
    static std::vector<size_t> s_ends;
};
std::vector<uint8_t> RECDecoderTest::s_file;
std::vector<size_t> RECDecoderTest::s_ends;
}  // namespace

TEST_F(RECDecoderTest, ReadsEveryRecordWithItsTimeAndPicture) {
    ASSERT_FALSE(s_file.empty());
    ASSERT_TRUE(WriteBytes("rec_full.rec", s_file.data(), s_file.size()));
    CVKRECDecoder d;
    ASSERT_EQ(1, d.Open("rec_full.rec"));
    EXPECT_EQ(22u, d.backBufferFormat);
    EXPECT_EQ(static_cast<uint32_t>(kW), d.width);
    EXPECT_EQ(static_cast<uint32_t>(kH), d.height);
    EXPECT_EQ(2, d.channels);
    EXPECT_EQ(44100u, d.sampleRate);
    EXPECT_EQ(16, d.bitsPerSample);
    EXPECT_EQ(kAudio, d.audioBufferBytes);
    EXPECT_EQ(kW * kH * 4, d.GetOutputSize());
    ReadResult r = ReadAll(&d, true);
    EXPECT_EQ(kVideo, r.video);
    EXPECT_EQ(kVideo, r.decoded);
    EXPECT_EQ(18, r.audio);
    EXPECT_TRUE(r.audioBytesCountUp);
    int64_t audioBefore = 0;
    for (int k = 0; k < kVideo; k++) {
        audioBefore += 1 + (k % 2);
        EXPECT_EQ(audioBefore * 333333, r.times[static_cast<size_t>(k)]) << k;
        EXPECT_EQ(static_cast<uint32_t>(k), r.counters[static_cast<size_t>(k)]) << k;
    }
    EXPECT_EQ(static_cast<int64_t>(s_file.size()), d.GetPosition());
    remove("rec_full.rec");
}

TEST_F(RECDecoderTest, SeekVideoSampleStopsAfterTheTag) {
    ASSERT_TRUE(WriteBytes("rec_seek.rec", s_file.data(), s_file.size()));
    CVKRECDecoder d;
    ASSERT_EQ(1, d.Open("rec_seek.rec"));
    ASSERT_EQ(1, d.SeekVideoSample(3));
    AVPacket* packet = av_packet_alloc();
    int64_t ts = 0;
    ASSERT_EQ(1, d.ReadSampleVideo(packet, &ts));
    EXPECT_EQ(6 * 333333, ts);  // 1 + 2 + 1 + 2 audio records before video 3
    const uint8_t* pixels = d.DecodeVideoSample(packet);
    ASSERT_NE(nullptr, pixels);
    EXPECT_EQ(3u, ReadCounter(reinterpret_cast<const uint32_t*>(pixels), kW, kH));
    EXPECT_EQ(0, d.SeekVideoSample(100));  // past the end
    av_packet_free(&packet);
    remove("rec_seek.rec");
}

// A recording cut off anywhere (a game that crashed while recording) reads
// cleanly up to its last complete record.
TEST_F(RECDecoderTest, CutAtAnyOffsetReadsTheCompleteRecords) {
    const size_t headerEnd = s_ends.empty() ? 0 : s_ends[0] - (kAudio + 5);
    std::set<size_t> cuts;
    for (size_t c = 0; c <= headerEnd + 40 && c <= s_file.size(); c++) cuts.insert(c);
    for (size_t end : s_ends)
        for (size_t c = end - 2; c <= end + 2 && c <= s_file.size(); c++) cuts.insert(c);
    for (size_t c = 0; c < s_file.size(); c += 997) cuts.insert(c);
    LogCapture log;
    for (size_t cut : cuts) {
        ASSERT_TRUE(WriteBytes("rec_cut.rec", s_file.data(), cut));
        CVKRECDecoder d;
        const int opened = d.Open("rec_cut.rec");
        ASSERT_EQ(cut >= headerEnd ? 1 : 0, opened) << cut;
        if (!opened) continue;
        int complete = 0;
        while (static_cast<size_t>(complete) < s_ends.size() && s_ends[static_cast<size_t>(complete)] <= cut)
            complete++;
        // Plan order: for video k, 1 + k % 2 audio records, then the video record.
        int completeVideo = 0;
        for (int k = 0, index = 0; k < kVideo; k++) {
            index += 2 + (k % 2);
            if (index <= complete) completeVideo++;
        }
        ReadResult r = ReadAll(&d, cut % 3 == 0);  // decode a third of them (keeps the run short)
        EXPECT_EQ(complete, r.audio + r.video) << cut;
        EXPECT_EQ(completeVideo, r.video) << cut;
        EXPECT_TRUE(r.audioBytesCountUp) << cut;
        EXPECT_EQ(0, d.ReadTag()) << cut;  // the end stays the end
    }
    EXPECT_EQ(std::string::npos, log.text.find("Corrupt")) << log.text.substr(0, 400);
    EXPECT_EQ(std::string::npos, log.text.find("Couldn't decode")) << log.text.substr(0, 400);
    remove("rec_cut.rec");
}

TEST_F(RECDecoderTest, SizesBeyondTheFileOrTheLimitsEndTheReading) {
    // Video record 0's size field claims 2 GiB.
    std::vector<uint8_t> bad = s_file;
    const size_t video0 = s_ends[0];  // after the first audio record
    ASSERT_EQ('V', bad[video0]);
    VQPutLE32(&bad[video0 + 13], 0x80000000u);
    ASSERT_TRUE(WriteBytes("rec_bad.rec", bad.data(), bad.size()));
    CVKRECDecoder d;
    ASSERT_EQ(1, d.Open("rec_bad.rec"));
    ReadResult r = ReadAll(&d, false);
    EXPECT_EQ(1, r.audio);
    EXPECT_EQ(0, r.video);

    // An audio size larger than the rest of the file.
    bad = s_file;
    VQPutLE32(&bad[s_ends[0] - (kAudio + 5) + 1], 0x7FFFFFF0u);
    ASSERT_TRUE(WriteBytes("rec_bad.rec", bad.data(), bad.size()));
    ASSERT_EQ(1, d.Open("rec_bad.rec"));
    r = ReadAll(&d, false);
    EXPECT_EQ(0, r.audio + r.video);
    remove("rec_bad.rec");
}

TEST_F(RECDecoderTest, RefusesWhatIsNoRecording) {
    LogCapture log;
    CVKRECDecoder d;
    EXPECT_EQ(0, d.Open("rec_missing_zz.rec"));
    EXPECT_NE(std::string::npos, log.text.find("CVKRECDecoder::Open(): File not found ("));
    const uint8_t shortFile[] = {'V', 'Q', '1', '0'};
    ASSERT_TRUE(WriteBytes("rec_short.rec", shortFile, sizeof shortFile));
    EXPECT_EQ(0, d.Open("rec_short.rec"));
    std::vector<uint8_t> bad(s_file.begin(), s_file.begin() + 200);
    bad[7] = 'x';  // "VQ1000" followed by other than two zero bytes
    ASSERT_TRUE(WriteBytes("rec_magic.rec", bad.data(), bad.size()));
    EXPECT_EQ(0, d.Open("rec_magic.rec"));
    bad = s_file;
    VQPutLE32(&bad[32], 0xFFFFFF00u);  // codec data larger than the file
    ASSERT_TRUE(WriteBytes("rec_magic.rec", bad.data(), bad.size()));
    EXPECT_EQ(0, d.Open("rec_magic.rec"));
    bad = s_file;
    VQPutLE32(&bad[12], 0);  // no width
    ASSERT_TRUE(WriteBytes("rec_magic.rec", bad.data(), bad.size()));
    EXPECT_EQ(0, d.Open("rec_magic.rec"));
    size_t illegal = 0;
    for (size_t at = log.text.find("Illegal file format"); at != std::string::npos;
         at = log.text.find("Illegal file format", at + 1))
        illegal++;
    EXPECT_EQ(4u, illegal);
    EXPECT_EQ(0, d.ReadTag());  // closed after a failed open
    remove("rec_short.rec");
    remove("rec_magic.rec");
}

TEST_F(RECDecoderTest, EmptyAudioRecordIsReportedAndSkipFails) {
    std::vector<uint8_t> file(s_file.begin(), s_file.begin() + static_cast<ptrdiff_t>(s_ends[0] - (kAudio + 5)));
    const uint8_t empty[] = {'A', 0, 0, 0, 0};
    file.insert(file.end(), empty, empty + 5);
    ASSERT_TRUE(WriteBytes("rec_empty.rec", file.data(), file.size()));
    LogCapture log;
    CVKRECDecoder d;
    ASSERT_EQ(1, d.Open("rec_empty.rec"));
    ASSERT_EQ('A', d.ReadTag());
    EXPECT_EQ(0, d.SkipSampleAudio());
    EXPECT_NE(std::string::npos, log.text.find("CVKRECDecoder::ReadSampleAudioSize(): Empty audio sample error\r\n"));
    remove("rec_empty.rec");
}

// The codec's own threads: pictures come out later than their packets, in
// order, each known by its packet's number, exactly as decoded in one
// thread; a picture that fails to decode is missing and the ones after it
// keep their numbers.
TEST_F(RECDecoderTest, ThreadedDecodingGivesThePicturesInOrderByNumber) {
    ASSERT_TRUE(WriteBytes("rec_threads.rec", s_file.data(), s_file.size()));
    const int kBad = 5;  // this picture's packet is cut to 16 bytes
    std::vector<std::vector<uint8_t>> alone(kVideo);
    {
        CVKRECDecoder d;
        ASSERT_EQ(1, d.Open("rec_threads.rec"));
        AVPacket* packet = av_packet_alloc();
        AVFrame* frame = av_frame_alloc();
        for (int k = 0; k < kVideo; k++) {
            ASSERT_EQ(1, d.SeekVideoSample(0));
            int64_t ts;
            ASSERT_EQ(1, d.ReadSampleVideo(packet, &ts));
            ASSERT_EQ(1, d.DecodeVideoFrame(packet, frame)) << k;
            for (int y = 0; y < kH; y++)
                for (int plane = 0; plane < 3; plane++) {
                    const uint8_t* row = frame->data[plane] + static_cast<ptrdiff_t>(y) * frame->linesize[plane];
                    alone[static_cast<size_t>(k)].insert(alone[static_cast<size_t>(k)].end(), row,
                                                         row + (plane ? kW / 2 : kW));
                }
        }
        av_frame_free(&frame);
        av_packet_free(&packet);
    }
    LogCapture log;
    CVKRECDecoder d;
    d.SetDecodeThreads(3);
    ASSERT_EQ(1, d.Open("rec_threads.rec"));
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<int64_t> numbers;
    int failed = 0, sent = 0, sentBeforeFirst = -1;
    auto receive = [&] {
        for (int r; (r = d.ReceiveVideoFrame(frame)) != 0;) {
            if (r < 0) {
                failed++;
                continue;
            }
            if (sentBeforeFirst < 0) sentBeforeFirst = sent;
            numbers.push_back(frame->pkt_dts);
            std::vector<uint8_t> planes;
            for (int y = 0; y < kH; y++)
                for (int plane = 0; plane < 3; plane++) {
                    const uint8_t* row = frame->data[plane] + static_cast<ptrdiff_t>(y) * frame->linesize[plane];
                    planes.insert(planes.end(), row, row + (plane ? kW / 2 : kW));
                }
            const size_t k = static_cast<size_t>(frame->pkt_dts);
            ASSERT_LT(k, alone.size());
            EXPECT_TRUE(planes == alone[k]) << k;
            av_frame_unref(frame);
        }
    };
    for (int k = 0; k < kVideo; k++) {
        ASSERT_EQ(1, d.SeekVideoSample(0));
        int64_t ts;
        ASSERT_EQ(1, d.ReadSampleVideo(packet, &ts));
        packet->dts = k;
        if (k == kBad) packet->size = 16;
        ASSERT_EQ(1, d.SendVideoPacket(packet)) << k;
        sent++;
        receive();
    }
    ASSERT_EQ(1, d.SendVideoPacket(nullptr));
    receive();
    std::vector<int64_t> expected;
    for (int k = 0; k < kVideo; k++)
        if (k != kBad) expected.push_back(k);
    EXPECT_EQ(expected, numbers);
    EXPECT_LE(failed, 1);           // the failure shows when sending or receiving
    EXPECT_GT(sentBeforeFirst, 1);  // the threads did hold pictures back
    EXPECT_NE(std::string::npos, log.text.find("(): Couldn't decode video frame"));
    av_frame_free(&frame);
    av_packet_free(&packet);
    remove("rec_threads.rec");
}
