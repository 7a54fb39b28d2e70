#include "VKEncoderProfile.h"

namespace {
const VKEncoderProfile kProfiles[kVKEncoderProfileCount] = {
    {"Orvalo1", "Windows Media 9, 700kbps (640x480)", "Windows Media 9, 700kbps", 640, 480, 563000, 128040},
    {"Orvalo1500", "Windows Media 9, 1500kbps (1024x768)", "Windows Media 9, 1500kbps", 1024, 768, 1363000, 128040},
    {"Orvalo3000", "Windows Media 9, 3000kbps (1280x1024)", "Windows Media 9, 3000kbps", 1280, 1024, 2735000, 256032},
};
}  // namespace

const VKEncoderProfile* VKGetEncoderProfile(int index) {
    return index >= 0 && index < kVKEncoderProfileCount ? &kProfiles[index] : nullptr;
}
