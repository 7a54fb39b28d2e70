#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <vector>

#include "CVKRecPlayer.h"

// The player's sound on the default wave-out device: a ring of buffers,
// each prepared once and grown when a record is larger.
class CVKWaveOutSink : public IVKSoundSink {
public:
    CVKWaveOutSink();
    ~CVKWaveOutSink() override;
    bool Open(int channels, int rate, int bits, int count, uint32_t bufferBytes) override;
    bool Busy(int i) override;
    bool Play(int i, const uint8_t* data, uint32_t n) override;
    void Reset() override;
    void Close() override;

private:
    HWAVEOUT m_device;
    std::vector<WAVEHDR> m_headers;
    std::vector<std::vector<char>> m_buffers;
};
