#include "MediaTestUtil.h"

#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

namespace {
struct MemoryReader {
    const std::vector<uint8_t>* bytes;
    size_t position;
};

int ReadPacket(void* opaque, uint8_t* buf, int size) {
    MemoryReader* reader = static_cast<MemoryReader*>(opaque);
    size_t left = reader->bytes->size() - reader->position;
    if (left == 0) return AVERROR_EOF;
    size_t n = left < static_cast<size_t>(size) ? left : static_cast<size_t>(size);
    memcpy(buf, reader->bytes->data() + reader->position, n);
    reader->position += n;
    return static_cast<int>(n);
}

int64_t Seek(void* opaque, int64_t offset, int whence) {
    MemoryReader* reader = static_cast<MemoryReader*>(opaque);
    if (whence == AVSEEK_SIZE) return static_cast<int64_t>(reader->bytes->size());
    int64_t base = whence == SEEK_CUR   ? static_cast<int64_t>(reader->position)
                   : whence == SEEK_END ? static_cast<int64_t>(reader->bytes->size())
                                        : 0;
    int64_t to = base + offset;
    if (to < 0 || to > static_cast<int64_t>(reader->bytes->size())) return -1;
    reader->position = static_cast<size_t>(to);
    return to;
}
}  // namespace

std::vector<ContainerStream> ReadContainer(const std::vector<uint8_t>& bytes) {
    std::vector<ContainerStream> streams;
    MemoryReader reader = {&bytes, 0};
    uint8_t* buffer = static_cast<uint8_t*>(av_malloc(65536));
    AVIOContext* io = avio_alloc_context(buffer, 65536, 0, &reader, ReadPacket, nullptr, Seek);
    AVFormatContext* format = avformat_alloc_context();
    format->pb = io;
    if (avformat_open_input(&format, nullptr, nullptr, nullptr) == 0) {
        avformat_find_stream_info(format, nullptr);
        for (unsigned i = 0; i < format->nb_streams; i++) {
            const AVCodecParameters* p = format->streams[i]->codecpar;
            streams.push_back({p->codec_id, p->width, p->height, p->sample_rate, p->ch_layout.nb_channels, 0, {}, {}});
        }
        AVPacket* packet = av_packet_alloc();
        while (av_read_frame(format, packet) >= 0) {
            if (packet->stream_index >= 0 && packet->stream_index < static_cast<int>(streams.size())) {
                ContainerStream& s = streams[static_cast<size_t>(packet->stream_index)];
                s.packets++;
                s.times.push_back(packet->pts);
                s.data.emplace_back(packet->data, packet->data + packet->size);
            }
            av_packet_unref(packet);
        }
        av_packet_free(&packet);
        avformat_close_input(&format);
    } else {
        avformat_free_context(format);
    }
    av_freep(&io->buffer);
    avio_context_free(&io);
    return streams;
}

std::vector<ContainerStream> ReadContainerFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return {};
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(file);
    return ReadContainer(bytes);
}

std::vector<uint32_t> DecodeHuffYUV(const std::vector<uint8_t>& extradata, const uint8_t* data, int size, int width,
                                    int height) {
    std::vector<uint32_t> out;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_HUFFYUV);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    context->width = width;
    context->height = height;
    context->bits_per_coded_sample = 16;
    context->extradata = static_cast<uint8_t*>(av_mallocz(extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    memcpy(context->extradata, extradata.data(), extradata.size());
    context->extradata_size = static_cast<int>(extradata.size());
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<uint8_t> padded(static_cast<size_t>(size) + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    memcpy(padded.data(), data, static_cast<size_t>(size));
    packet->data = padded.data();
    packet->size = size;
    if (avcodec_open2(context, codec, nullptr) == 0 && avcodec_send_packet(context, packet) == 0 &&
        avcodec_receive_frame(context, frame) == 0) {
        out.resize(static_cast<size_t>(width) * height);
        SwsContext* sws = sws_getContext(width, height, static_cast<AVPixelFormat>(frame->format), width, height,
                                         AV_PIX_FMT_RGB32, SWS_POINT, nullptr, nullptr, nullptr);
        uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(out.data()), nullptr, nullptr, nullptr};
        int strides[4] = {width * 4, 0, 0, 0};
        sws_scale(sws, frame->data, frame->linesize, 0, height, planes, strides);
        sws_freeContext(sws);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    return out;
}

namespace {
// A triangle wave: smooth everywhere, so 4:2:2 colour sharing stays exact enough.
uint32_t Triangle(int v) {
    const int t = v % 510;
    return static_cast<uint32_t>(t < 256 ? t : 510 - t);
}
}  // namespace

uint32_t PictureBackground(int x, int y) {
    return 0xFF000000u | (Triangle(x * 3) << 16) | (Triangle(y * 2) << 8) | Triangle((x + y) / 2);
}

void DrawCounterPicture(uint8_t* pixels, int width, int height, int stride, uint32_t counter) {
    for (int y = 0; y < height; y++) {
        uint32_t* row = reinterpret_cast<uint32_t*>(pixels + static_cast<ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; x++) row[x] = PictureBackground(x, y);
    }
    for (int i = 0; i < 16; i++) {
        const uint32_t colour = (counter >> i) & 1 ? 0xFFFFFFFFu : 0xFF000000u;
        for (int y = 8; y < 16 && y < height; y++) {
            uint32_t* row = reinterpret_cast<uint32_t*>(pixels + static_cast<ptrdiff_t>(y) * stride);
            for (int x = 8 + 8 * i; x < 16 + 8 * i && x < width; x++) row[x] = colour;
        }
    }
}

uint32_t ReadCounter(const uint32_t* pixels, int width, int height) {
    uint32_t counter = 0;
    for (int i = 0; i < 16; i++) {
        const uint32_t p = pixels[12 * width + 12 + 8 * i];
        const int grey = static_cast<int>(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3;
        if (grey > 128) counter |= 1u << i;
    }
    return counter;
}
