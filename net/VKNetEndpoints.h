#pragma once
#include "CVKString.h"

// Every host and port of the online service, in one place. Each one is a
// setting of the HUD's key, read at the moment of use, so a test or a local
// installation can point the programs at servers of its own (127.0.0.1 and
// any free port).
//
//   serverAddr      chat server host, also the web server host
//   serverPort      chat server TCP port                      (13578)
//   serverAddrVS    video-sharing server host (else the chat server's answer)
//   serverPortVS    video-sharing server UDP port until the chat server
//                   gives one                                  (13580)
//   serverPortHTTP  web server port                           (80)
//   webSiteAddr     the web site's host (pages opened in a browser, avatars)

#define VK_DEFAULT_CHAT_HOST "chat.orvalohud.net"
#define VK_DEFAULT_WEB_HOST "www.orvalohud.net"
#define VK_DEFAULT_SITE_HOST "www.orvalohud.net"
#define VK_DEFAULT_CHAT_PORT "13578"
#define VK_DEFAULT_VS_PORT "13580"
#define VK_DEFAULT_HTTP_PORT "80"
#define VK_USER_AGENT_HEADER "User-Agent: Orvalo HUD v4.0.6.0"

CVKString VKChatServerHost();
unsigned short VKChatServerPort();
// The video-sharing host: the setting when present, else the fallback (the
// address given by the chat server's "LOGIN OK").
CVKString VKShareServerHost(const char* fallback);
unsigned short VKShareServerPort();
CVKString VKWebServerHost();
unsigned short VKWebServerPort();
// "http://" + web host + "/services/vqhud.4.0.6.0/" + page, the port added
// when it is not 80.
CVKString VKHudServiceUrl(const char* page);
// As above for the desktop program's pages ("/services/desktop.4.0.6.0/").
CVKString VKDesktopServiceUrl(const char* page);
// "http://" + web site host + path ("/login.php", "/img/avatars/").
CVKString VKWebSiteUrl(const char* path);

// A port from text: 1 to 65535, anything else gives fallback.
unsigned short VKParsePort(const char* text, unsigned short fallback);
