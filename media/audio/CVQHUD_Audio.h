#pragma once
#ifdef _WIN32
#include <cstdint>

#include "CVKPtrList.h"
#include "IVQSoundSink.h"

// Playback channels for the sound of viewed streams and voice calls: each
// channel is one wave-out device with 10 headers that are filled and queued
// in turn. Not thread-safe: CVQHUD_AudioT runs it on its playback thread,
// which alone touches the devices.
class CVQHUD_Audio {
public:
    // sink may be null: the platform's wave mapper.
    explicit CVQHUD_Audio(IVQSoundSink* sink = nullptr);
    CVQHUD_Audio(const CVQHUD_Audio&) = delete;
    CVQHUD_Audio& operator=(const CVQHUD_Audio&) = delete;
    virtual ~CVQHUD_Audio();

    // Closes every channel.
    virtual void Initialise();
    virtual void CloseAll();
    // A channel for 16- or 8-bit PCM: its number (1 to 9999), or -1 when the
    // format is not one we play, the device cannot be opened, or the
    // channels are all taken. A device that cannot be opened is logged once
    // per run of such refusals with the same code: a device that opens, or
    // another code, ends the run.
    virtual int OpenChannel(int samplesPerSec, int channels, int bytesPerSample);
    // The same with a number the caller chose (1 to 9999, not open now):
    // the number, or -1.
    virtual int OpenChannelAs(int number, int samplesPerSec, int channels, int bytesPerSample);
    // Queues a copy of the sound on the first free header: 1, or 0 when it
    // was dropped (unknown channel, all headers queued, a size outside
    // 1..kMaxPlayBytes, or the device refused it).
    virtual int Play(int channel, const void* data, int size);
    virtual int HasChannel(int channel);
    virtual void CloseChannel(int channel);

    int ChannelCount() const { return m_channels.Count(); }
    // 1 when the format is one we play; otherwise 0, logged.
    static int IsPlayableFormat(int samplesPerSec, int channels, int bytesPerSample);
    // The same without the log line.
    static int IsPlayable(int samplesPerSec, int channels, int bytesPerSample);
    // Another sink (null: the wave mapper); only while no channel is open.
    int SetSink(IVQSoundSink* sink);
    // Headers queued on the device now (tests).
    int QueuedHeaders(int channel);

    static constexpr int kHeaders = 10;
    // Devices open at once: a flood of streams cannot exhaust the system's.
    static constexpr int kMaxChannels = 32;
    // One piece of sound at most: 2 seconds of 48 kHz 16-bit stereo, ten
    // times what one decoded audio packet can hold.
    static constexpr int kMaxPlayBytes = 2 * 48000 * 4;

private:
    struct Channel {
        int number;
        HWAVEOUT device;
        WAVEHDR headers[kHeaders];
        int sizes[kHeaders];  // bytes allocated for each header's buffer
    };
    Channel* Find(int number) const;
    void Close(Channel* channel);
    int NewNumber();

    IVQSoundSink* m_sink;
    CVKPtrList m_channels;  // Channel*, owned
    uint32_t m_random;
    MMRESULT m_refusal;  // the code of the refusals logged in this run, or MMSYSERR_NOERROR
};
#endif
