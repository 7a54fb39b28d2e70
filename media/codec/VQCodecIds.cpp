#include "VQCodecIds.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/pixfmt.h>
}

int VQCodecToLibrary(int codecId) {
    switch (codecId) {
    case kVQCodecWMV2: return AV_CODEC_ID_WMV2;
    case kVQCodecHuffYUV: return AV_CODEC_ID_HUFFYUV;
    case kVQCodecPCMS16LE: return AV_CODEC_ID_PCM_S16LE;
    case kVQCodecPCMS16BE: return AV_CODEC_ID_PCM_S16BE;
    case kVQCodecPCMU16LE: return AV_CODEC_ID_PCM_U16LE;
    case kVQCodecPCMU16BE: return AV_CODEC_ID_PCM_U16BE;
    case kVQCodecWMAV2: return AV_CODEC_ID_WMAV2;
    default: return AV_CODEC_ID_NONE;
    }
}

namespace {
struct PixelPair {
    int program;
    AVPixelFormat library;
};
const PixelPair kPixelFormats[] = {
    {kVQPixYUV420P, AV_PIX_FMT_YUV420P}, {kVQPixRGB24, AV_PIX_FMT_RGB24}, {kVQPixBGR24, AV_PIX_FMT_BGR24},
    {kVQPixYUV422P, AV_PIX_FMT_YUV422P}, {kVQPixRGB32, AV_PIX_FMT_RGB32}, {kVQPixRGB565, AV_PIX_FMT_RGB565},
    {kVQPixRGB555, AV_PIX_FMT_RGB555},   {kVQPixBGR32, AV_PIX_FMT_BGR32}, {kVQPixBGR565, AV_PIX_FMT_BGR565},
    {kVQPixBGR555, AV_PIX_FMT_BGR555},
};
}  // namespace

int VQPixelFormatToLibrary(int pixelFormat) {
    for (const PixelPair& pair : kPixelFormats)
        if (pair.program == pixelFormat) return pair.library;
    return AV_PIX_FMT_NONE;
}

int VQPixelFormatFromLibrary(int libraryFormat) {
    for (const PixelPair& pair : kPixelFormats)
        if (pair.library == libraryFormat) return pair.program;
    return -1;
}

int VQBytesPerPixel(int pixelFormat) {
    switch (pixelFormat) {
    case kVQPixRGB24:
    case kVQPixBGR24: return 3;
    case kVQPixRGB32:
    case kVQPixBGR32: return 4;
    case kVQPixRGB565:
    case kVQPixRGB555:
    case kVQPixBGR565:
    case kVQPixBGR555: return 2;
    default: return 1;
    }
}

bool VQIsReducible(int pixelFormat) { return VQBytesPerPixel(pixelFormat) > 1; }

bool VQIsRawPCM(int codecId) { return codecId >= kVQCodecPCMS16LE && codecId <= kVQCodecPCMU16BE; }
