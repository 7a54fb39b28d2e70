#pragma once
#include "CVKPtrList.h"
#include "CVQFrmWnd.h"

class CVQBrowseWnd;
class CVQButton;
class CVQCheckBox;
class CVQImgButton;
class CVQListContacts;
class CVQScrollBarV;
class CVQTextBox;

// The HUD's main panel: the command buttons (record, share, chat, view,
// voice), two tabbed pages (the friends list and the recordings browser) and,
// before the player is signed in, an intro page and a sign-in page. Closing
// it hides it: the HUD keeps it for the next time the player brings the HUD
// up. The controls are made once and put into or taken out of the child list
// as the pages change; the panel deletes those that are out of the list.
class CVQDashboard : public CVQFrmWnd {
public:
    enum Page { kIntroPage = 0, kSignInPage = 1, kContactsPage = 2, kRecordingsPage = 3 };
    // The picture buttons. kHomeButton (at the place of Sign out on the other
    // pages) leads to the friends list, or to signing in when signed out.
    enum ButtonId {
        kShareButton,
        kRecordButton,
        kAddContactButton,
        kRemoveContactButton,
        kChatButton,
        kViewButton,
        kCallButton,
        kHangUpButton,
        kEncodeButton,
        kUploadButton,
        kDeleteButton,
        kPlayButton,
        kHelpButton,
        kSettingsButton,
        kSignOutButton,
        kHomeButton,
        kButtonCount
    };
    // Kinds of the recordings browser's selection.
    enum SelectionKind { kSelectNone = 0, kSelectFolder = 1, kSelectVideo = 2, kSelectRecording = 3 };

    CVQDashboard();
    ~CVQDashboard() override;
    int CreateFrame(int32_t x, int32_t y, int32_t width, int32_t height) override;
    void Close() override;
    int OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) override;
    int OnMouse(uint32_t message, uint32_t data, uint32_t position, int* handled) override;
    int OnNotify(int code, void* data, CVQWindow* sender, int* handled) override;
    int PrepareSurface() override;

    // Pages. With automatic set, the sign-in page signs in at once when
    // "loginAuto" is "1" and a name is stored. The friends list needs a
    // signed-in player: signed out, it shows the sign-in page instead.
    void ShowIntroPage();
    void ShowSignInPage(int automatic);
    void ShowContactsPage();
    void ShowRecordingsPage();
    int CurrentPage() const { return m_page; }

    // Signs in with the name and password of the sign-in page, storing them
    // (or empty values) as "Remember sign in" says.
    void SignIn();
    // Told by the chat component: signed in shows the friends list, signed
    // out empties it and shows the sign-in page.
    void SetSignedIn(int flag);
    int IsSignedIn() const { return m_signedIn; }

    // The browser's selection changed: Play, Delete, Upload and Encode are
    // enabled for its kind (on the recordings page only).
    void SelectionChanged(int kind);
    int SelectionKind() const { return m_selectionKind; }
    // The record and share buttons' pressed look (and the recordings listed
    // again when a recording ends).
    void SetRecording(int recording);
    void SetSharing(int sharing);
    int IsSharing() const { return m_sharing; }
    // Hang up is usable only while an accepted call runs.
    void SetCallActive(int active);
    // S, carried out by the HUD's frame: ends a running share, or starts one
    // unless the back buffer is multisampled.
    void ToggleShare();

    // Sets the three default boxes (box states) and the list's matching
    // columns: a friend's own box is usable only while the default has no
    // state of its own (0).
    void SetPermissions(int contact, int chat, int video);

    CVQListContacts* Contacts() const { return m_contacts; }
    CVQScrollBarV* ContactsBar() const { return m_contactsBar; }
    // 0 contact, 1 chat, 2 video.
    CVQCheckBox* DefaultBox(int index) const { return index >= 0 && index < 3 ? m_defaults[index] : nullptr; }
    CVQImgButton* Button(int id) const { return id >= 0 && id < kButtonCount ? m_buttons[id] : nullptr; }
    CVQTextBox* NameBox() const { return m_name; }
    CVQTextBox* PasswordBox() const { return m_password; }
    CVQCheckBox* RememberBox() const { return m_remember; }
    CVQButton* SignInButton() const { return m_signIn; }
    CVQButton* IntroSignInButton() const { return m_introSignIn; }
    CVQCheckBox* IntroShowBox() const { return m_introShow; }
    CVQBrowseWnd* Browser() const { return m_browser; }
    CVQScrollBarV* BrowserBar() const { return m_browserBar; }
    // The keyboard help (F1 and the small Help button).
    static const char* KeyboardHelp();

    static const uint32_t kFaceColour = 0xFFCDE8FF;

private:
    template <class T>
    T* Make(T* control, int32_t x, int32_t y, int32_t width, int32_t height);
    CVQImgButton* MakeButton(int id, int32_t x, int32_t y, int32_t width, int32_t height, int normal, int second);
    CVQButton* MakeTextButton(const char* caption, int32_t x, int32_t y);
    void BuildChildren();
    void ShowPage(int page);
    void DrawPage();
    void ApplySelectionKind();
    void OnButton(int id);
    void RunCommand(int id);
    void ViewSelected();
    // Voice with the selected friend (start) or hanging up.
    void Call(int start);
    void BrowserCommand(int id);
    void RefreshRecordings();
    bool Owns(CVQWindow* window) const;

    CVKPtrList m_owned;  // every control made by BuildChildren
    CVQImgButton* m_buttons[kButtonCount];
    CVQButton* m_introSignIn;
    CVQButton* m_introHelp;
    CVQCheckBox* m_introShow;
    CVQTextBox* m_name;
    CVQTextBox* m_password;
    CVQCheckBox* m_remember;
    CVQButton* m_signIn;
    CVQButton* m_signInHelp;
    CVQListContacts* m_contacts;
    CVQScrollBarV* m_contactsBar;
    CVQCheckBox* m_defaults[3];
    CVQBrowseWnd* m_browser;
    CVQScrollBarV* m_browserBar;
    int m_page;
    int m_selectionKind;
    int m_signedIn;
    int m_callActive;
    int m_sharing;
};
