#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "CVKString.h"
#include "CVQFFmpegFrameDecoder.h"
#include "CVQVSClient.h"

// One friend's stream being watched (or heard, in a voice call): the viewing
// client and the decoder. Update, once per frame on the render thread, runs
// the client (the network). The received packets are decoded in stream
// order either there too or, with a worker (SetWorker), on a thread of the
// session's own, so that decoding and converting a picture never costs the
// game a frame. The picture and the sound wait until their consumers take
// them.
//
// Sound is gathered: every audio packet that can be reached is decoded and
// appended to the waiting sound (up to its buffer), so a viewer whose game
// draws fewer frames per second than the stream has sound packets keeps up
// instead of stalling the packets behind the sound. Without a worker at most
// one picture waits and the packets behind it stay in the client until it is
// taken; with a worker the newest decoded picture replaces one not yet taken.
//
// Between the decoding side and the consumers the pictures and the sound
// each pass through three buffers: the decoding side fills its own, then
// swaps it with the waiting one under a short lock (pointer swaps only); a
// take swaps the waiting one with the consumer's. The render thread's takes
// only try that lock: when the worker holds it, the take finds nothing this
// frame rather than waiting.
class CVQDecodeVS {
public:
    // socket (owned) and clock may be null: a Winsock socket and the system clock.
    explicit CVQDecodeVS(IVKDatagramSocket* socket = nullptr, IVKClock* clock = nullptr);
    virtual ~CVQDecodeVS();
    CVQDecodeVS(const CVQDecodeVS&) = delete;
    CVQDecodeVS& operator=(const CVQDecodeVS&) = delete;

    // Decoding on a worker thread started by Open (1), or inside Update (0,
    // the default). Taken at the next Open.
    void SetWorker(int on) { m_useWorker = on ? 1 : 0; }
    int HasWorker() const { return m_worker.joinable() ? 1 : 0; }

    // Close, then open the client's socket (and start the worker). 1 or 0.
    virtual int Open();
    // Ends the worker, closes the decoder and forgets what waits; audio channel -1.
    virtual void Close();
    virtual void Update();
    // Logs in to the sharer's session on the given server.
    virtual void Connect(const char* user, const char* password, int session, const char* host, int port);
    virtual void Logout();
    // 1 and the waiting item, once. The bytes stay owned here and are valid
    // until the next take of the same kind or Close.
    virtual int TakePicture(uint8_t** data, int* size, int64_t* timestamp);
    virtual int TakeAudio(uint8_t** data, int* size, int64_t* timestamp);
    // The format of the sound taken (the decoder's output). 1, or 0 before
    // any sound was taken.
    virtual int GetSoundFormat(int* samplesPerSec, int* channels, int* bitsPerSample);
    virtual CVQViewVS* GetClient() { return &m_client; }
    virtual void SetPeerName(const char* name) { m_peer.Set(name); }
    virtual const char* GetPeerName() const { return m_peer.Str(); }
    virtual void SetAudioChannel(int channel) { m_audioChannel = channel; }
    virtual int GetAudioChannel() const { return m_audioChannel; }

    // Waits until the worker has gone through the client's packets twice
    // since the call, so everything received before it is decoded: 1, or 0
    // without a worker or after timeoutMs. For tests and benchmarks.
    int WaitForWorker(int timeoutMs);

    // The decoder: only without a worker.
    CVQFFmpegFrameDecoder* GetDecoder() { return &m_decoder; }
    int IsDecoderOpen() const { return m_decoderOpen.load(); }

    // What the session decoded since it was opened; logged and cleared when it closes.
    struct Stats {
        int pictures;
        int soundPackets;
        int soundOutOfOrder;  // sound packets whose time was not after the one before
        int64_t lastSoundTime;
        int64_t soundBytes;
    };
    Stats GetStats();

    // Audio packets decoded in one pass at most.
    static constexpr int kMaxSoundPacketsPerUpdate = 64;
    // How often an idle worker looks for packets.
    static constexpr int kWorkerPollMillis = 4;

private:
    struct Buffer {
        uint8_t* data;
        int capacity;
        int bytes;
        int64_t time;              // of the picture, or of the first sound in it
        int rate, channels, bits;  // sound: its format
    };
    // One pass of the decoding side: 1 when it took a packet.
    int DecodePending();
    void CloseDecoder();
    int OpenDecoderFromStream();
    void GatherSound(int64_t timestamp);
    void PublishPicture(const uint8_t* data, int size, int64_t timestamp);
    void PublishSound();
    void StartWorker();
    void StopWorker();
    void WorkerMain();
    void FreeBuffers();

    CVQViewVS m_client;
    // The decoding side's (the worker's, or Update's without one).
    CVQFFmpegFrameDecoder m_decoder;
    std::atomic<int> m_decoderOpen;
    int m_decoderFailed;  // this login's stream cannot be decoded: not tried again until the next login
    Stats m_stats;
    int m_rate, m_channels, m_bits;  // the decoder's sound format
    int m_latestWins;                // while a worker runs: the newest picture replaces one not taken

    // The hand-off, under m_handoff (the decoding side's own buffers outside it).
    std::mutex m_handoff;
    Buffer m_pictures[3];
    int m_pictureFill, m_pictureReady, m_pictureTaken;  // indices into m_pictures
    std::atomic<int> m_pictureWaiting;
    Buffer m_sounds[3];
    int m_soundFill, m_soundReady, m_soundTaken;
    int m_soundWaiting;
    Stats m_published;

    // The worker.
    int m_useWorker;
    std::thread m_worker;
    std::mutex m_wakeLock;
    std::condition_variable m_wake;  // the worker's sleep; WaitForWorker's too
    int m_stop;
    int64_t m_idlePasses;

    CVKString m_peer;
    int m_audioChannel;
};
