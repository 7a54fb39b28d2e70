#pragma once
#include <string>

#include "IVKFileSystem.h"

// The HUD's files in a game's binaries folder: which of them are inserted,
// and their insertion and removal. The desktop program and DllPlacer.exe
// share this code. The program folder holds one copy of each file for the
// program's own architecture, and the other architecture's copies in the
// sub-folder "x64" (32-bit program) or "x86" (64-bit program); a game gets
// the set that matches its executables.
class CVKHudInstaller {
public:
    enum Bits {
        kNoteBit = 0x0001,
        kD3D8Bit = 0x0010,
        kD3D9Bit = 0x0020,
        kDInputBit = 0x0100,
        kCodecBit = 0x1000,
        kFormatBit = 0x2000,
        kUtilBit = 0x4000,
    };
    static const char* const kNoteFile;

    CVKHudInstaller(IVKFileSystem* fs, const std::string& programFolder);

    // The folder whose copies match the game in binFolder.
    std::string SourceFolder(const std::string& binFolder);

    // The OR of the bits of the files that count as inserted; *inserted is
    // set when any library bit is (the note file alone does not count). An
    // outdated copy that we placed (note file present, older version than
    // ours) is deleted on the way; failures are added to *messages.
    unsigned HudStatus(const std::string& binFolder, bool* inserted, std::string* messages);

    // Copies the mask's libraries and writes the note file. 1 on success;
    // 0 with the reason in *messages.
    int Insert(const std::string& binFolder, unsigned mask, std::string* messages);
    // Deletes the mask's files that we placed; a file of the game's own is
    // never deleted (the reason is added to *messages). 1 when every file to
    // remove is gone.
    int Remove(const std::string& binFolder, unsigned mask, std::string* messages);

    // The note file's bytes: one sentence and a terminating zero.
    static std::string NoteText();

private:
    struct Library;
    static const Library kLibraries[];
    bool Ours(const std::string& source, const std::string& placed, bool notePresent);
    bool DeleteOurs(const std::string& binFolder, const std::string& source, const std::string& name, bool notePresent,
                    std::string* messages);

    IVKFileSystem* m_fs;
    std::string m_programFolder;
};

// The machine field of a PE image's header (0x14C for 32-bit x86, 0x8664
// for x64), or 0 when bytes are not a PE image.
unsigned PeMachine(const std::string& bytes);
