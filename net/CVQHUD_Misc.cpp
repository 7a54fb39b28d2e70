#include "CVQHUD_Misc.h"

#include <string>

#include "CVQDashboard.h"
#include "CVQHUD.h"
#include "CVQListContacts.h"
#include "VKNetEndpoints.h"
#include "VKPermissionText.h"

CVQHUD_Misc::CVQHUD_Misc(IVKStreamSocket* socket) : m_http(socket) { Initialise(); }

CVQHUD_Misc::~CVQHUD_Misc() {}

void CVQHUD_Misc::Initialise() {
    m_getUrl = VKHudServiceUrl("getPermissions.php?");
    m_setUrl = VKHudServiceUrl("setPermissions.php?");
}

void CVQHUD_Misc::Request(const char* url, const char* method) {
    m_lastUrl.Set(url);
    m_http.ClearRequest();
    m_http.AddHeader(CVKString(VK_USER_AGENT_HEADER));
    m_http.SetUrl(m_lastUrl);
    m_http.SetMethod(CVKString(method));
    m_http.Send();
}

void CVQHUD_Misc::LoadPermissions() {
    CVQHUD* hud = VQHud();
    if (!hud) return;
    std::string url = std::string(m_getUrl.Str()) + VKPermissionQuery(hud->GetUser(), hud->GetPassword());
    Request(url.c_str(), "GET");
}

void CVQHUD_Misc::SetFriendPermissions(const char* handle, int contact, int chat, int video) {
    CVQHUD* hud = VQHud();
    if (!hud) return;
    std::string url =
        std::string(m_setUrl.Str()) + VKPermissionQuery(hud->GetUser(), hud->GetPassword(), handle, contact ? "1" : "0",
                                                        chat ? "1" : "0", video ? "1" : "0");
    // A friend who may no longer watch loses the running share first.
    if (!video) hud->MarkInvited(handle);
    Request(url.c_str(), "POST");
}

void CVQHUD_Misc::SetDefaultPermissions(int contact, int chat, int video) {
    CVQHUD* hud = VQHud();
    if (!hud) return;
    std::string url = std::string(m_setUrl.Str()) +
                      VKPermissionQuery(hud->GetUser(), hud->GetPassword(), nullptr, VKDefaultPermissionWire(contact),
                                        VKDefaultPermissionWire(chat), VKDefaultPermissionWire(video));
    Request(url.c_str(), "POST");
}

void CVQHUD_Misc::Poll() {
    m_http.Pump();
    const int status = m_http.GetStatusCode();
    if (status < 0) return;
    if (status == 200) {
        const unsigned char* body = nullptr;
        int count = 0;
        if (m_http.GetResponseBody(&body, &count)) Apply(body, count);
    }
    m_http.ClearResponse();
}

void CVQHUD_Misc::Apply(const unsigned char* body, int count) {
    VKPermissionReply reply;
    if (!VKParsePermissions(reinterpret_cast<const char*>(body), count > 0 ? static_cast<size_t>(count) : 0, &reply))
        return;
    CVQHUD* hud = VQHud();
    if (!hud) return;
    CVQDashboard* dashboard = hud->Dashboard();
    if (reply.hasDefaults)
        dashboard->SetPermissions(VKDefaultPermissionBox(reply.contact), VKDefaultPermissionBox(reply.chat),
                                  VKDefaultPermissionBox(reply.video));
    CVQListContacts* list = dashboard->Contacts();
    for (const VKFriendPermission& f : reply.friends)
        list->SetPermissions(f.handle.c_str(), f.contact != 0, f.chat != 0, f.video != 0);
}
