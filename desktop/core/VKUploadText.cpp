#include "VKUploadText.h"

#include <cctype>
#include <cstdlib>

#include "VKUrlText.h"

const char* const kVKMultipartBoundary = "OrVaLoQ2b4T2X19J";

std::string VKMultipartContentType() {
    return std::string("Content-Type: multipart/form-data; boundary=") + kVKMultipartBoundary + "\r\n";
}

std::string VKMultipartHead(const std::string& remoteName, const std::string& contentType) {
    const std::string b = kVKMultipartBoundary;
    return "--" + b + "\r\n" + "Content-Disposition: form-data; name=\"miscdata\"\r\n" + "\r\n" + "0\r\n" + "--" + b +
           "\r\n" + "Content-Disposition: form-data; name=\"uploadedfile\"; filename=\"" + remoteName + "\"\r\n" +
           "Content-Type: " + contentType + "\r\n" + "Content-Transfer-Encoding: binary\r\n" + "\r\n";
}

std::string VKMultipartTail() {
    const std::string b = kVKMultipartBoundary;
    return "\r\n--" + b + "\r\n" + "Content-Disposition: form-data; name=\"submitted\"\r\n" + "\r\n" + "hello\r\n" +
           "--" + b + "--\r\n";
}

uint64_t VKMultipartLength(const std::string& remoteName, const std::string& contentType, uint64_t fileSize) {
    return VKMultipartHead(remoteName, contentType).size() + fileSize + VKMultipartTail().size();
}

std::string VKRegisterMediaQuery(const VKJob& job, const std::string& videoPath, int64_t durationMs, int bitRate) {
    const std::string* f = job.field;
    std::string q = "gameid=" + PercentEncode(f[kJobGameId]);
    q += "&gameshortname=" + PercentEncode(f[kJobGameShortName]);
    q += "&gameplatform=" + PercentEncode(f[kJobGamePlatform]);
    q += "&gamegenre=" + PercentEncode(f[kJobGameGenre]);
    q += "&gamerating=" + PercentEncode(f[kJobGameRating]);
    q += "&filename=" + PercentEncode(VKBaseNameOf(videoPath));
    q += "&filecount=1";
    if (VKPathExtension(f[kJobFilePath]) != ".wmv") q += "&encprx=" + PercentEncode(f[kJobProfile]);
    q += "&mediatitle=" + PercentEncode(f[kJobMediaTitle]);
    q += "&tags=" + PercentEncode(f[kJobTags]);
    q += "&platform=" + PercentEncode(f[kJobMediaPlatform]);
    q += "&mediarating=" + PercentEncode(f[kJobMediaRating]);
    q += "&username=" + PercentEncode(f[kJobUserName]);
    q += "&password=" + PercentEncode(f[kJobPassword]);
    q += "&duration=" + std::to_string(durationMs);
    q += "&bitrate=" + std::to_string(bitRate);
    q += "&description=" + PercentEncode(f[kJobDescription]);
    return q;
}

std::string VKCheckLoginQuery(const std::string& user, const std::string& password) {
    return "username=" + PercentEncode(user) + "&password=" + PercentEncode(password);
}

bool VKIsPlainHost(const std::string& host) {
    if (host.empty() || host.size() > 255) return false;
    for (unsigned char c : host)
        if (!isalnum(c) && c != '.' && c != '-' && c != ':') return false;
    return host[0] != '-' && host[0] != '.' && host[0] != ':';
}

bool VKSplitHostPort(const std::string& text, std::string* host, unsigned short* port, unsigned short defaultPort) {
    const size_t colon = text.find(':');
    *host = text.substr(0, colon);
    *port = defaultPort;
    if (colon == std::string::npos) return !host->empty();
    const std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    for (unsigned char c : digits)
        if (!isdigit(c)) return false;
    const long value = strtol(digits.c_str(), nullptr, 10);
    if (value < 1 || value > 65535) return false;
    *port = static_cast<unsigned short>(value);
    return !host->empty();
}

bool VKParseUploadServers(const std::string& reply, std::string* host, std::string* user, std::string* password) {
    std::string fields[3];
    size_t at = 0;
    for (int i = 0; i < 3; i++) {
        const size_t end = reply.find_first_of(";\r\n", at);
        fields[i] = reply.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (end == std::string::npos) {
            at = reply.size();
        } else {
            at = end + 1;
            if (reply[end] == ';')
                while (at < reply.size() && (reply[at] == '\r' || reply[at] == '\n')) at++;
            else if (reply[end] == '\r' && at < reply.size() && reply[at] == '\n')
                at++;
        }
    }
    *host = fields[0];
    *user = fields[1];
    *password = fields[2];
    return VKIsPlainHost(fields[0]);
}
