// Web server bytes, in segments chosen by the input, through the response
// parser, with two requests outstanding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "../tests/FakeSockets.h"
#include "CVKHttp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFakeStreamSocket* socket = new CFakeStreamSocket;
    CVKManualClock clock;
    CVKHttp http(socket, &clock);
    http.SetUrl(CVKString("http://127.0.0.1/x"));
    http.Send();
    http.Send();
    size_t step = size ? 1 + data[0] % 32 : 1;
    for (size_t at = 0; at < size; at += step)
        socket->inbound.push_back(
            std::string(reinterpret_cast<const char*>(data) + at, at + step > size ? size - at : step));
    socket->closeAfterInbound = size > 0 && (data[size - 1] & 1);
    for (int turn = 0; turn < 4096 && !(socket->inbound.empty() && http.IsIdle()); ++turn) {
        http.Pump();
        if (http.GetStatusCode() >= 0) {
            const unsigned char* body = nullptr;
            int count = 0;
            if (http.GetResponseBody(&body, &count) && count > 0) {
                volatile unsigned char sink = body[count - 1];
                (void)sink;
            }
            http.ClearResponse();
        }
        clock.Advance(500);
    }
    return 0;
}
