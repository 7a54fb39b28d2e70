// Reads the export directory of the built d3d9.dll from the file itself.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestFiles.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

// Export name -> ordinal, from a PE image file of either architecture.
std::map<std::string, int> Exports(const std::vector<unsigned char>& file) {
    std::map<std::string, int> result;
    auto at = [&](size_t offset, size_t size) -> const unsigned char* {
        return offset + size <= file.size() ? file.data() + offset : nullptr;
    };
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(at(0, sizeof(IMAGE_DOS_HEADER)));
    if (!dos) return result;
    const unsigned char* nt = at(dos->e_lfanew, sizeof(IMAGE_NT_HEADERS32));
    if (!nt) return result;
    const IMAGE_FILE_HEADER* fh = reinterpret_cast<const IMAGE_FILE_HEADER*>(nt + 4);
    const unsigned char* opt = nt + 4 + sizeof(IMAGE_FILE_HEADER);
    WORD magic = *reinterpret_cast<const WORD*>(opt);
    IMAGE_DATA_DIRECTORY dir =
        magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC
            ? reinterpret_cast<const IMAGE_OPTIONAL_HEADER64*>(opt)->DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT]
            : reinterpret_cast<const IMAGE_OPTIONAL_HEADER32*>(opt)->DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const IMAGE_SECTION_HEADER* sections =
        reinterpret_cast<const IMAGE_SECTION_HEADER*>(opt + fh->SizeOfOptionalHeader);
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

}  // namespace

TEST(Proxy9Exports, NamesAndOrdinalsExactly) {
    // PROXY9_DLL_PATH names another build of the library (the shipped 32-bit one).
    const char* other = getenv("PROXY9_DLL_PATH");
    const char* path = other && *other ? other : PROXY9_DLL;
    const std::string bytes = TestReadFile(TestWindowsPath(path));
    std::vector<unsigned char> file(bytes.begin(), bytes.end());
    ASSERT_FALSE(file.empty()) << path;
    if (other && *other) {
        const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data());
        const IMAGE_FILE_HEADER* fh = reinterpret_cast<const IMAGE_FILE_HEADER*>(file.data() + dos->e_lfanew + 4);
        EXPECT_EQ(IMAGE_FILE_MACHINE_I386, fh->Machine) << "the shipped library is 32-bit";
    }
    const std::map<std::string, int> expected = {
        {"CheckFullscreen", 1},    {"Direct3DShaderValidatorCreate9", 2},
        {"PSGPError", 3},          {"PSGPSampleTexture", 4},
        {"D3DPERF_BeginEvent", 5}, {"D3DPERF_EndEvent", 6},
        {"D3DPERF_GetStatus", 7},  {"D3DPERF_QueryRepeatFrame", 8},
        {"D3DPERF_SetMarker", 9},  {"D3DPERF_SetOptions", 10},
        {"D3DPERF_SetRegion", 11}, {"DebugSetLevel", 12},
        {"DebugSetMute", 13},      {"Direct3DCreate9", 14},
        {"Direct3DCreate9Ex", 15}, {"KeyboardProcDI", 16},
        {"MouseProcDI", 17},
    };
    EXPECT_EQ(expected, Exports(file));
}
