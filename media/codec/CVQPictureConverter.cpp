#include "CVQPictureConverter.h"

#include <cstring>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include "VQCodecIds.h"
#include "VKLog.h"

CVQPictureConverter::CVQPictureConverter() : m_sws(nullptr), m_reduced(nullptr), m_reducedSize(0) {}

CVQPictureConverter::~CVQPictureConverter() { Free(); }

void CVQPictureConverter::Free() {
    sws_freeContext(m_sws);
    m_sws = nullptr;
    av_freep(&m_reduced);
    m_reducedSize = 0;
}

void CVQPictureConverter::Decimate(const uint8_t* src, int srcStride, int bytesPerPixel, int factor, uint8_t* dst,
                                   int dstStride, int outWidth, int outHeight) {
    const ptrdiff_t step = static_cast<ptrdiff_t>(bytesPerPixel) * factor;
    for (int y = 0; y < outHeight; y++) {
        const uint8_t* in = src + static_cast<ptrdiff_t>(y) * factor * srcStride;
        uint8_t* out = dst + static_cast<ptrdiff_t>(y) * dstStride;
        switch (bytesPerPixel) {
        case 4:
            for (int x = 0; x < outWidth; x++, in += step, out += 4) memcpy(out, in, 4);
            break;
        case 2:
            for (int x = 0; x < outWidth; x++, in += step, out += 2) memcpy(out, in, 2);
            break;
        default:
            for (int x = 0; x < outWidth; x++, in += step, out += bytesPerPixel) memcpy(out, in, bytesPerPixel);
        }
    }
}

int CVQPictureConverter::Convert(const uint8_t* src, int srcStride, int srcFormat, int factor, int outWidth,
                                 int outHeight, AVFrame* dst) {
    if (!src || !dst || outWidth <= 0 || outHeight <= 0) return 0;
    AVPixelFormat from = static_cast<AVPixelFormat>(VQPixelFormatToLibrary(srcFormat));
    if (from == AV_PIX_FMT_NONE) return 0;
    if (factor > 1 && VQIsReducible(srcFormat)) {
        const int bpp = VQBytesPerPixel(srcFormat);
        const int stride = outWidth * bpp;
        const int size = stride * outHeight;
        if (size > m_reducedSize) {
            av_freep(&m_reduced);
            m_reducedSize = 0;
            m_reduced = static_cast<uint8_t*>(av_malloc(static_cast<size_t>(size)));
            if (!m_reduced) return 0;
            m_reducedSize = size;
        }
        Decimate(src, srcStride, bpp, factor, m_reduced, stride, outWidth, outHeight);
        src = m_reduced;
        srcStride = stride;
    }
    m_sws = sws_getCachedContext(m_sws, outWidth, outHeight, from, outWidth, outHeight,
                                 static_cast<AVPixelFormat>(dst->format), SWS_POINT, nullptr, nullptr, nullptr);
    if (!m_sws) return 0;
    const uint8_t* planes[4] = {src, nullptr, nullptr, nullptr};
    int strides[4] = {srcStride, 0, 0, 0};
    return sws_scale(m_sws, planes, strides, 0, outHeight, dst->data, dst->linesize) == outHeight ? 1 : 0;
}
