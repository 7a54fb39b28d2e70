#include "CVKRECDecoder.h"

#include <cerrno>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include "CVQFFmpegLibrary.h"
#include "VQCodecIds.h"
#include "VKLog.h"

namespace {
int Seek64(FILE* file, int64_t offset, int whence) {
#ifdef _WIN32
    return _fseeki64(file, offset, whence);
#else
    return fseeko(file, offset, whence);
#endif
}
int64_t Tell64(FILE* file) {
#ifdef _WIN32
    return _ftelli64(file);
#else
    return ftello(file);
#endif
}
}  // namespace

CVKRECDecoder::CVKRECDecoder()
    : backBufferFormat(0),
      width(0),
      height(0),
      channels(0),
      sampleRate(0),
      bitsPerSample(0),
      audioBufferBytes(0),
      m_fileSize(0),
      m_position(0),
      m_file(nullptr),
      m_videoPool(nullptr),
      m_videoPoolSize(0),
      m_audio(nullptr),
      m_audioCapacity(0),
      m_codec(nullptr),
      m_outputFormat(kVQPixRGB32),
      m_threads(1),
      m_decoded(nullptr),
      m_output(nullptr),
      m_outputSize(0),
      m_outputStride(0),
      m_sws(nullptr),
      m_packet(nullptr) {}

CVKRECDecoder::~CVKRECDecoder() { Close(); }

void CVKRECDecoder::Close() {
    if (m_file) fclose(m_file);
    m_file = nullptr;
    m_fileSize = m_position = 0;
    av_buffer_pool_uninit(&m_videoPool);  // packets still held keep their buffers
    m_videoPoolSize = 0;
    av_freep(&m_audio);
    m_audioCapacity = 0;
    avcodec_free_context(&m_codec);
    av_frame_free(&m_decoded);
    av_packet_free(&m_packet);
    av_freep(&m_output);
    m_outputSize = m_outputStride = 0;
    sws_freeContext(m_sws);
    m_sws = nullptr;
    backBufferFormat = width = height = sampleRate = audioBufferBytes = 0;
    channels = bitsPerSample = 0;
}

int CVKRECDecoder::ReadExact(void* buffer, uint64_t n) {
    if (n > static_cast<uint64_t>(Left())) return 0;
    if (n && fread(buffer, 1, static_cast<size_t>(n), m_file) != n) {
        // Keep the position true to the stream after a failed read.
        int64_t at = Tell64(m_file);
        if (at >= 0) m_position = at;
        return 0;
    }
    m_position += static_cast<int64_t>(n);
    return 1;
}

int CVKRECDecoder::Skip(uint64_t n) {
    if (n > static_cast<uint64_t>(Left())) return 0;
    if (Seek64(m_file, static_cast<int64_t>(n), SEEK_CUR) != 0) return 0;
    m_position += static_cast<int64_t>(n);
    return 1;
}

int CVKRECDecoder::Grow(uint8_t** buffer, uint32_t* capacity, uint64_t size) {
    if (size <= *capacity) return 1;
    if (size > UINT32_MAX) return 0;
    uint8_t* grown = static_cast<uint8_t*>(av_realloc(*buffer, static_cast<size_t>(size)));
    if (!grown) return 0;
    *buffer = grown;
    *capacity = static_cast<uint32_t>(size);
    return 1;
}

int CVKRECDecoder::Open(const char* path) {
    Close();
    m_file = fopen(path, "rb");
    if (!m_file) {
        LogMessage("CVKRECDecoder::Open(): File not found (%d)\r\n", errno);
        return 0;
    }
    m_fileName.Set(path);
    if (Seek64(m_file, 0, SEEK_END) != 0 || (m_fileSize = Tell64(m_file)) < 0 || Seek64(m_file, 0, SEEK_SET) != 0) {
        LogMessage("CVKRECDecoder::Open(): File not found (%d)\r\n", errno);
        Close();
        return 0;
    }
    m_position = 0;
    uint8_t raw[kVQRecHeaderSize];
    VQRecHeader header;
    if (!ReadExact(raw, 8) || !ReadExact(raw + 8, kVQRecHeaderSize - 8) || !VQRecGetHeader(raw, &header)) {
        LogMessage("CVKRECDecoder::Open(): Illegal file format\r\n");
        Close();
        return 0;
    }
    if (!VQRecHeaderIsSane(header) || header.codecDataSize > static_cast<uint64_t>(Left())) {
        LogMessage("CVKRECDecoder::Open(): Illegal file format\r\n");
        Close();
        return 0;
    }
    backBufferFormat = header.backBufferFormat;
    width = header.width;
    height = header.height;
    channels = header.channels;
    sampleRate = header.sampleRate;
    bitsPerSample = header.bitsPerSample;
    audioBufferBytes = header.audioBufferBytes;
    uint8_t* codecData = static_cast<uint8_t*>(av_mallocz(header.codecDataSize + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!codecData || !ReadExact(codecData, header.codecDataSize)) {
        av_free(codecData);
        LogMessage("CVKRECDecoder::Open(): Illegal file format\r\n");
        Close();
        return 0;
    }
    InitCodecLibrary();
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_HUFFYUV);
    if (!codec) {
        av_free(codecData);
        LogMessage("CVKRECDecoder::Open(): CODEC_ID_HUFFYUV not found\r\n");
        Close();
        return 0;
    }
    m_codec = avcodec_alloc_context3(codec);
    if (!m_codec) {
        av_free(codecData);
        Close();
        return 0;
    }
    m_codec->bit_rate = 0;
    m_codec->width = static_cast<int>(width);
    m_codec->height = static_cast<int>(height);
    m_codec->bits_per_coded_sample = 16;
    m_codec->extradata = codecData;  // the context frees it
    m_codec->extradata_size = static_cast<int>(header.codecDataSize);
    m_codec->pix_fmt = AV_PIX_FMT_YUV422P;
    m_codec->thread_count = m_threads;
    m_codec->thread_type = FF_THREAD_FRAME;
    if (avcodec_open2(m_codec, codec, nullptr) < 0) {
        LogMessage("CVKRECDecoder::Open(): Failed to open video codec\r\n");
        Close();
        return 0;
    }
    const AVPixelFormat out = static_cast<AVPixelFormat>(VQPixelFormatToLibrary(m_outputFormat));
    m_decoded = av_frame_alloc();
    m_packet = av_packet_alloc();
    const int size = out == AV_PIX_FMT_NONE ? -1 : av_image_get_buffer_size(out, m_codec->width, m_codec->height, 1);
    m_output = size > 0 ? static_cast<uint8_t*>(av_malloc(static_cast<size_t>(size))) : nullptr;
    if (!m_decoded || !m_packet || !m_output) {
        LogMessage("CVKRECDecoder::Open(): Failed to open video codec\r\n");
        Close();
        return 0;
    }
    m_outputSize = size;
    m_outputStride = av_image_get_linesize(out, m_codec->width, 0);
    return 1;
}

int CVKRECDecoder::PeekRecord(char tag) {
    // The fixed part of the record must be there and announce a payload that
    // the file holds completely; the position is left on the fixed part.
    const uint64_t fixed = tag == 'A' ? 4 : 16;
    uint8_t raw[16];
    const int64_t at = m_position;
    if (!ReadExact(raw, fixed)) return 0;
    const uint32_t size = VQGetLE32(raw + fixed - 4);
    if (Seek64(m_file, at, SEEK_SET) != 0) return 0;
    m_position = at;
    const uint64_t limit = tag == 'A' ? kVQRecMaxAudioRecord
                                      : VQRecMaxVideoRecord({backBufferFormat, width, height, channels, sampleRate,
                                                             bitsPerSample, audioBufferBytes, 0});
    return size <= limit && fixed + size <= static_cast<uint64_t>(Left());
}

char CVKRECDecoder::ReadTag() {
    if (!m_file) return 0;
    uint8_t tag;
    if (!ReadExact(&tag, 1)) return 0;
    if ((tag == 'A' || tag == 'V') && !PeekRecord(static_cast<char>(tag))) {
        // Incomplete (or impossible) last record: the recording ends before it.
        Seek64(m_file, 0, SEEK_END);
        m_position = m_fileSize;
        return 0;
    }
    return static_cast<char>(tag);
}

uint32_t CVKRECDecoder::ReadSampleAudioSize() {
    uint8_t raw[4];
    if (!ReadExact(raw, 4)) return 0;
    uint32_t size = VQGetLE32(raw);
    if (size == 0) LogMessage("CVKRECDecoder::ReadSampleAudioSize(): Empty audio sample error\r\n");
    return size;
}

int CVKRECDecoder::ReadSampleAudioData(uint8_t* buffer, uint32_t n) {
    if (!ReadExact(buffer, n)) {
        LogMessage("CVKRECDecoder::ReadSampleAudioData(): Corrupt audio sample error\r\n");
        return 0;
    }
    return 1;
}

int CVKRECDecoder::ReadSampleAudio(const uint8_t** data, uint32_t* size) {
    *data = nullptr;
    *size = 0;
    if (!m_file) return 0;
    uint32_t n = ReadSampleAudioSize();
    if (n > kVQRecMaxAudioRecord || n > static_cast<uint64_t>(Left()) || !Grow(&m_audio, &m_audioCapacity, n ? n : 1)) {
        LogMessage("CVKRECDecoder::ReadSampleAudioData(): Corrupt audio sample error\r\n");
        return 0;
    }
    if (!ReadSampleAudioData(m_audio, n)) return 0;
    *data = m_audio;
    *size = n;
    return 1;
}

int CVKRECDecoder::ReadSampleVideo(AVPacket* packet, int64_t* timestamp) {
    if (!m_file) return 0;
    uint8_t raw[16];
    if (!ReadExact(raw, 16)) return 0;
    const uint32_t size = VQGetLE32(raw + 12);
    const VQRecHeader limits = {backBufferFormat, width,         height,           channels,
                                sampleRate,       bitsPerSample, audioBufferBytes, 0};
    const size_t need = static_cast<size_t>(size) + AV_INPUT_BUFFER_PADDING_SIZE;
    if (size <= VQRecMaxVideoRecord(limits) && size <= static_cast<uint64_t>(Left()) &&
        (!m_videoPool || need > m_videoPoolSize)) {
        av_buffer_pool_uninit(&m_videoPool);
        // Room for somewhat larger pictures too, so the pool is rarely made again.
        m_videoPoolSize = need + need / 4;
        m_videoPool = av_buffer_pool_init(m_videoPoolSize, nullptr);
    }
    AVBufferRef* payload = nullptr;
    if (size > VQRecMaxVideoRecord(limits) || size > static_cast<uint64_t>(Left()) || !m_videoPool ||
        !(payload = av_buffer_pool_get(m_videoPool)) || !ReadExact(payload->data, size)) {
        av_buffer_unref(&payload);
        LogMessage("CVKRECDecoder::ReadSampleVideo(): Corrupt video sample error\r\n");
        return 0;
    }
    memset(payload->data + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    *timestamp = static_cast<int64_t>(VQGetLE64(raw));
    av_packet_unref(packet);
    packet->buf = payload;
    packet->data = payload->data;
    packet->size = static_cast<int>(size);
    packet->flags = (VQGetLE32(raw + 8) & 1) ? AV_PKT_FLAG_KEY : 0;
    packet->pts = packet->dts = AV_NOPTS_VALUE;
    return 1;
}

const uint8_t* CVKRECDecoder::DecodeVideoSample(const AVPacket* packet) {
    if (!m_codec || !packet || packet->size <= 0) {
        LogMessage("CVKRECDecoder::DecodeVideoSample(): Couldn't decode video frame\n");
        return nullptr;
    }
    // A reference to a counted payload (what ReadSampleVideo gives): no copy.
    av_packet_unref(m_packet);
    int result = av_packet_ref(m_packet, packet);
    if (result >= 0) result = avcodec_send_packet(m_codec, m_packet);
    if (result >= 0) result = avcodec_receive_frame(m_codec, m_decoded);
    if (result < 0 || m_decoded->width != m_codec->width || m_decoded->height != m_codec->height) {
        LogMessage("CVKRECDecoder::DecodeVideoSample(): Couldn't decode video frame\n");
        return nullptr;
    }
    const AVPixelFormat out = static_cast<AVPixelFormat>(VQPixelFormatToLibrary(m_outputFormat));
    m_sws =
        sws_getCachedContext(m_sws, m_decoded->width, m_decoded->height, static_cast<AVPixelFormat>(m_decoded->format),
                             m_decoded->width, m_decoded->height, out, SWS_POINT, nullptr, nullptr, nullptr);
    uint8_t* planes[4] = {m_output, nullptr, nullptr, nullptr};
    int strides[4] = {m_outputStride, 0, 0, 0};
    if (!m_sws || sws_scale(m_sws, m_decoded->data, m_decoded->linesize, 0, m_decoded->height, planes, strides) !=
                      m_decoded->height) {
        LogMessage("CVKRECDecoder::DecodeVideoSample(): Couldn't convert video frame\n");
        return nullptr;
    }
    return m_output;
}

int CVKRECDecoder::DecodeVideoFrame(const AVPacket* packet, AVFrame* frame) {
    if (!m_codec || !packet || packet->size <= 0 || !frame) {
        LogMessage("CVKRECDecoder::DecodeVideoFrame(): Couldn't decode video frame\n");
        return 0;
    }
    // A reference to a counted payload (what ReadSampleVideo gives): no copy.
    av_packet_unref(m_packet);
    int result = av_packet_ref(m_packet, packet);
    if (result >= 0) result = avcodec_send_packet(m_codec, m_packet);
    if (result >= 0) result = avcodec_receive_frame(m_codec, frame);
    if (result < 0 || frame->width != m_codec->width || frame->height != m_codec->height ||
        av_frame_make_writable(frame) < 0) {
        LogMessage("CVKRECDecoder::DecodeVideoFrame(): Couldn't decode video frame\n");
        return 0;
    }
    return 1;
}

int CVKRECDecoder::SendVideoPacket(const AVPacket* packet) {
    if (!m_codec || (packet && packet->size <= 0)) {
        LogMessage("CVKRECDecoder::SendVideoPacket(): Couldn't decode video frame\n");
        return 0;
    }
    // The codec keeps its own reference (a copy of a packet over the
    // reader's buffer) while its threads work. An error of decoding itself
    // leaves the packet taken: it belongs to a picture that now never comes
    // out, which the receiving end sees.
    const int result = avcodec_send_packet(m_codec, packet);
    if (result < 0) LogMessage("CVKRECDecoder::SendVideoPacket(): Couldn't decode video frame\n");
    return result >= 0 || (result != AVERROR(EAGAIN) && result != AVERROR(EINVAL) && result != AVERROR(ENOMEM) &&
                           result != AVERROR_EOF);
}

int CVKRECDecoder::ReceiveVideoFrame(AVFrame* frame) {
    if (!m_codec || !frame) return 0;
    const int result = avcodec_receive_frame(m_codec, frame);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return 0;
    if (result < 0 || frame->width != m_codec->width || frame->height != m_codec->height ||
        av_frame_make_writable(frame) < 0) {
        av_frame_unref(frame);
        LogMessage("CVKRECDecoder::ReceiveVideoFrame(): Couldn't decode video frame\n");
        return -1;
    }
    return 1;
}

int CVKRECDecoder::SkipSampleVideo() {
    if (!m_file || !Skip(12)) return 0;
    uint8_t raw[4];
    if (!ReadExact(raw, 4)) return 0;
    const uint32_t size = VQGetLE32(raw);
    if (size == 0) LogMessage("CVKRECDecoder::SkipSampleVideo(): Empty video sample error\r\n");
    return Skip(size);
}

int CVKRECDecoder::SkipSampleAudio() {
    if (!m_file) return 0;
    const uint32_t size = ReadSampleAudioSize();
    if (size == 0) return 0;
    return Skip(size);
}

int CVKRECDecoder::SeekVideoSample(int n) {
    for (int seen = 0;;) {
        const char tag = ReadTag();
        if (tag == 'A') {
            if (!SkipSampleAudio()) return 0;
        } else if (tag == 'V') {
            if (seen == n) return 1;
            if (!SkipSampleVideo()) return 0;
            seen++;
        } else {
            return 0;
        }
    }
}
