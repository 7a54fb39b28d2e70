#include "CVQDashboard.h"

#include <windows.h>

#include <string>

#include "CVQCheckBox.h"
#include "CVQHUD.h"
#include "CVQHUD_Chat.h"
#include "CVQHUD_Misc.h"
#include "CVQListContacts.h"
#include "CVQScrollBarV.h"
#include "CVQSolidBrush.h"
#include "VKScramble.h"
#include "VKSettings.h"

namespace {
const int kDefaultBoxX[3] = {276, 318, 359};
const int kColumnHeadX[3] = {261, 303, 343};
const int kColumnHeadIds[3] = {4300, 4301, 4302};
const int kHeadY = 57;
}  // namespace

CVQDashboard::CVQDashboard() : m_contacts(nullptr), m_contactsBar(nullptr), m_defaults{}, m_signedIn(0) {
    m_kind = kDashboard;
    m_largeCloseBox = 1;
    m_title.Set("Orvalo HUD");
}

int CVQDashboard::CreateFrame(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!CVQFrmWnd::CreateFrame(x, y, width, height)) return 0;
    CVQSolidBrush face;
    face.SetColor(kFaceColour);
    m_canvas.FillRectangle(&face, 1, 52, 399, 207);
    for (int i = 0; i < 3; ++i) {
        CVQGraphics head;
        if (head.LoadResourceImage(kColumnHeadIds[i]) == S_OK)
            m_canvas.Blit(kColumnHeadX[i], kHeadY, 14, 14, &head, 0, 0, head.DibWidth(), head.DibHeight());
    }
    // The children are made once; a repeated Init keeps them.
    if (!m_contacts) BuildChildren();
    return 1;
}

void CVQDashboard::BuildChildren() {
    m_contacts = new CVQListContacts();
    m_contacts->Create(2, 74, 382, 183, this);
    AddChild(m_contacts);
    m_contactsBar = new CVQScrollBarV();
    m_contactsBar->Create(384, 74, 15, 183, this);
    m_contactsBar->SetPage(183);
    AddChild(m_contactsBar);
    m_contacts->AttachScrollBar(m_contactsBar);
    for (int i = 0; i < 3; ++i) {
        m_defaults[i] = new CVQCheckBox();
        m_defaults[i]->SetTriState(1);
        m_defaults[i]->Create(kDefaultBoxX[i], kHeadY, 17, 13, this);
        AddChild(m_defaults[i]);
    }
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
    if (!m_signedIn && m_contacts) m_contacts->Clear();
}

void CVQDashboard::SignInFromSettings() {
    CVQHUD* hud = VQHud();
    if (!hud || !VKGetSetting("loginAuto", "1").Equals("1")) return;
    CVKString name = VKGetSetting("loginName", "");
    if (name.Length() == 0) return;
    std::string password = VKScramblePassword(VKGetSetting("loginPassword", "").Str());
    hud->Chat()->SignIn(name.Str(), password.c_str());
}

int CVQDashboard::OnNotify(int code, void*, CVQWindow* sender, int*) {
    // A box over the dashboard was answered: an incoming call's box answers the call.
    if (code == 78) {
        if (CVQHUD* hud = VQHud()) hud->Voice()->OnCallBoxAnswer(sender);
        return 0;
    }
    if (code != 0) return 0;
    for (int i = 0; i < 3; ++i) {
        if (!m_defaults[i] || sender != m_defaults[i]) continue;
        // The three defaults are saved together; the changed column follows.
        if (CVQHUD* hud = VQHud())
            hud->Misc()->SetDefaultPermissions(m_defaults[0]->GetState(), m_defaults[1]->GetState(),
                                               m_defaults[2]->GetState());
        if (m_contacts) m_contacts->EnableColumn(i, m_defaults[i]->GetState() == 0);
    }
    return 0;
}

int CVQDashboard::OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) {
    CVQHUD* hud = VQHud();
    if (message == WM_KEYDOWN && key == 'C' && hud && !hud->IsHotKeyDown() && !VQIsKeyDown(VK_CONTROL)) {
        hud->Chat()->StartChat();
        *handled = 1;
        return 0;
    }
    return CVQFrmWnd::OnKeyboard(message, key, keyData, handled);
}

void CVQDashboard::Close() {
    SetVisible(0);
    if (CVQHUD* hud = VQHud()) {
        if (hud->FocusWindow() == this) hud->SetFocusWindow(nullptr, true);
        hud->SetHoverWindow(nullptr);
        hud->UpdateActiveStates();
    }
}
