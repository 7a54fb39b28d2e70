#pragma once
#include <windows.h>

#include <string>

// A JPEG picture decoded and scaled to width x height as a bitmap of the
// screen's kind (for image lists); null when the bytes are no readable JPEG.
HBITMAP JpegToBitmap(const std::string& bytes, int width, int height);
