// The dashboard inside a running HUD (an in-memory frame, settings, clock
// and key state): its pages, signing in and what is stored, the buttons'
// enabling, the keys and tabs, the logo's timing and the recording toggle.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>

#include "CVQBrowseWnd.h"
#include "CVQButton.h"
#include "CVQCheckBox.h"
#include "CVQDashboard.h"
#include "CVQHUD.h"
#include "CVQImgButton.h"
#include "CVQListContacts.h"
#include "CVQMsgBox.h"
#include "CVQScrollBarV.h"
#include "CVQTextBox.h"
#include "FakeFrame.h"
#include "MemorySettings.h"
#include "VKClock.h"
#include "VKScramble.h"
#include "VQResource.h"

namespace {

std::set<uint32_t> g_down;
bool KeyState(uint32_t vk) { return g_down.count(vk) != 0; }
uint32_t g_now = 1000;
uint32_t Clock() { return g_now; }

uint32_t Pack(int x, int y) {
    return (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) | static_cast<uint16_t>(x);
}

// The dashboard's place on the screen.
const int kDashX = 116, kDashY = 50;

class Dashboard : public ::testing::Test {
protected:
    void SetUp() override {
        VQSetKeyStateSource(KeyState);
        VKSetClock(Clock);
        VQSetResourceModule(GetModuleHandleA(nullptr));
        g_down.clear();
        g_now = 1000;
        // Signing in talks to a port where nobody listens.
        store.Set("serverAddr", "127.0.0.1");
        store.Set("serverPort", "9");
        store.Set("serverPortHTTP", "9");
    }
    void TearDown() override {
        delete hud;
        VQSetKeyStateSource(nullptr);
        VKSetClock(nullptr);
        FakeFrame::SetMultisample(0);
    }
    void Start() {
        hud = new CVQHUD();
        hud->Init();
        dash = hud->Dashboard();
    }
    int Key(uint32_t vk) {
        int handled = 0;
        hud->OnKeyboardInput(WM_KEYDOWN, vk, 1u, &handled);
        int ignored = 0;
        hud->OnKeyboardInput(WM_KEYUP, vk, 0xC0000001u, &ignored);
        return handled;
    }
    // A click at a point of the dashboard (its own coordinates).
    int Click(int x, int y) {
        int handled = 0;
        hud->OnMouseInput(WM_LBUTTONDOWN, 0, Pack(dash->GetX() + x, dash->GetY() + y), &handled);
        int ignored = 0;
        hud->OnMouseInput(WM_LBUTTONUP, 0, Pack(dash->GetX() + x, dash->GetY() + y), &ignored);
        return handled;
    }
    // The same key on another thread, as a game that reads its input there
    // would hand it over.
    int KeyOnInputThread(uint32_t vk) {
        int handled = 0;
        std::thread input([&] { handled = Key(vk); });
        input.join();
        return handled;
    }
    // The composition point of the next presented frame.
    void Frame() { hud->Update(); }
    bool Recording() { return hud->CurrentRecorder()->IsRecording(); }
    bool RecordLook() { return dash->Button(CVQDashboard::kRecordButton)->HasPressedLook(); }
    // The pipelined recorder ends its recording once its worker is idle: the
    // frames until it has (about a second at most).
    bool EndsWithinFrames() {
        for (int i = 0; i < 200 && Recording(); ++i) {
            Sleep(5);
            Frame();
        }
        return !Recording();
    }
    std::string Setting(const char* name) { return VKGetSetting(name, "(missing)").Str(); }
    CVQMsgBox* TopBox() {
        for (int i = hud->Windows().Count() - 1; i >= 0; --i) {
            CVQWindow* w = static_cast<CVQWindow*>(hud->Windows().Get(i));
            if (w->Kind() == CVQFrmWnd::kMessageBox) return static_cast<CVQMsgBox*>(w);
        }
        return nullptr;
    }
    bool OnPage(CVQWindow* control) { return dash->Children().IndexOf(control) >= 0; }
    bool Enabled(int id) { return !dash->Button(id)->IsDisabled(); }

    MemorySettings store;
    CVQHUD* hud = nullptr;
    CVQDashboard* dash = nullptr;
};

}  // namespace

TEST_F(Dashboard, IntroOffOpensTheSignInPageAndSignsInAutomatically) {
    store.Set("loginShowIntro", "0");
    store.Set("loginAuto", "1");
    store.Set("loginName", "anna");
    store.Set("loginPassword", VKScramblePassword("anna-pw"));
    Start();
    EXPECT_EQ(CVQDashboard::kSignInPage, dash->CurrentPage());
    EXPECT_FALSE(dash->IsVisible());
    EXPECT_STREQ("anna", dash->NameBox()->GetText());
    EXPECT_STREQ("anna-pw", dash->PasswordBox()->GetText());  // read back through the scrambler
    EXPECT_EQ(1, dash->RememberBox()->GetState());
    EXPECT_EQ(nullptr, hud->FocusWindow());  // a hidden HUD takes no keys
    // Signed in at once with the stored credentials.
    EXPECT_STREQ("anna", hud->GetUser());
    EXPECT_STREQ("anna-pw", hud->GetPassword());
    EXPECT_FALSE(OnPage(dash->IntroSignInButton()));
}

TEST_F(Dashboard, NoAutomaticSignInWithoutANameOrWithAutoOff) {
    store.Set("loginShowIntro", "0");
    store.Set("loginAuto", "0");
    store.Set("loginName", "anna");
    Start();
    EXPECT_EQ(CVQDashboard::kSignInPage, dash->CurrentPage());
    EXPECT_EQ(0, dash->RememberBox()->GetState());
    EXPECT_STREQ("", hud->GetUser());
    delete hud;

    store.Set("loginAuto", "1");
    store.Set("loginName", "");
    Start();
    EXPECT_STREQ("", hud->GetUser());
}

TEST_F(Dashboard, IntroLeadsToSigningInAndRemembersWhetherToShowItself) {
    Start();
    EXPECT_EQ(CVQDashboard::kIntroPage, dash->CurrentPage());
    EXPECT_TRUE(dash->IsVisible());
    EXPECT_EQ(nullptr, hud->FocusWindow());  // until the player turns to the HUD
    hud->SetFocusWindow(dash, false);
    EXPECT_EQ(dash->IntroSignInButton(), hud->FocusWindow());
    EXPECT_FALSE(OnPage(dash->NameBox()));
    EXPECT_EQ(0, dash->IntroShowBox()->GetState());

    // The intro's box checked: the intro comes again next time.
    Click(150, 246);
    EXPECT_EQ(1, dash->IntroShowBox()->GetState());
    Click(40, 225);  // "Sign In"
    EXPECT_EQ(CVQDashboard::kSignInPage, dash->CurrentPage());
    EXPECT_EQ("1", Setting("loginShowIntro"));
    EXPECT_EQ(dash->NameBox(), hud->FocusWindow());
    EXPECT_TRUE(OnPage(dash->PasswordBox()));
    EXPECT_FALSE(OnPage(dash->IntroSignInButton()));
    EXPECT_STREQ("", hud->GetUser());  // no name stored: nobody signed in

    // The panel gaining the focus hands it to the page's first control.
    hud->SetFocusWindow(dash, false);
    EXPECT_EQ(dash->NameBox(), hud->FocusWindow());
}

TEST_F(Dashboard, SigningInStoresWhatRememberSays) {
    store.Set("loginShowIntro", "0");
    store.Set("loginAuto", "0");
    store.Set("loginName", "old");
    store.Set("loginPassword", VKScramblePassword("old-pw"));
    Start();
    // Without "Remember sign in": both values stored empty, automatic off.
    dash->NameBox()->SetText("bo");
    dash->PasswordBox()->SetText("bo-pw");
    dash->RememberBox()->SetState(0);
    dash->SetVisible(1);  // started hidden: keys reach only a visible panel
    hud->SetFocusWindow(dash->PasswordBox(), false);
    EXPECT_TRUE(Key(VK_RETURN));  // Enter in the password box signs in
    EXPECT_EQ("", Setting("loginName"));
    EXPECT_EQ("", Setting("loginPassword"));
    EXPECT_EQ("0", Setting("loginAuto"));
    EXPECT_STREQ("bo", hud->GetUser());
    EXPECT_STREQ("bo-pw", hud->GetPassword());

    // With it: the name, the scrambled password and automatic sign-in.
    dash->RememberBox()->SetState(1);
    int handled = 0;
    dash->OnNotify(0, nullptr, dash->SignInButton(), &handled);
    EXPECT_EQ("bo", Setting("loginName"));
    EXPECT_EQ(VKScramblePassword("bo-pw"), Setting("loginPassword"));
    EXPECT_NE("bo-pw", Setting("loginPassword"));
    EXPECT_EQ("1", Setting("loginAuto"));

    // A password whose scrambled form would hold a zero byte is not stored
    // (the stored text would end at the zero), but still used to sign in.
    std::string zeroing = "ab";
    zeroing += VKScramblePassword(std::string(3, '\0'))[2];  // equals the key byte at position 2
    ASSERT_FALSE(VKScrambledStorable(VKScramblePassword(zeroing)));
    dash->PasswordBox()->SetText(zeroing.c_str());
    dash->OnNotify(0, nullptr, dash->SignInButton(), &handled);
    EXPECT_EQ("bo", Setting("loginName"));
    EXPECT_EQ("", Setting("loginPassword"));
    EXPECT_EQ(zeroing, std::string(hud->GetPassword()));
}

TEST_F(Dashboard, SignedInShowsFriendsAndSignedOutGoesBackToSigningIn) {
    store.Set("loginShowIntro", "0");
    Start();
    dash->SetVisible(1);
    // Without a signed-in player N cannot show the friends list.
    hud->SetFocusWindow(dash->SignInButton(), false);
    EXPECT_TRUE(Key('N'));
    EXPECT_EQ(CVQDashboard::kSignInPage, dash->CurrentPage());

    dash->SetSignedIn(1);
    EXPECT_EQ(CVQDashboard::kContactsPage, dash->CurrentPage());
    EXPECT_EQ(dash->Contacts(), hud->FocusWindow());
    EXPECT_TRUE(OnPage(dash->Button(CVQDashboard::kSignOutButton)));
    EXPECT_FALSE(OnPage(dash->Button(CVQDashboard::kHomeButton)));
    EXPECT_FALSE(OnPage(dash->NameBox()));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(OnPage(dash->DefaultBox(i)));

    // M and N switch pages from a focused list (letters pass the list by).
    EXPECT_TRUE(Key('M'));
    EXPECT_EQ(CVQDashboard::kRecordingsPage, dash->CurrentPage());
    EXPECT_FALSE(OnPage(dash->Contacts()));
    EXPECT_FALSE(OnPage(dash->Button(CVQDashboard::kSignOutButton)));
    EXPECT_TRUE(OnPage(dash->Button(CVQDashboard::kHomeButton)));
    EXPECT_NE(dash->Contacts(), hud->FocusWindow());  // no focus left on a hidden control
    EXPECT_TRUE(Key('N'));
    EXPECT_EQ(CVQDashboard::kContactsPage, dash->CurrentPage());

    // The tab strip: the right tab, then the left one.
    EXPECT_TRUE(Click(120, 60));
    EXPECT_EQ(CVQDashboard::kRecordingsPage, dash->CurrentPage());
    EXPECT_TRUE(Click(40, 60));
    EXPECT_EQ(CVQDashboard::kContactsPage, dash->CurrentPage());

    dash->Contacts()->AddContact("Friends", "bo", "bo", 0, 1, 1, 1);
    dash->SetSignedIn(0);
    EXPECT_EQ(CVQDashboard::kSignInPage, dash->CurrentPage());
    EXPECT_EQ(0, dash->Contacts()->ContactCount());
    EXPECT_EQ(dash->NameBox(), hud->FocusWindow());
}

TEST_F(Dashboard, BrowserButtonsFollowTheSelectionKind) {
    Start();
    const int four[] = {CVQDashboard::kPlayButton, CVQDashboard::kDeleteButton, CVQDashboard::kUploadButton,
                        CVQDashboard::kEncodeButton};
    dash->ShowRecordingsPage();
    EXPECT_EQ(CVQDashboard::kRecordingsPage, dash->CurrentPage());  // no sign-in needed
    for (int id : four) EXPECT_FALSE(Enabled(id));

    dash->SelectionChanged(CVQDashboard::kSelectVideo);
    EXPECT_TRUE(Enabled(CVQDashboard::kPlayButton));
    EXPECT_TRUE(Enabled(CVQDashboard::kDeleteButton));
    EXPECT_TRUE(Enabled(CVQDashboard::kUploadButton));
    EXPECT_FALSE(Enabled(CVQDashboard::kEncodeButton));

    dash->SelectionChanged(CVQDashboard::kSelectRecording);
    EXPECT_FALSE(Enabled(CVQDashboard::kPlayButton));
    EXPECT_TRUE(Enabled(CVQDashboard::kDeleteButton));
    EXPECT_FALSE(Enabled(CVQDashboard::kUploadButton));
    EXPECT_TRUE(Enabled(CVQDashboard::kEncodeButton));

    const int others[] = {CVQDashboard::kSelectNone, CVQDashboard::kSelectFolder, 7};
    for (int kind : others) {
        dash->SelectionChanged(kind);
        for (int id : four) EXPECT_FALSE(Enabled(id)) << "kind " << kind << " button " << id;
    }

    // Off the recordings page the four act on nothing the player sees.
    dash->SelectionChanged(CVQDashboard::kSelectVideo);
    dash->ShowIntroPage();
    for (int id : four) EXPECT_FALSE(Enabled(id));
    dash->ShowRecordingsPage();
    EXPECT_TRUE(Enabled(CVQDashboard::kPlayButton));  // the last reported kind again

    // Hang up has no call to end until one is placed or accepted: a friend's
    // call waiting in its box, or refused there, leaves it unusable.
    EXPECT_FALSE(Enabled(CVQDashboard::kHangUpButton));
    hud->Voice()->OnVoice("bo", 5, "127.0.0.1", 9);
    CVQMsgBox* box = TopBox();
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(dash, box->Owner());
    EXPECT_FALSE(Enabled(CVQDashboard::kHangUpButton));
    box->Close();  // closed without a choice: refused
    EXPECT_EQ(nullptr, TopBox());
    EXPECT_EQ(0, hud->Voice()->IncomingCalls().Count());
    EXPECT_FALSE(Enabled(CVQDashboard::kHangUpButton));
}

TEST_F(Dashboard, ButtonsWithAMessageAndTheKeyboardHelp) {
    Start();
    Click(102 + 5, 12 + 5);  // Add contact
    ASSERT_NE(nullptr, TopBox());
    EXPECT_STREQ("Contacts can be added in Orvalo Desktop!", TopBox()->GetMessageText());
    TopBox()->Answer(CVQMsgBox::kOk);
    Click(346 + 5, 287 + 5);  // Settings
    ASSERT_NE(nullptr, TopBox());
    EXPECT_STREQ("Settings can only be handled in Orvalo Desktop", TopBox()->GetMessageText());
    TopBox()->Answer(CVQMsgBox::kOk);

    hud->SetFocusWindow(dash, false);
    EXPECT_TRUE(Key(VK_F1));
    ASSERT_NE(nullptr, TopBox());
    EXPECT_EQ(19, TopBox()->GetLines());
    std::string help = TopBox()->GetMessageText();
    int lines = 1;
    for (char c : help) lines += c == '\n';
    EXPECT_EQ(19, lines);
    EXPECT_EQ(0u, help.find("Orvalo HUD 4.0.6.0\n\nKeyboard operations:\n="));
    for (const char* key : {"\nR: ", "\nS: ", "\nC: ", "\nV: ", "\nO: ", "\nN: ", "\nM: ", "\n-"})
        EXPECT_NE(std::string::npos, help.find(key)) << key;
}

TEST_F(Dashboard, RecordingRefusedOnAMultisampledBackBuffer) {
    store.Set("recorderType", "2");  // the pipelined recorder starts on request
    Start();
    FakeFrame::SetMultisample(4);
    hud->SetFocusWindow(dash->IntroSignInButton(), false);
    EXPECT_TRUE(Key('R'));
    Frame();
    ASSERT_NE(nullptr, TopBox());
    EXPECT_STREQ(
        "Error: Multisampled/Antialiased backbuffer!\n\nPlease turn off multisampling/antialiasing in\nthe game's "
        "Graphics/Video options",
        TopBox()->GetMessageText());
    EXPECT_EQ(4, TopBox()->GetLines());
    EXPECT_FALSE(hud->CurrentRecorder()->IsRecording());
    EXPECT_FALSE(hud->Logo()->IsRecording());
    EXPECT_FALSE(dash->Button(CVQDashboard::kRecordButton)->HasPressedLook());
    TopBox()->Answer(CVQMsgBox::kOk);

    // Sharing is refused the same way.
    hud->SetFocusWindow(dash->IntroSignInButton(), false);
    EXPECT_TRUE(Key('S'));
    Frame();
    ASSERT_NE(nullptr, TopBox());
    EXPECT_EQ(4, TopBox()->GetLines());
    TopBox()->Answer(CVQMsgBox::kOk);
    EXPECT_FALSE(dash->IsSharing());

    // A plain back buffer records; R again stops.
    FakeFrame::SetMultisample(0);
    hud->SetFocusWindow(dash->IntroSignInButton(), false);
    EXPECT_TRUE(Key('R'));
    Frame();
    EXPECT_EQ(nullptr, TopBox());
    EXPECT_TRUE(hud->CurrentRecorder()->IsRecording());
    EXPECT_TRUE(hud->Logo()->IsRecording());
    EXPECT_TRUE(dash->Button(CVQDashboard::kRecordButton)->HasPressedLook());
    EXPECT_TRUE(Key('R'));
    Frame();
    EXPECT_FALSE(hud->Logo()->IsRecording());
    EXPECT_FALSE(dash->Button(CVQDashboard::kRecordButton)->HasPressedLook());
    EXPECT_TRUE(EndsWithinFrames());

    // A recorder that ends by itself takes the sign and the button with it.
    EXPECT_TRUE(Key('R'));
    Frame();
    ASSERT_TRUE(hud->Logo()->IsRecording());
    hud->PipelinedRecorder()->EndRecording();
    EXPECT_TRUE(EndsWithinFrames());
    EXPECT_FALSE(hud->Logo()->IsRecording());
    EXPECT_FALSE(dash->Button(CVQDashboard::kRecordButton)->HasPressedLook());
}

TEST_F(Dashboard, WithoutARecorderOfTheConfiguredTypeRDoesNothing) {
    store.Set("recorderType", "7");
    Start();
    hud->SetFocusWindow(dash->IntroSignInButton(), false);
    EXPECT_TRUE(Key('R'));
    Frame();
    EXPECT_EQ(nullptr, TopBox());
    EXPECT_FALSE(hud->Logo()->IsRecording());
}

TEST_F(Dashboard, RAndSFromAnotherThreadActAtTheNextFrame) {
    store.Set("recorderType", "2");
    store.Set("serverAddrVS", "127.0.0.1");
    Start();
    hud->SetShareServerPort(9);    // a share asked for logs in where nobody answers
    FakeFrame::SetDeviceThread();  // this thread presents
    hud->SetFocusWindow(dash->IntroSignInButton(), false);

    // The key is taken from the game at once, but nothing starts before the frame.
    EXPECT_TRUE(KeyOnInputThread('R'));
    EXPECT_FALSE(Recording());
    EXPECT_FALSE(hud->Logo()->IsRecording());
    EXPECT_FALSE(RecordLook());
    Frame();
    EXPECT_TRUE(Recording());
    EXPECT_TRUE(hud->Logo()->IsRecording());
    EXPECT_TRUE(RecordLook());

    // The record button clicked on the input thread goes the same way.
    CVQImgButton* button = dash->Button(CVQDashboard::kRecordButton);
    std::thread click([&] { Click(button->GetX() + 2, button->GetY() + 2); });
    click.join();
    EXPECT_TRUE(hud->Logo()->IsRecording());
    EXPECT_TRUE(RecordLook());
    Frame();
    EXPECT_FALSE(hud->Logo()->IsRecording());
    EXPECT_FALSE(RecordLook());
    EXPECT_TRUE(EndsWithinFrames());

    // Two asks before a frame withdraw each other.
    KeyOnInputThread('R');
    KeyOnInputThread('R');
    Frame();
    EXPECT_FALSE(Recording());

    // S: the share is asked for by the frame, and ended by a later one.
    hud->SetFocusWindow(dash->IntroSignInButton(), false);
    EXPECT_TRUE(KeyOnInputThread('S'));
    EXPECT_FALSE(hud->IsShareRequested());
    EXPECT_FALSE(dash->IsSharing());
    Frame();
    EXPECT_TRUE(hud->IsShareRequested());
    EXPECT_TRUE(dash->IsSharing());
    KeyOnInputThread('S');
    EXPECT_TRUE(dash->IsSharing());
    Frame();
    EXPECT_FALSE(hud->IsShareRequested());
    EXPECT_FALSE(dash->IsSharing());
    ASSERT_NE(nullptr, TopBox());  // where shared captures can be seen
    TopBox()->Answer(CVQMsgBox::kOk);

    // The multisample refusal is the frame's too: its box comes with the frame.
    FakeFrame::SetMultisample(4);
    hud->SetFocusWindow(dash->IntroSignInButton(), false);
    KeyOnInputThread('R');
    EXPECT_EQ(nullptr, TopBox());
    Frame();
    ASSERT_NE(nullptr, TopBox());
    EXPECT_EQ(4, TopBox()->GetLines());
    EXPECT_FALSE(Recording());

    // Only the frame's thread read the back buffer or made surfaces.
    EXPECT_EQ(0, FakeFrame::CallsOffDeviceThread());
}

TEST_F(Dashboard, LogoShowsTenSecondsAndBlinksWhileRecording) {
    Start();
    CVQLogo* logo = hud->Logo();
    g_now = 1000 + 9999;
    EXPECT_TRUE(logo->IsVisible());
    g_now = 1000 + 10000;
    EXPECT_FALSE(logo->IsVisible());

    // Recording: shown for the first half of every second, with the sign.
    logo->SetRecording(1);
    for (uint32_t t : {12000u, 12499u, 13000u, 13250u}) {
        g_now = t;
        EXPECT_TRUE(logo->IsVisible()) << t;
    }
    for (uint32_t t : {12500u, 12999u, 13999u}) {
        g_now = t;
        EXPECT_FALSE(logo->IsVisible()) << t;
    }
    ASSERT_TRUE(logo->PrepareSurface());
    uint32_t pixel = 0;
    ASSERT_EQ(S_OK, logo->GetGraphics()->GetPixel(2, 2, &pixel));
    EXPECT_EQ(0xFF0000u, pixel & 0xFFFFFFu);  // the red plate of the sign

    // Ended: no blinking; hidden after the first ten seconds unless shown.
    logo->SetRecording(0);
    g_now = 14000;
    EXPECT_FALSE(logo->IsVisible());
    logo->SetVisible(1);
    EXPECT_TRUE(logo->IsVisible());
    g_now = 14600;
    EXPECT_TRUE(logo->IsVisible());
    ASSERT_TRUE(logo->PrepareSurface());
    ASSERT_EQ(S_OK, logo->GetGraphics()->GetPixel(2, 2, &pixel));
    EXPECT_NE(0xFF0000u, pixel & 0xFFFFFFu);  // the logo again

    // Started hidden: no ten seconds of logo, but recording still blinks.
    delete hud;
    store.Set("loginShowIntro", "0");
    g_now = 1000;
    Start();
    EXPECT_FALSE(hud->Logo()->IsVisible());
    hud->Logo()->SetRecording(1);
    g_now = 2100;
    EXPECT_TRUE(hud->Logo()->IsVisible());
}

TEST_F(Dashboard, RecordingsPageHostsTheBrowserAndItsCommands) {
    char temp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(sizeof temp, temp));
    const std::string folder =
        std::string(temp) + "dashboard-recordings-" + std::to_string(GetCurrentProcessId()) + "\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    for (const char* name : {"clip.rec", "clip.wmv"}) {
        HANDLE f = CreateFileA((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, f);
        CloseHandle(f);
    }
    store.Set("recorderFolder", folder);
    Start();
    hud->SetFocusWindow(dash->IntroSignInButton(), false);
    EXPECT_TRUE(Key('M'));
    ASSERT_NE(nullptr, dash->Browser());
    EXPECT_TRUE(OnPage(dash->Browser()));
    EXPECT_TRUE(OnPage(dash->BrowserBar()));
    EXPECT_EQ(dash->Browser(), hud->FocusWindow());

    dash->Browser()->List(nullptr, 0);
    int rec = -1;
    for (int i = 0; i < dash->Browser()->Count(); ++i)
        if (std::string(dash->Browser()->EntryName(i)) == "clip.rec") rec = i;
    ASSERT_GE(rec, 0);
    // The browser tells the panel its selection: a recording can be encoded.
    dash->Browser()->Select(rec);
    EXPECT_EQ(CVQDashboard::kSelectRecording, dash->SelectionKind());
    EXPECT_TRUE(Enabled(CVQDashboard::kEncodeButton));
    EXPECT_FALSE(Enabled(CVQDashboard::kPlayButton));
    EXPECT_TRUE(Key('E'));  // letters pass the browser by, to the panel
    ASSERT_NE(nullptr, TopBox());
    EXPECT_EQ(0u, std::string(TopBox()->GetMessageText()).find("Orvalo Desktop will encode the file"));
    TopBox()->Answer(CVQMsgBox::kCancel);

    // Off the page the commands act on nothing.
    hud->SetFocusWindow(dash->Browser(), false);
    EXPECT_TRUE(Key('N'));  // not signed in: the sign-in page
    EXPECT_FALSE(OnPage(dash->Browser()));
    hud->SetFocusWindow(dash->NameBox(), false);
    hud->SetFocusWindow(dash->SignInButton(), false);
    EXPECT_TRUE(Key('E'));
    EXPECT_EQ(nullptr, TopBox());

    delete hud;
    hud = nullptr;
    DeleteFileA((folder + "clip.rec").c_str());
    DeleteFileA((folder + "clip.wmv").c_str());
    RemoveDirectoryA(folder.c_str());
}
