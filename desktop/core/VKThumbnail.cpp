#include "VKThumbnail.h"

#include <cctype>
#include <csetjmp>
#include <cstdlib>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}
#include <jpeglib.h>

#include "CVKJobQueue.h"
#include "CVKRECDecoder.h"
#include "CVQFFmpegDecoder.h"
#include "CVQFFmpegLibrary.h"
#include "VQCodecIds.h"

int VKRecordingKindOf(const std::string& name) {
    if (name.size() < 3) return kVKNotRecording;
    std::string tail = name.substr(name.size() - 3);
    for (char& c : tail) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    if (tail == "rec") return kVKRec;
    if (tail == "wmv") return kVKWmv;
    if (tail == "avi") return kVKAvi;
    return kVKNotRecording;
}

void VKThumbnailSize(int w, int h, int* tw, int* th) {
    while (w > 320 && h > 240) {
        w /= 2;
        h /= 2;
    }
    *tw = w;
    *th = h;
}

std::vector<uint8_t> VKHalveRgb(const std::vector<uint8_t>& rgb, int w, int h, int* ow, int* oh) {
    *ow = w / 2;
    *oh = h / 2;
    std::vector<uint8_t> out(static_cast<size_t>(*ow) * *oh * 3);
    for (int y = 0; y < *oh; y++)
        for (int x = 0; x < *ow; x++)
            for (int c = 0; c < 3; c++) {
                const size_t a = (static_cast<size_t>(2 * y) * w + 2 * x) * 3 + c;
                const size_t b = a + static_cast<size_t>(w) * 3;
                out[(static_cast<size_t>(y) * *ow + x) * 3 + c] =
                    static_cast<uint8_t>((rgb[a] + rgb[a + 3] + rgb[b] + rgb[b + 3] + 2) / 4);
            }
    return out;
}

namespace {
struct JpegErrors {
    jpeg_error_mgr base;
    jmp_buf jump;
};
void JpegFail(j_common_ptr info) { longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1); }
void JpegQuiet(j_common_ptr) {}
}  // namespace

bool VKEncodeJpeg(const uint8_t* rgb, int w, int h, int quality, std::string* out) {
    if (!rgb || w <= 0 || h <= 0) return false;
    jpeg_compress_struct info;
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = JpegFail;
    errors.base.output_message = JpegQuiet;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        free(buffer);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(w);
    info.image_height = static_cast<JDIMENSION>(h);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<size_t>(info.next_scanline) * w * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    out->assign(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&info);
    free(buffer);
    return true;
}

namespace {
bool ReadRecFrame(const std::string& path, int frame, int* w, int* h, std::vector<uint8_t>* rgb) {
    CVKRECDecoder reader;
    reader.SetOutputFormat(kVQPixRGB24);
    if (!reader.Open(path.c_str()) || !reader.SeekVideoSample(frame)) return false;
    AVPacket* packet = av_packet_alloc();
    int64_t time = 0;
    const uint8_t* picture =
        packet && reader.ReadSampleVideo(packet, &time) ? reader.DecodeVideoSample(packet) : nullptr;
    av_packet_free(&packet);
    if (!picture) return false;
    *w = static_cast<int>(reader.width);
    *h = static_cast<int>(reader.height);
    rgb->assign(picture, picture + static_cast<size_t>(*w) * *h * 3);
    return true;
}

bool ReadWmvFrame(const std::string& path, int frame, int* w, int* h, std::vector<uint8_t>* rgb) {
    CVQFFmpegDecoder decoder;
    decoder.SetFileName(path.c_str());
    decoder.SetOutputPixelFormat(kVQPixRGB24);
    if (!decoder.Open() || !decoder.HasVideo()) return false;
    int seen = -1;
    const uint8_t* data = nullptr;
    int size = 0;
    for (int calls = 0; seen < frame && !decoder.IsAtEnd() && calls < 1000000; calls++) {
        decoder.Process();
        if (decoder.GetPicture(&data, &size)) seen++;
    }
    if (seen != frame || !data) return false;
    *w = decoder.GetWidth();
    *h = decoder.GetHeight();
    rgb->assign(data, data + static_cast<size_t>(*w) * *h * 3);
    return true;
}

// Any container the codec library reads (the AVI recordings).
bool ReadOtherFrame(const std::string& path, int frame, int* w, int* h, std::vector<uint8_t>* rgb) {
    if (!InitCodecLibrary()) return false;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return false;
    bool ok = false;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* decoded = av_frame_alloc();
    const int index = avformat_find_stream_info(format, nullptr) >= 0
                          ? av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0)
                          : -1;
    if (index >= 0 && packet && decoded) {
        const AVCodecParameters* p = format->streams[index]->codecpar;
        const AVCodec* decoder = avcodec_find_decoder(p->codec_id);
        codec = decoder ? avcodec_alloc_context3(decoder) : nullptr;
        if (codec && avcodec_parameters_to_context(codec, p) >= 0 && avcodec_open2(codec, decoder, nullptr) >= 0) {
            int seen = -1;
            while (!ok && av_read_frame(format, packet) >= 0) {
                if (packet->stream_index == index && avcodec_send_packet(codec, packet) >= 0)
                    while (!ok && avcodec_receive_frame(codec, decoded) >= 0) {
                        if (++seen == frame && decoded->width > 0 && decoded->height > 0 && decoded->width <= 16384 &&
                            decoded->height <= 16384) {
                            *w = decoded->width;
                            *h = decoded->height;
                            rgb->assign(static_cast<size_t>(*w) * *h * 3, 0);
                            SwsContext* sws =
                                sws_getContext(*w, *h, static_cast<AVPixelFormat>(decoded->format), *w, *h,
                                               AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
                            uint8_t* planes[4] = {rgb->data(), nullptr, nullptr, nullptr};
                            int strides[4] = {*w * 3, 0, 0, 0};
                            ok = sws && sws_scale(sws, decoded->data, decoded->linesize, 0, *h, planes, strides) == *h;
                            sws_freeContext(sws);
                        }
                        av_frame_unref(decoded);
                    }
                av_packet_unref(packet);
            }
        }
    }
    avcodec_free_context(&codec);
    av_frame_free(&decoded);
    av_packet_free(&packet);
    avformat_close_input(&format);
    return ok;
}
}  // namespace

bool VKReadFrame(const std::string& path, int frame, int* w, int* h, std::vector<uint8_t>* rgb) {
    if (frame < 0) return false;
    switch (VKRecordingKindOf(path)) {
    case kVKRec: return ReadRecFrame(path, frame, w, h, rgb);
    case kVKWmv: return ReadWmvFrame(path, frame, w, h, rgb);
    case kVKAvi: return ReadOtherFrame(path, frame, w, h, rgb);
    default: return false;
    }
}

bool MakeThumbnail(const std::string& folder, const std::string& fileName, int frame) {
    const std::string path = folder + fileName;
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    if (!VKReadFrame(path, frame, &w, &h, &rgb)) return false;
    while (w > 320 && h > 240) rgb = VKHalveRgb(rgb, w, h, &w, &h);
    std::string jpeg;
    if (!VKEncodeJpeg(rgb.data(), w, h, 85, &jpeg)) return false;
    FILE* f = fopen(VKReplaceExtension(path, ".jpg").c_str(), "wb");
    if (!f) return false;
    const bool written = fwrite(jpeg.data(), 1, jpeg.size(), f) == jpeg.size();
    return fclose(f) == 0 && written;
}

std::vector<std::string> VKCompanionFiles(const std::string& path,
                                          const std::function<bool(const std::string&)>& exists) {
    std::vector<std::string> files;
    const int kind = VKRecordingKindOf(path);
    const std::string jpg = VKReplaceExtension(path, ".jpg");
    if (kind == kVKRec || kind == kVKAvi) {
        const std::string di = VKReplaceExtension(path, ".di");
        if (exists(di)) files.push_back(di);
        if (exists(jpg) && !exists(VKReplaceExtension(path, ".wmv"))) files.push_back(jpg);
    } else if (kind == kVKWmv) {
        if (exists(jpg) && !exists(VKReplaceExtension(path, ".rec")) && !exists(VKReplaceExtension(path, ".avi")))
            files.push_back(jpg);
    }
    return files;
}
