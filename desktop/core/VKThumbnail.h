#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Recordings in the recorder folder and their thumbnails: the kind of a file
// by its name, the picture of one frame halved to thumbnail size and saved
// as a JPEG beside the recording, and the companion files that go with a
// recording when it is deleted.

enum VKRecordingKind { kVKNotRecording = 0, kVKRec = 1, kVKWmv = 2, kVKAvi = 3 };

// By the last three characters of the name, without regard to case.
int VKRecordingKindOf(const std::string& name);

// The thumbnail size of a w x h picture: halved while the width is above 320
// and the height above 240.
void VKThumbnailSize(int w, int h, int* tw, int* th);

// Halves 24-bit RGB rows (top first) by averaging 2 x 2 blocks; odd last
// rows and columns are dropped.
std::vector<uint8_t> VKHalveRgb(const std::vector<uint8_t>& rgb, int w, int h, int* ow, int* oh);

// JPEG of 24-bit RGB rows at a quality. False on failure.
bool VKEncodeJpeg(const uint8_t* rgb, int w, int h, int quality, std::string* out);

// The 24-bit RGB picture of frame n (from 0) of a .rec, .wmv or .avi file.
// False when the file cannot be read or has no such frame.
bool VKReadFrame(const std::string& path, int frame, int* w, int* h, std::vector<uint8_t>* rgb);

// Writes the thumbnail of frame n of folder + fileName as the recording's
// ".jpg" (JPEG quality 85). False when the frame cannot be had or written.
bool MakeThumbnail(const std::string& folder, const std::string& fileName, int frame);

// The companion files that a deletion of path takes along, given which files
// exist: a .rec or .avi takes its ".di", and its ".jpg" unless a ".wmv" of
// the same name still uses it; a .wmv takes its ".jpg" unless a ".rec" or
// ".avi" of the same name still uses it.
std::vector<std::string> VKCompanionFiles(const std::string& path,
                                          const std::function<bool(const std::string&)>& exists);
