#pragma once
#include <cstdint>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

// Makes out point at data (no reference taken) with the given key flag, time
// (pts and dts) and stream index: the encoders hand out views of the codec's
// own packets and buffers.
void VQViewPacket(AVPacket* out, const uint8_t* data, int size, int key, int64_t time, int streamIndex);

// Sends one frame to the encoder and takes the packet it gives back. The
// codec library's result: 0 with a packet, AVERROR(EAGAIN) when the codec
// holds the input back, another negative value on failure.
int VQEncodeFrame(AVCodecContext* codec, const AVFrame* frame, AVPacket* packet);
