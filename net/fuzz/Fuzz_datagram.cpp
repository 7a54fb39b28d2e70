// One or more server datagrams (split at "\xff\xfe") into a logged-in viewer:
// the parser, the dispatch, "FRAME" checks and the packet cache.
#include <cstddef>
#include <cstdint>
#include <string>

#include "../tests/FakeSockets.h"
#include "CVKDatagramParser.h"
#include "CVQVSClient.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    {
        std::string copy = input;
        CVKDatagramParser parser(reinterpret_cast<unsigned char*>(&copy[0]), copy.size());
        for (int m = 0; m < parser.GetMessageCount(); ++m)
            for (int l = 0; l < parser.GetLineCount(m); ++l) {
                const char* line = parser.GetLine(m, l);
                int length = parser.GetLineLength(m, l);
                volatile char sink = length > 0 ? line[length - 1] : 0;
                (void)sink;
            }
    }
    CFakeDatagramSocket* socket = new CFakeDatagramSocket;
    CVKManualClock clock;
    CVQViewVS viewer(socket, &clock);
    viewer.Open();
    viewer.SetServer("127.0.0.1", 13580);
    viewer.Login("anna", "pw");
    socket->inbound.push_back({0x0100007Fu, 13580, "LOGIN OK\nx\n7\n640\n480\n4\n2\n44100\n2\n12\n\n"});
    viewer.Update();
    size_t at = 0;
    while (at <= input.size()) {
        size_t next = input.find("\xff\xfe", at);
        if (next == std::string::npos) next = input.size();
        socket->inbound.push_back({0x0100007Fu, 13580, input.substr(at, next - at)});
        at = next + 2;
    }
    for (int turn = 0; turn < 3; ++turn) {
        clock.Advance(7000);
        viewer.Update();
        unsigned char* packet = nullptr;
        int length = 0;
        int64_t ts = 0;
        while (viewer.TakeVideoPacket(&packet, &length, &ts) || viewer.TakeAudioPacket(&packet, &length, &ts))
            VQPacketFree(packet);
    }
    return 0;
}
