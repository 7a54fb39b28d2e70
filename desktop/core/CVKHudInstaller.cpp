#include "CVKHudInstaller.h"

#include <vector>

#include "VKDesktopPaths.h"

const char* const CVKHudInstaller::kNoteFile = "orvalo.txt";

// A library and the files that travel with it (the codec library needs the
// scaling and resampling libraries beside it).
struct CVKHudInstaller::Library {
    const char* name;
    unsigned bit;
    const char* companions[2];
};

const CVKHudInstaller::Library CVKHudInstaller::kLibraries[] = {
    {"d3d8.dll", kD3D8Bit, {nullptr, nullptr}},
    {"d3d9.dll", kD3D9Bit, {nullptr, nullptr}},
    {"dinput8.dll", kDInputBit, {nullptr, nullptr}},
    {"avcodec-59.dll", kCodecBit, {"swscale-6.dll", "swresample-4.dll"}},
    {"avformat-59.dll", kFormatBit, {nullptr, nullptr}},
    {"avutil-57.dll", kUtilBit, {nullptr, nullptr}},
};

static const unsigned kCodecSet = CVKHudInstaller::kCodecBit | CVKHudInstaller::kFormatBit | CVKHudInstaller::kUtilBit;

CVKHudInstaller::CVKHudInstaller(IVKFileSystem* fs, const std::string& programFolder)
    : m_fs(fs), m_programFolder(programFolder) {
    if (!m_programFolder.empty() && m_programFolder.back() == '\\') m_programFolder.pop_back();
}

unsigned PeMachine(const std::string& bytes) {
    if (bytes.size() < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') return 0;
    auto u8 = [&](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])); };
    size_t pe = u8(0x3C) | u8(0x3D) << 8 | u8(0x3E) << 16 | static_cast<size_t>(u8(0x3F)) << 24;
    if (pe > bytes.size() || bytes.size() - pe < 6) return 0;
    if (bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return 0;
    return u8(pe + 4) | u8(pe + 5) << 8;
}

std::string CVKHudInstaller::SourceFolder(const std::string& binFolder) {
    const bool self64 = sizeof(void*) == 8;
    std::vector<VKDirEntry> exes;
    std::string folder = binFolder;
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    m_fs->List(folder + "\\*.exe", &exes);
    bool any = false, game64 = false;
    for (const VKDirEntry& e : exes) {
        if (e.directory) continue;
        std::string head;
        if (!m_fs->ReadFile(folder + "\\" + e.name, 4096, &head)) continue;
        unsigned machine = PeMachine(head);
        if (machine == 0x8664) {
            game64 = true;
            any = true;
        } else if (machine == 0x14C) {
            any = true;
        }
    }
    if (!any || game64 == self64) return m_programFolder;
    return m_programFolder + (game64 ? "\\x64" : "\\x86");
}

std::string CVKHudInstaller::NoteText() {
    std::string text =
        "Orvalo HUD placed its files here: to remove it from this game, delete this file and d3d8.dll, d3d9.dll, "
        "dinput8.dll, avcodec-59.dll, swscale-6.dll, swresample-4.dll, avformat-59.dll and avutil-57.dll.";
    text.push_back('\0');
    return text;
}

unsigned CVKHudInstaller::HudStatus(const std::string& binFolder, bool* inserted, std::string* messages) {
    unsigned status = 0;
    *inserted = false;
    if (binFolder.empty() || !m_fs->IsDirectory(binFolder)) return 0;
    if (m_fs->Exists(JoinPath(binFolder, kNoteFile, m_fs))) status |= kNoteBit;
    std::string source = SourceFolder(binFolder);
    for (const Library& lib : kLibraries) {
        std::vector<const char*> names{lib.name};
        for (const char* c : lib.companions)
            if (c) names.push_back(c);
        bool all = true;
        for (const char* name : names) {
            std::string placed = JoinPath(binFolder, name, m_fs);
            std::string ours = source + "\\" + name;
            if (!m_fs->Exists(placed) || !m_fs->Exists(ours)) {
                all = false;
                continue;
            }
            if (m_fs->SameFile(ours, placed)) continue;
            all = false;
            uint64_t mine = 0, theirs = 0;
            if ((status & kNoteBit) && m_fs->FileVersion(ours, &mine) &&
                (!m_fs->FileVersion(placed, &theirs) || mine > theirs)) {
                if (!m_fs->Delete(placed)) *messages += "Failed to delete old DLL: " + placed + "\n";
            }
        }
        if (all) status |= lib.bit;
    }
    *inserted = status > 1;
    return status;
}

int CVKHudInstaller::Insert(const std::string& binFolder, unsigned mask, std::string* messages) {
    if (binFolder.empty() || !m_fs->IsDirectory(binFolder)) {
        *messages += "Please specify a binaries folder!";
        return 0;
    }
    std::string source = SourceFolder(binFolder);
    for (const Library& lib : kLibraries) {
        std::vector<const char*> names{lib.name};
        for (const char* c : lib.companions)
            if (c) names.push_back(c);
        for (const char* name : names) {
            std::string placed = JoinPath(binFolder, name, m_fs);
            if (m_fs->Exists(placed) && !m_fs->SameFile(source + "\\" + name, placed)) {
                *messages +=
                    "Failed to insert DLLs:\nThe DLLs already exist in the bin folder!\nTry to 'Remove All' first.";
                return 0;
            }
        }
    }
    unsigned wanted = 0;
    if (mask & kD3D8Bit) wanted |= kD3D8Bit | kCodecSet;
    if (mask & kD3D9Bit) wanted |= kD3D9Bit | kCodecSet;
    if (mask & kDInputBit) wanted |= kDInputBit;
    int ok = 1;
    for (const Library& lib : kLibraries) {
        if (!(wanted & lib.bit)) continue;
        std::vector<const char*> names{lib.name};
        for (const char* c : lib.companions)
            if (c) names.push_back(c);
        for (const char* name : names) {
            std::string from = source + "\\" + name;
            std::string to = JoinPath(binFolder, name, m_fs);
            if (!m_fs->Exists(from)) continue;  // not shipped in this build (a proxy still to come)
            if (m_fs->Exists(to)) continue;     // already our identical copy (checked above)
            if (!m_fs->Copy(from, to)) {
                *messages += "Failed to copy " + from + " to " + to + "\n";
                ok = 0;
            }
        }
    }
    if (!m_fs->WriteFile(JoinPath(binFolder, kNoteFile, m_fs), NoteText())) {
        *messages += "Failed to write " + JoinPath(binFolder, kNoteFile, m_fs) + "\n";
        ok = 0;
    }
    return ok;
}

// A placed file is ours when it is identical to our copy, or when the note
// file says we placed files here and the file carries our version line (an
// older or newer copy of ours). A game's own Direct3D runtime carries the
// system's version, or none, and is never taken for ours.
bool CVKHudInstaller::Ours(const std::string& source, const std::string& placed, bool notePresent) {
    if (m_fs->SameFile(source, placed)) return true;
    uint64_t mine = 0, theirs = 0;
    if (!notePresent || !m_fs->FileVersion(source, &mine) || !m_fs->FileVersion(placed, &theirs)) return false;
    return theirs < mine || (theirs >> 48) == (mine >> 48);
}

bool CVKHudInstaller::DeleteOurs(const std::string& binFolder, const std::string& source, const std::string& name,
                                 bool notePresent, std::string* messages) {
    std::string placed = JoinPath(binFolder, name, m_fs);
    if (!m_fs->Exists(placed)) return true;
    if (!Ours(source + "\\" + name, placed, notePresent)) {
        *messages += "Kept " + placed + ": it is the game's own file, not a copy placed by Orvalo HUD.\n";
        return true;
    }
    if (!m_fs->Delete(placed)) {
        *messages += "Failed to delete file: " + placed + "\n";
        return false;
    }
    return true;
}

int CVKHudInstaller::Remove(const std::string& binFolder, unsigned mask, std::string* messages) {
    if (binFolder.empty() || !m_fs->IsDirectory(binFolder)) {
        *messages += "Please specify a binaries folder!";
        return 0;
    }
    std::string source = SourceFolder(binFolder);
    bool note = m_fs->Exists(JoinPath(binFolder, kNoteFile, m_fs));
    int ok = 1;
    auto removeCodecs = [&]() {
        for (const Library& lib : kLibraries) {
            if (!(lib.bit & kCodecSet)) continue;
            ok &= DeleteOurs(binFolder, source, lib.name, note, messages) ? 1 : 0;
            for (const char* c : lib.companions)
                if (c) ok &= DeleteOurs(binFolder, source, c, note, messages) ? 1 : 0;
        }
    };
    // The codec libraries stay while either Direct3D proxy remains.
    if (mask & kD3D8Bit) {
        ok &= DeleteOurs(binFolder, source, "d3d8.dll", note, messages) ? 1 : 0;
        if (!m_fs->Exists(JoinPath(binFolder, "d3d9.dll", m_fs))) removeCodecs();
    }
    if (mask & kD3D9Bit) {
        ok &= DeleteOurs(binFolder, source, "d3d9.dll", note, messages) ? 1 : 0;
        if (!m_fs->Exists(JoinPath(binFolder, "d3d8.dll", m_fs))) removeCodecs();
    }
    if (mask & kDInputBit) ok &= DeleteOurs(binFolder, source, "dinput8.dll", note, messages) ? 1 : 0;
    if (mask & kNoteBit) {
        std::string notePath = JoinPath(binFolder, kNoteFile, m_fs);
        if (m_fs->Exists(notePath) && !m_fs->Delete(notePath)) {
            *messages += "Failed to delete file: " + notePath + "\n";
            ok = 0;
        }
    }
    return ok;
}
