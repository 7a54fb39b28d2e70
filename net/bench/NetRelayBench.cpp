// Sharer -> relay -> viewer over loopback through the local test service.
//   net_relay_bench <relay port> <label> [frames] [scale]
// Each game frame pumps the sharer and the viewer once; a share frame goes
// out every (60 / share fps) game frames with one video packet (bit rate /
// 8 / fps bytes, a key packet of 5 times that every 10th) and one audio
// packet. scale multiplies frame rate and bit rates (1 = the default share
// settings: 4 fps, video 128000 bit/s, audio 64000 bit/s).
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "CVQVSClient.h"

static double Now() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

static double ThreadCpu() {
    FILETIME a, b, kernel, user;
    GetThreadTimes(GetCurrentThread(), &a, &b, &kernel, &user);
    auto v = [](FILETIME t) { return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(v(kernel) + v(user)) * 1e-7;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: net_relay_bench <relay port> <label> [frames] [scale]\n");
        return 2;
    }
    int port = atoi(argv[1]);
    const char* label = argv[2];
    int frames = argc > 3 ? atoi(argv[3]) : 200;
    int scale = argc > 4 ? atoi(argv[4]) : 1;
    int fps = 4 * scale, videoRate = 128000 * scale, audioRate = 64000 * scale;
    int videoBytes = videoRate / 8 / fps, audioBytes = audioRate / 8 / fps;
    int gameFramesPerShare = fps >= 60 ? 1 : 60 / fps;

    CVQShareVS sharer;
    CVQViewVS viewer;
    sharer.Open();
    viewer.Open();
    sharer.SetServer("127.0.0.1", port);
    viewer.SetServer("127.0.0.1", port);
    sharer.SetWidth(640);
    sharer.SetHeight(480);
    sharer.SetFrameRate(fps);
    sharer.SetChannels(2);
    sharer.SetSamplesPerSec(44100);
    sharer.SetBitsPerSample(16);
    sharer.Login("anna", "anna-pw");
    for (int i = 0; i < 2000 && !sharer.IsLoggedIn(); ++i, Sleep(2)) sharer.Update();
    viewer.SetViewSession(sharer.GetSession());
    viewer.Login("bo", "bo-pw");
    for (int i = 0; i < 2000 && !viewer.IsLoggedIn(); ++i, Sleep(2)) {
        viewer.Update();
        sharer.Update();
    }
    if (!viewer.IsLoggedIn()) {
        fprintf(stderr, "could not log in to the relay at port %d\n", port);
        return 1;
    }

    std::map<long long, std::vector<unsigned char>> sent;
    long long sentBytes = 0, deliveredBytes = 0;
    int sentPackets = 0, delivered = 0, corrupt = 0;
    double cpu = 0, wall = 0, lastDelivery = 0;
    long long pumps = 0;
    unsigned seed = 1;
    auto take = [&] {
        unsigned char* data = nullptr;
        int length = 0;
        int64_t ts = 0;
        while (viewer.TakeVideoPacket(&data, &length, &ts) || viewer.TakeAudioPacket(&data, &length, &ts)) {
            auto it = sent.find(ts);
            if (it != sent.end() && it->second == std::vector<unsigned char>(data, data + length)) {
                delivered++;
                deliveredBytes += length;
                lastDelivery = Now();
            } else {
                corrupt++;
            }
            VQPacketFree(data);
        }
    };
    auto gameFrame = [&](bool share, int frame) {
        // The encoder's output is made before the clock starts: only the
        // network work of the game thread is timed.
        std::vector<unsigned char> packets[2];
        if (share) {
            for (int kind = 0; kind < 2; ++kind) {
                int size = kind ? audioBytes : (frame % 10 == 0 ? videoBytes * 5 : videoBytes);
                packets[kind].resize(static_cast<size_t>(size));
                for (unsigned char& b : packets[kind])
                    b = static_cast<unsigned char>((seed = seed * 1103515245u + 12345u) >> 16);
                long long ts = static_cast<long long>(frame) * 2 + kind;  // distinct per packet
                sent[ts] = packets[kind];
                sentBytes += size;
                sentPackets++;
            }
        }
        double c0 = ThreadCpu(), w0 = Now();
        if (share) {
            long long ts = static_cast<long long>(frame) * 2;
            sharer.SendVideoPacket(packets[0].data(), static_cast<int>(packets[0].size()), frame % 10 == 0, ts);
            sharer.SendAudioPacket(packets[1].data(), static_cast<int>(packets[1].size()), 0, ts + 1);
        }
        sharer.Update();
        viewer.Update();
        take();
        cpu += ThreadCpu() - c0;
        wall += Now() - w0;
        pumps++;
    };
    double start = Now();
    for (int frame = 0; frame < frames; ++frame)
        for (int g = 0; g < gameFramesPerShare; ++g) {
            gameFrame(g == 0, frame);
            Sleep(1);
        }
    for (int i = 0; i < 200 && delivered + corrupt < sentPackets; ++i) {
        gameFrame(false, 0);
        Sleep(2);
    }
    // Goodput over the time from the first send to the last delivery (the
    // wait for pieces that were lost is not counted).
    double elapsed = (lastDelivery > start ? lastDelivery : Now()) - start;
    printf(
        "%-10s scale %2dx  %4d frames  packets sent %5d delivered %5d (%5.1f %%) corrupt %d  "
        "goodput %7.1f KiB/s  pump cpu %6.1f us  pump wall %6.1f us\n",
        label, scale, frames, sentPackets, delivered, 100.0 * delivered / sentPackets, corrupt,
        deliveredBytes / 1024.0 / elapsed, cpu * 1e6 / pumps, wall * 1e6 / pumps);
    sharer.Logout();
    viewer.Logout();
    sharer.Update();
    viewer.Update();
    return corrupt ? 1 : 0;
}
