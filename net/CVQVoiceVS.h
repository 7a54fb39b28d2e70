#pragma once
#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>

#include "CVKPtrList.h"
#include "CVQFFmpegFrameEncoder.h"
#include "CVQVSClient.h"
#include "CWaveInT.h"
#include "IVKClock.h"
#include "IVQVoiceStream.h"
#include "VQFrameRate.h"

struct AVPacket;

// The voice pipeline of a call: the player's own voice, captured from the
// voice device, encoded to compressed sound and streamed through a share
// client of its own; and the friends' voices being listened to. Driven once
// per frame on the render thread by the HUD's voice component. With
// "shareThreads" non-zero a worker thread encodes and sends the sound; the
// share client serialises every operation, so the render thread may ask it
// for its listeners or log it out meanwhile.
class CVQVoiceVS {
public:
    // socket (owned) and clock may be null: a Winsock socket and the system clock.
    explicit CVQVoiceVS(IVKDatagramSocket* socket = nullptr, IVKClock* clock = nullptr);
    CVQVoiceVS(const CVQVoiceVS&) = delete;
    CVQVoiceVS& operator=(const CVQVoiceVS&) = delete;
    virtual ~CVQVoiceVS();

    // One frame: the share client's and every stream's network turn; a call
    // begins once the share client is logged in and ends when it is not.
    void Update();
    // Starts sending the own voice: 1, or 0 when the encoder or the
    // wave-in cannot be made.
    int BeginCall();
    void EndCall();
    int IsInCall() const { return m_started; }
    // The voice settings ("shareThreads", "shareFPS", "shareAudioBitrate",
    // "shareVoiceDevice") and the device's format.
    void ReadVoiceSettings();

    CVQShareVS* Client() { return &m_client; }
    const WAVEFORMATEX& Format() const { return m_format; }
    int FrameRate() const { return m_frameRate; }
    int AudioBitRate() const { return m_audioBitRate; }
    // The clock of the retries of BeginCall (null: the system clock).
    void SetClock(IVKClock* clock) { m_clock = clock ? clock : VKSystemClock(); }
    // Streams of friends' voices (IVQVoiceStream*, owned).
    CVKPtrList* RemoteVoices() { return &m_remote; }
    void AddRemoteVoice(IVQVoiceStream* voice);
    // Stops, closes and deletes every friend's stream.
    void CloseRemoteVoices();
    int64_t AudioPacketsSent() const { return m_audioPackets; }

    // Time stamp in milliseconds of the sound after `packets` packets of
    // frameBytes each; 64-bit, so long calls never wrap.
    static int64_t PacketTime(int64_t packets, int frameBytes, int channels, int bytesPerSample, int samplesPerSec);

    static constexpr int kStagingBytes = 500000;
    // A call that cannot begin is tried again after this long, not every frame.
    static constexpr int64_t kBeginRetryMs = 1000;

private:
    static DWORD WINAPI WorkerMain(LPVOID self);
    int SendAudio();
    void StopWorker();

    CVQShareVS m_client;
    CVKPtrList m_remote;  // IVQVoiceStream*, owned
    WAVEFORMATEX m_format;
    HANDLE m_worker;
    HANDLE m_wake;  // manual-reset: set while the worker has sound to send
    CWaveInT m_waveIn;
    CVQFFmpegFrameEncoder m_encoder;
    AVPacket* m_packet;
    uint8_t* m_staging;
    int m_stagingFill;
    int64_t m_audioPackets;
    VQFrameRateReport m_report;
    int m_started;  // the call's encoder, wave-in and worker are running (render thread)
    int m_threads;
    int m_frameRate;
    int m_audioBitRate;
    int m_device;
    std::atomic<int> m_inCall;  // cleared by the worker when it gives up
    IVKClock* m_clock;
    int64_t m_lastBeginTry;  // ms; -1 before the first try
    uint32_t m_timeSound;    // ms spent sending sound over the call
};
#endif
