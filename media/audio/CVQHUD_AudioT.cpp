#ifdef _WIN32
#include "CVQHUD_AudioT.h"

#include <cstdlib>
#include <cstring>

#include "VKLog.h"

namespace {
// The kinds of OpenChannel failure a caller may meet with every piece of
// sound, each logged once in a run of them (the second is its log line).
const char* const kUnplayable = "unplayable format";
const char* const kTooMany = "CVQHUD_AudioT::OpenChannel(): Too many channels open\r\n";
const char* const kDropText[CVQHUD_AudioT::kDropReasons] = {
    "Queue full, dropped",
    "Too much sound queued, dropped",
    "Device did not take the sound, dropped",
};
}  // namespace

CVQHUD_AudioT::CVQHUD_AudioT(IVQSoundSink* sink)
    : m_thread(nullptr),
      m_threadId(0),
      m_wake(nullptr),
      m_audio(sink),
      m_head(0),
      m_tail(0),
      m_ring(nullptr),
      m_ringWritten(0),
      m_ringReleased(0),
      m_asleep(0),
      m_quit(0),
      m_nextNumber(static_cast<int>(GetTickCount() % 9999u) + 1),
      m_clock(VKClockMs),
      m_openFailure(nullptr) {
    InitializeCriticalSection(&m_callers);
    memset(m_queue, 0, sizeof m_queue);
    for (Slot& slot : m_slots) {
        slot.number = 0;
        slot.state.store(kFree);
        slot.rate = slot.channels = slot.bytesPerSample = 0;
        slot.triedAt = 0;
    }
    for (int i = 0; i < kDropReasons; ++i) {
        m_dropped[i].store(0);
        m_dropLogged[i] = 0;
    }
}

CVQHUD_AudioT::~CVQHUD_AudioT() {
    Stop();
    DeleteCriticalSection(&m_callers);
}

DWORD WINAPI CVQHUD_AudioT::ThreadMain(LPVOID param) {
    static_cast<CVQHUD_AudioT*>(param)->Run();
    return 0;
}

void CVQHUD_AudioT::Run() {
    while (!m_quit.load()) {
        const uint32_t head = m_head.load(std::memory_order_relaxed);
        if (head != m_tail.load(std::memory_order_acquire)) {
            Execute(&m_queue[head % kQueueSize]);
            m_head.store(head + 1, std::memory_order_release);  // the entry is the callers' again
            continue;
        }
        if (m_audio.ChannelCount() > 0) {
            // Sound is flowing: callers post without waking us.
            Sleep(kPollMillis);
            continue;
        }
        // Nothing open: sleep until a caller posts. The queue is looked at
        // again after saying so, so a request posted just before is not missed.
        m_asleep.store(1);
        if (m_head.load() == m_tail.load() && !m_quit.load()) WaitForSingleObject(m_wake, INFINITE);
        m_asleep.store(0);
    }
    // Stopping: what is still queued is dropped, every device closed.
    m_head.store(m_tail.load());
    m_audio.CloseAll();
}

void CVQHUD_AudioT::Execute(Request* r) {
    switch (r->kind) {
    case kOpen:
        if (m_audio.OpenChannelAs(r->number, r->rate, r->channels, r->bytesPerSample) < 0) {
            // No device: the callers see the channel gone, and its format
            // refused for a while (unless it is being closed already; the
            // close frees the entry then).
            int expected = kSlotOpen;
            m_slots[r->slot].state.compare_exchange_strong(expected, kSlotRefused);
        }
        break;
    case kPlay:
        if (!m_audio.Play(r->number, r->data, r->size) && m_audio.HasChannel(r->number)) Drop(kDropDevice, "Play");
        m_ringReleased.fetch_add(static_cast<uint64_t>(r->span), std::memory_order_release);
        break;
    case kClose:
        m_audio.CloseChannel(r->number);
        m_slots[r->slot].state.store(kFree);
        break;
    default: break;
    }
}

int CVQHUD_AudioT::Start() {
    Stop();
    m_ring = static_cast<char*>(malloc(static_cast<size_t>(kQueueBytes)));
    // Touched now, once, so the render thread's first passes through the
    // ring do not fault its pages in.
    if (m_ring) memset(m_ring, 0, static_cast<size_t>(kQueueBytes));
    m_wake = m_ring ? CreateEventA(nullptr, FALSE, FALSE, nullptr) : nullptr;
    if (!m_wake) {
        free(m_ring);
        m_ring = nullptr;
        return 0;
    }
    m_head.store(0);
    m_tail.store(0);
    m_ringWritten = 0;
    m_ringReleased.store(0);
    m_asleep.store(0);
    m_quit.store(0);
    for (int i = 0; i < kDropReasons; ++i) {
        m_dropped[i].store(0);
        m_dropLogged[i] = 0;
    }
    EnterCriticalSection(&m_callers);
    m_thread = CreateThread(nullptr, 0, ThreadMain, this, 0, &m_threadId);
    LeaveCriticalSection(&m_callers);
    if (!m_thread) {
        LogMessage("CVQHUD_AudioT::Start(): Can't create the playback thread (%d)\r\n",
                   static_cast<int>(GetLastError()));
        CloseHandle(m_wake);
        m_wake = nullptr;
        free(m_ring);
        m_ring = nullptr;
        return 0;
    }
    return 1;
}

void CVQHUD_AudioT::Stop() {
    EnterCriticalSection(&m_callers);
    HANDLE thread = m_thread;
    m_thread = nullptr;  // callers fail from here on
    m_threadId = 0;
    LeaveCriticalSection(&m_callers);
    if (thread) {
        m_quit.store(1);
        SetEvent(m_wake);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    if (m_wake) CloseHandle(m_wake);
    m_wake = nullptr;
    free(m_ring);
    m_ring = nullptr;
    for (Slot& slot : m_slots) slot.state.store(kFree);
}

void CVQHUD_AudioT::Wake() {
    if (m_asleep.exchange(0)) SetEvent(m_wake);
}

int CVQHUD_AudioT::HasRoom(uint32_t reserve) const {
    const uint32_t used = m_tail.load(std::memory_order_relaxed) - m_head.load(std::memory_order_acquire);
    return used + reserve < static_cast<uint32_t>(kQueueSize) ? 1 : 0;
}

void CVQHUD_AudioT::Post(const Request& request) {
    const uint32_t tail = m_tail.load(std::memory_order_relaxed);
    m_queue[tail % kQueueSize] = request;
    // Sequentially consistent with the thread's "asleep" then "queue empty?":
    // either it sees this request or Wake sees it asleep.
    m_tail.store(tail + 1);
    Wake();
}

void CVQHUD_AudioT::Drop(int reason, const char* method) {
    m_dropped[reason].fetch_add(1);
    if (m_dropLogged[reason]) return;
    m_dropLogged[reason] = 1;
    LogMessage("CVQHUD_AudioT::%s(): %s (logged once)\r\n", method, kDropText[reason]);
}

int64_t CVQHUD_AudioT::Dropped(int reason) const {
    return reason >= 0 && reason < kDropReasons ? m_dropped[reason].load() : 0;
}

CVQHUD_AudioT::Slot* CVQHUD_AudioT::FindOpen(int number) {
    for (Slot& slot : m_slots)
        if (slot.state.load() == kSlotOpen && slot.number == number) return &slot;
    return nullptr;
}

int CVQHUD_AudioT::NextNumber() {
    // The next number after the last one given, from 1 to 9999, that no
    // entry in use holds: a number comes back only after 9,999 others.
    for (;;) {
        m_nextNumber = m_nextNumber % 9999 + 1;
        bool used = false;
        for (const Slot& slot : m_slots)
            if (slot.state.load() != kFree && slot.number == m_nextNumber) used = true;
        if (!used) return m_nextNumber;
    }
}

void CVQHUD_AudioT::SetClock(VKClockFn clock) {
    EnterCriticalSection(&m_callers);
    m_clock = clock ? clock : VKClockMs;
    LeaveCriticalSection(&m_callers);
}

void CVQHUD_AudioT::LogOpenFailure(const char* kind) {
    if (kind == m_openFailure) return;
    m_openFailure = kind;
    if (kind == kTooMany) LogMessage("%s", kTooMany);
}

int CVQHUD_AudioT::OpenChannel(int samplesPerSec, int channels, int bytesPerSample) {
    EnterCriticalSection(&m_callers);
    int number = -1;
    if (!CVQHUD_Audio::IsPlayable(samplesPerSec, channels, bytesPerSample)) {
        // A stream asks again with every piece of its sound: logged once.
        if (m_openFailure != kUnplayable) CVQHUD_Audio::IsPlayableFormat(samplesPerSec, channels, bytesPerSample);
        LogOpenFailure(kUnplayable);
    } else if (m_thread) {
        const uint32_t now = m_clock();
        Slot* spare = nullptr;
        int open = 0;
        bool refused = false;
        for (Slot& slot : m_slots) {
            int state = slot.state.load();
            if (state == kSlotRefused) {
                // Unsigned: a clock that went back ends the pause too.
                if (now - slot.triedAt >= kRetryMillis) {
                    slot.state.store(kFree);
                    state = kFree;
                } else if (slot.rate == samplesPerSec && slot.channels == channels &&
                           slot.bytesPerSample == bytesPerSample) {
                    refused = true;
                }
            }
            if (state == kSlotOpen) ++open;
            if (state == kFree && !spare) spare = &slot;
        }
        if (refused) {
            // The device refused this format a moment ago: not asked again yet.
        } else if (open >= CVQHUD_Audio::kMaxChannels || !spare) {
            LogOpenFailure(kTooMany);
        } else {
            Request r = {};
            r.kind = kOpen;
            r.number = NextNumber();
            r.slot = static_cast<int>(spare - m_slots);
            r.rate = samplesPerSec;
            r.channels = channels;
            r.bytesPerSample = bytesPerSample;
            if (HasRoom(CVQHUD_Audio::kMaxChannels)) {
                spare->number = r.number;
                spare->rate = samplesPerSec;
                spare->channels = channels;
                spare->bytesPerSample = bytesPerSample;
                spare->triedAt = now;
                spare->state.store(kSlotOpen);
                Post(r);
                number = r.number;
                m_openFailure = nullptr;
            } else {
                Drop(kDropQueueFull, "OpenChannel");
            }
        }
    }
    LeaveCriticalSection(&m_callers);
    return number;
}

int CVQHUD_AudioT::Play(int channel, const void* data, int size) {
    if (!data || size <= 0 || size > CVQHUD_Audio::kMaxPlayBytes) return 0;
    EnterCriticalSection(&m_callers);
    int posted = 0;
    if (m_thread && FindOpen(channel)) {
        // The piece goes where the last one ended, or at the ring's start
        // when it does not fit before the end (the rest of the end is skipped).
        const uint64_t capacity = static_cast<uint64_t>(kQueueBytes);
        const uint64_t at = m_ringWritten % capacity;
        const uint64_t skip = at + static_cast<uint64_t>(size) > capacity ? capacity - at : 0;
        const uint64_t span = skip + static_cast<uint64_t>(size);
        if (!HasRoom(CVQHUD_Audio::kMaxChannels)) {
            Drop(kDropQueueFull, "Play");
        } else if (m_ringWritten + span - m_ringReleased.load(std::memory_order_acquire) > capacity) {
            Drop(kDropQueueBytes, "Play");
        } else {
            char* copy = m_ring + (skip ? 0 : at);
            memcpy(copy, data, static_cast<size_t>(size));
            Request r = {};
            r.kind = kPlay;
            r.number = channel;
            r.data = copy;
            r.size = size;
            r.span = static_cast<int>(span);
            m_ringWritten += span;
            Post(r);
            posted = 1;
        }
    }
    LeaveCriticalSection(&m_callers);
    return posted;
}

int CVQHUD_AudioT::HasChannel(int channel) {
    EnterCriticalSection(&m_callers);
    const int has = m_thread && FindOpen(channel) ? 1 : 0;
    LeaveCriticalSection(&m_callers);
    return has;
}

void CVQHUD_AudioT::CloseChannel(int channel) {
    EnterCriticalSection(&m_callers);
    Slot* slot = m_thread ? FindOpen(channel) : nullptr;
    int expected = kSlotOpen;
    // The playback thread may have freed the entry just now (its device did not open).
    if (slot && slot->state.compare_exchange_strong(expected, kSlotClosing)) {
        Request r = {};
        r.kind = kClose;
        r.number = channel;
        r.slot = static_cast<int>(slot - m_slots);
        // Room is certain: opening and playing leave kMaxChannels entries
        // free, and no more channels than that can be open to be closed.
        if (HasRoom(0)) {
            Post(r);
        } else {
            slot->state.store(kSlotOpen);
            LogMessage("CVQHUD_AudioT::CloseChannel(): Queue full\r\n");
        }
    }
    LeaveCriticalSection(&m_callers);
}

int CVQHUD_AudioT::Flush(DWORD timeoutMs) {
    EnterCriticalSection(&m_callers);
    const bool running = m_thread != nullptr;
    const uint32_t target = m_tail.load();
    if (running) Wake();
    LeaveCriticalSection(&m_callers);
    if (!running) return 0;
    const DWORD start = GetTickCount();
    while (static_cast<int32_t>(m_head.load(std::memory_order_acquire) - target) < 0) {
        if (GetTickCount() - start >= timeoutMs) return 0;
        Sleep(1);
    }
    return 1;
}
#endif
