// The view window and the HUD's viewing slots, over an in-memory frame and
// in-memory sockets.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "CVKPixels.h"
#include "CVQDecodeVS.h"
#include "CVQFFmpegFrameEncoder.h"
#include "CVQHUD.h"
#include "CVQListContacts.h"
#include "CVQMsgBox.h"
#include "CVQViewWnd.h"
#include "FakeFrame.h"
#include "FakeSockets.h"
#include "MemorySettings.h"
#include "VQResource.h"

namespace {
const uint32_t kServer = 0x0100007Fu;
const unsigned short kPort = 13580;
const int kW = 640, kH = 512;

uint32_t Pack(int x, int y) {
    return (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) | static_cast<uint16_t>(x);
}

class ViewWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        VQSetResourceModule(GetModuleHandleA(nullptr));
        FakeFrame::SetBackBuffer(22, 1024, 768);
        settings.Set("loginShowIntro", "1");
        hud = new CVQHUD();
        hud->Init();
        clock.Set(1000000);
    }
    void TearDown() override { delete hud; }

    // A view window over a fake socket, logged in to a 640 x 512 stream.
    CVQViewWnd* OpenView() {
        viewSocket = new CFakeDatagramSocket;
        CVQViewWnd* w = new CVQViewWnd(new CVQDecodeVS(viewSocket, &clock));
        w->CreateFrame(536, 50, 250, 160);
        hud->AddWindow(w);
        w->GetViewSession()->Connect("bo", "pw", 7, "127.0.0.1", kPort);
        viewSocket->inbound.push_back({kServer, kPort, "LOGIN OK\nx\n7\n640\n512\n4\n2\n44100\n2\n12\n\n"});
        w->GetViewSession()->Update();
        return w;
    }
    // One coded picture of a flat colour, as the relay delivers it.
    void SendPicture(uint8_t b, uint8_t g, uint8_t r) {
        CVQFFmpegFrameEncoder e;
        e.EnableVideo(1);
        e.SetVideoCodec(kVQCodecWMV2, 400000);
        e.SetVideoFormat(kW, kH, 0, kVQPixRGB32);
        ASSERT_EQ(1, e.OpenEncoder());
        std::vector<uint8_t> pixels(static_cast<size_t>(kW) * kH * 4);
        for (size_t i = 0; i < pixels.size(); i += 4) {
            pixels[i] = b;
            pixels[i + 1] = g;
            pixels[i + 2] = r;
            pixels[i + 3] = 255;
        }
        e.SetInputPicture(pixels.data());
        AVPacket* packet = av_packet_alloc();
        ASSERT_EQ(1, e.EncodeVideoPacket(packet));
        CFakeDatagramSocket* shareSocket = new CFakeDatagramSocket;
        CVQShareVS share(shareSocket, &clock);
        share.Open();
        share.SetServer("127.0.0.1", kPort);
        share.Login("anna", "pw");
        shareSocket->inbound.push_back({kServer, kPort, "LOGIN OK\nx\n7\n640\n512\n4\n2\n44100\n2\n12\n\n"});
        share.Update();
        share.SendVideoPacket(packet->data, packet->size, packet->flags, 0);
        share.Update();
        for (auto& d : shareSocket->sent)
            if (d.bytes.find("FRAME") != std::string::npos) viewSocket->inbound.push_back({kServer, kPort, d.bytes});
        av_packet_free(&packet);
    }

    MemorySettings settings;
    CVKManualClock clock;
    CVQHUD* hud = nullptr;
    CFakeDatagramSocket* viewSocket = nullptr;
};
}  // namespace

// A 640 x 512 stream on a 1024 x 768 screen covers 41 %: it is shown at half
// the screen (512 x 384, zoom 0.5) below the caption; the zoom follows the
// keys, the wheel and the glyphs, within bounds.
TEST_F(ViewWndTest, PictureSizeDrawingAndZoom) {
    CVQViewWnd* w = OpenView();
    ASSERT_EQ(1, w->GetViewSession()->GetClient()->IsLoggedIn());
    SendPicture(30, 180, 220);
    w->GetViewSession()->Update();
    w->PrepareSurface();
    EXPECT_EQ(512, w->ViewWidth());
    EXPECT_EQ(384, w->ViewHeight());
    EXPECT_FLOAT_EQ(0.5f, w->Zoom());
    EXPECT_EQ(516, w->Width());
    EXPECT_EQ(396, w->Height());
    ASSERT_EQ(1, w->PicturesShown());
    CVKPixels* canvas = nullptr;
    ASSERT_EQ(S_OK, w->GetGraphics()->GetPixels(&canvas));
    for (int at : {0, 200, 511}) {
        const uint32_t p = canvas->GetPixel(2 + at, 10 + at * 383 / 511);
        EXPECT_NEAR(220, static_cast<int>((p >> 16) & 0xFF), 8) << at;
        EXPECT_NEAR(180, static_cast<int>((p >> 8) & 0xFF), 8) << at;
        EXPECT_NEAR(30, static_cast<int>(p & 0xFF), 8) << at;
        EXPECT_EQ(0xFFu, p >> 24);
    }

    int handled = 0;
    w->OnKeyboard(WM_KEYDOWN, VK_ADD, 0, &handled);
    EXPECT_EQ(1, handled);
    EXPECT_NEAR(0.55f, w->Zoom(), 1e-5);
    EXPECT_EQ(static_cast<int>(kW * w->Zoom()), w->ViewWidth());
    w->PrepareSurface();
    EXPECT_EQ(w->ViewWidth() + 4, w->Width());
    // The wheel: each full notch is one step, partial notches add up.
    handled = 0;
    w->OnMouse(0x20A, static_cast<uint32_t>(60) << 16, Pack(600, 200), &handled);
    EXPECT_NEAR(0.55f, w->Zoom(), 1e-5);
    w->OnMouse(0x20A, static_cast<uint32_t>(60) << 16, Pack(600, 200), &handled);
    EXPECT_NEAR(0.605f, w->Zoom(), 1e-5);
    w->OnMouse(0x20A, static_cast<uint32_t>(static_cast<uint16_t>(-240)) << 16, Pack(600, 200), &handled);
    EXPECT_NEAR(0.5f, w->Zoom(), 1e-4);
    // The glyphs: minus at x 1..8, plus at x 10..18 of the caption row.
    w->OnMouse(WM_LBUTTONDOWN, 0, Pack(w->GetX() + 12, w->GetY() + 3), &handled);
    w->OnMouse(WM_LBUTTONUP, 0, Pack(w->GetX() + 12, w->GetY() + 3), &handled);
    EXPECT_NEAR(0.55f, w->Zoom(), 1e-4);
    w->OnMouse(WM_LBUTTONDOWN, 0, Pack(w->GetX() + 4, w->GetY() + 3), &handled);
    EXPECT_NEAR(0.5f, w->Zoom(), 1e-4);
    // Out: stops once the view is below 60 pixels; in: stops at the bound.
    for (int i = 0; i < 60; i++) w->ZoomOut();
    EXPECT_LT(w->ViewHeight(), 60);
    EXPECT_GT(w->ViewHeight(), 40);
    EXPECT_FLOAT_EQ(static_cast<float>(w->ViewWidth()) / kW, w->Zoom());
    for (int i = 0; i < 100; i++) w->ZoomIn();
    EXPECT_FLOAT_EQ(4.0f, w->Zoom());
    EXPECT_EQ(2560, w->ViewWidth());
    w->PrepareSurface();
    EXPECT_EQ(2564, w->Width());

    // The stream ends: the view forgets its size.
    viewSocket->inbound.push_back({kServer, kPort, "SESSION\n7\n\nLOGOUT\n\n"});
    w->GetViewSession()->Update();
    w->PrepareSurface();
    EXPECT_EQ(0, w->ViewWidth());
    EXPECT_FLOAT_EQ(1.0f, w->Zoom());
}

// V on the dashboard's friend: a view window named after the friend, its
// session listed; a second view is refused with a message; only the viewed
// friend's announcement connects; closing the window ends the view.
TEST_F(ViewWndTest, ViewSelectedContactConnectAndClose) {
    CVQListContacts* contacts = hud->Dashboard()->Contacts();
    contacts->AddContact("Friends", "bo", "bo", 0, 1, 1, 1);
    contacts->AddContact("Friends", "cy", "cy", 0, 1, 1, 1);
    contacts->SetSelected("bo", 1);
    hud->ViewSelectedContact();
    ASSERT_EQ(1, hud->ViewSessions().Count());
    CVQDecodeVS* session = static_cast<CVQDecodeVS*>(hud->ViewSessions().Get(0));
    EXPECT_STREQ("bo", session->GetPeerName());
    CVQViewWnd* view = nullptr;
    for (int i = 0; i < hud->Windows().Count(); i++) {
        CVQWindow* w = static_cast<CVQWindow*>(hud->Windows().Get(i));
        if (w->Kind() == CVQFrmWnd::kView) view = static_cast<CVQViewWnd*>(w);
    }
    ASSERT_NE(nullptr, view);
    EXPECT_STREQ("View: bo", view->GetTitle());
    EXPECT_EQ(536, view->GetX());
    EXPECT_EQ(view, hud->FocusWindow());
    EXPECT_EQ(session, view->GetViewSession());

    hud->ViewSelectedContact();
    EXPECT_EQ(1, hud->ViewSessions().Count());
    int boxes = 0;
    for (int i = 0; i < hud->Windows().Count(); i++) {
        CVQWindow* w = static_cast<CVQWindow*>(hud->Windows().Get(i));
        if (w->Kind() == CVQFrmWnd::kMessageBox) {
            boxes++;
            EXPECT_STREQ("Currently it is only possible to view one person at a time!",
                         static_cast<CVQMsgBox*>(w)->GetMessageText());
        }
    }
    EXPECT_EQ(1, boxes);

    hud->SetUser("anna");
    hud->SetPassword("anna-pw");
    hud->ConnectView("cy", 9, "127.0.0.1", 13999);
    EXPECT_EQ(0, session->GetClient()->IsActive());
    hud->ConnectView("bo", 9, "127.0.0.1", 13999);
    EXPECT_EQ(1, session->GetClient()->IsActive());

    view->Close();
    EXPECT_EQ(0, hud->ViewSessions().Count());
    hud->Update();  // the window is deleted at the safe point
    for (int i = 0; i < hud->Windows().Count(); i++)
        EXPECT_NE(CVQFrmWnd::kView, static_cast<CVQWindow*>(hud->Windows().Get(i))->Kind());
}
