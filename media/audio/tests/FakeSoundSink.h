#pragma once
#include <windows.h>

#include <atomic>
#include <set>
#include <string>
#include <vector>

#include "IVQSoundSink.h"

// Behaves as a wave-out device that never finishes a buffer by itself: the
// test finishes them. Every call notes the thread it came from, and waits
// while the test holds the sink (a device that is slow to answer).
class FakeSoundSink : public IVQSoundSink {
public:
    struct Device {
        WAVEFORMATEX format;
        bool open = true;
        std::vector<WAVEHDR*> queue;
        std::vector<std::string> played;
    };

    MMRESULT Open(HWAVEOUT* device, const WAVEFORMATEX* format) override {
        Note();
        ++opens;
        if (refuseOpen) return refuseOpen;
        devices.push_back(new Device());
        devices.back()->format = *format;
        *device = reinterpret_cast<HWAVEOUT>(static_cast<intptr_t>(devices.size()));
        return MMSYSERR_NOERROR;
    }
    MMRESULT Prepare(HWAVEOUT, WAVEHDR* header) override {
        Note();
        header->dwFlags |= WHDR_PREPARED;
        ++prepares;
        return MMSYSERR_NOERROR;
    }
    MMRESULT Unprepare(HWAVEOUT, WAVEHDR* header) override {
        Note();
        if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        header->dwFlags &= ~WHDR_PREPARED;
        ++unprepares;
        return MMSYSERR_NOERROR;
    }
    MMRESULT Write(HWAVEOUT device, WAVEHDR* header) override {
        Note();
        if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
        if (refuseWrite) return MMSYSERR_ERROR;
        header->dwFlags |= WHDR_INQUEUE;
        header->dwFlags &= ~WHDR_DONE;
        Dev(device)->queue.push_back(header);
        Dev(device)->played.push_back(std::string(header->lpData, header->dwBufferLength));
        return MMSYSERR_NOERROR;
    }
    MMRESULT Reset(HWAVEOUT device) override {
        Note();
        while (!Dev(device)->queue.empty()) Finish(device);
        return MMSYSERR_NOERROR;
    }
    MMRESULT Close(HWAVEOUT device) override {
        Note();
        if (!Dev(device)->queue.empty()) return WAVERR_STILLPLAYING;
        Dev(device)->open = false;
        return MMSYSERR_NOERROR;
    }
    // The device is done with its oldest queued buffer.
    void Finish(HWAVEOUT device) {
        Device* d = Dev(device);
        if (d->queue.empty()) return;
        WAVEHDR* h = d->queue.front();
        d->queue.erase(d->queue.begin());
        h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    }
    // Every device is done with everything queued (a device keeping up).
    void FinishAll() {
        for (size_t i = 0; i < devices.size(); ++i)
            while (!devices[i]->queue.empty()) Finish(reinterpret_cast<HWAVEOUT>(static_cast<intptr_t>(i + 1)));
    }
    Device* Dev(HWAVEOUT device) { return devices[static_cast<size_t>(reinterpret_cast<intptr_t>(device)) - 1]; }
    Device* Last() { return devices.back(); }
    HWAVEOUT LastHandle() { return reinterpret_cast<HWAVEOUT>(static_cast<intptr_t>(devices.size())); }
    ~FakeSoundSink() override {
        for (Device* d : devices) delete d;
    }

    void Note() {
        while (hold.load()) Sleep(1);
        threads.insert(GetCurrentThreadId());
    }

    std::vector<Device*> devices;
    std::set<DWORD> threads;
    std::atomic<bool> hold{false};
    MMRESULT refuseOpen = MMSYSERR_NOERROR;  // what Open answers instead of opening
    int opens = 0;                           // Open calls, refused or not
    bool refuseWrite = false;
    int prepares = 0;
    int unprepares = 0;
};
