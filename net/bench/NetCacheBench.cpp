// Cost of the viewer's packet reassembly when a source sends tiny pieces:
// one packet offered in one-byte pieces, and whole frames (Update calls) of
// datagrams packed with one-byte pieces, as a relay or anyone spoofing it
// can send. A well-formed large packet is timed beside them.
//   net_cache_bench
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "../tests/FakeSockets.h"
#include "CVQPacketCache.h"
#include "CVQVSClient.h"

namespace {
double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void OnePacketInTinyPieces(int pieces) {
    CVQPacketCache cache;
    cache.SetCapacity(10);
    const char byte = 'x';
    auto start = std::chrono::steady_clock::now();
    int kept = 0;
    for (int offset = 0; offset < pieces; ++offset) kept += cache.AddChunk('v', offset, pieces, 1, &byte, 1);
    double s = Since(start);
    printf("%-44s %8d pieces %8d kept %10.4f s %8.1f ns/piece\n", "one packet, 1-byte pieces in order", pieces, kept, s,
           s * 1e9 / pieces);
}

void LargePacket() {
    const int total = 8 * 1024 * 1024, piece = 65000;
    std::vector<unsigned char> data(static_cast<size_t>(total), 0x5a);
    CVQPacketCache cache;
    cache.SetCapacity(10);
    auto start = std::chrono::steady_clock::now();
    int pieces = 0;
    for (int offset = (total - 1) / piece * piece; offset >= 0; offset -= piece, ++pieces) {
        int length = total - offset < piece ? total - offset : piece;
        cache.AddChunk('V', offset, total, 1, data.data() + offset, length);
    }
    char kind = 0;
    int64_t ts = 0;
    unsigned char* out = nullptr;
    int size = 0;
    int complete = cache.TakePacket(&kind, &ts, &out, &size);
    if (complete) VQPacketFree(out);
    double s = Since(start);
    printf("%-44s %8d pieces %8s %10.4f s %s\n", "8 MiB packet, 65000-byte pieces reversed", pieces,
           complete ? "joined" : "LOST", s, "");
}

// 256 datagrams of about 2,000 one-byte pieces each, queued at once.
void FloodedViewer() {
    CFakeDatagramSocket* socket = new CFakeDatagramSocket;
    CVKManualClock clock;
    CVQViewVS viewer(socket, &clock);
    viewer.Open();
    viewer.SetServer("127.0.0.1", 13580);
    viewer.Login("bo", "pw");
    socket->inbound.push_back({0x0100007Fu, 13580, "LOGIN OK\nx\n7\n640\n480\n4\n2\n44100\n2\n0\n\n"});
    viewer.Update();
    std::string datagram = "SESSION\n7\n\n";
    int pieces = 0;
    for (; pieces < 2000; ++pieces) datagram += "FRAME\nv\n" + std::to_string(pieces * 3) + "\n8000000\n5\n1\nx\n\n";
    for (int i = 0; i < 256; ++i) socket->inbound.push_back({0x0100007Fu, 13580, datagram});
    double worst = 0, total = 0;
    int updates = 0;
    while (updates < 10000 && (!socket->inbound.empty() || !socket->queued.empty())) {
        auto start = std::chrono::steady_clock::now();
        viewer.Update();
        double s = Since(start);
        worst = s > worst ? s : worst;
        total += s;
        ++updates;
    }
    printf("%-44s %8d pieces %8d updates %8.4f s worst update %8.4f s in all\n", "viewer flooded: 256 datagrams",
           256 * pieces, updates, worst, total);
}
}  // namespace

int main() {
    printf("packet reassembly under tiny pieces\n");
    for (int pieces : {1000, 10000, 40000}) OnePacketInTinyPieces(pieces);
    LargePacket();
    FloodedViewer();
    return 0;
}
