#pragma once
#include <cstdint>

#include "CVKString.h"
#include "CVQFFmpegFrameDecoder.h"
#include "CVQVSClient.h"

// One friend's stream being watched (or heard, in a voice call): the viewing
// client and the decoder. Update, once per frame on the render thread, takes
// the received packets in stream order and decodes them; the picture and the
// sound wait until their consumers take them.
//
// Sound is gathered: every audio packet that can be reached is decoded and
// appended to the waiting sound (up to its buffer), so a viewer whose game
// draws fewer frames per second than the stream has sound packets keeps up
// instead of stalling the packets behind the sound. At most one picture
// waits; the packets behind it stay in the client until it is taken.
class CVQDecodeVS {
public:
    // socket (owned) and clock may be null: a Winsock socket and the system clock.
    explicit CVQDecodeVS(IVKDatagramSocket* socket = nullptr, IVKClock* clock = nullptr);
    virtual ~CVQDecodeVS();
    CVQDecodeVS(const CVQDecodeVS&) = delete;
    CVQDecodeVS& operator=(const CVQDecodeVS&) = delete;

    // Close, then open the client's socket. 1 or 0.
    virtual int Open();
    // Closes the decoder and forgets what waits; audio channel -1.
    virtual void Close();
    virtual void Update();
    // Logs in to the sharer's session on the given server.
    virtual void Connect(const char* user, const char* password, int session, const char* host, int port);
    virtual void Logout();
    // 1 and the waiting item, once. The bytes stay owned here and are valid
    // until the next Update.
    virtual int TakePicture(uint8_t** data, int* size, int64_t* timestamp);
    virtual int TakeAudio(uint8_t** data, int* size, int64_t* timestamp);
    virtual CVQViewVS* GetClient() { return &m_client; }
    virtual void SetPeerName(const char* name) { m_peer.Set(name); }
    virtual const char* GetPeerName() const { return m_peer.Str(); }
    virtual void SetAudioChannel(int channel) { m_audioChannel = channel; }
    virtual int GetAudioChannel() const { return m_audioChannel; }

    CVQFFmpegFrameDecoder* GetDecoder() { return &m_decoder; }
    int IsDecoderOpen() const { return m_decoderOpen; }

    // What the session decoded since it was opened; logged and cleared when it closes.
    struct Stats {
        int pictures;
        int soundPackets;
        int soundOutOfOrder;  // sound packets whose time was not after the one before
        int64_t lastSoundTime;
        int64_t soundBytes;
    };
    const Stats& GetStats() const { return m_stats; }

    // Audio packets decoded in one Update at most.
    static constexpr int kMaxSoundPacketsPerUpdate = 64;

private:
    void CloseDecoder();
    int OpenDecoderFromStream();
    void TakeSound();

    CVQViewVS m_client;
    CVQFFmpegFrameDecoder m_decoder;
    int m_decoderOpen;
    int m_decoderFailed;  // this login's stream cannot be decoded: not tried again until the next login
    CVKString m_peer;
    uint8_t* m_sound;  // gathered sound, kAudioBufferSize bytes
    int m_soundBytes;
    int64_t m_soundTime;
    int m_soundWaiting;
    uint8_t* m_picture;  // the decoder's picture
    int m_pictureBytes;
    int64_t m_pictureTime;
    int m_pictureWaiting;
    int m_audioChannel;
    Stats m_stats;
};
