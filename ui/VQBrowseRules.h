#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "VKSettings.h"

// The platform-free rules of the recordings browser and its players: entry
// kinds, folder steps, the texts shown, the hand-off decisions and the
// player's arithmetic. The windows (CVQBrowseWnd, CVQBrowsePlayWnd) apply them.

// Registry keys of the hand-off to the desktop program (under the current user).
#define VQ_JOBENCODE_KEY "Software\\BRINMOOR\\Orvalo HUD Desktop " VK_VERSION "\\JobEncode"
#define VQ_JOBUPLOAD_KEY "Software\\BRINMOOR\\Orvalo HUD Desktop " VK_VERSION "\\JobUpload"

// Kinds of a browser entry.
enum VQBrowseKind { kVQBrowseNone = 0, kVQBrowseFolder = 1, kVQBrowseVideo = 2, kVQBrowseRecording = 3 };

// Longest folder path the browser enters; longer ones are refused.
static const size_t kVQBrowseMaxPath = 1024;
// Entries a folder lists at most.
static const int kVQBrowseMaxEntries = 100000;
// Characters of a job's progress text that are kept and shown.
static const size_t kVQProgressMax = 15;

// True for names ending in ".wmv" (kind 2) or ".rec" (kind 3), in any case.
bool VQIsVideoName(const std::string& name);
bool VQIsRecordingName(const std::string& name);
// Kind of an entry: ".." and folders 1; a listed file 2 or 3.
int VQEntryKind(const std::string& name, bool isFolder);

// The folder above `folder` (which ends in a backslash): the text cut after
// its second-to-last backslash. A drive root, or a folder without a second
// backslash, stays where it is.
std::string VQParentFolder(const std::string& folder);
// True when the folder has nothing above it ("C:\", "\\server\share\").
bool VQIsRootFolder(const std::string& folder);
// The folder path with a backslash at its end.
std::string VQWithBackslash(const std::string& folder);

// One entry of a folder as the platform enumerates it.
struct VQFolderItem {
    std::string name;
    bool folder;
    int64_t size;
};
// What the browser lists of an enumeration: "." and ".." skipped by name
// wherever they come, then ".." first unless the folder is a root, the
// other folders and the .wmv / .rec files (others dropped) in name order
// without regard to case. Folders have size -1. At most kVQBrowseMaxEntries.
std::vector<VQFolderItem> VQFilterFolder(const std::vector<VQFolderItem>& items, bool root);

// "1.00 gb", "1023.00 b": the size shown after a file's name.
std::string VQFormatSize(int64_t size);
// The line of a file: "name - size"; with a job progress "name - size (45%)".
std::string VQEntryText(const std::string& name, int64_t size, bool folder, const char* progress);

// clip.wmv -> clip.di: the last three characters replaced by "di"; "" for a
// path of fewer than four characters.
std::string VQCompanionInputPath(const std::string& videoPath);
// The delete question: "You are about to delete:\n" and the path, broken
// after every 60th character.
std::string VQDeleteQuestion(const std::string& path);

// What Encode or Upload does with the job key's state.
enum VQJobAction {
    kVQJobAskIdle,           // no job: ask to hand the file over
    kVQJobAskReplaceActive,  // another file is being worked on: ask, naming its progress
    kVQJobAskReplaceQueued,  // another file waits to be picked up: ask
    kVQJobAlreadyActive,     // this file is being worked on: tell
    kVQJobAlreadyQueued      // this file waits to be picked up: tell
};
VQJobAction VQDecideJob(const std::string& progress, const std::string& jobFile, const std::string& path);
// The texts of the decisions (upload = 0 for encoding); lines receives the line count.
std::string VQJobText(VQJobAction action, int upload, const std::string& progress, int* lines);
// Case-insensitive comparison of two paths.
bool VQSamePath(const std::string& a, const std::string& b);
// A progress text as read, cut to kVQProgressMax characters.
std::string VQProgressText(const std::string& value);

// The player's arithmetic.
// Cascade offset: 0 for the first window, then 1..5, and the seventh is 0 again.
int VQNextCascade(int* counter);
// The zoom after a step (factor 1.1 or 0.9), held to 10..400 percent and so
// that neither shown side passes kVQMaxShownSide pixels.
static const int kVQMaxShownSide = 4096;
double VQStepZoom(double zoom, double factor, int sourceWidth, int sourceHeight);
// The playback rate after a step, held to 1/64 .. 64.
double VQStepRate(double rate, double factor);
// "path, size: 100%, 01:05" for the media time in milliseconds.
std::string VQPlayerTitle(const std::string& path, double zoom, int64_t mediaMs);
// Frames per second between two title changes (0 for less than 1 ms, never negative).
int VQFramesPerSecond(int64_t frames, int64_t framesBefore, int64_t elapsedMs);

// The list's scroll position that keeps `selected` visible after Up or Down.
int VQScrollForSelection(int selected, int position, int page);
// The entry under window y for a scroll position; -1 above the first entry.
int VQRowAt(int y, int scroll);
