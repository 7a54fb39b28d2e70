#pragma once
#include "CVKHttp.h"
#include "CVKString.h"

// The player's and the friends' permissions (contact, chat, video), kept on
// the service's web server: read after each friends list, saved whenever a
// permission box changes. One request at a time through one HTTP client;
// answers are taken in Poll, once per frame.
class CVQHUD_Misc {
public:
    // socket (owned) may be null: a Winsock socket is taken.
    explicit CVQHUD_Misc(IVKStreamSocket* socket = nullptr);
    CVQHUD_Misc(const CVQHUD_Misc&) = delete;
    CVQHUD_Misc& operator=(const CVQHUD_Misc&) = delete;
    virtual ~CVQHUD_Misc();

    // Makes the two service addresses from the settings.
    virtual void Initialise();
    virtual void Nop() {}
    virtual void Poll();
    virtual void LoadPermissions();
    // Each flag non-zero for allowed; a friend refused video is first taken
    // off the running share.
    virtual void SetFriendPermissions(const char* handle, int contact, int chat, int video);
    // Box states of the dashboard's default boxes (1 allowed, 2 refused, 0 none).
    virtual void SetDefaultPermissions(int contact, int chat, int video);

    CVKHttp* Http() { return &m_http; }
    // The address of the last request sent (tests).
    const CVKString& LastUrl() const { return m_lastUrl; }

private:
    void Request(const char* url, const char* method);
    void Apply(const unsigned char* body, int count);

    CVKHttp m_http;
    CVKString m_getUrl;
    CVKString m_setUrl;
    CVKString m_lastUrl;
};
