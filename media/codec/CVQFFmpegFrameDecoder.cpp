#include "CVQFFmpegFrameDecoder.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
}

#include "CVQEncoderCore.h"
#include "CVQFFmpegLibrary.h"
#include "VKLog.h"

namespace {
// The sharing side's fixed codec settings. Video: 30 frames per second,
// 256 kbit/s, mixed-precision motion, loop filter, adaptive transforms,
// J-type pictures, per-macroblock tables, one slice. Audio: exponents coded
// with the variable-length table, no bit reservoir, fixed block length.
const uint8_t kVideoPrivateData[4] = {0xF0, 0xFA, 0xF4, 0x80};
const uint8_t kAudioPrivateData[10] = {0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00};

uint8_t* CopyPrivateData(const uint8_t* data, int size) {
    uint8_t* copy = static_cast<uint8_t*>(av_mallocz(static_cast<size_t>(size) + AV_INPUT_BUFFER_PADDING_SIZE));
    if (copy) memcpy(copy, data, static_cast<size_t>(size));
    return copy;
}

// Samples per coded audio block of the audio codec (its transform length).
int AudioFrameLength(int samplesPerSecond) {
    if (samplesPerSecond <= 16000) return 512;
    if (samplesPerSecond <= 22050) return 1024;
    return 2048;
}
}  // namespace

CVQFFmpegFrameDecoder::CVQFFmpegFrameDecoder()
    : m_open(0),
      m_audioEnabled(1),
      m_videoEnabled(1),
      m_audioCodec(kVQCodecWMAV2),
      m_videoCodec(kVQCodecWMV2),
      m_videoContext(nullptr),
      m_audioContext(nullptr),
      m_packet(nullptr),
      m_channels(2),
      m_samplesPerSecond(44100),
      m_bitsPerSample(16),
      m_width(320),
      m_height(240),
      m_frameRate(4.0),
      m_outputFormat(kVQPixRGB32),
      m_blockAlign(0),
      m_audioBitRate(0) {}

CVQFFmpegFrameDecoder::~CVQFFmpegFrameDecoder() { CloseDecoder(); }

int64_t CVQFFmpegFrameDecoder::AudioBitRateOfBlock(int blockAlign, int samplesPerSecond) {
    if (blockAlign <= 0 || samplesPerSecond <= 0) return 0;
    // The coder makes blocks of floor(rate x frame length / (8 x samples per
    // second)) bytes, so a block size names the sharer's rate only to within
    // one byte per block. The decoder picks its code tables by thresholds of
    // the rate, and the usual round rates lie just above one (64000 bit/s at
    // 44.1 kHz stereo sits 55 bit/s above the table change at 63945): the
    // largest rate giving blockAlign keeps the sharer's side of a threshold
    // unless the sharer's rate is less than one block byte below it.
    const int64_t frameLength = AudioFrameLength(samplesPerSecond);
    return ((static_cast<int64_t>(blockAlign) + 1) * 8 * samplesPerSecond - 1) / frameLength;
}

void CVQFFmpegFrameDecoder::SetOutputPixelFormat(int pixelFormat) {
    if (m_open || pixelFormat < 0) return;
    // The conversion library cannot write BGR32 here: 32-bit RGB instead (logged).
    m_outputFormat = CVQEncoderCore::InputPixelFormat(pixelFormat);
}

void CVQFFmpegFrameDecoder::SetVideoCodec(int codecId) {
    if (!m_open && codecId > 0) m_videoCodec = codecId;
}
void CVQFFmpegFrameDecoder::SetAudioCodec(int codecId) {
    if (!m_open && codecId > 0) m_audioCodec = codecId;
}
void CVQFFmpegFrameDecoder::SetChannels(int channels) {
    if (!m_open && channels > 0) m_channels = channels;
}
void CVQFFmpegFrameDecoder::SetSamplesPerSecond(int rate) {
    if (!m_open && rate > 0) m_samplesPerSecond = rate;
}
void CVQFFmpegFrameDecoder::SetBitsPerSample(int bits) {
    if (!m_open && (bits == 8 || bits == 16)) m_bitsPerSample = bits;
}
void CVQFFmpegFrameDecoder::SetWidth(int width) {
    if (!m_open && width > 0) m_width = width;
}
void CVQFFmpegFrameDecoder::SetHeight(int height) {
    if (!m_open && height > 0) m_height = height;
}
void CVQFFmpegFrameDecoder::SetFrameRate(double fps) {
    if (!m_open && fps > 0.0 && fps < 100.0) m_frameRate = fps;
}

int CVQFFmpegFrameDecoder::OpenDecoder() {
    CloseDecoder();
    if (!InitCodecLibrary()) return 0;
    // Sizes come from the network: bounded before anything is allocated.
    if (m_width > kMaxPictureSide || m_height > kMaxPictureSide ||
        static_cast<int64_t>(m_width) * m_height > kMaxPicturePixels) {
        LogMessage("CVQFFmpegFrameDecoder::OpenDecoder(): Picture %dx%d too large\n", m_width, m_height);
        return 0;
    }
    const int libraryFormat = VQPixelFormatToLibrary(m_outputFormat);
    const AVCodec* video = avcodec_find_decoder(static_cast<AVCodecID>(VQCodecToLibrary(m_videoCodec)));
    if (!video || libraryFormat < 0) {
        LogMessage("Couldn't find video codec\n");
        return 0;
    }
    m_videoContext = avcodec_alloc_context3(video);
    m_packet = av_packet_alloc();
    if (!m_videoContext || !m_packet) {
        CloseDecoder();
        return 0;
    }
    const int pictureMade = m_output.SetPictureFormat(libraryFormat, m_width, m_height);
    m_videoContext->width = m_width;
    m_videoContext->height = m_height;
    m_videoContext->pix_fmt = AV_PIX_FMT_YUV420P;
    m_videoContext->extradata = CopyPrivateData(kVideoPrivateData, sizeof kVideoPrivateData);
    m_videoContext->extradata_size = m_videoContext->extradata ? sizeof kVideoPrivateData : 0;
    if (!pictureMade || !m_videoContext->extradata || avcodec_open2(m_videoContext, video, nullptr) < 0) {
        LogMessage("Couldn't open video codec\n");
        CloseDecoder();
        return 0;
    }
    // The audio decoder opens with the first packet (its block size); the
    // sound format must suit it now.
    const AVCodec* audio = avcodec_find_decoder(static_cast<AVCodecID>(VQCodecToLibrary(m_audioCodec)));
    if (!audio || m_channels < 1 || m_channels > 2 || m_samplesPerSecond < 8000 || m_samplesPerSecond > 48000) {
        LogMessage("Couldn't open audio codec\n");
        CloseDecoder();
        return 0;
    }
    if (!m_output.SetSoundFormat(m_channels, m_samplesPerSecond, m_bitsPerSample)) {
        CloseDecoder();
        return 0;
    }
    m_open = 1;
    return 1;
}

int CVQFFmpegFrameDecoder::OpenAudio(int blockAlign) {
    avcodec_free_context(&m_audioContext);
    m_output.ResetSound();
    m_blockAlign = 0;
    m_audioBitRate = 0;
    const AVCodec* audio = avcodec_find_decoder(static_cast<AVCodecID>(VQCodecToLibrary(m_audioCodec)));
    m_audioContext = audio ? avcodec_alloc_context3(audio) : nullptr;
    if (!m_audioContext) return 0;
    m_audioContext->sample_rate = m_samplesPerSecond;
    av_channel_layout_default(&m_audioContext->ch_layout, m_channels);
    m_audioContext->block_align = blockAlign;
    m_audioContext->bit_rate = AudioBitRateOfBlock(blockAlign, m_samplesPerSecond);
    m_audioContext->extradata = CopyPrivateData(kAudioPrivateData, sizeof kAudioPrivateData);
    m_audioContext->extradata_size = m_audioContext->extradata ? sizeof kAudioPrivateData : 0;
    if (!m_audioContext->extradata || avcodec_open2(m_audioContext, audio, nullptr) < 0) {
        LogMessage("Couldn't open audio codec\n");
        avcodec_free_context(&m_audioContext);
        return 0;
    }
    m_blockAlign = blockAlign;
    m_audioBitRate = m_audioContext->bit_rate;
    return 1;
}

void CVQFFmpegFrameDecoder::CloseDecoder() {
    avcodec_free_context(&m_videoContext);
    avcodec_free_context(&m_audioContext);
    av_packet_free(&m_packet);
    m_output.Free();
    m_blockAlign = 0;
    m_audioBitRate = 0;
    m_open = 0;
}

int CVQFFmpegFrameDecoder::FillPacket(const uint8_t* data, int size) {
    av_packet_unref(m_packet);
    if (av_new_packet(m_packet, size) < 0) return 0;  // zeroed padding after the bytes
    memcpy(m_packet->data, data, static_cast<size_t>(size));
    return 1;
}

int CVQFFmpegFrameDecoder::DecodeVideoPacket(const uint8_t* data, int size) {
    if (!m_open || !data || size <= 0 || !FillPacket(data, size)) return 0;
    return m_output.DecodeVideo(m_videoContext, m_packet);
}

int CVQFFmpegFrameDecoder::DecodeAudioPacket(const uint8_t* data, int size) {
    if (!m_open || !data || size <= 0) return 0;
    if (size > kMaxAudioBlock) {
        LogMessage("Couldn't decode audio frame\n");
        return 0;
    }
    if (size != m_blockAlign && !OpenAudio(size)) return 0;
    if (!FillPacket(data, size)) return 0;
    return m_output.DecodeAudio(m_audioContext, m_packet);
}

int CVQFFmpegFrameDecoder::GetPicture(uint8_t** data, int* size) {
    if (!m_open || !m_output.TakePicture()) return 0;
    if (data) *data = m_output.Picture();
    if (size) *size = m_output.PictureSize();
    return 1;
}

int CVQFFmpegFrameDecoder::GetAudio(uint8_t** data, int* size) {
    if (!m_open || !m_output.TakeSound()) return 0;
    if (data) *data = m_output.Sound();
    if (size) *size = m_output.SoundBytes();
    return 1;
}
