// Chat server bytes, in segments chosen by the input, through the splitter
// and every reader.
#include <cstddef>
#include <cstdint>

#include "../tests/FakeSockets.h"
#include "CVQChat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFakeStreamSocket* socket = new CFakeStreamSocket;
    CVQChat chat(socket);
    chat.Connect(CVKString("127.0.0.1"), 1);
    size_t step = size ? 1 + data[0] % 64 : 1;
    for (size_t at = 0; at < size; at += step) {
        socket->inbound.push_back(
            std::string(reinterpret_cast<const char*>(data) + at, at + step > size ? size - at : step));
        chat.Pump();
    }
    socket->closeAfterInbound = true;
    chat.Pump();
    for (int guard = 0; guard < 100000; ++guard) {
        int type = chat.PeekMessageType();
        if (type == kChatNone) break;
        CVKString a, b;
        int x = 0, y = 0, z = 0;
        CVKPtrList list;
        chat.GetLoginResult(&x, &a, &b, &y);
        if (chat.GetFriendsList(&list)) FreeFriendGroups(&list);
        chat.GetFriendStatus(&a, &x);
        chat.GetStartChatFailure(&a);
        if (chat.GetChatSession(&x, &list)) FreeStringList(&list);
        chat.GetSendFailure(&x, &a);
        chat.GetChatMessage(&x, &a, &b);
        chat.GetTerminatedSession(&x);
        chat.GetShareDesktopRequest(&a, &x);
        chat.GetDesktopId(&a, &x, &b, &y);
        chat.GetVoiceRequestFailure(&a, &b);
        chat.GetVoiceRequest(&a, &x, &y, &b, &z);
        chat.PopMessage();
    }
    return 0;
}
