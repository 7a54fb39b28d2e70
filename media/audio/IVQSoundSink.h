#pragma once
#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>

// The wave-out calls the playback component makes, as one interface: the
// game build plays through the platform's wave mapper (CVQWaveOutSink),
// tests hand in a sink that records what it is given. Results are the
// platform's codes (MMSYSERR_NOERROR on success). Every call of one device
// comes from the thread that opened it.
class IVQSoundSink {
public:
    virtual ~IVQSoundSink() {}
    // Opens an output for the PCM format, without callback.
    virtual MMRESULT Open(HWAVEOUT* device, const WAVEFORMATEX* format) = 0;
    virtual MMRESULT Prepare(HWAVEOUT device, WAVEHDR* header) = 0;
    virtual MMRESULT Unprepare(HWAVEOUT device, WAVEHDR* header) = 0;
    // Queues a prepared header; the device sets WHDR_INQUEUE while it holds it.
    virtual MMRESULT Write(HWAVEOUT device, WAVEHDR* header) = 0;
    // Stops playback and hands every queued header back.
    virtual MMRESULT Reset(HWAVEOUT device) = 0;
    virtual MMRESULT Close(HWAVEOUT device) = 0;
};
#endif
