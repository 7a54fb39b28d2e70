#include "VQCodecPacket.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

void VQViewPacket(AVPacket* out, const uint8_t* data, int size, int key, int64_t time, int streamIndex) {
    av_packet_unref(out);
    out->data = const_cast<uint8_t*>(data);
    out->size = size;
    out->flags = key ? AV_PKT_FLAG_KEY : 0;
    out->pts = out->dts = time;
    out->stream_index = streamIndex;
    out->duration = 0;
}

int VQEncodeFrame(AVCodecContext* codec, const AVFrame* frame, AVPacket* packet) {
    av_packet_unref(packet);
    int result = avcodec_send_frame(codec, frame);
    if (result >= 0) result = avcodec_receive_packet(codec, packet);
    return result;
}
