#include "CVQDashboard.h"

#include <windows.h>

#include <cstdlib>
#include <string>

#include "CVQBrowseWnd.h"
#include "CVQButton.h"
#include "CVQChat.h"
#include "CVQCheckBox.h"
#include "CVQHUD.h"
#include "CVQHUD_Chat.h"
#include "CVQHUD_Misc.h"
#include "CVQImgButton.h"
#include "CVQListContacts.h"
#include "CVQMsgBox.h"
#include "CVQPen.h"
#include "CVQScrollBarV.h"
#include "CVQSolidBrush.h"
#include "CVQTextBox.h"
#include "VKLog.h"
#include "VKScramble.h"
#include "VKSettings.h"

namespace {
const int kDefaultBoxX[3] = {276, 318, 359};
const int kColumnHeadX[3] = {261, 303, 343};
const int kColumnHeadIds[3] = {4300, 4301, 4302};
const int kHeadY = 57;
const uint32_t kStripPen = 0xFF69BAFF;
const uint32_t kButtonFill = 0xFFCDE8FF;

const char kSignUpText[] = "Please sign up for an account on the Orvalo web site first.";
const char kAddContactText[] = "Contacts can be added in Orvalo Desktop!";
const char kRemoveContactText[] = "Contacts can be removed in Orvalo Desktop!";
const char kSettingsText[] = "Settings can only be handled in Orvalo Desktop";
const char kShareEndedText[] =
    "Your shared captures can be watched on the Orvalo web site\nin its HUDs section.\n\nIt may take a few minutes "
    "before the video is there.";
const char kSignInExplained[] =
    "Please sign in to Orvalo to proceed.If you don't have an account yet, then please click 'Create Account'.";

// Draws a resource picture at its own size; nothing when it cannot be loaded.
void DrawImage(CVQGraphics* canvas, int id, int x, int y) {
    CVQGraphics picture;
    if (picture.LoadResourceImage(id) != S_OK) return;
    canvas->Blit(x, y, picture.DibWidth(), picture.DibHeight(), &picture, 0, 0, picture.DibWidth(),
                 picture.DibHeight());
}
}  // namespace

CVQDashboard::CVQDashboard()
    : m_buttons{},
      m_introSignIn(nullptr),
      m_introHelp(nullptr),
      m_introShow(nullptr),
      m_name(nullptr),
      m_password(nullptr),
      m_remember(nullptr),
      m_signIn(nullptr),
      m_signInHelp(nullptr),
      m_contacts(nullptr),
      m_contactsBar(nullptr),
      m_defaults{},
      m_browser(nullptr),
      m_browserBar(nullptr),
      m_page(kIntroPage),
      m_selectionKind(kSelectNone),
      m_signedIn(0),
      m_callActive(0),
      m_sharing(0) {
    m_kind = kDashboard;
    m_largeCloseBox = 1;
    m_title.Set("Orvalo HUD");
}

CVQDashboard::~CVQDashboard() {
    // Controls of the other pages are out of the child list: they are ours.
    // The frame deletes the ones in the list.
    for (int i = 0; i < m_owned.Count(); ++i) {
        CVQWindow* control = static_cast<CVQWindow*>(m_owned.Get(i));
        if (m_children.IndexOf(control) < 0) delete control;
    }
    m_owned.Clear();
}

bool CVQDashboard::Owns(CVQWindow* window) const { return window && m_owned.IndexOf(window) >= 0; }

int CVQDashboard::CreateFrame(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!CVQFrmWnd::CreateFrame(x, y, width, height)) return 0;
    // The controls are made once; a repeated Init keeps them and their state.
    if (!m_owned.Count()) BuildChildren();
    if (m_signedIn)
        ShowContactsPage();
    else if (VKGetSetting("loginShowIntro", "1").Equals("0"))
        ShowSignInPage(1);  // no intro: straight to signing in
    else
        ShowIntroPage();
    return 1;
}

template <class T>
T* CVQDashboard::Make(T* control, int32_t x, int32_t y, int32_t width, int32_t height) {
    control->Create(x, y, width, height, this);
    m_owned.Insert(control);
    return control;
}

CVQImgButton* CVQDashboard::MakeButton(int id, int32_t x, int32_t y, int32_t width, int32_t height, int normal,
                                       int second) {
    CVQImgButton* button = Make(new CVQImgButton(), x, y, width, height);
    button->SetImages(normal, second, kButtonFill);
    button->SetUser1(static_cast<uint32_t>(id));
    m_buttons[id] = button;
    return button;
}

CVQButton* CVQDashboard::MakeTextButton(const char* caption, int32_t x, int32_t y) {
    CVQButton* button = Make(new CVQButton(), x, y, 74, 20);
    button->SetCaption(caption);
    return button;
}

void CVQDashboard::BuildChildren() {
    // Page controls first: the children's order is the order Tab follows.
    m_introSignIn = MakeTextButton("Sign In", 37, 219);
    m_introHelp = MakeTextButton("Help", 119, 219);
    m_introShow = Make(new CVQCheckBox(), 148, 244, 11, 11);

    m_name = Make(new CVQTextBox(""), 37, 147, 300, 16);
    m_password = Make(new CVQTextBox(""), 37, 183, 300, 16);
    m_password->SetMasked(1);
    m_remember = Make(new CVQCheckBox(), 185, 202, 17, 13);
    m_signIn = MakeTextButton("Sign In", 36, 229);
    m_signInHelp = MakeTextButton("Help", 114, 229);

    m_contacts = Make(new CVQListContacts(), 2, 74, 382, 183);
    m_contactsBar = Make(new CVQScrollBarV(), 384, 74, 15, 183);
    m_contactsBar->SetPage(183);
    m_contacts->AttachScrollBar(m_contactsBar);
    for (int i = 0; i < 3; ++i) {
        m_defaults[i] = new CVQCheckBox();
        m_defaults[i]->SetTriState(1);
        Make(m_defaults[i], kDefaultBoxX[i], kHeadY, 17, 13);
    }

    // The recordings browser lists its folder when it is first drawn.
    m_browser = new CVQBrowseWnd();
    Make(m_browser, 2, 74, 382, 183);
    m_browserBar = Make(new CVQScrollBarV(), 384, 74, 15, 183);
    m_browserBar->SetPage(183);
    m_browser->AttachScrollBar(m_browserBar);

    // Top buttons, 34 x 40 at y 12; Share and Record are toggles.
    MakeButton(kShareButton, 11, 12, 34, 40, 4101, 4101);
    MakeButton(kRecordButton, 48, 12, 34, 40, 4099, 4099);
    MakeButton(kAddContactButton, 101, 12, 34, 40, 4103, 4104);
    MakeButton(kRemoveContactButton, 135, 12, 34, 40, 4105, 4106);
    // Bottom buttons, 44 high at y 262.
    MakeButton(kChatButton, 12, 262, 42, 44, 4116, 4117);
    MakeButton(kViewButton, 58, 262, 29, 44, 4118, 4119);
    MakeButton(kCallButton, 91, 262, 29, 44, 4120, 4121);
    MakeButton(kHangUpButton, 124, 262, 29, 44, 4122, 4123);
    MakeButton(kEncodeButton, 162, 262, 34, 44, 4134, 4135);
    MakeButton(kUploadButton, 200, 262, 34, 44, 4136, 4137);
    MakeButton(kDeleteButton, 238, 262, 34, 44, 4132, 4133);
    MakeButton(kPlayButton, 276, 262, 30, 44, 4130, 4131);
    // Small buttons, 18 x 18 at y 287.
    MakeButton(kHelpButton, 328, 287, 18, 18, 4124, 4124);
    MakeButton(kSettingsButton, 346, 287, 18, 18, 4125, 4125);
    MakeButton(kSignOutButton, 367, 287, 18, 18, 4126, 4126);
    MakeButton(kHomeButton, 367, 287, 18, 18, 4127, 4127);
    m_buttons[kHangUpButton]->SetDisabled(1);
}

void CVQDashboard::ShowIntroPage() { ShowPage(kIntroPage); }

void CVQDashboard::ShowSignInPage(int automatic) {
    if (m_signedIn) {
        ShowContactsPage();
        return;
    }
    // The show-intro box of the intro page decides whether it comes next time.
    if (m_introShow) VKSetSetting("loginShowIntro", m_introShow->GetState() == 1 ? "1" : "0");
    if (m_name) {
        m_name->SetText(VKGetSetting("loginName", "").Str());
        std::string password = VKScramblePassword(VKGetSetting("loginPassword", "").Str());
        m_password->SetText(password.c_str());
        m_remember->SetState(atoi(VKGetSetting("loginAuto", "1").Str()) != 0 ? 1 : 0);
    }
    ShowPage(kSignInPage);
    if (automatic && VKGetSetting("loginAuto", "1").Equals("1") && m_name && m_name->GetText()[0]) SignIn();
}

void CVQDashboard::ShowContactsPage() {
    if (!m_signedIn) {
        ShowSignInPage(0);
        return;
    }
    ShowPage(kContactsPage);
}

void CVQDashboard::ShowRecordingsPage() { ShowPage(kRecordingsPage); }

void CVQDashboard::ShowPage(int page) {
    if (!m_owned.Count()) return;
    CVQHUD* hud = VQHud();
    CVQWindow* focus = hud ? hud->FocusWindow() : nullptr;
    // The page takes the focus only from the panel itself: a HUD that nobody
    // uses yet takes no keys from the game.
    const bool focusHere = focus == this || Owns(focus);
    m_page = page;

    // The child list becomes: this page's controls, the buttons of every
    // page, then any window someone else put in (kept, in its order).
    CVKPtrList foreign;
    for (int i = 0; i < m_children.Count(); ++i) {
        CVQWindow* child = static_cast<CVQWindow*>(m_children.Get(i));
        if (!Owns(child)) foreign.Insert(child);
    }
    m_children.Clear();
    CVQWindow* pageFocus = nullptr;
    switch (page) {
    case kIntroPage:
        AddChild(m_introSignIn);
        AddChild(m_introHelp);
        AddChild(m_introShow);
        pageFocus = m_introSignIn;
        break;
    case kSignInPage:
        AddChild(m_name);
        AddChild(m_password);
        AddChild(m_remember);
        AddChild(m_signIn);
        AddChild(m_signInHelp);
        pageFocus = m_name;
        break;
    case kContactsPage:
        AddChild(m_contacts);
        AddChild(m_contactsBar);
        for (int i = 0; i < 3; ++i) AddChild(m_defaults[i]);
        pageFocus = m_contacts;
        break;
    case kRecordingsPage:
        AddChild(m_browser);
        AddChild(m_browserBar);
        pageFocus = m_browser;
        break;
    default: break;
    }
    for (int id = 0; id < kButtonCount; ++id) {
        if (id == kSignOutButton && page != kContactsPage) continue;
        if (id == kHomeButton && page == kContactsPage) continue;
        AddChild(m_buttons[id]);
    }
    for (int i = 0; i < foreign.Count(); ++i) AddChild(static_cast<CVQWindow*>(foreign.Get(i)));

    ApplySelectionKind();
    DrawPage();
    if (hud) {
        // No pointer may stay on a control that left the page.
        if (hud->HoverWindow() && Owns(hud->HoverWindow()) && m_children.IndexOf(hud->HoverWindow()) < 0)
            hud->SetHoverWindow(nullptr);
        if (hud->CaptureWindow() && Owns(hud->CaptureWindow()) && m_children.IndexOf(hud->CaptureWindow()) < 0)
            hud->SetCapture(nullptr);
        if (focusHere)
            hud->SetFocusWindow(pageFocus ? pageFocus : this, false);
        else if (Owns(focus) && m_children.IndexOf(focus) < 0)
            hud->SetFocusWindow(nullptr, false);
    }
}

void CVQDashboard::DrawPage() {
    CVQSolidBrush face(kFaceColour);
    m_canvas.FillRectangle(&face, 1, 52, 399, 207);
    // The tab strip: the selected tab in front, a frame around the page.
    const bool recordings = m_page == kRecordingsPage;
    DrawImage(&m_canvas, recordings ? 4129 : 4128, 1, 56);
    DrawImage(&m_canvas, recordings ? 4128 : 4129, 85, 56);
    CVQPen strip(PS_SOLID, 1, kStripPen);
    m_canvas.DrawRectangle(&strip, 1, 73, 398, 185);
    m_canvas.SetFont("Arial", 8, RGB(0, 0, 0), 400, 0, 0);
    m_canvas.DrawText(12, 58, 72, 14, "My Co&ntacts", DT_SINGLELINE);
    m_canvas.DrawText(91, 59, 80, 14, "&My Recordings", DT_SINGLELINE);
    // One-pixel separators between the button groups.
    DrawImage(&m_canvas, 4102, 92, 18);
    DrawImage(&m_canvas, 4102, 157, 272);

    switch (m_page) {
    case kIntroPage: DrawImage(&m_canvas, 4500, 2, 74); break;
    case kSignInPage:
        m_canvas.FillRectangle(&face, 2, 74, 397, 184);
        DrawImage(&m_canvas, 4307, 35, 81);
        m_canvas.SetFont("Arial", 8, RGB(0, 0, 0), 700, 0, 0);
        m_canvas.DrawText(95, 85, 254, 14, "Sign in to Orvalo", DT_SINGLELINE);
        m_canvas.DrawText(37, 135, 200, 14, "Orvalo Name", DT_SINGLELINE);
        m_canvas.DrawText(37, 170, 200, 14, "Password", DT_SINGLELINE);
        m_canvas.SetFont("Arial", 8, RGB(0, 0, 0), 400, 0, 0);
        // Three lines: the last one would be cut in a box of two.
        m_canvas.DrawDataText(95, 99, 254, 36, kSignInExplained, DT_WORDBREAK);
        m_canvas.DrawText(202, 204, 150, 14, "Remember sign in", DT_SINGLELINE);
        break;
    case kContactsPage:
        for (int i = 0; i < 3; ++i) DrawImage(&m_canvas, kColumnHeadIds[i], kColumnHeadX[i], kHeadY);
        break;
    case kRecordingsPage: break;
    }
    m_canvas.SetDirty(1);
    // Every control on the page draws itself again over the new face.
    for (int i = 0; i < m_children.Count(); ++i) static_cast<CVQWindow*>(m_children.Get(i))->Invalidate();
}

void CVQDashboard::SelectionChanged(int kind) {
    m_selectionKind = kind;
    ApplySelectionKind();
}

void CVQDashboard::ApplySelectionKind() {
    if (!m_buttons[kPlayButton]) return;
    // The four commands act on the browser's selection: off its page, none.
    const int kind = m_page == kRecordingsPage ? m_selectionKind : kSelectNone;
    const bool video = kind == kSelectVideo, recording = kind == kSelectRecording;
    m_buttons[kPlayButton]->SetDisabled(!video);
    m_buttons[kUploadButton]->SetDisabled(!video);
    m_buttons[kDeleteButton]->SetDisabled(!video && !recording);
    m_buttons[kEncodeButton]->SetDisabled(!recording);
}

void CVQDashboard::SetRecording(int recording) {
    if (m_buttons[kRecordButton]) m_buttons[kRecordButton]->SetPressedLook(recording);
    // A finished recording is a new file in the recordings folder.
    if (!recording) RefreshRecordings();
}

void CVQDashboard::SetSharing(int sharing) {
    m_sharing = sharing ? 1 : 0;
    if (m_buttons[kShareButton]) m_buttons[kShareButton]->SetPressedLook(sharing);
}

void CVQDashboard::SetCallActive(int active) {
    m_callActive = active ? 1 : 0;
    if (m_buttons[kHangUpButton]) m_buttons[kHangUpButton]->SetDisabled(!m_callActive);
}

void CVQDashboard::SetPermissions(int contact, int chat, int video) {
    const int states[3] = {contact, chat, video};
    for (int i = 0; i < 3; ++i) {
        if (!m_defaults[i]) continue;
        m_defaults[i]->SetState(states[i]);
        if (m_contacts) m_contacts->EnableColumn(i, m_defaults[i]->GetState() == 0);
    }
}

void CVQDashboard::SetSignedIn(int flag) {
    m_signedIn = flag ? 1 : 0;
    if (!m_signedIn) {
        if (m_contacts) m_contacts->Clear();
        if (m_page == kContactsPage) ShowSignInPage(0);
    } else if (m_page == kIntroPage || m_page == kSignInPage) {
        ShowContactsPage();
    }
}

void CVQDashboard::SignIn() {
    CVQHUD* hud = VQHud();
    if (!m_name || !hud) return;
    const std::string name = m_name->GetText();
    const std::string password = m_password->GetText();
    const bool remember = m_remember->GetState() == 1;
    if (remember) {
        VKSetSetting("loginName", name.c_str());
        const std::string scrambled = VKScramblePassword(password);
        if (VKScrambledStorable(scrambled)) {
            VKSetSetting("loginPassword", scrambled.c_str());
        } else {
            // A zero byte would cut the stored value short and a later
            // automatic sign-in would send a wrong password: store none.
            VKSetSetting("loginPassword", "");
            LogMessage("CVQDashboard::SignIn(): The password cannot be stored\r\n");
        }
    } else {
        VKSetSetting("loginName", "");
        VKSetSetting("loginPassword", "");
    }
    VKSetSetting("loginAuto", remember ? "1" : "0");
    hud->Chat()->SignIn(name.c_str(), password.c_str());
}

const char* CVQDashboard::KeyboardHelp() {
    return "Orvalo HUD " VK_VERSION
           "\n"
           "\n"
           "Keyboard operations:\n"
           "====================================\n"
           "R: recording start/stop\n"
           "S: live sharing start/stop\n"
           "C: chat with the selected contacts\n"
           "V: view the desktop of the selected contact\n"
           "O: voice with the selected contacts\n"
           "N: show the contacts page\n"
           "M: show the recordings page\n"
           "------------------------------------\n"
           "Insert: show or hide the HUD\n"
           "Tab, Shift+Tab: move among the controls\n"
           "Insert+Tab: rotate the window focus\n"
           "Insert+W, Esc: close the focused window\n"
           "Insert+arrow keys: move the focused window\n"
           "Insert+C: show or hide the chat windows\n"
           "Insert+V: show or hide views and players";
}

void CVQDashboard::RunCommand(int id) {
    CVQHUD* hud = VQHud();
    if (!hud) return;
    switch (id) {
    // Asked here, on the input's thread; carried out by the next frame.
    case kRecordButton: hud->RequestRecordingToggle(); break;
    case kShareButton: hud->RequestShareToggle(); break;
    case kChatButton: hud->Chat()->StartChat(); break;
    case kViewButton: ViewSelected(); break;
    case kCallButton: Call(1); break;
    case kHangUpButton: Call(0); break;
    case kAddContactButton: ShowMessage(kAddContactText, this, 1); break;
    case kRemoveContactButton: ShowMessage(kRemoveContactText, this, 1); break;
    case kSettingsButton: ShowMessage(kSettingsText, this, 1); break;
    case kHelpButton: ShowMessage(KeyboardHelp(), this, 19); break;
    case kSignOutButton: hud->Chat()->SignOut(); break;
    case kHomeButton:
        if (m_signedIn)
            ShowContactsPage();
        else
            ShowSignInPage(0);
        break;
    case kEncodeButton:
    case kUploadButton:
    case kDeleteButton:
    case kPlayButton:
        // The recordings browser's commands act on what its page shows.
        if (m_page == kRecordingsPage) BrowserCommand(id);
        break;
    default: break;
    }
}

void CVQDashboard::ToggleShare() {
    CVQHUD* hud = VQHud();
    if (!hud) return;
    if (m_sharing) {
        hud->SetShareRequested(0);
        SetSharing(0);
        ShowMessage(kShareEndedText, this, 4);
        return;
    }
    if (hud->RefusedForMultisampling()) return;
    hud->SetShareRequested(1);  // the HUD's next frame starts the share
    SetSharing(1);
}

void CVQDashboard::ViewSelected() {
    if (CVQHUD* hud = VQHud()) hud->ViewSelectedContact();
}

void CVQDashboard::Call(int start) {
    CVQHUD* hud = VQHud();
    if (!hud) return;
    if (!start) {
        hud->Voice()->HangUp();
    } else if (m_contacts) {
        CVKPtrList* names = m_contacts->GetSelected();
        hud->Voice()->Call(*names);
        FreeStringList(names);
        delete names;
    }
    SetCallActive(hud->Voice()->GetState() != CVQHUD_Voice::kIdle);
}

int CVQDashboard::PrepareSurface() {
    // Hang up follows the call: usable while a call placed or accepted runs
    // (a call still waiting for the player's answer has none to end).
    if (CVQHUD* hud = VQHud()) {
        const int inCall = hud->Voice()->GetState() != CVQHUD_Voice::kIdle;
        if (inCall != m_callActive) SetCallActive(inCall);
    }
    return CVQFrmWnd::PrepareSurface();
}

void CVQDashboard::BrowserCommand(int id) {
    if (!m_browser) return;
    switch (id) {
    case kPlayButton: m_browser->Play(); break;
    case kDeleteButton: m_browser->Delete(); break;
    case kEncodeButton: m_browser->Encode(); break;
    case kUploadButton: m_browser->Upload(); break;
    default: break;
    }
}

void CVQDashboard::RefreshRecordings() {
    if (m_browser && m_browser->IsListed()) m_browser->Refresh();
}

int CVQDashboard::OnNotify(int code, void* data, CVQWindow* sender, int* handled) {
    if (code == 7) {
        // The panel passes the focus on to the control its page starts with.
        CVQWindow* first = nullptr;
        if (m_children.IndexOf(m_introSignIn) >= 0)
            first = m_introSignIn;
        else if (m_children.IndexOf(m_name) >= 0)
            first = m_name;
        else if (m_children.IndexOf(m_contacts) >= 0)
            first = m_contacts;
        else if (m_children.IndexOf(m_browser) >= 0)
            first = m_browser;
        CVQHUD* hud = VQHud();
        if (first && hud) hud->SetFocusWindow(first, false);
        return 0;
    }
    if (code == 78) {
        // The answer to the incoming-call box: only OK takes the call.
        CVQHUD* hud = VQHud();
        if (hud && hud->Voice()->OnCallBoxAnswer(sender))
            SetCallActive(hud->Voice()->GetState() != CVQHUD_Voice::kIdle);
        (void)data;
        (void)handled;
        return 0;
    }
    if (code == CVQBrowseWnd::kNotifySelection && sender == m_browser && data) {
        SelectionChanged(*static_cast<const int*>(data));
        return 0;
    }
    if (code != 0 || !sender) return 0;
    for (int i = 0; i < 3; ++i) {
        if (!m_defaults[i] || sender != m_defaults[i]) continue;
        // The three defaults are saved together; the changed column follows.
        if (CVQHUD* hud = VQHud())
            hud->Misc()->SetDefaultPermissions(m_defaults[0]->GetState(), m_defaults[1]->GetState(),
                                               m_defaults[2]->GetState());
        if (m_contacts) m_contacts->EnableColumn(i, m_defaults[i]->GetState() == 0);
        return 0;
    }
    if (sender == m_introSignIn) {
        ShowSignInPage(1);
    } else if (sender == m_introHelp || sender == m_signInHelp) {
        ShowMessage(kSignUpText, this, 1);
    } else if (sender == m_signIn || sender == m_name || sender == m_password) {
        SignIn();
    } else {
        for (int id = 0; id < kButtonCount; ++id)
            if (sender == m_buttons[id]) RunCommand(id);
    }
    return 0;
}

int CVQDashboard::OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) {
    CVQHUD* hud = VQHud();
    if (message == WM_KEYDOWN && hud && !hud->IsHotKeyDown() && !VQIsKeyDown(VK_CONTROL)) {
        int command = -1;
        switch (key) {
        case VK_DELETE: command = kDeleteButton; break;
        case 'C': command = kChatButton; break;
        case 'E': command = kEncodeButton; break;
        case 'O': command = kCallButton; break;
        case 'P': command = kPlayButton; break;
        case 'R': command = kRecordButton; break;
        case 'S': command = kShareButton; break;
        case 'U': command = kUploadButton; break;
        case 'V': command = kViewButton; break;
        case VK_F1: command = kHelpButton; break;
        case 'M':
            ShowRecordingsPage();
            *handled = 1;
            break;
        case 'N':
            ShowContactsPage();
            *handled = 1;
            break;
        default: break;
        }
        if (command >= 0) {
            *handled = 1;
            RunCommand(command);
        }
    }
    return CVQFrmWnd::OnKeyboard(message, key, keyData, handled);
}

int CVQDashboard::OnMouse(uint32_t message, uint32_t data, uint32_t position, int* handled) {
    if (message == WM_LBUTTONDOWN && !m_dragging) {
        // The tab strip: "My Contacts" on the left, "My Recordings" beside it.
        const int32_t dx = static_cast<int16_t>(static_cast<int16_t>(position & 0xFFFF) - m_x);
        const int32_t dy = static_cast<int16_t>(static_cast<int16_t>(position >> 16) - m_y);
        if (dy >= 56 && dy <= 73 && dx >= 1 && dx <= 170) {
            *handled = 1;
            if (dx <= 84)
                ShowContactsPage();
            else
                ShowRecordingsPage();
            return 0;
        }
    }
    return CVQFrmWnd::OnMouse(message, data, position, handled);
}

void CVQDashboard::Close() {
    SetVisible(0);
    if (CVQHUD* hud = VQHud()) {
        CVQWindow* focus = hud->FocusWindow();
        if (focus == this || Owns(focus)) hud->SetFocusWindow(nullptr, true);
        hud->SetHoverWindow(nullptr);
        hud->UpdateActiveStates();
    }
}
