#include "VQBrowseRules.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {
bool EndsWithNoCase(const std::string& text, const char* tail) {
    const size_t n = std::char_traits<char>::length(tail);
    if (text.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (tolower(static_cast<unsigned char>(text[text.size() - n + i])) != tail[i]) return false;
    return true;
}

std::string LowerCase(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return lower;
}

// Name of a listed file: something in front of the extension.
bool HasExtension(const std::string& name, const char* extension) {
    return name.size() > 4 && EndsWithNoCase(name, extension);
}
}  // namespace

bool VQIsVideoName(const std::string& name) { return HasExtension(name, ".wmv"); }
bool VQIsRecordingName(const std::string& name) { return HasExtension(name, ".rec"); }

int VQEntryKind(const std::string& name, bool isFolder) {
    if (isFolder || name == "..") return kVQBrowseFolder;
    if (VQIsVideoName(name)) return kVQBrowseVideo;
    if (VQIsRecordingName(name)) return kVQBrowseRecording;
    return kVQBrowseFolder;
}

bool VQIsRootFolder(const std::string& folder) {
    if (folder.size() <= 1) return true;
    if (folder.size() == 3 && folder[1] == ':' && folder[2] == '\\') return true;
    if (folder.compare(0, 2, "\\\\") == 0) {
        // \\server\share\ is the root of a network share.
        return std::count(folder.begin(), folder.end(), '\\') <= 4;
    }
    return std::count(folder.begin(), folder.end(), '\\') < 2;
}

std::string VQWithBackslash(const std::string& folder) {
    return !folder.empty() && folder.back() == '\\' ? folder : folder + '\\';
}

std::string VQParentFolder(const std::string& folder) {
    if (VQIsRootFolder(folder)) return folder;
    const size_t last = folder.find_last_of('\\', folder.size() >= 2 ? folder.size() - 2 : 0);
    if (last == std::string::npos) return folder;
    return folder.substr(0, last + 1);
}

std::vector<VQFolderItem> VQFilterFolder(const std::vector<VQFolderItem>& items, bool root) {
    std::vector<VQFolderItem> listed;
    for (const VQFolderItem& item : items) {
        if (item.name.empty() || item.name == "." || item.name == "..") continue;
        if (item.folder)
            listed.push_back({item.name, true, -1});
        else if (VQIsVideoName(item.name) || VQIsRecordingName(item.name))
            listed.push_back(item);
    }
    std::sort(listed.begin(), listed.end(), [](const VQFolderItem& a, const VQFolderItem& b) {
        const std::string la = LowerCase(a.name), lb = LowerCase(b.name);
        return la != lb ? la < lb : a.name < b.name;
    });
    if (!root) listed.insert(listed.begin(), VQFolderItem{"..", true, -1});
    if (listed.size() > static_cast<size_t>(kVQBrowseMaxEntries)) listed.resize(kVQBrowseMaxEntries);
    return listed;
}

std::string VQFormatSize(int64_t size) {
    char text[64];
    if (size > 0x3FFFFFFF)
        snprintf(text, sizeof text, "%.2f gb", static_cast<double>(size >> 20) / 1024.0);
    else if (size > 0xFFFFF)
        snprintf(text, sizeof text, "%.2f mb", static_cast<double>(size >> 10) / 1024.0);
    else if (size > 1023)
        snprintf(text, sizeof text, "%.2f kb", static_cast<double>(size) / 1024.0);
    else
        snprintf(text, sizeof text, "%.2f b", static_cast<double>(size));
    return text;
}

std::string VQEntryText(const std::string& name, int64_t size, bool folder, const char* progress) {
    std::string text = folder ? name : name + " - " + VQFormatSize(size);
    if (progress) text += std::string(" (") + progress + "%)";
    return text;
}

std::string VQCompanionInputPath(const std::string& videoPath) {
    if (videoPath.size() < 4) return "";
    return videoPath.substr(0, videoPath.size() - 3) + "di";
}

std::string VQDeleteQuestion(const std::string& path) {
    std::string text = "You are about to delete:\n";
    for (size_t i = 0; i < path.size(); i += 60) {
        if (i) text += '\n';
        text += path.substr(i, 60);
    }
    return text;
}

bool VQSamePath(const std::string& a, const std::string& b) { return LowerCase(a) == LowerCase(b); }

std::string VQProgressText(const std::string& value) { return value.substr(0, kVQProgressMax); }

VQJobAction VQDecideJob(const std::string& progress, const std::string& jobFile, const std::string& path) {
    if (progress == "100") return kVQJobAskIdle;
    const bool queued = progress == "-1";
    if (!VQSamePath(jobFile, path)) return queued ? kVQJobAskReplaceQueued : kVQJobAskReplaceActive;
    return queued ? kVQJobAlreadyQueued : kVQJobAlreadyActive;
}

std::string VQJobText(VQJobAction action, int upload, const std::string& progress, int* lines) {
    int n = 1;
    std::string text;
    switch (action) {
    case kVQJobAskIdle:
        n = 4;
        text = upload ? "Orvalo Desktop will upload the file\n(also after you exit the game).\n\n"
                        "Do you wish to upload the file?"
                      : "Orvalo Desktop will encode the file\n(also after you exit the game).\n\n"
                        "Do you wish to encode the file?";
        break;
    case kVQJobAskReplaceActive:
        n = 5;
        text = upload ? "Do you want to enqueue the selected file for upload?\nProgress indication of file currently "
                        "being uploaded will\nbe lost.\n\nCurrent upload progress: "
                      : "Do you want to enqueue the selected file for encoding?\nProgress indication of file "
                        "currently being encoded will\nbe lost.\n\nCurrent encoding progress: ";
        text += VQProgressText(progress);
        break;
    case kVQJobAskReplaceQueued:
        n = 2;
        text = upload ? "Only one file can be queued up for uploading at a time.\n"
                        "Proceeding to upload selected file may cancel the previous"
                      : "Only one file can be queued up for encoding at a time.\n"
                        "Proceeding to encode selected file may cancel the previous.";
        break;
    case kVQJobAlreadyActive:
        text = upload ? "You are already uploading this file." : "You are already encoding this file.";
        break;
    case kVQJobAlreadyQueued:
        n = 3;
        text = std::string("This file is already enqueued for ") + (upload ? "upload" : "encoding") +
               ".\nIf it does not start, make sure that Orvalo Desktop (desktop.exe)\nis running.";
        break;
    }
    if (lines) *lines = n;
    return text;
}

int VQNextCascade(int* counter) {
    int n = *counter;
    if (n < 0 || n > 5) n = 0;
    *counter = (n + 1) % 6;
    return n;
}

double VQStepZoom(double zoom, double factor, int sourceWidth, int sourceHeight) {
    double z = zoom * factor;
    if (!(z >= 10.0)) z = 10.0;  // also catches NaN
    if (z > 400.0) z = 400.0;
    const int side = std::max(sourceWidth, sourceHeight);
    if (side > 0) {
        const double most = kVQMaxShownSide * 100.0 / side;
        if (z > most) z = most;
    }
    return z;
}

double VQStepRate(double rate, double factor) {
    double r = rate * factor;
    if (!(r >= 1.0 / 64)) r = 1.0 / 64;
    if (r > 64.0) r = 64.0;
    return r;
}

std::string VQPlayerTitle(const std::string& path, double zoom, int64_t mediaMs) {
    if (mediaMs < 0) mediaMs = 0;
    const long long minutes = mediaMs / 60000;
    const int seconds = static_cast<int>(mediaMs / 1000 % 60);
    char tail[96];
    snprintf(tail, sizeof tail, ", size: %i%%, %02lld:%02d", static_cast<int>(zoom), minutes, seconds);
    return path + tail;
}

int VQFramesPerSecond(int64_t frames, int64_t framesBefore, int64_t elapsedMs) {
    if (elapsedMs < 1 || frames <= framesBefore) return 0;
    return static_cast<int>((frames - framesBefore) * 1000 / elapsedMs);
}

int VQScrollForSelection(int selected, int position, int page) {
    if (selected - position / 12 >= page / 12 - 1) return 12 * selected - page + 24;
    if (selected < position / 12) return 12 * selected;
    return position;
}

int VQRowAt(int y, int scroll) {
    const int offset = y + scroll - 12;
    return offset < 0 ? -1 : offset / 12;
}
