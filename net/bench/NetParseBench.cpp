// Parsing cost of a chat message fed one byte per pump: the time per byte
// must not grow with the message (the splitter keeps its place).
//   net_parse_bench [megabytes]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../tests/FakeSockets.h"
#include "CVQChat.h"

static double Run(size_t bytes) {
    CFakeStreamSocket* socket = new CFakeStreamSocket;
    CVQChat chat(socket);
    chat.Connect(CVKString("127.0.0.1"), 1);
    chat.Pump();
    std::string message = "CHAT SESSION MESSAGE\n1\nanna\n" + std::string(bytes, 'x') + "\n\n";
    auto start = std::chrono::steady_clock::now();
    for (char c : message) {
        socket->inbound.push_back(std::string(1, c));
        chat.Pump();
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (chat.PeekMessageType() != kChatSessionMessage) {
        fprintf(stderr, "message not delivered\n");
        exit(1);
    }
    return seconds;
}

int main(int argc, char** argv) {
    double megabytes = argc > 1 ? atof(argv[1]) : 1.0;
    size_t full = static_cast<size_t>(megabytes * 1024 * 1024);
    printf("chat message fed one byte per pump\n");
    printf("%12s %12s %14s\n", "bytes", "seconds", "ns per byte");
    for (size_t bytes : {full / 4, full / 2, full}) {
        double s = Run(bytes);
        printf("%12zu %12.3f %14.1f\n", bytes, s, s * 1e9 / static_cast<double>(bytes));
    }
    return 0;
}
