#include "VKUrlText.h"

#include <cctype>

std::string PercentEncode(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

std::string RegisterGameQuery(const std::string& shortName, const std::string& platform, const std::string& genre,
                              const std::string& user, const std::string& password, int op, const std::string& launcher,
                              const std::string& binFolder) {
    return "gameshortname=" + PercentEncode(shortName) + "&gameplatform=" + PercentEncode(platform) +
           "&gamegenre=" + PercentEncode(genre) + "&un=" + PercentEncode(user) + "&pw=" + PercentEncode(password) +
           "&op=" + std::to_string(op) + "&launcherapp1=" + PercentEncode(launcher) +
           "&binfolder=" + PercentEncode(binFolder);
}

std::string GameSearchQuery(const std::string& title, const std::string& platform, const std::string& genre) {
    return "title=" + PercentEncode(title) + "&folder=" + "&platform=" + PercentEncode(platform) +
           "&genre=" + PercentEncode(genre);
}

std::string BoxPicturePath(const std::string& platform, const std::string& genre, const std::string& shortName) {
    return "/games/" + PercentEncode(platform) + "/" + PercentEncode(genre) + "/" + PercentEncode(shortName) +
           "/box.jpg";
}

std::string BoxPictureFile(const std::string& platform, const std::string& genre, const std::string& shortName) {
    return platform + "-" + genre + "-" + shortName + "-box.jpg";
}

std::string BrowserLoginQuery(const std::string& target, bool withCredentials, const std::string& user,
                              const std::string& password) {
    std::string q = "target=" + PercentEncode(target);
    if (withCredentials) q += "&un=" + PercentEncode(user) + "&pw=" + PercentEncode(password);
    return q;
}
