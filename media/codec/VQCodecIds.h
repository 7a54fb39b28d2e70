#pragma once

// The program numbers codecs and pixel formats the way its recording files and
// settings always have (26 = HuffYUV, 6 = 32-bit RGB, ...); the numbers are
// translated to the codec library's own only here, at the library boundary.

// Codec ids of the program.
enum {
    kVQCodecNone = 0,
    kVQCodecWMV2 = 19,  // Windows Media Video 8
    kVQCodecHuffYUV = 26,
    kVQCodecPCMS16LE = 65536,  // 65536..65539: the 16-bit PCM variants, copied not encoded
    kVQCodecPCMS16BE = 65537,
    kVQCodecPCMU16LE = 65538,
    kVQCodecPCMU16BE = 65539,
    kVQCodecWMAV2 = 0x15009,  // Windows Media Audio 2
};

// Pixel-format codes of the program.
enum {
    kVQPixYUV420P = 0,
    kVQPixRGB24 = 2,
    kVQPixBGR24 = 3,
    kVQPixYUV422P = 4,
    kVQPixRGB32 = 6,  // 32-bit RGB in native order (bytes B, G, R, A on little-endian)
    kVQPixRGB565 = 9,
    kVQPixRGB555 = 10,
    kVQPixBGR32 = 22,
    kVQPixBGR565 = 23,
    kVQPixBGR555 = 24,
};

// Codec library id (AVCodecID) of a program codec id; 0 (none) when unknown.
int VQCodecToLibrary(int codecId);
// Codec library pixel format (AVPixelFormat) of a program code; -1 when unknown.
int VQPixelFormatToLibrary(int pixelFormat);
// Program code of a codec library pixel format; -1 when it has none.
int VQPixelFormatFromLibrary(int libraryFormat);
// 3 for 2 and 3; 4 for 6 and 22; 2 for 9, 10, 23, 24; 1 for anything else.
int VQBytesPerPixel(int pixelFormat);
// The packed RGB formats above can be reduced by decimation.
bool VQIsReducible(int pixelFormat);
// 65536..65539.
bool VQIsRawPCM(int codecId);
