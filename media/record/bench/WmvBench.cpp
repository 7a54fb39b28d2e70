// Encoding speed of a recording into Windows Media: a recording of the
// given length at 1280x720 (HuffYUV pictures, a tone) is made, then encoded
// to profile 0 and profile 2 as the uploads page does it (in slices),
// timed. The same pictures and sound also go into an AVI file (copied, not
// coded again) so the codec library's command-line tool can do the same
// conversion for comparison.
//   media_wmv_bench <folder> [seconds]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include "CVKRecToWmv.h"
#include "CVQFFmpegEncoder.h"
#include "VQRecFormat.h"

namespace {
const int kW = 1280, kH = 720, kRate = 44100;

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// A scene with motion: a gradient that drifts and a bright box that moves.
void DrawScene(std::vector<uint8_t>* pixels, int k) {
    uint8_t* p = pixels->data();
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++, p += 4) {
            p[0] = static_cast<uint8_t>(x / 5 + k);
            p[1] = static_cast<uint8_t>(y / 3 + 2 * k);
            p[2] = static_cast<uint8_t>((x + y) / 8);
            p[3] = 0;
        }
    const int bx = (k * 7) % (kW - 160), by = (k * 3) % (kH - 120);
    for (int y = by; y < by + 120; y++)
        for (int x = bx; x < bx + 160; x++) {
            uint8_t* q = pixels->data() + (static_cast<size_t>(y) * kW + x) * 4;
            q[0] = q[1] = q[2] = 240;
        }
}

bool MakeRecording(const std::string& rec, const std::string& avi, int seconds) {
    CVQFFmpegEncoder encoder;
    encoder.EnableVideo(1);
    encoder.SetVideoCodec(26, 0);
    encoder.SetVideoFormat(kW, kH, 0, 6);
    if (!encoder.OpenEncoder()) return false;
    int extraSize = 0;
    const uint8_t* extra = encoder.GetCodecData(&extraSize);
    FILE* f = fopen(rec.c_str(), "wb");
    if (!f) return false;
    const uint32_t bufferBytes = VQRecAudioBufferBytes(16, 2, kRate);
    const VQRecHeader header = {22, kW, kH, 2, kRate, 16, bufferBytes, static_cast<uint32_t>(extraSize)};
    uint8_t raw[kVQRecHeaderSize];
    VQRecPutHeader(raw, header);
    fwrite(raw, 1, sizeof raw, f);
    fwrite(extra, 1, static_cast<size_t>(extraSize), f);

    // The same packets into an AVI for the command-line tool.
    AVFormatContext* out = nullptr;
    avformat_alloc_output_context2(&out, nullptr, "avi", avi.c_str());
    AVStream* vs = out ? avformat_new_stream(out, nullptr) : nullptr;
    AVStream* as = out ? avformat_new_stream(out, nullptr) : nullptr;
    if (!vs || !as) return false;
    vs->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    vs->codecpar->codec_id = AV_CODEC_ID_HUFFYUV;
    vs->codecpar->width = kW;
    vs->codecpar->height = kH;
    vs->codecpar->format = AV_PIX_FMT_YUV422P;
    vs->codecpar->bits_per_coded_sample = 16;
    vs->codecpar->extradata = static_cast<uint8_t*>(av_mallocz(static_cast<size_t>(extraSize) + 64));
    memcpy(vs->codecpar->extradata, extra, static_cast<size_t>(extraSize));
    vs->codecpar->extradata_size = extraSize;
    vs->time_base = AVRational{1, 30};
    as->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    as->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
    as->codecpar->sample_rate = kRate;
    av_channel_layout_default(&as->codecpar->ch_layout, 2);
    as->codecpar->bits_per_coded_sample = 16;
    as->codecpar->block_align = 4;
    as->time_base = AVRational{1, kRate};
    if (avio_open(&out->pb, avi.c_str(), AVIO_FLAG_WRITE) < 0 || avformat_write_header(out, nullptr) < 0) return false;

    std::vector<uint8_t> picture(static_cast<size_t>(kW) * kH * 4);
    std::vector<int16_t> sound(bufferBytes / 2);
    AVPacket* packet = av_packet_alloc();
    AVPacket* copy = av_packet_alloc();
    int64_t sample = 0;
    for (int k = 0; k < seconds * 30; k++) {
        for (size_t i = 0; i < sound.size(); i += 2, sample++)
            sound[i] = sound[i + 1] = static_cast<int16_t>(6000 * sin(2 * 3.14159265358979 * 440 * sample / kRate));
        uint8_t prefix[kVQRecVideoPrefixSize];
        VQRecPutAudioPrefix(prefix, bufferBytes);
        fwrite(prefix, 1, kVQRecAudioPrefixSize, f);
        fwrite(sound.data(), 1, bufferBytes, f);
        av_new_packet(copy, static_cast<int>(bufferBytes));
        memcpy(copy->data, sound.data(), bufferBytes);
        copy->stream_index = as->index;
        copy->pts = copy->dts =
            av_rescale_q(sample - static_cast<int64_t>(sound.size() / 2), AVRational{1, kRate}, as->time_base);
        av_interleaved_write_frame(out, copy);
        DrawScene(&picture, k);
        encoder.SetInputPicture(picture.data());
        if (!encoder.EncodeVideoPacket(packet)) return false;
        VQRecPutVideoPrefix(prefix, VQRecTimestamp(k + 1), 1, static_cast<uint32_t>(packet->size));
        fwrite(prefix, 1, sizeof prefix, f);
        fwrite(packet->data, 1, static_cast<size_t>(packet->size), f);
        av_new_packet(copy, packet->size);
        memcpy(copy->data, packet->data, static_cast<size_t>(packet->size));
        copy->stream_index = vs->index;
        copy->flags = AV_PKT_FLAG_KEY;
        copy->pts = copy->dts = av_rescale_q(k + 1, AVRational{1, 30}, vs->time_base);
        av_interleaved_write_frame(out, copy);
    }
    av_write_trailer(out);
    avio_closep(&out->pb);
    avformat_free_context(out);
    av_packet_free(&packet);
    av_packet_free(&copy);
    return fclose(f) == 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: media_wmv_bench <folder> [seconds]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int seconds = argc > 2 ? atoi(argv[2]) : 60;
    const std::string rec = folder + "bench.rec", avi = folder + "bench.avi";
    double t = Now();
    if (!MakeRecording(rec, avi, seconds)) {
        fprintf(stderr, "wmv_bench: cannot make the recording\n");
        return 1;
    }
    printf("wmv_bench: made a %d s %dx%d recording in %.1f s\n", seconds, kW, kH, Now() - t);
    for (int profile : {0, 2}) {
        CVKRecToWmv job;
        const std::string out = folder + "bench-" + std::to_string(profile) + ".wmv";
        t = Now();
        if (!job.Start(rec.c_str(), out.c_str(), profile)) {
            fprintf(stderr, "wmv_bench: cannot start profile %d\n", profile);
            return 1;
        }
        int steps = 0;
        while (job.Step(50) == CVKRecToWmv::kMore) steps++;
        const int complete = job.Finish();
        const double elapsed = Now() - t;
        printf("wmv_bench profile=%d seconds=%d elapsed=%.2f realtime=%.2fx steps=%d complete=%d\n", profile, seconds,
               elapsed, seconds / elapsed, steps, complete);
        fflush(stdout);
    }
    return 0;
}
