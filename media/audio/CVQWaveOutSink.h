#pragma once
#ifdef _WIN32
#include "IVQSoundSink.h"

// Sound out through the platform's wave mapper.
class CVQWaveOutSink : public IVQSoundSink {
public:
    MMRESULT Open(HWAVEOUT* device, const WAVEFORMATEX* format) override;
    MMRESULT Prepare(HWAVEOUT device, WAVEHDR* header) override;
    MMRESULT Unprepare(HWAVEOUT device, WAVEHDR* header) override;
    MMRESULT Write(HWAVEOUT device, WAVEHDR* header) override;
    MMRESULT Reset(HWAVEOUT device) override;
    MMRESULT Close(HWAVEOUT device) override;

    // The one sink of the process (never null).
    static CVQWaveOutSink* Instance();
};
#endif
