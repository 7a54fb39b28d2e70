#pragma once
#include <cstdint>

// A friend's voice being listened to: a viewer of the friend's voice stream
// on the video-sharing server that hands out decoded PCM sound. The voice
// pipeline owns its streams and drives them once per frame on the render
// thread. The game build makes them over the view session's decoder; tests
// hand in streams of their own.
class IVQVoiceStream {
public:
    virtual ~IVQVoiceStream() {}
    // Opens the stream's socket: 1, or 0 when it cannot be made.
    virtual int Open() = 0;
    virtual void Close() = 0;
    virtual void Update() = 0;
    // Logs in as a listener of (session, host, port).
    virtual void Connect(const char* user, const char* password, int session, const char* host, int port) = 0;
    virtual void Logout() = 0;
    // 1 and the sound decoded since the last call (owned by the stream, valid
    // until its next Update), once.
    virtual int TakeAudio(const uint8_t** data, int* size, int64_t* timestamp) = 0;
    // The sound's format as the friend's stream announced it.
    virtual int GetSamplesPerSec() = 0;
    virtual int GetChannels() = 0;
    virtual int GetBitsPerSample() = 0;
    // The HUD's playback channel of this stream (-1 while none).
    virtual void SetAudioChannel(int channel) = 0;
    virtual int GetAudioChannel() = 0;
    // The friend whose voice this is, for the stream's log lines.
    virtual void SetPeerName(const char*) {}
};

// Makes a closed stream, or null when none can be made.
typedef IVQVoiceStream* (*VQVoiceStreamFactory)();
