#include "VKNetEndpoints.h"

#include <cstdio>
#include <cstdlib>

#include "VKSettings.h"

unsigned short VKParsePort(const char* text, unsigned short fallback) {
    if (!text || !*text) return fallback;
    char* end = nullptr;
    long value = strtol(text, &end, 10);
    if (end == text || value < 1 || value > 65535) return fallback;
    return static_cast<unsigned short>(value);
}

static CVKString HostSetting(const char* name, const char* def) {
    CVKString host = VKGetSetting(name, def);
    if (host.Length() == 0) host.Set(def);
    return host;
}

CVKString VKChatServerHost() { return HostSetting("serverAddr", VK_DEFAULT_CHAT_HOST); }

unsigned short VKChatServerPort() { return VKParsePort(VKGetSetting("serverPort", VK_DEFAULT_CHAT_PORT).Str(), 13578); }

CVKString VKShareServerHost(const char* fallback) {
    CVKString host = VKGetSetting("serverAddrVS", "");
    if (host.Length() == 0) host.Set(fallback && *fallback ? fallback : VKChatServerHost().Str());
    return host;
}

unsigned short VKShareServerPort() {
    return VKParsePort(VKGetSetting("serverPortVS", VK_DEFAULT_VS_PORT).Str(), 13580);
}

CVKString VKWebServerHost() { return HostSetting("serverAddr", VK_DEFAULT_WEB_HOST); }

unsigned short VKWebServerPort() { return VKParsePort(VKGetSetting("serverPortHTTP", VK_DEFAULT_HTTP_PORT).Str(), 80); }

static CVKString ServiceUrl(const char* family, const char* page) {
    CVKString url("http://");
    url.Append(VKWebServerHost().Str());
    unsigned short port = VKWebServerPort();
    if (port != 80) {
        char text[16];
        snprintf(text, sizeof text, ":%u", static_cast<unsigned>(port));
        url.Append(text);
    }
    url.Append("/services/");
    url.Append(family);
    url.Append("." VK_VERSION "/");
    url.Append(page);
    return url;
}

CVKString VKHudServiceUrl(const char* page) { return ServiceUrl("vqhud", page); }
CVKString VKDesktopServiceUrl(const char* page) { return ServiceUrl("desktop", page); }

CVKString VKWebSiteUrl(const char* path) {
    CVKString url("http://");
    url.Append(HostSetting("webSiteAddr", VK_DEFAULT_SITE_HOST).Str());
    url.Append(path);
    return url;
}
