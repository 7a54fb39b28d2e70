#pragma once
#include "CVQFrmWnd.h"

class CVQCheckBox;
class CVQListContacts;
class CVQScrollBarV;

// The HUD's main panel. Closing it hides it: the HUD keeps it for the next
// time the player brings the HUD up. It holds the friends list with its
// scroll bar and the player's three default permission boxes (contact,
// chat, video).
class CVQDashboard : public CVQFrmWnd {
public:
    CVQDashboard();
    int CreateFrame(int32_t x, int32_t y, int32_t width, int32_t height) override;
    void Close() override;
    int OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) override;
    int OnNotify(int code, void* data, CVQWindow* sender, int* handled) override;

    CVQListContacts* Contacts() const { return m_contacts; }
    CVQScrollBarV* ContactsBar() const { return m_contactsBar; }
    // 0 contact, 1 chat, 2 video.
    CVQCheckBox* DefaultBox(int index) const { return index >= 0 && index < 3 ? m_defaults[index] : nullptr; }
    // Sets the three default boxes (box states) and the list's matching
    // columns: a friend's own box is usable only while the default has no
    // state of its own (0).
    void SetPermissions(int contact, int chat, int video);
    void SetSignedIn(int flag);
    int IsSignedIn() const { return m_signedIn; }
    // Signs in with the stored name and password when "loginAuto" is "1".
    void SignInFromSettings();

    static const uint32_t kFaceColour = 0xFFCDE8FF;

private:
    void BuildChildren();

    CVQListContacts* m_contacts;
    CVQScrollBarV* m_contactsBar;
    CVQCheckBox* m_defaults[3];
    int m_signedIn;
};
