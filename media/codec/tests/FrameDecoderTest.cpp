#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "CVQFFmpegFrameDecoder.h"
#include "CVQFFmpegFrameEncoder.h"

namespace {
const int kW = 320, kH = 240;
const double kPi = 3.14159265358979323846;

// A picture with detail and a square that moves with n, so coded pictures
// after the first are predicted ones.
void DrawScene(std::vector<uint8_t>* pixels, int n) {
    pixels->resize(static_cast<size_t>(kW) * kH * 4);
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++) {
            uint8_t* p = &(*pixels)[(static_cast<size_t>(y) * kW + x) * 4];
            const bool square = x >= 20 + 6 * n && x < 80 + 6 * n && y >= 60 && y < 140;
            p[0] = square ? 30 : static_cast<uint8_t>(x * 255 / kW);
            p[1] = square ? 200 : static_cast<uint8_t>(y * 255 / kH);
            p[2] = square ? 90 : static_cast<uint8_t>(((x / 16 + y / 16) & 1) ? 180 : 60);
            p[3] = 255;
        }
}

double Psnr(const uint8_t* a, const uint8_t* b, int pixels) {
    double sum = 0;
    for (int i = 0; i < pixels; i++)
        for (int c = 0; c < 3; c++) {
            const double d = static_cast<double>(a[i * 4 + c]) - b[i * 4 + c];
            sum += d * d;
        }
    const double mse = sum / (pixels * 3.0);
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

void OpenSharingEncoder(CVQFFmpegFrameEncoder* e, int rate, int audioBitRate) {
    e->EnableVideo(1);
    e->EnableAudio(1);
    e->SetVideoCodec(kVQCodecWMV2, 128000);
    e->SetAudioCodec(kVQCodecWMAV2, audioBitRate);
    e->SetVideoFormat(kW, kH, 0, kVQPixRGB32);
    e->SetAudioFormat(2, rate, 16);
    e->SetFrameRate(4);
    ASSERT_EQ(1, e->OpenEncoder());
}

void ConfigureViewer(CVQFFmpegFrameDecoder* d, int rate) {
    d->SetWidth(kW);
    d->SetHeight(kH);
    d->SetFrameRate(4);
    d->SetChannels(2);
    d->SetSamplesPerSecond(rate);
    d->SetBitsPerSample(16);
    d->SetOutputPixelFormat(kVQPixRGB32);
}

// Decodes a packet with the library directly, given the encoder's own private data.
struct ReferenceDecoder {
    AVCodecContext* c = nullptr;
    AVFrame* f = av_frame_alloc();
    explicit ReferenceDecoder(const AVCodecContext* encoder) {
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_WMV2);
        c = avcodec_alloc_context3(codec);
        c->width = kW;
        c->height = kH;
        c->extradata = static_cast<uint8_t*>(av_mallocz(encoder->extradata_size + AV_INPUT_BUFFER_PADDING_SIZE));
        memcpy(c->extradata, encoder->extradata, encoder->extradata_size);
        c->extradata_size = encoder->extradata_size;
        EXPECT_EQ(0, avcodec_open2(c, codec, nullptr));
    }
    ~ReferenceDecoder() {
        avcodec_free_context(&c);
        av_frame_free(&f);
    }
    // The decoded picture in 32-bit RGB, converted as the viewer converts.
    std::vector<uint8_t> Decode(const AVPacket* packet) {
        std::vector<uint8_t> rgb(static_cast<size_t>(kW) * kH * 4);
        if (avcodec_send_packet(c, packet) < 0 || avcodec_receive_frame(c, f) < 0) return {};
        SwsContext* sws = sws_getContext(kW, kH, static_cast<AVPixelFormat>(f->format), kW, kH, AV_PIX_FMT_RGB32,
                                         SWS_BILINEAR, nullptr, nullptr, nullptr);
        uint8_t* planes[4] = {rgb.data()};
        int strides[4] = {kW * 4};
        sws_scale(sws, f->data, f->linesize, 0, kH, planes, strides);
        sws_freeContext(sws);
        av_frame_unref(f);
        return rgb;
    }
};
}  // namespace

// The viewer's fixed codec settings match what the sharing encoder codes
// with: 25 pictures (a key picture, predicted ones, the next key picture)
// decode close to the source, and exactly as a decoder given the encoder's
// own private data decodes them (a mismatch, such as the loop filter, would
// let predicted pictures drift).
TEST(CVQFFmpegFrameDecoder, PicturesMatchTheSharingEncoder) {
    CVQFFmpegFrameEncoder e;
    OpenSharingEncoder(&e, 44100, 64000);
    CVQFFmpegFrameDecoder d;
    ConfigureViewer(&d, 44100);
    ASSERT_EQ(1, d.OpenDecoder());
    ReferenceDecoder reference(e.GetVideoContext());
    AVPacket* packet = av_packet_alloc();
    std::vector<uint8_t> source;
    double worst = 99;
    int keys = 0;
    for (int n = 0; n < 25; n++) {
        DrawScene(&source, n);
        e.SetInputPicture(source.data());
        ASSERT_EQ(1, e.EncodeVideoPacket(packet));
        if (packet->flags & AV_PKT_FLAG_KEY) keys++;
        ASSERT_EQ(1, d.DecodeVideoPacket(packet->data, packet->size));
        uint8_t* picture = nullptr;
        int size = 0;
        ASSERT_EQ(1, d.GetPicture(&picture, &size));
        EXPECT_EQ(0, d.GetPicture(&picture, &size));  // handed out once
        ASSERT_EQ(kW * kH * 4, size);
        worst = std::min(worst, Psnr(source.data(), picture, kW * kH));
        // The same picture through the reference path is the same picture.
        std::vector<uint8_t> rgb = reference.Decode(packet);
        ASSERT_EQ(static_cast<size_t>(size), rgb.size());
        EXPECT_EQ(0, memcmp(rgb.data(), picture, rgb.size())) << "picture " << n;
    }
    EXPECT_GE(keys, 2);
    EXPECT_GT(worst, 28.0);
    av_packet_free(&packet);
}

// Sound: the block size is taken from the first packet and the bit rate
// derived from it is one the encoder would have made the same blocks with;
// a tone comes back with its level.
TEST(CVQFFmpegFrameDecoder, SoundDecodesWithTheDerivedBlockSize) {
    for (int rate : {22050, 44100}) {
        CVQFFmpegFrameEncoder e;
        OpenSharingEncoder(&e, rate, 64000);
        CVQFFmpegFrameDecoder d;
        ConfigureViewer(&d, rate);
        ASSERT_EQ(1, d.OpenDecoder());
        EXPECT_EQ(0, d.GetAudioBlockAlign());
        const int frameBytes = e.GetAudioFrameBytes();
        std::vector<int16_t> pcm(static_cast<size_t>(frameBytes / 2));
        AVPacket* packet = av_packet_alloc();
        int64_t t = 0;
        double inSum = 0, outSum = 0;
        long outSamples = 0;
        for (int n = 0; n < 20; n++) {
            for (size_t i = 0; i < pcm.size(); i += 2, t++)
                pcm[i] = pcm[i + 1] = static_cast<int16_t>(8000 * std::sin(2 * kPi * 441.0 * t / rate));
            for (int16_t s : pcm) inSum += static_cast<double>(s) * s;
            e.SetInputAudio(reinterpret_cast<uint8_t*>(pcm.data()));
            ASSERT_EQ(1, e.EncodeAudioPacket(packet));
            if (packet->size == 0) continue;
            ASSERT_EQ(e.GetAudioContext()->block_align, packet->size);
            ASSERT_EQ(1, d.DecodeAudioPacket(packet->data, packet->size));
            uint8_t* out = nullptr;
            int size = 0;
            if (d.GetAudio(&out, &size)) {
                EXPECT_EQ(0, size % 4);
                const int16_t* s = reinterpret_cast<const int16_t*>(out);
                if (n >= 4)
                    for (int i = 0; i < size / 2; i++, outSamples++) outSum += static_cast<double>(s[i]) * s[i];
            }
        }
        EXPECT_EQ(e.GetAudioContext()->block_align, d.GetAudioBlockAlign());
        EXPECT_GE(d.GetAudioBitRate(), 64000);
        ASSERT_GT(outSamples, 0);
        const double inRms = std::sqrt(inSum / (20.0 * pcm.size())), outRms = std::sqrt(outSum / outSamples);
        EXPECT_NEAR(1.0, outRms / inRms, 0.2) << rate;
        av_packet_free(&packet);
    }
}

// The derived bit rate gives back the block size it was derived from, for
// every rate the sharing side may use, and is never below the sharer's rate.
TEST(CVQFFmpegFrameDecoder, DerivedBitRateInvertsTheBlockSize) {
    for (int sampleRate : {8000, 11025, 16000, 22050, 32000, 44100, 48000}) {
        const int frame = sampleRate <= 16000 ? 512 : sampleRate <= 22050 ? 1024 : 2048;
        for (int64_t bitRate = 24000; bitRate <= 1000000; bitRate += 997) {
            const int block = static_cast<int>(bitRate * frame / (sampleRate * 8));
            if (block < 1) continue;
            const int64_t derived = CVQFFmpegFrameDecoder::AudioBitRateOfBlock(block, sampleRate);
            ASSERT_GE(derived, bitRate);
            ASSERT_EQ(block, static_cast<int>(derived * frame / (sampleRate * 8))) << sampleRate << " " << bitRate;
        }
    }
    EXPECT_EQ(0, CVQFFmpegFrameDecoder::AudioBitRateOfBlock(0, 44100));
}

// What a stream announces is bounded before anything is allocated; broken
// packets are refused without harm; settings stay put while open.
TEST(CVQFFmpegFrameDecoder, HostileStreamsAreRefused) {
    CVQFFmpegFrameDecoder big;
    big.SetWidth(8192);
    big.SetHeight(8192);
    EXPECT_EQ(0, big.OpenDecoder());
    big.SetWidth(9000);
    big.SetHeight(2);
    EXPECT_EQ(0, big.OpenDecoder());

    CVQFFmpegFrameDecoder badSound;
    ConfigureViewer(&badSound, 44100);
    badSound.SetChannels(6);
    EXPECT_EQ(0, badSound.OpenDecoder());

    CVQFFmpegFrameDecoder d;
    ConfigureViewer(&d, 44100);
    d.SetOutputPixelFormat(kVQPixBGR32);
    EXPECT_EQ(kVQPixRGB32, d.GetOutputPixelFormat());
    ASSERT_EQ(1, d.OpenDecoder());
    d.SetWidth(64);
    d.SetBitsPerSample(8);
    d.SetOutputPixelFormat(kVQPixRGB565);
    EXPECT_EQ(kW, d.GetWidth());
    EXPECT_EQ(16, d.GetBitsPerSample());
    EXPECT_EQ(kVQPixRGB32, d.GetOutputPixelFormat());

    std::vector<uint8_t> junk(40000);
    for (size_t i = 0; i < junk.size(); i++) junk[i] = static_cast<uint8_t>(i * 7919 >> 3);
    uint8_t* out = nullptr;
    int size = 0;
    for (int n : {1, 7, 100, 5000, 40000}) {
        d.DecodeVideoPacket(junk.data(), n);
        d.DecodeAudioPacket(junk.data(), std::min(n, 32768));
        if (d.GetAudio(&out, &size)) EXPECT_LE(size, CVQFFmpegFrameDecoder::kAudioBufferSize);
        if (d.GetPicture(&out, &size)) EXPECT_EQ(kW * kH * 4, size);
    }
    EXPECT_EQ(0, d.DecodeAudioPacket(junk.data(), 40000));  // larger than any coded block
    EXPECT_EQ(0, d.DecodeVideoPacket(nullptr, 10));
    d.CloseDecoder();
    EXPECT_EQ(0, d.DecodeVideoPacket(junk.data(), 10));
    EXPECT_EQ(0, d.GetPicture(&out, &size));
}
