// The Direct3D formats as the HUD reads and records them: the layout a
// locked surface is read with, and the codec format a recording's frames are
// sized by, must both match the format's real pixel size, or frames are read
// or written past their rows.
#include <gtest/gtest.h>

#include <string>

#include "CVKPixels.h"
#include "CVQSurface.h"
#include "LogCapture.h"

namespace {
// Bits per pixel of the Direct3D formats met in back buffers and pictures.
uint32_t Direct3DBitsPerPixel(uint32_t format) {
    switch (format) {
    case 20:  // R8G8B8
        return 24;
    case 21:  // A8R8G8B8
    case 22:  // X8R8G8B8
    case 31:  // A2B10G10R10
    case 32:  // A8B8G8R8
    case 33:  // X8B8G8R8
        return 32;
    case 23:  // R5G6B5
    case 24:  // X1R5G5B5
    case 25:  // A1R5G5B5
    case 26:  // A4R4G4B4
    case 29:  // A8R3G3B2
    case 30:  // X4R4G4B4
        return 16;
    case 27:  // R3G3B2
    case 28:  // A8
    case 50:  // L8
        return 8;
    default: return 0;
    }
}
}  // namespace

TEST(PixelFormats, EveryReadableFormatIsReadWithItsPixelSize) {
    for (uint32_t format = 0; format < 256; ++format) {
        const uint32_t layout = CVKPixels::LayoutOfFormat(format);
        if (layout) {
            EXPECT_EQ(Direct3DBitsPerPixel(format), CVKPixels::BitsPerPixel(layout)) << "format " << format;
        }
    }
}

TEST(PixelFormats, EveryRecordedFormatIsReadableAndSizedAlike) {
    LogCapture log;
    int refused = 0;
    for (uint32_t format = 0; format < 256; ++format) {
        int codec = 1234;
        if (!CVQSurface::MapBackBufferPixelFormat(format, &codec)) {
            // Refused: the codec format is untouched (A2B10G10R10 is known and says -1).
            EXPECT_EQ(format == 31 ? -1 : 1234, codec) << "format " << format;
            if (format != 31) ++refused;
            continue;
        }
        const uint32_t layout = CVKPixels::LayoutOfFormat(format);
        ASSERT_NE(0u, layout) << "format " << format << " is recorded but cannot be read";
        EXPECT_EQ(CVKPixels::BitsPerPixel(layout), 8u * CVQSurface::BytesPerPixelOfCodecFormat(codec))
            << "format " << format;
    }
    // The back buffers games present in are all recorded.
    for (uint32_t format : {21u, 22u, 23u, 24u, 25u})
        EXPECT_EQ(1, CVQSurface::MapBackBufferPixelFormat(format, nullptr));
    // Each refusal but the known one is logged with its number; no codec format is needed to ask.
    EXPECT_EQ(refused, log.Count("CVQSurface::MapBackBufferPixelFormat(): Illegal backbuffer pixelformat: "));
    EXPECT_EQ(1, log.Count("Illegal backbuffer pixelformat: 27\r\n"));
    EXPECT_EQ(0, log.Count("Illegal backbuffer pixelformat: 31\r\n"));
}
