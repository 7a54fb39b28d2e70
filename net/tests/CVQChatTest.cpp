#include <gtest/gtest.h>

#include <string>

#include "CVQChat.h"
#include "FakeSockets.h"

namespace {
// A chat client connected to a fake server.
struct Chat {
    CFakeStreamSocket* socket = new CFakeStreamSocket;
    CVQChat chat{socket};
    Chat() {
        chat.Connect(CVKString("127.0.0.1"), 13578);
        chat.Pump();
    }
    void Say(const std::string& bytes) {
        socket->inbound.push_back(bytes);
        chat.Pump();
    }
    std::string Sent() {
        chat.Pump();
        std::string s = socket->sent;
        socket->sent.clear();
        return s;
    }
};

const std::string kMessage = "CHAT SESSION MESSAGE\n12\nanna\nhello there\n\n";
}  // namespace

TEST(CVQChat, MessageSplitAtEveryBytePositionIsQueuedOnce) {
    const std::string twice = kMessage + kMessage;
    for (size_t cut = 0; cut <= twice.size(); ++cut) {
        Chat c;
        c.Say(twice.substr(0, cut));
        c.Say(twice.substr(cut));
        int found = 0;
        while (int type = c.chat.PeekMessageType()) {
            ASSERT_EQ(kChatSessionMessage, type) << "cut " << cut;
            int session = 0;
            CVKString sender, text;
            ASSERT_EQ(1, c.chat.GetChatMessage(&session, &sender, &text));
            EXPECT_EQ(12, session);
            EXPECT_STREQ("anna", sender.Str());
            EXPECT_STREQ("hello there", text.Str());
            c.chat.PopMessage();
            ++found;
        }
        EXPECT_EQ(2, found) << "cut " << cut;
    }
}

TEST(CVQChat, OneByteAtATimeAndCarriageReturns) {
    Chat c;
    std::string bytes = "LOGIN OK\r\nx\r\n10.0.0.1\r\n13580\r\n\n" + kMessage;
    for (char b : bytes) c.Say(std::string(1, b));
    ASSERT_EQ(kChatLoginOk, c.chat.PeekMessageType());
    int ok = 0, port = 0;
    CVKString error, server;
    ASSERT_EQ(1, c.chat.GetLoginResult(&ok, &error, &server, &port));
    EXPECT_EQ(1, ok);
    EXPECT_STREQ("10.0.0.1", server.Str());
    EXPECT_EQ(13580, port);
    c.chat.PopMessage();
    EXPECT_EQ(kChatSessionMessage, c.chat.PeekMessageType());
    c.chat.PopMessage();
    EXPECT_EQ(kChatNone, c.chat.PeekMessageType());
}

TEST(CVQChat, ExtraLineFeedsGiveEmptyMessagesAndUnknownNames) {
    Chat c;
    c.Say("LEAVE CHAT OK\n\n\nWHATEVER\n\n");
    EXPECT_EQ(kChatLeaveChatOk, c.chat.PeekMessageType());
    c.chat.PopMessage();
    EXPECT_EQ(kChatUnknown, c.chat.PeekMessageType());  // no lines
    c.chat.PopMessage();
    EXPECT_EQ(kChatUnknown, c.chat.PeekMessageType());  // unknown name
    c.chat.PopMessage();
    EXPECT_EQ(kChatNone, c.chat.PeekMessageType());
}

TEST(CVQChat, ReadersAtTheirMinimumLineCounts) {
    struct Case {
        std::string minimal, shorter;
        int type;
    };
    const Case cases[] = {
        {"LOGIN OK\n\n", "", kChatLoginOk},
        {"LOGIN FAILED\n\n", "", kChatLoginFailed},
        {"FRIENDS LIST\n0\n\n", "FRIENDS LIST\n\n", kChatFriendsList},
        {"FRIEND CONNECTION STATUS\nbo\nLogon\n\n", "FRIEND CONNECTION STATUS\nbo\n\n", kChatFriendStatus},
        {"START CHAT FAILED\n\n", "", kChatStartChatFailed},
        {"CHAT SESSION\n4\n0\n\n", "CHAT SESSION\n4\n\n", kChatSession},
        {"CHAT SESSION SEND FAILED\n4\n\n", "CHAT SESSION SEND FAILED\n\n", kChatSendFailed},
        {"CHAT SESSION MESSAGE\n4\nbo\nhi\n\n", "CHAT SESSION MESSAGE\n4\nbo\n\n", kChatSessionMessage},
        {"CHAT SESSION TERMINATED\n4\n\n", "CHAT SESSION TERMINATED\n\n", kChatSessionTerminated},
        {"SHARE DESKTOP\nbo\nStart\n\n", "SHARE DESKTOP\nbo\n\n", kChatShareDesktop},
        {"DESKTOP ID\nbo\n7\nh\n1\n\n", "DESKTOP ID\nbo\n7\nh\n\n", kChatDesktopId},
        {"REQUEST VOICE FAILED\nbo\n\n", "REQUEST VOICE FAILED\n\n", kChatRequestVoiceFailed},
        {"VOICE\nbo\nStart\n7\nh\n1\n\n", "VOICE\nbo\nStart\n7\nh\n\n", kChatVoice},
    };
    for (const Case& k : cases) {
        for (int shorter = 0; shorter < 2; ++shorter) {
            const std::string& bytes = shorter ? k.shorter : k.minimal;
            if (bytes.empty()) continue;
            Chat c;
            c.Say(bytes);
            ASSERT_EQ(k.type, c.chat.PeekMessageType()) << bytes;
            CVKString a, b;
            int x = 0, y = 0, z = 0;
            CVKPtrList list;
            int r = 0;
            switch (k.type) {
            case kChatLoginOk:
            case kChatLoginFailed: r = c.chat.GetLoginResult(&x, &a, &b, &y); break;
            case kChatFriendsList:
                r = c.chat.GetFriendsList(&list);
                FreeFriendGroups(&list);
                break;
            case kChatFriendStatus: r = c.chat.GetFriendStatus(&a, &x); break;
            case kChatStartChatFailed: r = c.chat.GetStartChatFailure(&a); break;
            case kChatSession:
                r = c.chat.GetChatSession(&x, &list);
                FreeStringList(&list);
                break;
            case kChatSendFailed: r = c.chat.GetSendFailure(&x, &a); break;
            case kChatSessionMessage: r = c.chat.GetChatMessage(&x, &a, &b); break;
            case kChatSessionTerminated: r = c.chat.GetTerminatedSession(&x); break;
            case kChatShareDesktop: r = c.chat.GetShareDesktopRequest(&a, &x); break;
            case kChatDesktopId: r = c.chat.GetDesktopId(&a, &x, &b, &y); break;
            case kChatRequestVoiceFailed: r = c.chat.GetVoiceRequestFailure(&a, &b); break;
            case kChatVoice: r = c.chat.GetVoiceRequest(&a, &x, &y, &b, &z); break;
            }
            EXPECT_EQ(shorter ? 0 : 1, r) << bytes;
        }
    }
}

TEST(CVQChat, ReadersRefuseOtherMessagesAndReadFields) {
    Chat c;
    c.Say("LOGIN OK\n\n");
    int ok = 0, port = 7;
    CVKString error("x"), server("x");
    EXPECT_EQ(0, c.chat.GetFriendStatus(&error, &ok));
    ASSERT_EQ(1, c.chat.GetLoginResult(&ok, &error, &server, &port));
    EXPECT_EQ(1, ok);
    EXPECT_STREQ("", server.Str());
    EXPECT_EQ(0, port);
    c.chat.PopMessage();

    c.Say(
        "FRIEND CONNECTION STATUS\nbo\nlogon\n\nSHARE DESKTOP\nbo\nBegin\n\nVOICE\nbo\nStart\n77\nvs.host\n99999\n\n");
    CVKString name;
    int online = 9;
    ASSERT_EQ(1, c.chat.GetFriendStatus(&name, &online));
    EXPECT_EQ(0, online);  // only the exact word "Logon"
    c.chat.PopMessage();
    int start = 0;
    EXPECT_EQ(0, c.chat.GetShareDesktopRequest(&name, &start));
    c.chat.PopMessage();
    int session = 0;
    ASSERT_EQ(1, c.chat.GetVoiceRequest(&name, &start, &session, &server, &port));
    EXPECT_EQ(1, start);
    EXPECT_EQ(77, session);
    EXPECT_EQ(0, port);  // out of range
}

TEST(CVQChat, FriendsListGroupsAndHostileCounts) {
    {
        Chat c;
        c.Say("FRIENDS LIST\n2\nMates\n2\nanna\nbo\n1\ncy\nWork\n0\n0\n\n");
        CVKPtrList groups;
        ASSERT_EQ(1, c.chat.GetFriendsList(&groups));
        ASSERT_EQ(2, groups.Count());
        FriendGroup* g = static_cast<FriendGroup*>(groups.Get(0));
        EXPECT_STREQ("Mates", g->name.Str());
        ASSERT_EQ(2, g->online.Count());
        EXPECT_STREQ("bo", static_cast<CVKString*>(g->online.Get(1))->Str());
        ASSERT_EQ(1, g->offline.Count());
        EXPECT_EQ(0, static_cast<FriendGroup*>(groups.Get(1))->online.Count());
        FreeFriendGroups(&groups);
    }
    const char* hostile[] = {
        "FRIENDS LIST\n1\nMates\n2\nanna\n\n",    // ends after the first name
        "FRIENDS LIST\n1\nMates\n\n",             // no online count
        "FRIENDS LIST\n1\n\n",                    // no group name
        "FRIENDS LIST\n-1\n\n",                   // negative group count
        "FRIENDS LIST\n2147483647\nA\n0\n0\n\n",  // huge group count
        "FRIENDS LIST\n99999999999999999999\nA\n0\n0\n\n",
        "FRIENDS LIST\n1\nA\n-5\n0\n\n",             // negative name count
        "FRIENDS LIST\n1\nA\n0\n2147483647\nx\n\n",  // huge name count
    };
    for (const char* bytes : hostile) {
        Chat c;
        c.Say(bytes);
        CVKPtrList groups;
        EXPECT_EQ(0, c.chat.GetFriendsList(&groups)) << bytes;
        EXPECT_EQ(0, groups.Count());  // nothing left allocated (ASan checks leaks)
    }
    Chat c;
    c.Say("FRIENDS LIST\n0\n\n");
    CVKPtrList groups;
    EXPECT_EQ(1, c.chat.GetFriendsList(&groups));
    EXPECT_EQ(0, groups.Count());
}

TEST(CVQChat, ChatSessionCountsAreBounded) {
    for (const char* bytes :
         {"CHAT SESSION\n5\n3\na\nb\n\n", "CHAT SESSION\n5\n-1\n\n", "CHAT SESSION\n5\n2147483647\na\n\n"}) {
        Chat c;
        c.Say(bytes);
        CVKPtrList members;
        int session = 0;
        EXPECT_EQ(0, c.chat.GetChatSession(&session, &members)) << bytes;
        EXPECT_EQ(0, members.Count());
    }
    Chat c;
    c.Say("CHAT SESSION\n5\n2\na\nb\n\n");
    CVKPtrList members;
    int session = 0;
    ASSERT_EQ(1, c.chat.GetChatSession(&session, &members));
    EXPECT_EQ(5, session);
    EXPECT_EQ(2, members.Count());
    FreeStringList(&members);
}

TEST(CVQChat, ExactBytesOfEverySender) {
    Chat c;
    EXPECT_EQ(1, c.chat.SendLogin("anna", "pw", 31));
    EXPECT_EQ("LOGIN\nVERSION 2\nanna\npw\n31\n\n", c.Sent());
    CVKPtrList names;
    EXPECT_EQ(1, c.chat.SendStartChat(names));
    EXPECT_EQ("START CHAT\n0\n\n", c.Sent());
    CVKString n1("bo"), n2("cy");
    names.Insert(&n1);
    names.Insert(&n2);
    EXPECT_EQ(1, c.chat.SendStartChat(names));
    EXPECT_EQ("START CHAT\n2\nbo\ncy\n\n", c.Sent());
    EXPECT_EQ(1, c.chat.SendChatMessage(12, "anna", "hi all"));
    EXPECT_EQ("CHAT SESSION SEND\n12\nanna\nhi all\n\n", c.Sent());
    EXPECT_EQ(1, c.chat.SendViewDesktop("bo", 1));
    EXPECT_EQ(1, c.chat.SendViewDesktop("bo", 0));
    EXPECT_EQ("VIEW DESKTOP\nbo\nStart\n\nVIEW DESKTOP\nbo\nStop\n\n", c.Sent());
    EXPECT_EQ(1, c.chat.SendMyDesktopId("bo", 44, "10.1.2.3", 13580));
    EXPECT_EQ("MY DESKTOP ID\nbo\n44\n10.1.2.3\n13580\n\n", c.Sent());
    EXPECT_EQ(1, c.chat.SendLeaveChat(12, "anna"));
    EXPECT_EQ("LEAVE CHAT\n12\nanna\n\n", c.Sent());
    EXPECT_EQ(1, c.chat.SendRequestVoice("bo", 1, 0, "vs", 13580));
    EXPECT_EQ("REQUEST VOICE\nbo\nStart\n0\nvs\n13580\n\n", c.Sent());
    // A stop goes out before the sharing server is known; a start does not.
    EXPECT_EQ(1, c.chat.SendRequestVoice("bo", 0, 0, "", 0));
    EXPECT_EQ(1, c.chat.SendRequestVoice("bo", 0, 0, nullptr, 0));
    EXPECT_EQ("REQUEST VOICE\nbo\nStop\n0\n0.0.0.0\n0\n\nREQUEST VOICE\nbo\nStop\n0\n0.0.0.0\n0\n\n", c.Sent());
    EXPECT_EQ(0, c.chat.SendRequestVoice("bo", 1, 0, "", 0));
    EXPECT_EQ("", c.Sent());
}

TEST(CVQChat, LineBreaksAndEmptyFieldsCannotInjectMessages) {
    Chat c;
    EXPECT_EQ(0, c.chat.SendLogin("anna\n\nSTART CHAT", "pw", 0));
    EXPECT_EQ(0, c.chat.SendLogin("anna", "p\rw", 0));
    EXPECT_EQ(0, c.chat.SendLogin("", "pw", 0));
    EXPECT_EQ(0, c.chat.SendLogin("anna", "", 0));
    EXPECT_EQ(0, c.chat.SendChatMessage(1, "anna", ""));
    EXPECT_EQ(0, c.chat.SendChatMessage(1, "an\nna", "x"));
    EXPECT_EQ(0, c.chat.SendViewDesktop("", 1));
    EXPECT_EQ(0, c.chat.SendMyDesktopId("bo", 1, "", 1));
    CVKString bad("bo\n\nLOGOUT");
    CVKPtrList names;
    names.Insert(&bad);
    EXPECT_EQ(0, c.chat.SendStartChat(names));
    EXPECT_EQ("", c.Sent());
    // Typed text keeps its words on one line.
    EXPECT_EQ(1, c.chat.SendChatMessage(1, "anna", "one\n\nLOGIN\r\ntwo"));
    EXPECT_EQ("CHAT SESSION SEND\n1\nanna\none  LOGIN  two\n\n", c.Sent());
}

TEST(CVQChat, LostConnectionReportedOnceAfterQueuedMessages) {
    Chat c;
    c.socket->closeAfterInbound = true;
    c.Say("LEAVE CHAT OK\n\n");
    EXPECT_EQ(kChatLeaveChatOk, c.chat.PeekMessageType());
    c.chat.PopMessage();
    EXPECT_EQ(kChatConnectionLost, c.chat.PeekMessageType());
    EXPECT_EQ(kChatNone, c.chat.PeekMessageType());

    Chat d;
    d.Say("LEAVE CHAT OK\n\n");
    d.chat.Disconnect();
    EXPECT_EQ(kChatNone, d.chat.PeekMessageType());  // deleted, and no loss to report
}

TEST(CVQChat, LastMessageBeforeAResetIsDelivered) {
    Chat c;
    c.socket->resetAfterInbound = true;
    c.Say("LOGIN FAILED\nBad day\n\n");
    ASSERT_EQ(kChatLoginFailed, c.chat.PeekMessageType());
    int ok = 1;
    CVKString reason;
    ASSERT_EQ(1, c.chat.GetLoginResult(&ok, &reason, nullptr, nullptr));
    EXPECT_STREQ("Bad day", reason.Str());
    c.chat.PopMessage();
    EXPECT_EQ(kChatConnectionLost, c.chat.PeekMessageType());
    EXPECT_EQ(kChatNone, c.chat.PeekMessageType());
}

TEST(CVQChat, FloodBeyondTheQueueWaitsInsteadOfDroppingTheConnection) {
    Chat c;
    const int count = static_cast<int>(CVQChat::kMaxQueued) * 2 + 7;
    std::string flood;
    for (int i = 0; i < count; ++i) flood += "CHAT SESSION MESSAGE\n1\nbo\nline " + std::to_string(i) + "\n\n";
    c.socket->closeAfterInbound = true;
    c.Say(flood + "LEAVE CHAT OK\n\n");
    EXPECT_EQ(CVQChat::kMaxQueued, c.chat.QueuedCount());
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(kChatSessionMessage, c.chat.PeekMessageType()) << i;
        int session = 0;
        CVKString sender, text;
        c.chat.GetChatMessage(&session, &sender, &text);
        ASSERT_EQ("line " + std::to_string(i), std::string(text.Str()));
        c.chat.PopMessage();
    }
    EXPECT_EQ(kChatLeaveChatOk, c.chat.PeekMessageType());
    c.chat.PopMessage();
    EXPECT_EQ(kChatConnectionLost, c.chat.PeekMessageType());

    // What waits is bounded: an owner that never pops loses the connection.
    Chat d;
    std::string small;
    for (size_t i = 0; i < CVQChat::kMaxQueued; ++i) small += "LEAVE CHAT OK\n\n";
    d.Say(small);
    std::string block = "CHAT SESSION MESSAGE\n1\nbo\n" + std::string(1 << 20, 'x') + "\n\n";
    size_t sent = 0;
    for (; sent < 2 * CVQChat::kMaxBacklogBytes && (d.socket->GetState() & VKSOCK_CONNECTED); sent += block.size())
        d.Say(block);
    EXPECT_EQ(0u, d.socket->GetState() & (VKSOCK_CONNECTED | VKSOCK_CONNECTING));
    EXPECT_GT(sent, CVQChat::kMaxBacklogBytes);
    for (size_t i = 0; i < CVQChat::kMaxQueued; ++i) d.chat.PopMessage();
    EXPECT_EQ(kChatConnectionLost, d.chat.PeekMessageType());
}

TEST(CVQChat, NamesKeepTheirBytes) {
    Chat c;
    c.Say("FRIENDS LIST\n1\nAmig\xe9s\n1\nZo\xeb\n0\n\nFRIEND CONNECTION STATUS\n\xff\x80\nLogon\n\n");
    CVKPtrList groups;
    ASSERT_EQ(1, c.chat.GetFriendsList(&groups));
    FriendGroup* g = static_cast<FriendGroup*>(groups.Get(0));
    EXPECT_STREQ("Amig\xe9s", g->name.Str());
    EXPECT_STREQ("Zo\xeb", static_cast<CVKString*>(g->online.Get(0))->Str());
    FreeFriendGroups(&groups);
    c.chat.PopMessage();
    CVKString name;
    int online = 0;
    ASSERT_EQ(1, c.chat.GetFriendStatus(&name, &online));
    EXPECT_STREQ("\xff\x80", name.Str());
    EXPECT_EQ(1, online);
}

TEST(CVQChat, RefusedConnectIsReported) {
    CFakeStreamSocket* socket = new CFakeStreamSocket;
    socket->connectSucceeds = false;
    CVQChat chat(socket);
    chat.Connect(CVKString("127.0.0.1"), 1);
    EXPECT_EQ(1, chat.SendLogin("anna", "pw", 0));
    chat.Pump();
    EXPECT_EQ(kChatConnectionLost, chat.PeekMessageType());
    EXPECT_EQ(kChatNone, chat.PeekMessageType());
}

TEST(CVQChat, OversizedMessageDropsTheConnection) {
    Chat c;
    c.Say("LEAVE CHAT OK\n\n");
    std::string big(CVQChat::kMaxMessageBytes / 4, 'x');
    for (int i = 0; i < 5; ++i) c.Say(big);
    EXPECT_EQ(kChatLeaveChatOk, c.chat.PeekMessageType());  // what came before stays
    c.chat.PopMessage();
    EXPECT_EQ(kChatConnectionLost, c.chat.PeekMessageType());
}

TEST(CVQChat, NewConnectionDoesNotInheritAPartialMessage) {
    Chat c;
    c.Say("CHAT SESSION MESSAGE\n1\nbo\n");
    c.chat.Connect(CVKString("127.0.0.1"), 13578);
    c.Say("hi\n\n");
    EXPECT_EQ(kChatUnknown, c.chat.PeekMessageType());  // "hi" alone, not a chat line
}
