// A recording made here (HuffYUV pictures, a known tone) encoded into a
// Windows Media file and read back with the codec library.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswscale/swscale.h>
}

#include "CNcAviToWmv.h"
#include "CVKRecToWmv.h"
#include "CVKWMVEncoder.h"
#include "CVQFFmpegEncoder.h"
#include "MediaTestUtil.h"
#include "RecFileMaker.h"
#include "VQRecFormat.h"

namespace {
const int kW = 160, kH = 120, kRate = 22050, kTone = 1000, kSeconds = 3;

// kSeconds of recording: 22,050 Hz mono 16-bit tone records of 1/30 s, a
// picture after every one but the last (time = the sound before it), as the
// recorder writes them. Picture badPicture, if any, is cut to 16 bytes (it
// does not decode).
std::vector<uint8_t> MakeToneRecording(int badPicture = -1) {
    CVQFFmpegEncoder encoder;
    encoder.EnableVideo(1);
    encoder.SetVideoCodec(26, 0);
    encoder.SetVideoFormat(kW, kH, 0, 6);
    std::vector<uint8_t> file;
    if (!encoder.OpenEncoder()) return file;
    int extraSize = 0;
    const uint8_t* extra = encoder.GetCodecData(&extraSize);
    const uint32_t bufferBytes = VQRecAudioBufferBytes(16, 1, kRate);
    const VQRecHeader header = {22, kW, kH, 1, kRate, 16, bufferBytes, static_cast<uint32_t>(extraSize)};
    file.resize(kVQRecHeaderSize);
    VQRecPutHeader(file.data(), header);
    file.insert(file.end(), extra, extra + extraSize);
    std::vector<uint8_t> picture(kW * kH * 4);
    AVPacket* packet = av_packet_alloc();
    int64_t sample = 0;
    const int records = kSeconds * 30;
    for (int k = 0; k < records; k++) {
        uint8_t prefix[kVQRecVideoPrefixSize];
        VQRecPutAudioPrefix(prefix, bufferBytes);
        file.insert(file.end(), prefix, prefix + kVQRecAudioPrefixSize);
        for (uint32_t i = 0; i < bufferBytes / 2; i++, sample++) {
            const int16_t v = static_cast<int16_t>(8000.0 * sin(2 * 3.14159265358979323846 * kTone * sample / kRate));
            file.push_back(static_cast<uint8_t>(v & 0xFF));
            file.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
        }
        if (k == records - 1) break;
        DrawCounterPicture(picture.data(), kW, kH, kW * 4, static_cast<uint32_t>(k));
        encoder.SetInputPicture(picture.data());
        if (!encoder.EncodeVideoPacket(packet)) break;
        const int size = k == badPicture ? 16 : packet->size;
        VQRecPutVideoPrefix(prefix, VQRecTimestamp(k + 1), 1, static_cast<uint32_t>(size));
        file.insert(file.end(), prefix, prefix + sizeof prefix);
        file.insert(file.end(), packet->data, packet->data + size);
    }
    av_packet_free(&packet);
    return file;
}

struct ReadBack {
    int videoCodec = 0, audioCodec = 0, width = 0, height = 0, rate = 0, channels = 0, pictures = 0;
    double duration = 0;  // seconds
    std::vector<float> left, right;
};

// Decodes the sound and counts the pictures of a written file.
ReadBack ReadWmv(const std::string& path) {
    ReadBack r;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return r;
    avformat_find_stream_info(format, nullptr);
    r.duration = format->duration > 0 ? format->duration / 1e6 : 0;
    AVCodecContext* audio = nullptr;
    int audioIndex = -1;
    for (unsigned i = 0; i < format->nb_streams; i++) {
        const AVCodecParameters* p = format->streams[i]->codecpar;
        if (p->codec_type == AVMEDIA_TYPE_VIDEO) {
            r.videoCodec = p->codec_id;
            r.width = p->width;
            r.height = p->height;
        } else if (p->codec_type == AVMEDIA_TYPE_AUDIO) {
            r.audioCodec = p->codec_id;
            r.rate = p->sample_rate;
            r.channels = p->ch_layout.nb_channels;
            audioIndex = static_cast<int>(i);
            audio = avcodec_alloc_context3(avcodec_find_decoder(p->codec_id));
            avcodec_parameters_to_context(audio, p);
            avcodec_open2(audio, avcodec_find_decoder(p->codec_id), nullptr);
        }
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == audioIndex && audio && avcodec_send_packet(audio, packet) >= 0) {
            while (avcodec_receive_frame(audio, frame) >= 0) {
                if (frame->format != AV_SAMPLE_FMT_FLTP || frame->ch_layout.nb_channels != 2) continue;
                const float* l = reinterpret_cast<const float*>(frame->data[0]);
                const float* rr = reinterpret_cast<const float*>(frame->data[1]);
                r.left.insert(r.left.end(), l, l + frame->nb_samples);
                r.right.insert(r.right.end(), rr, rr + frame->nb_samples);
            }
        } else if (packet->stream_index != audioIndex) {
            r.pictures++;
        }
        av_packet_unref(packet);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&audio);
    avformat_close_input(&format);
    return r;
}

// Frequency from the rising zero crossings of a stretch of sound.
double Frequency(const std::vector<float>& s, size_t from, size_t to, int rate) {
    int crossings = 0;
    size_t first = 0, last = 0;
    for (size_t i = from + 1; i < to && i < s.size(); i++)
        if (s[i - 1] < 0 && s[i] >= 0) {
            if (!crossings) first = i;
            last = i;
            crossings++;
        }
    return crossings > 1 ? (crossings - 1) * static_cast<double>(rate) / static_cast<double>(last - first) : 0;
}

int EncodeAll(CVKRecToWmv* job, uint32_t budget, int* steps, std::vector<int>* percents) {
    int r;
    *steps = 0;
    while ((r = job->Step(budget)) == CVKRecToWmv::kMore) {
        (*steps)++;
        if (percents) percents->push_back(job->Percent());
        if (*steps > 10000) return -2;
    }
    return r;
}

TEST(WMVEncode, RecordingBecomesWindowsMediaAtTheProfile) {
    const std::vector<uint8_t> rec = MakeToneRecording();
    ASSERT_FALSE(rec.empty());
    ASSERT_TRUE(WriteBytes("tone.rec", rec.data(), rec.size()));
    CVKRecToWmv job;
    uint32_t now = 0;
    job.SetClock([&now] { return now++; });  // one millisecond per look at the clock
    ASSERT_EQ(1, job.Start("tone.rec", "tone.wmv", 0));
    int steps = 0;
    std::vector<int> percents;
    ASSERT_EQ(CVKRecToWmv::kDone, EncodeAll(&job, 10, &steps, &percents));
    // 179 records in slices of 10 samples each.
    EXPECT_GE(steps, 17);
    EXPECT_LE(steps, 18);
    for (size_t i = 1; i < percents.size(); i++) EXPECT_GE(percents[i], percents[i - 1]);
    EXPECT_EQ(job.Percent(), 100);
    EXPECT_EQ(job.PicturesWritten(), kSeconds * 30 - 1);
    ASSERT_EQ(1, job.Finish());

    const ReadBack r = ReadWmv("tone.wmv");
    EXPECT_EQ(r.videoCodec, AV_CODEC_ID_WMV2);
    EXPECT_EQ(r.audioCodec, AV_CODEC_ID_WMAV2);
    EXPECT_EQ(r.width, 640);
    EXPECT_EQ(r.height, 480);
    EXPECT_EQ(r.rate, 44100);
    EXPECT_EQ(r.channels, 2);
    EXPECT_EQ(r.pictures, kSeconds * 30 - 1);
    // Within a picture, and the sound codec's last frame of 2,048 samples.
    const double slack = 1.0 / 30 + 2048.0 / 44100;
    EXPECT_NEAR(r.duration, kSeconds, slack);
    // The tone keeps its pitch through the resampling to 44,100 Hz stereo.
    ASSERT_GT(r.left.size(), 2u * 44100u);
    EXPECT_NEAR(Frequency(r.left, 22050, 22050 + 88200, 44100), kTone, kTone * 0.01);
    EXPECT_NEAR(Frequency(r.right, 22050, 22050 + 88200, 44100), kTone, kTone * 0.01);
    EXPECT_NEAR(r.left.size() / 44100.0, kSeconds, 0.1);

    int64_t duration = 0;
    int32_t bitRate = 0;
    ASSERT_EQ(1, CVKWMVEncoder::ReadHeader("tone.wmv", &duration, &bitRate));
    EXPECT_NEAR(duration / 1e7, kSeconds, slack);
    EXPECT_GT(bitRate, 0);
}

TEST(WMVEncode, RecordingCutShortByACrashStillEncodes) {
    std::vector<uint8_t> rec = MakeToneRecording();
    ASSERT_FALSE(rec.empty());
    rec.resize(rec.size() * 2 / 3 + 7);  // ends inside a record
    ASSERT_TRUE(WriteBytes("cut.rec", rec.data(), rec.size()));
    CVKRecToWmv job;
    ASSERT_EQ(1, job.Start("cut.rec", "cut.wmv", 2));
    int steps = 0;
    ASSERT_EQ(CVKRecToWmv::kDone, EncodeAll(&job, 1000, &steps, nullptr));
    EXPECT_EQ(job.Percent(), 100);
    EXPECT_EQ(1, job.Finish());
    const ReadBack r = ReadWmv("cut.wmv");
    EXPECT_EQ(r.width, 1280);
    EXPECT_EQ(r.height, 1024);
    EXPECT_GT(r.pictures, 50);
    EXPECT_LT(r.pictures, 65);
}

std::vector<uint8_t> ReadFileBytes(const char* path) {
    std::vector<uint8_t> bytes;
    FILE* f = fopen(path, "rb");
    if (!f) return bytes;
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(f);
    return bytes;
}

TEST(WMVEncode, DecodingAheadOnItsOwnThreadWritesTheSameFile) {
    const std::vector<uint8_t> rec = MakeToneRecording();
    ASSERT_TRUE(WriteBytes("ahead.rec", rec.data(), rec.size()));
    std::vector<uint8_t> previews[2];
    for (bool ahead : {false, true}) {
        CVKRecToWmv job(ahead);
        ASSERT_EQ(1, job.Start("ahead.rec", ahead ? "ahead.wmv" : "inline.wmv", 0));
        int steps = 0;
        ASSERT_EQ(CVKRecToWmv::kDone, EncodeAll(&job, 3, &steps, nullptr));
        EXPECT_EQ(CVKRecToWmv::kDone, job.Step(3));  // the end stays the end
        EXPECT_EQ(job.PicturesWritten(), kSeconds * 30 - 1);
        EXPECT_EQ(job.Position(), job.FileSize());
        int w = 0, h = 0;
        const uint8_t* preview = job.Preview(&w, &h);
        ASSERT_NE(preview, nullptr);
        ASSERT_EQ(w, kW);
        // The preview is the last picture written, whichever thread decoded it.
        previews[ahead].assign(preview, preview + static_cast<size_t>(kW) * kH * 4);
        EXPECT_EQ(1, job.Finish());
    }
    EXPECT_TRUE(previews[0] == previews[1]);
    const std::vector<uint8_t> inline_ = ReadFileBytes("inline.wmv"), ahead = ReadFileBytes("ahead.wmv");
    ASSERT_GT(inline_.size(), 1000u);
    EXPECT_TRUE(inline_ == ahead) << inline_.size() << " and " << ahead.size() << " bytes";

    // Stopped half-way (the thread waiting for room or in a decode), and
    // started again on the same object: no hang, a whole new file.
    CVKRecToWmv job;
    for (int round = 0; round < 2; round++) {
        ASSERT_EQ(1, job.Start("ahead.rec", "stopped.wmv", 0));
        EXPECT_EQ(CVKRecToWmv::kMore, job.Step(0));
        job.Close();
    }
    ASSERT_EQ(1, job.Start("ahead.rec", "again.wmv", 0));
    int steps = 0;
    ASSERT_EQ(CVKRecToWmv::kDone, EncodeAll(&job, 1000, &steps, nullptr));
    EXPECT_EQ(1, job.Finish());
    EXPECT_TRUE(ReadFileBytes("again.wmv") == inline_);
}

// The codec's threads decode several pictures at once: a picture that does
// not decode is left out, and every other one keeps its place and time, as
// when everything runs in one thread.
TEST(WMVEncode, PictureThatDoesNotDecodeIsLeftOutWithOrWithoutThreads) {
    const std::vector<uint8_t> rec = MakeToneRecording(40);
    ASSERT_TRUE(WriteBytes("bad.rec", rec.data(), rec.size()));
    std::vector<uint8_t> files[2];
    for (bool ahead : {false, true}) {
        CVKRecToWmv job(ahead);
        const char* out = ahead ? "bad-ahead.wmv" : "bad-inline.wmv";
        ASSERT_EQ(1, job.Start("bad.rec", out, 0));
        int steps = 0;
        ASSERT_EQ(CVKRecToWmv::kDone, EncodeAll(&job, 5, &steps, nullptr));
        EXPECT_EQ(job.PicturesWritten(), kSeconds * 30 - 2);
        EXPECT_EQ(1, job.Finish());
        files[ahead] = ReadFileBytes(out);
        EXPECT_EQ(ReadWmv(out).pictures, kSeconds * 30 - 2);
    }
    ASSERT_GT(files[0].size(), 1000u);
    EXPECT_TRUE(files[0] == files[1]);
}

// A picture scaled to the profile's on another thread and handed over as it
// is (no copy) gives the same file as one the writer scales itself; the
// scaled pictures a caller still holds are never written into.
TEST(WMVEncode, PictureScaledAheadWritesTheSameFileAsOneScaledByTheWriter) {
    std::vector<uint8_t> files[2];
    for (int ahead = 0; ahead < 2; ahead++) {
        const char* path = ahead ? "scaled-ahead.wmv" : "scaled-here.wmv";
        CVKWMVEncoder w;
        ASSERT_EQ(1, w.LoadProfile(0));
        ASSERT_EQ(1, w.Open(path));
        ASSERT_EQ(1, w.InitAudio(2, 44100, 16, 5880));
        ASSERT_EQ(1, w.InitVideo(kW, kH, 333333));
        ASSERT_EQ(1, w.BeginWriting());
        AVFrame* in = av_frame_alloc();
        in->format = AV_PIX_FMT_YUV422P;
        in->width = kW;
        in->height = kH;
        ASSERT_GE(av_frame_get_buffer(in, 0), 0);
        AVFrame* held[3] = {av_frame_alloc(), av_frame_alloc(), av_frame_alloc()};
        std::vector<uint8_t> copies[3];
        SwsContext* sws = nullptr;
        const std::vector<uint8_t> silence(5880);
        for (int k = 0; k < 24; k++) {
            for (int plane = 0; plane < 3; plane++)
                for (int y = 0; y < kH; y++)
                    for (int x = 0; x < (plane ? kW / 2 : kW); x++)
                        in->data[plane][y * in->linesize[plane] + x] =
                            static_cast<uint8_t>(x * (plane + 1) + y + 5 * k);
            ASSERT_EQ(1, w.WriteAudioSample(silence.data(), static_cast<uint32_t>(silence.size())));
            if (!ahead) {
                ASSERT_EQ(1, w.WriteVideoFrame(in, (k + 1) * 333333LL));
                continue;
            }
            // Three scaled pictures stay held, as the decoding thread holds them.
            AVFrame* scaled = held[k % 3];
            if (k >= 3) {
                std::vector<uint8_t> now(scaled->data[0], scaled->data[0] + scaled->linesize[0] * 480);
                EXPECT_TRUE(now == copies[k % 3]) << k;
            }
            ASSERT_EQ(1, w.ScaleToProfile(&sws, in, scaled));
            ASSERT_EQ(scaled->width, 640);
            ASSERT_EQ(scaled->height, 480);
            copies[k % 3].assign(scaled->data[0], scaled->data[0] + scaled->linesize[0] * 480);
            ASSERT_EQ(1, w.WriteVideoFrame(scaled, (k + 1) * 333333LL));
        }
        ASSERT_EQ(1, w.Close());
        for (AVFrame*& f : held) av_frame_free(&f);  // after the writer: the buffers outlive it
        av_frame_free(&in);
        sws_freeContext(sws);
        files[ahead] = ReadFileBytes(path);
    }
    ASSERT_GT(files[0].size(), 1000u);
    EXPECT_TRUE(files[0] == files[1]);
}

TEST(WMVEncode, StartFailsForWhatCannotBeWritten) {
    const std::vector<uint8_t> rec = MakeToneRecording();
    ASSERT_TRUE(WriteBytes("tone2.rec", rec.data(), rec.size()));
    CVKRecToWmv job;
    int missing = 0;
    EXPECT_EQ(0, job.Start("tone2.rec", "no-such-folder/x/out.wmv", 0, &missing));
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(0, job.Start("tone2.rec", "out.wmv", 7, &missing));
    EXPECT_EQ(missing, 1);
    EXPECT_EQ(0, job.Start("no-such.rec", "out.wmv", 0, &missing));
    EXPECT_EQ(CVKRecToWmv::kDone, job.Step(50));
    EXPECT_EQ(0, job.Finish());
}

// An AVI segment as the AVI recorder leaves one: raw 32-bit pictures and
// 16-bit PCM, here 30 pictures of 64 x 48 and one second of sound.
bool MakeAvi(const char* path) {
    AVFormatContext* out = nullptr;
    if (avformat_alloc_output_context2(&out, nullptr, "avi", path) < 0) return false;
    AVStream* vs = avformat_new_stream(out, nullptr);
    AVStream* as = avformat_new_stream(out, nullptr);
    vs->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    vs->codecpar->codec_id = AV_CODEC_ID_RAWVIDEO;
    vs->codecpar->codec_tag = 0;
    vs->codecpar->format = AV_PIX_FMT_BGRA;
    vs->codecpar->width = 64;
    vs->codecpar->height = 48;
    vs->codecpar->bits_per_coded_sample = 32;
    vs->time_base = AVRational{1, 30};
    as->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    as->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
    as->codecpar->sample_rate = 22050;
    av_channel_layout_default(&as->codecpar->ch_layout, 1);
    as->codecpar->bits_per_coded_sample = 16;
    as->codecpar->block_align = 2;
    as->time_base = AVRational{1, 22050};
    if (avio_open(&out->pb, path, AVIO_FLAG_WRITE) < 0 || avformat_write_header(out, nullptr) < 0) return false;
    AVPacket* p = av_packet_alloc();
    for (int k = 0; k < 30; k++) {
        av_new_packet(p, 735 * 2);
        for (int i = 0; i < 735; i++) {
            const int16_t v =
                static_cast<int16_t>(5000 * sin(2 * 3.14159265358979323846 * 700 * (k * 735 + i) / 22050));
            p->data[2 * i] = static_cast<uint8_t>(v & 0xFF);
            p->data[2 * i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
        }
        p->stream_index = as->index;
        p->pts = p->dts = av_rescale_q(k * 735, AVRational{1, 22050}, as->time_base);
        av_interleaved_write_frame(out, p);
        av_new_packet(p, 64 * 48 * 4);
        DrawCounterPicture(p->data, 64, 48, 64 * 4, static_cast<uint32_t>(k));
        p->stream_index = vs->index;
        p->flags = AV_PKT_FLAG_KEY;
        p->pts = p->dts = av_rescale_q(k, AVRational{1, 30}, vs->time_base);
        av_interleaved_write_frame(out, p);
    }
    av_packet_free(&p);
    const bool ok = av_write_trailer(out) >= 0;
    avio_closep(&out->pb);
    avformat_free_context(out);
    return ok;
}

TEST(WMVEncode, AviSegmentBecomesWindowsMedia) {
    ASSERT_TRUE(MakeAvi("seg0001.avi"));
    CNcAviToWmv job;
    ASSERT_EQ(1, job.Start("seg0001.avi", "seg0001.wmv", 0));
    int r, steps = 0;
    while ((r = job.Step(20)) == CNcAviToWmv::kMore && steps < 10000) steps++;
    EXPECT_EQ(r, CNcAviToWmv::kDone);
    ASSERT_EQ(1, job.Finish());
    const ReadBack back = ReadWmv("seg0001.wmv");
    EXPECT_EQ(back.videoCodec, AV_CODEC_ID_WMV2);
    EXPECT_EQ(back.audioCodec, AV_CODEC_ID_WMAV2);
    EXPECT_EQ(back.pictures, 30);
    EXPECT_NEAR(back.duration, 1.0, 1.0 / 30 + 2048.0 / 44100);
    EXPECT_NEAR(Frequency(back.left, 4410, 4410 + 30000, 44100), 700, 7);
    CNcAviToWmv bad;
    EXPECT_EQ(0, bad.Start("tone.rec", "bad.wmv", 0));  // not an AVI
}

}  // namespace
