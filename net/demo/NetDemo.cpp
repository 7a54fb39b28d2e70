// Two clients of the local test service, side by side: both sign in, see
// each other come online, chat, and one shares a short stream of packets
// that the other views. Everything they do and receive is written to a
// transcript a person can read.
//   net_demo <chat port> <transcript file>
#include <winsock2.h>
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "CVQChat.h"
#include "CVQVSClient.h"

namespace {
FILE* g_out = nullptr;
DWORD g_start = 0;

void Say(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    fprintf(g_out, "[%6.3f s] %s\n", (GetTickCount() - g_start) / 1000.0, text);
    printf("%s\n", text);
}

bool PumpUntil(const std::function<void()>& step, const std::function<bool()>& done, int ms = 5000) {
    for (int waited = 0; waited < ms; waited += 5) {
        step();
        if (done()) return true;
        Sleep(5);
    }
    return false;
}

struct Person {
    const char* name;
    const char* password;
    CVQChat chat;
    CVKString vsHost;
    int vsPort = 0;
    int chatSession = 0;
    int lastShareSession = 0;
    CVKString shareHost;
    int sharePort = 0;
    bool signedIn = false;
    bool watchRequested = false;

    Person(const char* n, const char* p) : name(n), password(p) {}

    // Reads every waiting message and tells what it was.
    void Read() {
        chat.Pump();
        while (int type = chat.PeekMessageType()) {
            CVKString a, b;
            int x = 0, y = 0;
            CVKPtrList list;
            switch (type) {
            case kChatLoginOk:
                chat.GetLoginResult(&x, &a, &vsHost, &vsPort);
                signedIn = true;
                Say("%s: signed in; video-sharing server %s:%d", name, vsHost.Str(), vsPort);
                break;
            case kChatLoginFailed:
                chat.GetLoginResult(&x, &a, &b, &y);
                Say("%s: sign-in refused: %s", name, a.Str());
                break;
            case kChatFriendsList:
                if (chat.GetFriendsList(&list)) {
                    for (int g = 0; g < list.Count(); ++g) {
                        FriendGroup* group = static_cast<FriendGroup*>(list.Get(g));
                        std::string on, off;
                        for (int i = 0; i < group->online.Count(); ++i)
                            on += std::string(" ") + static_cast<CVKString*>(group->online.Get(i))->Str();
                        for (int i = 0; i < group->offline.Count(); ++i)
                            off += std::string(" ") + static_cast<CVKString*>(group->offline.Get(i))->Str();
                        Say("%s: friends in \"%s\": online [%s ] offline [%s ]", name, group->name.Str(), on.c_str(),
                            off.c_str());
                    }
                    FreeFriendGroups(&list);
                }
                break;
            case kChatFriendStatus:
                chat.GetFriendStatus(&a, &x);
                Say("%s: %s is now %s", name, a.Str(), x ? "online" : "offline");
                break;
            case kChatSession:
                if (chat.GetChatSession(&chatSession, &list)) {
                    std::string members;
                    for (int i = 0; i < list.Count(); ++i)
                        members += std::string(i ? ", " : "") + static_cast<CVKString*>(list.Get(i))->Str();
                    Say("%s: chat %d with %s", name, chatSession, members.c_str());
                    FreeStringList(&list);
                }
                break;
            case kChatSessionMessage:
                chat.GetChatMessage(&x, &a, &b);
                Say("%s: chat %d  <%s> %s", name, x, a.Str(), b.Str());
                break;
            case kChatSessionTerminated:
                chat.GetTerminatedSession(&x);
                Say("%s: chat %d ended", name, x);
                break;
            case kChatShareDesktop:
                if (chat.GetShareDesktopRequest(&a, &x) && (watchRequested = x != 0, true))
                    Say("%s: %s asks to watch (%s)", name, a.Str(), x ? "Start" : "Stop");
                break;
            case kChatDesktopId:
                if (chat.GetDesktopId(&a, &lastShareSession, &shareHost, &sharePort))
                    Say("%s: %s shares as session %d on %s:%d", name, a.Str(), lastShareSession, shareHost.Str(),
                        sharePort);
                break;
            case kChatConnectionLost: Say("%s: connection lost", name); break;
            default: break;
            }
            chat.PopMessage();
        }
    }
};
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: net_demo <chat port> <transcript file>\n");
        return 2;
    }
    unsigned short chatPort = static_cast<unsigned short>(atoi(argv[1]));
    g_out = fopen(argv[2], "w");
    if (!g_out) return 2;
    g_start = GetTickCount();
    Person anna("anna", "anna-pw"), bo("bo", "bo-pw");
    auto both = [&] {
        anna.Read();
        bo.Read();
    };

    Say("== anna signs in to the chat server at 127.0.0.1:%d", chatPort);
    anna.chat.Connect(CVKString("127.0.0.1"), chatPort);
    anna.chat.SendLogin(anna.name, anna.password, 0);
    PumpUntil(both, [&] { return anna.signedIn; });
    Sleep(100);
    both();
    Say("== bo signs in");
    bo.chat.Connect(CVKString("127.0.0.1"), chatPort);
    bo.chat.SendLogin(bo.name, bo.password, 0);
    PumpUntil(both, [&] { return bo.signedIn; });
    Sleep(200);
    both();

    Say("== anna starts a chat with bo");
    CVKString boName("bo");
    CVKPtrList names;
    names.Insert(&boName);
    anna.chat.SendStartChat(names);
    PumpUntil(both, [&] { return anna.chatSession && bo.chatSession; });
    anna.chat.SendChatMessage(anna.chatSession, "anna", "Hi bo! Want to watch my game?");
    Sleep(100);
    both();
    bo.chat.SendChatMessage(bo.chatSession, "bo", "Sure, go ahead.");
    Sleep(200);
    both();

    Say("== bo asks to watch anna's game; anna shares through the video-sharing server");
    bo.chat.SendViewDesktop("anna", 1);
    PumpUntil(both, [&] { return anna.watchRequested; });
    CVQShareVS sharer;
    sharer.Open();
    sharer.SetServer(anna.vsHost.Str(), anna.vsPort);
    sharer.SetWidth(640);
    sharer.SetHeight(480);
    sharer.SetFrameRate(4);
    sharer.SetChannels(2);
    sharer.SetSamplesPerSec(44100);
    sharer.SetBitsPerSample(16);
    sharer.AddOption(CVKString("AudioBitrate=64000"));
    sharer.AddOption(CVKString("VideoBitrate=128000"));
    sharer.Login("anna", "anna-pw");
    PumpUntil([&] { sharer.Update(); }, [&] { return sharer.IsLoggedIn() != 0; });
    Say("anna: share logged in, session %d", sharer.GetSession());
    anna.chat.SendMyDesktopId("bo", sharer.GetSession(), anna.vsHost.Str(), anna.vsPort);
    PumpUntil(
        [&] {
            both();
            sharer.Update();
        },
        [&] { return bo.lastShareSession != 0; });

    CVQViewVS viewer;
    viewer.Open();
    viewer.SetServer(bo.shareHost.Str(), bo.sharePort);
    viewer.SetViewSession(bo.lastShareSession);
    viewer.Login("bo", "bo-pw");
    PumpUntil(
        [&] {
            viewer.Update();
            sharer.Update();
        },
        [&] { return viewer.IsLoggedIn() != 0; });
    Say("bo: viewing session %d: %dx%d at %d fps, sound %d Hz %d channels %d bits", bo.lastShareSession,
        viewer.GetWidth(), viewer.GetHeight(), viewer.GetFrameRate(), viewer.GetSamplesPerSec(), viewer.GetChannels(),
        viewer.GetBitsPerSample());
    PumpUntil(
        [&] {
            sharer.RequestViewers();
            sharer.Update();
            viewer.Update();
        },
        [&] { return sharer.GetViewers()->Count() > 0; });
    for (int i = 0; i < sharer.GetViewers()->Count(); ++i)
        Say("anna: viewer %s", static_cast<CVKString*>(sharer.GetViewers()->Get(i))->Str());

    std::vector<std::vector<unsigned char>> sent;
    int received = 0, identical = 0;
    auto take = [&] {
        unsigned char* data = nullptr;
        int length = 0;
        int64_t ts = 0;
        while (viewer.TakeVideoPacket(&data, &length, &ts) || viewer.TakeAudioPacket(&data, &length, &ts)) {
            size_t index = static_cast<size_t>(ts / 125);
            bool same = index < sent.size() && sent[index] == std::vector<unsigned char>(data, data + length);
            received++;
            identical += same;
            Say("bo: received %s packet, time %lld ms, %d bytes, %s", ts % 250 ? "audio" : "video",
                static_cast<long long>(ts), length, same ? "identical to what anna sent" : "DIFFERENT");
            VQPacketFree(data);
        }
    };
    for (int frame = 0; frame < 8; ++frame) {
        for (int kind = 0; kind < 2; ++kind) {
            int size = kind ? 2000 : (frame % 4 == 0 ? 90000 : 4000);
            std::vector<unsigned char> packet(static_cast<size_t>(size));
            for (size_t i = 0; i < packet.size(); ++i) packet[i] = static_cast<unsigned char>(i * 13 + frame + kind);
            int64_t ts = frame * 250 + kind * 125;
            sent.push_back(packet);
            if (kind)
                sharer.SendAudioPacket(packet.data(), size, 0, ts);
            else
                sharer.SendVideoPacket(packet.data(), size, frame % 4 == 0, ts);
            Say("anna: sent %s packet, time %lld ms, %d bytes%s", kind ? "audio" : "video", static_cast<long long>(ts),
                size, size > 65000 ? " (split over two datagrams)" : "");
        }
        sharer.Update();
        PumpUntil(
            [&] {
                viewer.Update();
                take();
            },
            [&] { return received >= 2 * (frame + 1); }, 1000);
    }
    Say("== %d packets sent, %d received, %d byte-identical", static_cast<int>(sent.size()), received, identical);

    Say("== bo stops watching and leaves the chat; anna signs out");
    viewer.Logout();
    viewer.Update();
    bo.chat.SendViewDesktop("anna", 0);
    bo.chat.SendLeaveChat(bo.chatSession, "bo");
    Sleep(200);
    both();
    Sleep(200);
    both();
    sharer.Logout();
    sharer.Update();
    anna.chat.Disconnect();
    Sleep(200);
    both();
    bo.chat.Disconnect();
    fclose(g_out);
    return identical == static_cast<int>(sent.size()) ? 0 : 1;
}
