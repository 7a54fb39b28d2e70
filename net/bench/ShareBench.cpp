// Live share and view costs, over a back buffer in memory and in-memory
// sockets:
//   - coding one shared picture (and its quarter second of sound) and
//     decoding it on the viewer's side, at 640x512 and at 1280x1024 reduced
//     to 640x512 (the automatic halving);
//   - the game thread's cost per frame (60 frames a second of a moving
//     picture) while sharing, with the share's worker coding, against the
//     same cost while recording with the session recorder;
//   - converting one decoded 640x512 picture to 32-bit pixels;
//   - the game thread's cost per frame while viewing a 640x512 stream at its
//     default size, decoding on the game thread and on the view's worker
//     (median and 99th percentile of all frames and of the frames that draw
//     a new picture).
//   share_bench [frames]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include "CVQDecodeVS.h"
#include "CVQFFmpegFrameDecoder.h"
#include "CVQFFmpegFrameEncoder.h"
#include "CVQRecordSE.h"
#include "CVQRecordVS.h"
#include "CVQViewWnd.h"
#include "FakeSockets.h"
#include "FakeSurface.h"
#include "ShareBenchUtil.h"
#include "VKSettings.h"
#include "VQResource.h"

namespace {
class BenchSettings : public IVKSettingsStore {
public:
    std::string folder;
    bool Read(const char*, const char* name, CVKString* value) override {
        if (strcmp(name, "recorderFolder") != 0) return false;
        value->Set(folder.c_str());
        return true;
    }
    bool Write(const char*, const char*, const char*) override { return false; }
};

struct Summary {
    double mean = 0, p99 = 0, worst = 0;
};
Summary Summarise(std::vector<double> t) {
    Summary s;
    if (t.empty()) return s;
    for (double v : t) s.mean += v;
    s.mean /= t.size();
    std::sort(t.begin(), t.end());
    s.p99 = t[std::min(t.size() - 1, t.size() * 99 / 100)];
    s.worst = t.back();
    return s;
}

void CodeAndDecode(int width, int height, int factor, int pictures) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    CVQFFmpegFrameEncoder e;
    e.EnableVideo(1);
    e.EnableAudio(1);
    e.SetVideoCodec(kVQCodecWMV2, 128000);
    e.SetAudioCodec(kVQCodecWMAV2, 64000);
    e.SetFrameRate(4);
    e.SetVideoFormat(width, height, width * 4, kVQPixRGB32);
    e.SetReduceFactor(factor);
    e.SetAudioFormat(2, 44100, 16);
    if (!e.OpenEncoder()) {
        printf("share_bench code %dx%d: cannot open the encoder\n", width, height);
        return;
    }
    CVQFFmpegFrameDecoder d;
    d.SetWidth(e.GetReducedWidth());
    d.SetHeight(e.GetReducedHeight());
    d.SetFrameRate(4);
    d.OpenDecoder();
    AVPacket* packet = av_packet_alloc();
    std::vector<int16_t> pcm(static_cast<size_t>(e.GetAudioFrameBytes() / 2), 100);
    const int soundPerPicture = 44100 / 4 / 2048 + 1;
    std::vector<double> code, decode;
    long long bytes = 0;
    for (int n = 0; n < pictures; n++) {
        DrawGamePicture(pixels.data(), width, height, width * 4, static_cast<uint32_t>(n));
        double t = BenchMillis();
        e.SetInputPicture(pixels.data());
        e.EncodeVideoPacket(packet);
        std::vector<uint8_t> video(packet->data, packet->data + packet->size);
        std::vector<std::vector<uint8_t>> sound;
        for (int i = 0; i < soundPerPicture; i++) {
            e.SetInputAudio(reinterpret_cast<uint8_t*>(pcm.data()));
            e.EncodeAudioPacket(packet);
            sound.emplace_back(packet->data, packet->data + packet->size);
        }
        code.push_back(BenchMillis() - t);
        bytes += static_cast<long long>(video.size());
        t = BenchMillis();
        d.DecodeVideoPacket(video.data(), static_cast<int>(video.size()));
        d.GetPicture(nullptr, nullptr);
        for (auto& s : sound) d.DecodeAudioPacket(s.data(), static_cast<int>(s.size()));
        decode.push_back(BenchMillis() - t);
    }
    av_packet_free(&packet);
    const Summary c = Summarise(code), v = Summarise(decode);
    printf(
        "share_bench picture %dx%d%s (coded %dx%d, 128 kbit/s): code %.2f ms (p99 %.2f), decode %.2f ms "
        "(p99 %.2f) per picture with its sound; %lld bytes per picture\n",
        width, height, factor > 1 ? " reduced" : "", e.GetReducedWidth(), e.GetReducedHeight(), c.mean, c.p99, v.mean,
        v.p99, bytes / std::max(pictures, 1));
}

// The share recorder (or the session recorder) on a 60 fps game thread.
template <class Recorder>
void GameThreadCost(const char* what, Recorder* recorder, uint32_t width, uint32_t height, int frames) {
    FakeBackBuffer& b = TheFakeBackBuffer();
    std::vector<double> t;
    for (int n = 0; n < frames; n++) {
        b.frame++;
        DrawGamePicture(b.pixels.data(), static_cast<int>(width), static_cast<int>(height), static_cast<int>(b.pitch),
                        static_cast<uint32_t>(n));
        const double start = BenchMillis();
        recorder->ProcessFrame();
        t.push_back(BenchMillis() - start);
        const double left = 1000.0 / 60 - (BenchMillis() - start);
        if (left > 1) Sleep(static_cast<DWORD>(left));
    }
    const Summary s = Summarise(t);
    printf("share_bench game thread while %s %ux%u: %.3f ms per frame (p99 %.3f, worst %.2f) over %d frames\n", what,
           width, height, s.mean, s.p99, s.worst, frames);
}

void SharingCost(uint32_t width, uint32_t height, int frames) {
    ResizeFakeBackBuffer(22, width, height);
    TheFakeBackBuffer().eventQueries = true;
    TheFakeBackBuffer().doneDelay = 1;
    CVKManualClock clock;
    clock.Set(1000000);
    CFakeDatagramSocket* socket = new CFakeDatagramSocket;
    CVQShareVS* client = new CVQShareVS(socket, &clock);
    CVQRecordVS share(client);
    client->Open();
    client->SetServer("127.0.0.1", 13580);
    client->Login("anna", "pw");
    socket->inbound.push_back({0x0100007Fu, 13580, "LOGIN OK\nx\n7\n640\n512\n4\n2\n44100\n2\n12\n\n"});
    share.ProcessFrame();
    if (!share.IsRecording()) {
        printf("share_bench sharing %ux%u: could not start\n", width, height);
        return;
    }
    GameThreadCost("sharing", &share, width, height, frames);
    const CVQRecordVS::Stats s = share.GetStats();
    printf("share_bench   (%lld pictures and %lld sound packets sent, %u frames skipped: capture slots busy)\n",
           static_cast<long long>(s.pictures), static_cast<long long>(s.audioPackets), s.skippedBusy);
    share.EndRecording();
    socket->sent.clear();
}

void RecordingCost(uint32_t width, uint32_t height, int frames) {
    ResizeFakeBackBuffer(22, width, height);
    CVQRecordSE recorder;
    if (!recorder.BeginRecording()) {
        printf("share_bench recording %ux%u: could not start\n", width, height);
        return;
    }
    const std::string path = recorder.GetPath();
    GameThreadCost("recording", &recorder, width, height, frames);
    recorder.EndRecording();
    DeleteFileA(path.c_str());
    std::string di = path.substr(0, path.size() - 4) + ".di";
    DeleteFileA(di.c_str());
}

struct Percentiles {
    double median = 0, p99 = 0, mean = 0;
    size_t count = 0;
};
Percentiles Spread(std::vector<double> t) {
    Percentiles p;
    p.count = t.size();
    if (t.empty()) return p;
    for (double v : t) p.mean += v;
    p.mean /= static_cast<double>(t.size());
    std::sort(t.begin(), t.end());
    p.median = t[t.size() / 2];
    p.p99 = t[std::min(t.size() - 1, t.size() * 99 / 100)];
    return p;
}

// Colour conversion alone: one 640x512 picture of the decoder's output
// (planar 4:2:0) to the 32-bit pixels the view draws, as the decoder does it.
void ConversionCost(int pictures) {
    const int w = 640, h = 512;
    SwsContext* sws =
        sws_getContext(w, h, AV_PIX_FMT_YUV420P, w, h, AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
    AVFrame* in = av_frame_alloc();
    in->format = AV_PIX_FMT_YUV420P;
    in->width = w;
    in->height = h;
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4);
    if (!sws || av_frame_get_buffer(in, 0) < 0) {
        printf("share_bench conversion: cannot set up\n");
        return;
    }
    for (int p = 0; p < 3; p++)
        memset(in->data[p], 90 + 40 * p, static_cast<size_t>(in->linesize[p]) * (p ? h / 2 : h));
    uint8_t* planes[4] = {out.data(), nullptr, nullptr, nullptr};
    int strides[4] = {w * 4, 0, 0, 0};
    std::vector<double> t;
    for (int n = 0; n < pictures; n++) {
        const double start = BenchMillis();
        sws_scale(sws, in->data, in->linesize, 0, h, planes, strides);
        t.push_back(BenchMillis() - start);
    }
    const Percentiles c = Spread(t);
    printf("share_bench conversion of one 640x512 picture to 32-bit pixels: median %.2f ms (p99 %.2f)\n", c.median,
           c.p99);
    av_frame_free(&in);
    sws_freeContext(sws);
}

// The game thread while viewing a 640x512 stream on a 1280x1024 screen (its
// default view size is its own), at 60 frames a second: the session's
// Update, taking its sound and the window's PrepareSurface (drawing a new
// picture into the window and copying the window into its surface). Frames
// on which a new picture was drawn are also counted apart. With worker 0
// the render thread decodes (Update); with 1 the session's worker does.
void ViewingCost(int frames, int worker) {
    ResizeFakeBackBuffer(22, 1280, 1024);
    const int w = 640, h = 512;
    CVKManualClock clock;
    clock.Set(1000000);
    CFakeDatagramSocket* socket = new CFakeDatagramSocket;
    CVQDecodeVS* view = new CVQDecodeVS(socket, &clock);
    view->SetWorker(worker);
    CVQViewWnd window(view);
    window.CreateFrame(536, 50, 250, 160);
    const std::string login = "LOGIN OK\nx\n7\n640\n512\n4\n2\n44100\n2\n12\n\n";
    view->Connect("bo", "pw", 7, "127.0.0.1", 13580);
    socket->inbound.push_back({0x0100007Fu, 13580, login});
    view->Update();
    // The stream: a picture and its sound every quarter second (15 frames of 60).
    CFakeDatagramSocket* shareSocket = new CFakeDatagramSocket;
    CVQShareVS share(shareSocket, &clock);
    share.Open();
    share.SetServer("127.0.0.1", 13580);
    share.Login("anna", "pw");
    shareSocket->inbound.push_back({0x0100007Fu, 13580, login});
    share.Update();
    CVQFFmpegFrameEncoder e;
    e.EnableVideo(1);
    e.EnableAudio(1);
    e.SetVideoCodec(kVQCodecWMV2, 128000);
    e.SetAudioCodec(kVQCodecWMAV2, 64000);
    e.SetVideoFormat(w, h, w * 4, kVQPixRGB32);
    e.SetAudioFormat(2, 44100, 16);
    e.SetFrameRate(4);
    e.OpenEncoder();
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
    std::vector<int16_t> pcm(static_cast<size_t>(e.GetAudioFrameBytes() / 2), 100);
    AVPacket* packet = av_packet_alloc();
    // The stream's packets are coded ahead, so coding takes no time of the frames measured.
    std::vector<std::vector<std::string>> datagrams(static_cast<size_t>(frames));
    int64_t sound = 0;
    for (int n = 0; n < frames; n += 15) {
        DrawGamePicture(pixels.data(), w, h, w * 4, static_cast<uint32_t>(n));
        e.SetInputPicture(pixels.data());
        e.EncodeVideoPacket(packet);
        share.SendVideoPacket(packet->data, packet->size, packet->flags, n * 1000 / 60);
        for (; sound * 2048 * 1000 / 44100 < (n + 15) * 1000 / 60; sound++) {
            e.SetInputAudio(reinterpret_cast<uint8_t*>(pcm.data()));
            e.EncodeAudioPacket(packet);
            share.SendAudioPacket(packet->data, packet->size, 1, sound * 2048 * 1000 / 44100);
        }
        share.Update();
        for (auto& d : shareSocket->sent) datagrams[static_cast<size_t>(n)].push_back(d.bytes);
        shareSocket->sent.clear();
    }
    av_packet_free(&packet);
    std::vector<double> all, pictureFrames, updates, draws;
    for (int n = 0; n < frames; n++) {
        for (const std::string& d : datagrams[static_cast<size_t>(n)])
            socket->inbound.push_back({0x0100007Fu, 13580, d});
        const int shown = window.PicturesShown();
        const double start = BenchMillis();
        view->Update();
        view->TakeAudio(nullptr, nullptr, nullptr);
        const double updated = BenchMillis();
        window.PrepareSurface();
        const double spent = BenchMillis() - start;
        all.push_back(spent);
        if (window.PicturesShown() != shown) {
            pictureFrames.push_back(spent);
            updates.push_back(updated - start);
            draws.push_back(BenchMillis() - updated);
        }
        const double left = 1000.0 / 60 - (BenchMillis() - start);
        if (left > 1) Sleep(static_cast<DWORD>(left));
    }
    const Percentiles a = Spread(all), p = Spread(pictureFrames), u = Spread(updates), d = Spread(draws);
    printf(
        "share_bench game thread while viewing 640x512 at %dx%d (zoom %.2f), decoding %s: per frame median %.3f ms, "
        "p99 %.3f, mean %.3f; frames with a new picture (%zu): median %.3f ms, p99 %.3f, mean %.3f (session %.3f, "
        "drawing and surface copy %.3f, medians)\n",
        window.ViewWidth(), window.ViewHeight(), window.Zoom(), worker ? "on the view's worker" : "on the game thread",
        a.median, a.p99, a.mean, p.count, p.median, p.p99, p.mean, u.median, d.median);
}
}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? atoi(argv[1]) : 600;
    VQSetResourceModule(GetModuleHandleA(nullptr));
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    BenchSettings settings;
    settings.folder = folder;
    VKSetSettingsStore(&settings);
    CodeAndDecode(640, 512, 1, 40);
    CodeAndDecode(1280, 1024, 2, 40);
    SharingCost(640, 512, frames);
    RecordingCost(640, 512, frames);
    SharingCost(1280, 1024, frames);
    RecordingCost(1280, 1024, frames);
    ConversionCost(40);
    ViewingCost(frames, 0);
    ViewingCost(frames, 1);
    VKSetSettingsStore(nullptr);
    return 0;
}
