// The desktop's readers of what the service sends: the catalogue envelope and
// its INI text, the search replies, JPEG pictures, the friends information,
// the update reply and the installer check.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CVKCatalogue.h"
#include "CVKIniStore.h"
#include "VKGameSearch.h"
#include "VKFriendsText.h"
#include "VKJpeg.h"
#include "VKUpdateText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string text;
    CVKCatalogue::Unpack(data, size, &text);
    CVKIniStore ini;
    ini.Parse(text.empty() ? bytes : text);
    CVKIniStore again;
    again.Parse(ini.Text());
    ParseSearchReply(bytes);
    ParseContactSearch(bytes);
    for (const std::string& line : SplitFriendsLines(bytes)) {
        AvatarPath(line);
        std::vector<std::string> fields = FriendFields(line);
        std::string file;
        if (fields.size() > 1 && AvatarFileName(fields[1], &file) && file.find_first_of("\\/:") != std::string::npos)
            __builtin_trap();  // an avatar file name may never leave its folder
    }
    VKUpdateInfo info;
    ParseUpdateReply(bytes, &info);
    LooksLikeWindowsProgram(bytes);
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    DecodeJpeg(bytes, &w, &h, &rgb);
    return 0;
}
