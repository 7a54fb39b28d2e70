#pragma once
#include <cstdint>

struct AVFrame;
struct SwsContext;

// The picture path of every encoder: raw packed pixels (any row stride),
// optionally reduced by an integer factor through nearest-neighbour
// decimation, then converted to the codec's pixel format. The work buffers
// are made on first use and kept until the size or the formats change.
class CVQPictureConverter {
public:
    CVQPictureConverter();
    ~CVQPictureConverter();
    CVQPictureConverter(const CVQPictureConverter&) = delete;
    CVQPictureConverter& operator=(const CVQPictureConverter&) = delete;

    // src: the top-left pixel; srcStride: bytes between rows; srcFormat: the
    // program's pixel-format code. The output is outWidth x outHeight taken
    // from every factor-th pixel of every factor-th row (factor 1: the
    // top-left outWidth x outHeight pixels). dst must have its buffers, in a
    // codec library pixel format, of at least that size. 1 or 0.
    int Convert(const uint8_t* src, int srcStride, int srcFormat, int factor, int outWidth, int outHeight,
                AVFrame* dst);
    void Free();

    // Nearest-neighbour decimation of packed pixels; platform-free and exact.
    static void Decimate(const uint8_t* src, int srcStride, int bytesPerPixel, int factor, uint8_t* dst, int dstStride,
                         int outWidth, int outHeight);

private:
    SwsContext* m_sws;
    uint8_t* m_reduced;
    int m_reducedSize;
};
