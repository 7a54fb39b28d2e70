#pragma once

// The three encoder profiles of the desktop's Encode and Upload dialogs
// (index 0..2). Every profile: 29.97 frames per second nominal, a key frame
// at least every 4 seconds, sound at 44,100 Hz stereo 16-bit.
struct VKEncoderProfile {
    const char* name;       // profile name
    const char* listText;   // Encode dialog's list text
    const char* shortText;  // Upload dialog's list text
    int width;
    int height;
    int videoBitRate;  // bit/s
    int audioBitRate;  // bit/s
};

static const int kVKEncoderProfileCount = 3;
static const int kVKProfileSampleRate = 44100;
static const int kVKProfileChannels = 2;
static const int kVKProfileKeyFrameSeconds = 4;

// The profile of an index; null outside 0..2.
const VKEncoderProfile* VKGetEncoderProfile(int index);
