#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "CVQDecodeVS.h"
#include "CVQFFmpegFrameEncoder.h"
#include "FakeSockets.h"
#include "LogCapture.h"
#include "VQShareSettings.h"
#include "VQViewPicture.h"

namespace {
const uint32_t kServer = 0x0100007Fu;
const unsigned short kPort = 13580;

VQShareSettings Limited(int method, int factor, int fps, int video, int audio, uint32_t w, uint32_t h) {
    VQShareSettings s = VQDefaultShareSettings();
    s.reduceMethod = method;
    s.reduceFactor = factor;
    s.frameRate = fps;
    s.videoBitRate = video;
    s.audioBitRate = audio;
    VQLimitShareSettings(&s, w, h);
    return s;
}
}  // namespace

TEST(ShareSettings, LimitsAndAutomaticReduction) {
    VQShareSettings s = VQDefaultShareSettings();
    EXPECT_EQ(0, s.threads);
    EXPECT_EQ(4, s.frameRate);
    EXPECT_EQ(128000, s.videoBitRate);
    EXPECT_EQ(64000, s.audioBitRate);

    s = Limited(1, 9, 0, 1000, 50, 640, 480);
    EXPECT_EQ(4, s.reduceFactor);
    EXPECT_EQ(1, s.frameRate);
    EXPECT_EQ(28000, s.videoBitRate);
    EXPECT_EQ(100, s.audioBitRate);
    // Negative values compare as large unsigned numbers.
    s = Limited(1, -2, -5, -1, -1, 640, 480);
    EXPECT_EQ(4, s.reduceFactor);
    EXPECT_EQ(100, s.frameRate);
    EXPECT_EQ(10000000, s.videoBitRate);
    EXPECT_EQ(1000000, s.audioBitRate);
    s = Limited(1, 0, 250, 20000000, 2000000, 640, 480);
    EXPECT_EQ(1, s.reduceFactor);
    EXPECT_EQ(100, s.frameRate);
    // Method 0 halves back buffers of at least 1280 x 960, whatever the factor says.
    s = Limited(0, 3, 4, 128000, 64000, 1280, 1024);
    EXPECT_EQ(2, s.reduceFactor);
    EXPECT_EQ(640, VQShareSide(1280, s.reduceFactor));
    EXPECT_EQ(512, VQShareSide(1024, s.reduceFactor));
    s = Limited(0, 3, 4, 128000, 64000, 1280, 959);
    EXPECT_EQ(1, s.reduceFactor);
    EXPECT_EQ(680, VQShareSide(1366, 2));  // 683 rounded down to a multiple of 4
}

// Audio packet times of 44.1 kHz stereo with 2048-sample packets: the 32-bit
// product of the old clock went negative after about 12 s (packet 263), and
// viewers drop frames with negative times. They rise through hours.
TEST(ShareSettings, AudioTimesRiseFarPastTheThirtyTwoBitProduct) {
    const int frameBytes = 2048 * 4;
    EXPECT_EQ(0, VQShareAudioTime(0, frameBytes, 2, 16, 44100));
    EXPECT_EQ(13931, VQShareAudioTime(300, frameBytes, 2, 16, 44100));
    int64_t last = -1;
    for (int64_t packet = 0; packet < 4 * 3600 * 22; packet++) {
        const int64_t t = VQShareAudioTime(packet, frameBytes, 2, 16, 44100);
        ASSERT_GT(t, last) << packet;
        last = t;
    }
    EXPECT_GT(last, 3 * 3600 * 1000);
    EXPECT_EQ(60000, VQShareVideoTime(240, 4));
    EXPECT_EQ(0, VQShareAudioTime(5, frameBytes, 0, 16, 44100));  // no format: no division by zero
}

TEST(ViewPicture, InitialSizeAndZoomSteps) {
    int w = 0, h = 0;
    float zoom = 0;
    // 640 x 512 on 1024 x 768 is 41 % of the screen: half the screen, zoom 0.5.
    VQInitialViewSize(640, 512, 1024, 768, &w, &h, &zoom);
    EXPECT_EQ(512, w);
    EXPECT_EQ(384, h);
    EXPECT_FLOAT_EQ(0.5f, zoom);
    // On 1600 x 1200 (17 %) at its own size.
    VQInitialViewSize(640, 512, 1600, 1200, &w, &h, &zoom);
    EXPECT_EQ(640, w);
    EXPECT_EQ(512, h);
    EXPECT_FLOAT_EQ(1.0f, zoom);
    // Exactly 25 % counts as small enough.
    VQInitialViewSize(640, 512, 1280, 1024, &w, &h, &zoom);
    EXPECT_EQ(640, w);

    zoom = 1.0f;
    for (int i = 0; i < 10; i++) zoom = VQZoomStep(zoom, 1);
    EXPECT_NEAR(2.5937, zoom, 0.0001);
    EXPECT_FLOAT_EQ(1.0f, VQZoomStep(1.1f, 0));
    EXPECT_FLOAT_EQ(1.0f, VQZoomStep(0.91f, 1));
    // Bounded: a held key or a spinning wheel cannot grow the view without end.
    for (int i = 0; i < 100; i++) zoom = VQZoomStep(zoom, 1);
    EXPECT_FLOAT_EQ(kVQMaxZoom, zoom);
}

TEST(ViewPicture, NearestNeighbourResize) {
    // 4 x 2 pixels of 4 bytes, each pixel numbered.
    uint32_t src[8];
    for (int i = 0; i < 8; i++) src[i] = 0x100u * i + 7;
    uint32_t half[2] = {0, 0};
    ASSERT_EQ(1,
              VQResizeNearest(reinterpret_cast<uint8_t*>(src), 4, 2, 16, reinterpret_cast<uint8_t*>(half), 2, 1, 8, 4));
    EXPECT_EQ(src[0], half[0]);
    EXPECT_EQ(src[2], half[1]);
    // Up: output x takes source floor(x * 3 / 7), for every pixel size 1 to 3.
    for (int bpp = 1; bpp <= 3; bpp++) {
        uint8_t row[9], out[21];
        for (int i = 0; i < 9; i++) row[i] = static_cast<uint8_t>(10 + i);
        ASSERT_EQ(1, VQResizeNearest(row, 3, 1, 9, out, 7, 1, 21, bpp));
        for (int x = 0; x < 7; x++)
            for (int b = 0; b < bpp; b++) EXPECT_EQ(row[(x * 3 / 7) * bpp + b], out[x * bpp + b]) << bpp << " " << x;
    }
    // Bottom-up rows (negative stride) read the rows the stride names.
    uint32_t flipped[2];
    ASSERT_EQ(1, VQResizeNearest(reinterpret_cast<uint8_t*>(src + 4), 4, 2, -16, reinterpret_cast<uint8_t*>(flipped), 1,
                                 2, 4, 4));
    EXPECT_EQ(src[4], flipped[0]);
    EXPECT_EQ(src[0], flipped[1]);
    uint8_t any[16] = {};
    EXPECT_EQ(0, VQResizeNearest(any, 1, 1, 8, any, 1, 1, 8, 5));
}

namespace {
// A sharer (over one fake socket) whose datagrams are delivered to a view
// session (over another), both logged in to the same stream.
struct Link {
    CVKManualClock clock;
    CFakeDatagramSocket* shareSocket = new CFakeDatagramSocket;
    CFakeDatagramSocket* viewSocket = new CFakeDatagramSocket;
    CVQShareVS share{shareSocket, &clock};
    CVQDecodeVS view{viewSocket, &clock};
    CVQFFmpegFrameEncoder encoder;
    AVPacket* packet = av_packet_alloc();
    std::vector<uint8_t> picture;
    int width, height;
    int soundSent = 0;

    Link(int w, int h, const std::string& loginOk, int worker = 0) : width(w), height(h) {
        clock.Set(1000000);
        share.Open();
        share.SetServer("127.0.0.1", kPort);
        share.Login("anna", "pw");
        shareSocket->inbound.push_back({kServer, kPort, loginOk});
        share.Update();
        shareSocket->sent.clear();
        view.SetWorker(worker);
        view.Open();
        view.Connect("bo", "pw", 7, "127.0.0.1", kPort);
        viewSocket->inbound.push_back({kServer, kPort, loginOk});
        encoder.EnableVideo(1);
        encoder.EnableAudio(1);
        encoder.SetVideoCodec(kVQCodecWMV2, 256000);
        encoder.SetAudioCodec(kVQCodecWMAV2, 64000);
        encoder.SetVideoFormat(w, h, 0, kVQPixRGB32);
        encoder.SetAudioFormat(2, 44100, 16);
        encoder.SetFrameRate(4);
        encoder.OpenEncoder();
        picture.assign(static_cast<size_t>(w) * h * 4, 0);
    }
    ~Link() { av_packet_free(&packet); }
    void Draw(int n) {
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                uint8_t* p = &picture[(static_cast<size_t>(y) * width + x) * 4];
                p[0] = static_cast<uint8_t>(x + n * 8);
                p[1] = static_cast<uint8_t>(y * 2);
                p[2] = static_cast<uint8_t>(((x / 8 + y / 8 + n) & 1) ? 200 : 40);
                p[3] = 255;
            }
    }
    // How close a decoded picture is to what was drawn for frame n (dB).
    double Psnr(const uint8_t* data, int n) {
        std::vector<uint8_t> drawn = picture;
        Draw(n);
        double sum = 0;
        for (int i = 0; i < width * height; i++)
            for (int c = 0; c < 3; c++) {
                const double d = static_cast<double>(data[i * 4 + c]) - picture[static_cast<size_t>(i) * 4 + c];
                sum += d * d;
            }
        picture = drawn;
        return 10 * std::log10(255.0 * 255.0 * width * height * 3 / std::max(sum, 1.0));
    }
    void SendPicture(int64_t time) {
        encoder.SetInputPicture(picture.data());
        ASSERT_EQ(1, encoder.EncodeVideoPacket(packet));
        share.SendVideoPacket(packet->data, packet->size, packet->flags, time);
    }
    void SendSound(int64_t packetNumber) {
        std::vector<int16_t> pcm(static_cast<size_t>(encoder.GetAudioFrameBytes() / 2));
        for (size_t i = 0; i < pcm.size(); i++)
            pcm[i] = static_cast<int16_t>(6000 * std::sin(static_cast<double>(packetNumber * 2048 + i / 2) * 0.0628));
        encoder.SetInputAudio(reinterpret_cast<uint8_t*>(pcm.data()));
        ASSERT_EQ(1, encoder.EncodeAudioPacket(packet));
        if (packet->size == 0) return;  // the coder's start-up delay
        soundSent++;
        share.SendAudioPacket(packet->data, packet->size, packet->flags,
                              VQShareAudioTime(packetNumber, encoder.GetAudioFrameBytes(), 2, 16, 44100));
    }
    // What the sharer sent reaches the viewer (the relay forwards it unchanged).
    void Deliver() {
        share.Update();
        for (auto& d : shareSocket->sent) viewSocket->inbound.push_back({kServer, kPort, d.bytes});
        shareSocket->sent.clear();
        view.Update();
    }
};
const std::string kLogin320 = "LOGIN OK\nx\n7\n320\n240\n4\n2\n44100\n2\n12\n\n";
}  // namespace

// Pictures and sound from a sharer come out of the view session decoded, in
// order; sound of several packets is gathered when the viewer takes it less
// often than packets arrive, so the stream never stalls behind it.
TEST(CVQDecodeVS, DecodesWhatTheSharerSent) {
    Link link(320, 240, kLogin320);
    link.view.Update();
    ASSERT_EQ(1, link.view.GetClient()->IsLoggedIn());
    int64_t soundPacket = 0;
    int pictures = 0;
    int64_t lastPictureTime = -1, lastSoundTime = -1;
    for (int frame = 0; frame < 12; frame++) {
        link.Draw(frame);
        link.SendPicture(frame * 250);
        for (int i = 0; i < 5; i++) link.SendSound(soundPacket++);
        link.Deliver();
        ASSERT_EQ(1, link.view.IsDecoderOpen());
        uint8_t* data = nullptr;
        int size = 0;
        int64_t time = 0;
        if (link.view.TakePicture(&data, &size, &time)) {
            ASSERT_EQ(320 * 240 * 4, size);
            EXPECT_GT(time, lastPictureTime);
            lastPictureTime = time;
            pictures++;
            // Close to what was drawn for that time.
            EXPECT_GT(link.Psnr(data, static_cast<int>(time / 250)), 25.0) << frame;
            EXPECT_EQ(0, link.view.TakePicture(&data, &size, &time));  // once
        }
        if (link.view.TakeAudio(&data, &size, &time)) {
            EXPECT_GT(time, lastSoundTime);
            lastSoundTime = time;
            // Five packets of 2048 stereo samples were coded (fewer sent at
            // the coder's start); all that came in is here.
            EXPECT_GE(size, (frame == 0 ? 2 : 5) * 2048 * 4) << frame;
        }
    }
    EXPECT_GE(pictures, 11);
    EXPECT_EQ(link.soundSent, link.view.GetStats().soundPackets);
    EXPECT_GE(link.soundSent, 55);
    EXPECT_EQ(0, link.view.GetStats().soundOutOfOrder);
    // The server ends the session: the decoder closes and nothing waits.
    link.viewSocket->inbound.push_back({kServer, kPort, "SESSION\n7\n\nLOGOUT\n\n"});
    link.view.Update();
    link.view.Update();
    EXPECT_EQ(0, link.view.IsDecoderOpen());
    EXPECT_EQ(0, link.view.TakePicture(nullptr, nullptr, nullptr));
}

// With a worker, the render thread's Update only runs the network and the
// worker decodes: the newest picture waits (one not taken is replaced, so
// the stream never stalls behind a slow consumer), sound keeps its order and
// its format, and the end of the session leaves nothing waiting.
TEST(CVQDecodeVS, AWorkerDecodesAndTheNewestPictureWaits) {
    Link link(320, 240, kLogin320, 1);
    link.view.Update();
    ASSERT_EQ(1, link.view.HasWorker());
    ASSERT_EQ(1, link.view.GetClient()->IsLoggedIn());
    int64_t soundPacket = 0, lastSoundTime = -1, soundTaken = 0;
    int taken = 0;
    for (int frame = 0; frame < 8; frame++) {
        link.Draw(frame);
        link.SendPicture(frame * 250);
        for (int i = 0; i < 5; i++) link.SendSound(soundPacket++);
        link.Deliver();
        ASSERT_EQ(1, link.view.WaitForWorker(20000)) << frame;
        uint8_t* data = nullptr;
        int size = 0;
        int64_t time = 0;
        if (frame % 3 == 2) {  // a consumer that looks only now and then
            ASSERT_EQ(1, link.view.TakePicture(&data, &size, &time)) << frame;
            EXPECT_EQ(frame * 250, time);
            ASSERT_EQ(320 * 240 * 4, size);
            EXPECT_GT(link.Psnr(data, frame), 25.0) << frame;
            EXPECT_EQ(0, link.view.TakePicture(&data, &size, &time));
            taken++;
        }
        if (link.view.TakeAudio(&data, &size, &time)) {
            EXPECT_GT(time, lastSoundTime);
            lastSoundTime = time;
            soundTaken += size;
        }
    }
    EXPECT_EQ(2, taken);
    const CVQDecodeVS::Stats stats = link.view.GetStats();
    EXPECT_EQ(8, stats.pictures) << "every picture decoded, taken or not";
    EXPECT_EQ(link.soundSent, stats.soundPackets);
    EXPECT_EQ(0, stats.soundOutOfOrder);
    EXPECT_EQ(stats.soundBytes, soundTaken) << "all the sound decoded was taken, none twice";
    int rate = 0, channels = 0, bits = 0;
    ASSERT_EQ(1, link.view.GetSoundFormat(&rate, &channels, &bits));
    EXPECT_EQ(44100, rate);
    EXPECT_EQ(2, channels);
    EXPECT_EQ(16, bits);

    // A picture decoded but not taken when the session ends is forgotten.
    link.SendPicture(8 * 250);
    link.Deliver();
    ASSERT_EQ(1, link.view.WaitForWorker(20000));
    link.viewSocket->inbound.push_back({kServer, kPort, "SESSION\n7\n\nLOGOUT\n\n"});
    link.view.Update();
    ASSERT_EQ(1, link.view.WaitForWorker(20000));
    EXPECT_EQ(0, link.view.IsDecoderOpen());
    EXPECT_EQ(0, link.view.TakePicture(nullptr, nullptr, nullptr));
    link.view.Close();
    EXPECT_EQ(0, link.view.HasWorker());
    EXPECT_EQ(0, link.view.WaitForWorker(10));
}

// A stream whose pictures are too large to decode is refused once per
// login, not on every frame, and nothing is allocated for it.
TEST(CVQDecodeVS, UndecodableStreamIsTriedOncePerLogin) {
    LogCapture log;
    Link link(320, 240, "LOGIN OK\nx\n7\n8000\n8000\n4\n2\n44100\n2\n12\n\n");
    for (int i = 0; i < 5; i++) link.view.Update();
    ASSERT_EQ(1, link.view.GetClient()->IsLoggedIn());
    EXPECT_EQ(0, link.view.IsDecoderOpen());
    EXPECT_EQ(1, log.Count("Failed to open the decoder"));
}
