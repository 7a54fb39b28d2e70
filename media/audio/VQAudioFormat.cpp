#include "VQAudioFormat.h"

namespace {
struct Choice {
    uint32_t bit;
    VQPcmFormat format;
};
const Choice kChoices[] = {
    {0x800, {44100, 2, 16}}, {0x80, {22050, 2, 16}}, {0x8, {11025, 2, 16}},   {0x200, {44100, 2, 8}},
    {0x20, {22050, 2, 8}},   {0x2, {11025, 2, 8}},   {0x400, {44100, 1, 16}}, {0x40, {22050, 1, 16}},
    {0x4, {11025, 1, 16}},   {0x100, {44100, 1, 8}}, {0x10, {22050, 1, 8}},   {0x1, {11025, 1, 8}},
};
}  // namespace

int ChooseAudioFormatFromCaps(uint32_t formats, VQPcmFormat* format) {
    for (const Choice& choice : kChoices) {
        if (formats & choice.bit) {
            *format = choice.format;
            return 1;
        }
    }
    return 0;
}

uint32_t VQWholeFrameBytes(uint32_t bytes, int blockAlign) {
    return blockAlign > 1 ? bytes - bytes % static_cast<uint32_t>(blockAlign) : bytes;
}

#ifdef _WIN32
#include "VKLog.h"

UINT WaveInDeviceId(int device) { return device <= 0 ? WAVE_MAPPER : static_cast<UINT>(device - 1); }

int ChooseAudioFormat(int device, WAVEFORMATEX* format) {
    WAVEINCAPSA caps;
    if (waveInGetDevCapsA(WaveInDeviceId(device), &caps, sizeof caps) != MMSYSERR_NOERROR) return 0;
    VQPcmFormat chosen = {static_cast<int>(format->nSamplesPerSec), format->nChannels, format->wBitsPerSample};
    if (!ChooseAudioFormatFromCaps(caps.dwFormats, &chosen)) {
        // Without a known format the recording could not say what its sound is.
        LogMessage("ChooseAudioFormat(): Device %d reports no supported PCM format\r\n", device);
        return 0;
    }
    format->wFormatTag = WAVE_FORMAT_PCM;
    format->nChannels = static_cast<WORD>(chosen.channels);
    format->nSamplesPerSec = static_cast<DWORD>(chosen.rate);
    format->wBitsPerSample = static_cast<WORD>(chosen.bits);
    format->nBlockAlign = static_cast<WORD>(chosen.bits / 8 * chosen.channels);
    format->nAvgBytesPerSec = format->nSamplesPerSec * format->nBlockAlign;
    format->cbSize = 0;
    return 1;
}
#endif
