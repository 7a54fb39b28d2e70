#ifdef _WIN32
#include "CVQHUD_Audio.h"

#include <cstdlib>
#include <cstring>

#include "CVQWaveOutSink.h"
#include "VKLog.h"

CVQHUD_Audio::CVQHUD_Audio(IVQSoundSink* sink)
    : m_sink(sink ? sink : CVQWaveOutSink::Instance()),
      m_random(static_cast<uint32_t>(GetTickCount()) ^ 0x5bd1e995u),
      m_refusal(MMSYSERR_NOERROR) {}

CVQHUD_Audio::~CVQHUD_Audio() { CloseAll(); }

void CVQHUD_Audio::Initialise() { CloseAll(); }

int CVQHUD_Audio::SetSink(IVQSoundSink* sink) {
    if (m_channels.Count()) return 0;
    m_sink = sink ? sink : CVQWaveOutSink::Instance();
    return 1;
}

void CVQHUD_Audio::CloseAll() {
    while (m_channels.Count()) Close(static_cast<Channel*>(m_channels.Get(m_channels.Count() - 1)));
}

CVQHUD_Audio::Channel* CVQHUD_Audio::Find(int number) const {
    for (int i = 0; i < m_channels.Count(); ++i) {
        Channel* c = static_cast<Channel*>(m_channels.Get(i));
        if (c->number == number) return c;
    }
    return nullptr;
}

int CVQHUD_Audio::NewNumber() {
    // A pseudo-random number from 1 to 9999 that no open channel uses; with
    // at most kMaxChannels open one is always found.
    for (;;) {
        m_random = m_random * 1103515245u + 12345u;
        int number = static_cast<int>((m_random >> 8) % 9999u) + 1;
        if (!Find(number)) return number;
    }
}

int CVQHUD_Audio::IsPlayable(int samplesPerSec, int channels, int bytesPerSample) {
    return samplesPerSec >= 1000 && samplesPerSec <= 192000 && channels >= 1 && channels <= 2 &&
           (bytesPerSample == 1 || bytesPerSample == 2);
}

int CVQHUD_Audio::IsPlayableFormat(int samplesPerSec, int channels, int bytesPerSample) {
    if (!IsPlayable(samplesPerSec, channels, bytesPerSample)) {
        LogMessage("CVQHUD_Audio::OpenChannel(): Unsupported format %d Hz, %d channels, %d bytes\r\n", samplesPerSec,
                   channels, bytesPerSample);
        return 0;
    }
    return 1;
}

int CVQHUD_Audio::OpenChannel(int samplesPerSec, int channels, int bytesPerSample) {
    if (!IsPlayableFormat(samplesPerSec, channels, bytesPerSample)) return -1;
    return OpenChannelAs(NewNumber(), samplesPerSec, channels, bytesPerSample);
}

int CVQHUD_Audio::OpenChannelAs(int number, int samplesPerSec, int channels, int bytesPerSample) {
    if (number < 1 || number > 9999 || Find(number) || !IsPlayableFormat(samplesPerSec, channels, bytesPerSample))
        return -1;
    if (m_channels.Count() >= kMaxChannels) {
        LogMessage("CVQHUD_Audio::OpenChannel(): Too many channels open\r\n");
        return -1;
    }
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = static_cast<DWORD>(samplesPerSec);
    format.nBlockAlign = static_cast<WORD>(channels * bytesPerSample);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    format.wBitsPerSample = static_cast<WORD>(bytesPerSample * 8);
    format.cbSize = 0;
    HWAVEOUT device = nullptr;
    MMRESULT result = m_sink->Open(&device, &format);
    if (result != MMSYSERR_NOERROR) {
        // A device that stays away is tried again and again by its streams:
        // one line for the run, not one per try.
        if (result != m_refusal)
            LogMessage("CVQHUD_Audio::OpenChannel(): Can't open WAVE Out Device (%u)\r\n",
                       static_cast<unsigned>(result));
        m_refusal = result;
        return -1;
    }
    m_refusal = MMSYSERR_NOERROR;
    Channel* channel = new Channel();
    memset(channel, 0, sizeof *channel);
    channel->number = number;
    channel->device = device;
    m_channels.Insert(channel);
    return channel->number;
}

int CVQHUD_Audio::Play(int number, const void* data, int size) {
    Channel* channel = Find(number);
    if (!channel || !data || size <= 0 || size > kMaxPlayBytes) return 0;
    for (int i = 0; i < kHeaders; ++i) {
        WAVEHDR* header = &channel->headers[i];
        if (header->dwFlags & WHDR_INQUEUE) continue;
        if (header->dwFlags & WHDR_PREPARED) m_sink->Unprepare(channel->device, header);
        if (channel->sizes[i] < size) {
            // Buffers grow to the largest piece seen and never shrink.
            char* grown = static_cast<char*>(malloc(static_cast<size_t>(size)));
            if (!grown) return 0;
            free(header->lpData);
            header->lpData = grown;
            channel->sizes[i] = size;
        }
        memcpy(header->lpData, data, static_cast<size_t>(size));
        header->dwBufferLength = static_cast<DWORD>(size);
        header->dwBytesRecorded = 0;
        header->dwFlags = 0;
        header->dwLoops = 0;
        if (m_sink->Prepare(channel->device, header) != MMSYSERR_NOERROR) return 0;
        if (m_sink->Write(channel->device, header) != MMSYSERR_NOERROR) {
            m_sink->Unprepare(channel->device, header);
            return 0;
        }
        return 1;
    }
    return 0;  // all headers queued: this piece is dropped
}

int CVQHUD_Audio::HasChannel(int number) { return Find(number) ? 1 : 0; }

int CVQHUD_Audio::QueuedHeaders(int number) {
    Channel* channel = Find(number);
    int n = 0;
    for (int i = 0; channel && i < kHeaders; ++i)
        if (channel->headers[i].dwFlags & WHDR_INQUEUE) ++n;
    return n;
}

void CVQHUD_Audio::CloseChannel(int number) {
    if (Channel* channel = Find(number)) Close(channel);
}

void CVQHUD_Audio::Close(Channel* channel) {
    // The reset hands every queued header back; they are unprepared while the
    // device is still open, then the device is closed.
    m_sink->Reset(channel->device);
    for (int i = 0; i < kHeaders; ++i) {
        WAVEHDR* header = &channel->headers[i];
        if (header->dwFlags & WHDR_PREPARED) m_sink->Unprepare(channel->device, header);
        free(header->lpData);
        header->lpData = nullptr;
    }
    m_sink->Close(channel->device);
    m_channels.Remove(channel);
    delete channel;
}
#endif
