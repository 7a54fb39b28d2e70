#pragma once
#include <string>

#include "DesktopPage.h"

class CVQChat;

// The page shown while the user is signed out: name, password, "Sign me in
// automatically", the links to the web site, and the one-time splash.
class SignInPage : public DesktopPage {
public:
    SignInPage(MainWindow* main, CVQChat* chat);

    bool SignedIn() const { return m_signedIn; }
    // A sign-in was sent and its answer has not come yet.
    bool SigningIn() const { return m_signingIn; }
    const std::string& User() const { return m_user; }
    const std::string& Password() const { return m_password; }
    void SignIn();
    // Disconnects (nothing is sent to the server); the next tick shows this page.
    void SignOut();
    // The chat connection's answer to the sign-in.
    void OnLoginResult(bool success, const std::string& reason);

    bool HandleCommand(int id) override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) override;

private:
    void HideSplash();
    void EnableControls(bool enable);

    CVQChat* m_chat;
    bool m_signedIn;
    bool m_signingIn;
    bool m_splash;
    std::string m_host;
    unsigned short m_port;
    std::string m_user, m_password;
    bool m_auto;
    HFONT m_linkFont;
    HBRUSH m_white;
};
