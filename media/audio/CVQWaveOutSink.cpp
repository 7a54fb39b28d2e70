#ifdef _WIN32
#include "CVQWaveOutSink.h"

MMRESULT CVQWaveOutSink::Open(HWAVEOUT* device, const WAVEFORMATEX* format) {
    return waveOutOpen(device, WAVE_MAPPER, format, 0, 0, CALLBACK_NULL);
}

MMRESULT CVQWaveOutSink::Prepare(HWAVEOUT device, WAVEHDR* header) {
    return waveOutPrepareHeader(device, header, sizeof(WAVEHDR));
}

MMRESULT CVQWaveOutSink::Unprepare(HWAVEOUT device, WAVEHDR* header) {
    return waveOutUnprepareHeader(device, header, sizeof(WAVEHDR));
}

MMRESULT CVQWaveOutSink::Write(HWAVEOUT device, WAVEHDR* header) {
    return waveOutWrite(device, header, sizeof(WAVEHDR));
}

MMRESULT CVQWaveOutSink::Reset(HWAVEOUT device) { return waveOutReset(device); }

MMRESULT CVQWaveOutSink::Close(HWAVEOUT device) { return waveOutClose(device); }

CVQWaveOutSink* CVQWaveOutSink::Instance() {
    static CVQWaveOutSink sink;
    return &sink;
}
#endif
