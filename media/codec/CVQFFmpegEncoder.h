#pragma once
#include "CVKString.h"
#include "CVQEncoder.h"
#include "CVQEncoderCore.h"
#include "CVQFFmpegLibrary.h"
#include "VQCodecIds.h"

struct AVFormatContext;
struct AVPacket;
struct AVStream;

// Encodes pictures and sound into an ASF container written to the in-memory
// stream (or a real file when an output name is set). Every setter except
// SetFrameRate is ignored while the encoder is open.
//
// Video size: the width and height given to SetVideoFormat are rounded down
// to multiples of 4; the coded ("reduced") size is that divided by the reduce
// factor, the width then rounded down to an even number because HuffYUV's
// 4:2:2 coding refuses odd widths. A picture less than 4 pixels wide or high
// has no coded size: the encoder refuses to open for it.
//
// Packets handed out by EncodeVideoPacket/EncodeAudioPacket point into the
// encoder's own buffers (the packet holds no reference) and stay valid until
// the next encode of the same kind or CloseEncoder.
class CVQFFmpegEncoder : public CVQEncoder {
public:
    CVQFFmpegEncoder();
    ~CVQFFmpegEncoder() override;

    int EncodePending() override { return WriteFrame(); }
    int OpenEncoder() override;
    void CloseEncoder() override;
    void FinishEncoder() override;
    void SetVideoFormat(int width, int height, int stride, int pixelFormat) override;
    void SetAudioFormat(int channels, int rate, int bits) override;
    void SetInputPicture(const uint8_t* pixels) override;
    void SetInputAudio(const uint8_t* chunk) override;
    void Reserved() override {}
    void EnableVideo(int enable) override;
    void EnableAudio(int enable) override;
    int64_t GetVideoFrameCount() const override { return m_videoFrames; }
    int64_t GetAudioTime() const override { return m_audioFrames; }

    virtual void SetOnePacketPerInput(int on) { m_onePacketPerInput = on; }
    virtual int GetOnePacketPerInput() const { return m_onePacketPerInput; }
    // The bit rate is taken only when > 1000.
    virtual void SetVideoCodec(int codecId, int bitRate);
    virtual void SetAudioCodec(int codecId, int bitRate);
    // A file name, or null for the in-memory stream.
    virtual void SetOutputName(const char* name);
    // Everything the memory stream holds; the encoder keeps it until the next
    // TakeOutput or CloseEncoder. Size 0 when nothing was written.
    virtual void TakeOutput(const uint8_t** data, int* size);
    virtual void DiscardOutput();
    virtual int GetAudioBitRate() const { return m_core.GetAudioBitRate(); }
    virtual int GetAudioCodec() const { return m_core.GetAudioCodec(); }
    virtual int GetInputWidth() const { return m_inputWidth; }
    virtual int GetInputHeight() const { return m_inputHeight; }
    virtual int GetVideoBitRate() const { return m_core.GetVideoBitRate(); }
    virtual int GetVideoCodec() const { return m_core.GetVideoCodec(); }
    // Fills packet with a view of one coded picture of the current input. 1 or 0.
    virtual int EncodeVideoPacket(AVPacket* packet);
    // One chunk of the current input audio: copied for raw PCM, else encoded.
    virtual int EncodeAudioPacket(AVPacket* packet);
    // Ignored while open and for factors below 1.
    virtual void SetReduceFactor(int factor);
    virtual int GetReduceFactor() const { return m_reduceFactor; }

    // Muxes the current input: a video packet if video is enabled and a
    // picture is set, then an audio packet likewise. With one-packet-per-input
    // an input already muxed is not repeated, but the frame counts advance.
    virtual int WriteFrame();

    int IsOpen() const { return m_open; }
    int GetReducedWidth() const { return m_reducedWidth; }
    int GetReducedHeight() const { return m_reducedHeight; }
    // Bytes of one raw PCM chunk: rate x channels x bytes per sample / frame rate.
    int GetAudioChunkBytes() const;
    // The opened video codec's out-of-band data (HuffYUV tables), or null.
    const uint8_t* GetCodecData(int* size) const;

protected:
    void ApplyReduceFactor();
    int WritePacket(AVPacket* packet);

    int m_open;
    int m_headerWritten;
    int m_trailerWritten;
    int m_useMemoryStream;
    CVKString m_outputName;
    int m_inputWidth;
    int m_inputHeight;
    AVFormatContext* m_format;
    AVStream* m_videoStream;
    AVStream* m_audioStream;
    CVQEncoderCore m_core;  // codec settings, contexts and coding
    const uint8_t* m_inputPicture;
    const uint8_t* m_inputAudio;
    int64_t m_videoFrames;
    int64_t m_audioFrames;
    int m_videoWritten;
    int m_audioWritten;
    CVQFFmpegLibrary m_memoryStream;
    uint8_t* m_taken;
    int m_takenSize;
    int m_reduceFactor;
    int m_reducedWidth;
    int m_reducedHeight;
    int m_bytesPerPixel;
    int m_reducible;
    int m_onePacketPerInput;
    double m_codecFrameRate;  // frame rate the time bases were made from
};
