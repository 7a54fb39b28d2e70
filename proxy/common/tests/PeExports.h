// Reads the export directory of a PE image file (either architecture) from
// its bytes, for the tests of the proxies' export tables.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

// Export name -> ordinal; empty when the file is not a readable image.
inline std::map<std::string, int> PeExports(const std::vector<unsigned char>& file) {
    std::map<std::string, int> result;
    auto at = [&](size_t offset, size_t size) -> const unsigned char* {
        return offset <= file.size() && size <= file.size() - offset ? file.data() + offset : nullptr;
    };
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(at(0, sizeof(IMAGE_DOS_HEADER)));
    if (!dos) return result;
    const unsigned char* nt = at(dos->e_lfanew, sizeof(IMAGE_NT_HEADERS64));
    if (!nt) return result;
    const IMAGE_FILE_HEADER* fh = reinterpret_cast<const IMAGE_FILE_HEADER*>(nt + 4);
    const unsigned char* opt = nt + 4 + sizeof(IMAGE_FILE_HEADER);
    WORD magic = *reinterpret_cast<const WORD*>(opt);
    IMAGE_DATA_DIRECTORY dir =
        magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC
            ? reinterpret_cast<const IMAGE_OPTIONAL_HEADER64*>(opt)->DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT]
            : reinterpret_cast<const IMAGE_OPTIONAL_HEADER32*>(opt)->DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const size_t sectionsAt = static_cast<size_t>(opt - file.data()) + fh->SizeOfOptionalHeader;
    const IMAGE_SECTION_HEADER* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
        at(sectionsAt, sizeof(IMAGE_SECTION_HEADER) * fh->NumberOfSections));
    if (!sections) return result;
    auto rvaToOffset = [&](DWORD rva) -> size_t {
        for (int i = 0; i < fh->NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return static_cast<size_t>(-1);
    };
    const IMAGE_EXPORT_DIRECTORY* ed = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
        at(rvaToOffset(dir.VirtualAddress), sizeof(IMAGE_EXPORT_DIRECTORY)));
    if (!ed) return result;
    for (DWORD i = 0; i < ed->NumberOfNames; ++i) {
        const DWORD* nameRva = reinterpret_cast<const DWORD*>(at(rvaToOffset(ed->AddressOfNames) + 4 * i, 4));
        const WORD* ordinal = reinterpret_cast<const WORD*>(at(rvaToOffset(ed->AddressOfNameOrdinals) + 2 * i, 2));
        if (!nameRva || !ordinal) break;
        const char* name = reinterpret_cast<const char*>(at(rvaToOffset(*nameRva), 1));
        if (name) result[name] = *ordinal + static_cast<int>(ed->Base);
    }
    return result;
}

// The machine field of the image's file header, or 0.
inline WORD PeMachine(const std::vector<unsigned char>& file) {
    if (file.size() < sizeof(IMAGE_DOS_HEADER)) return 0;
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data());
    if (dos->e_lfanew < 0 || static_cast<size_t>(dos->e_lfanew) + 4 + sizeof(IMAGE_FILE_HEADER) > file.size()) return 0;
    return reinterpret_cast<const IMAGE_FILE_HEADER*>(file.data() + dos->e_lfanew + 4)->Machine;
}
