#include "CVQDecodeAhead.h"

#include <chrono>
#include <system_error>
#include <utility>

#include "CVQFFmpegDecoder.h"
#include "VKLog.h"

namespace {
// Free buffers kept for use again. In use at most: the pictures queued, the
// one shown and the one being decoded; two more cover their hand-overs.
const size_t kFreePictures = 2;
const size_t kFreeSteps = CVQDecodeAhead::kAheadSteps;
}  // namespace

CVQDecodeAhead::CVQDecodeAhead()
    : m_decoder(nullptr),
      m_readyPictures(0),
      m_width(0),
      m_height(0),
      m_generation(0),
      m_processed(0),
      m_paused(false),
      m_ended(false),
      m_restart(false),
      m_busy(false),
      m_stop(false) {}

CVQDecodeAhead::~CVQDecodeAhead() { Stop(); }

int CVQDecodeAhead::Start(CVQFFmpegDecoder* decoder, bool paused) {
    Stop();
    if (!decoder) return 0;
    m_decoder = decoder;
    m_paused = paused;
    m_ended = m_restart = m_busy = m_stop = false;
    m_processed = 0;
    try {
        m_thread = std::thread(&CVQDecodeAhead::Run, this);
    } catch (const std::system_error&) {
        LogMessage("CVQDecodeAhead::Start(): no thread for decoding\r\n");
        delete m_decoder;
        m_decoder = nullptr;
        return 0;
    }
    return 1;
}

void CVQDecodeAhead::RequestStop() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
}

void CVQDecodeAhead::Stop() {
    RequestStop();
    if (m_thread.joinable()) m_thread.join();
    delete m_decoder;  // only when the thread never ran
    m_decoder = nullptr;
    m_returned.clear();
    std::lock_guard<std::mutex> lock(m_lock);
    m_ready.clear();
    m_freeSteps.clear();
    m_freePictures.clear();
    m_readyPictures = 0;
}

void CVQDecodeAhead::SetPaused(bool paused) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_paused = paused;
    }
    m_changed.notify_all();
}

void CVQDecodeAhead::SetPictureSize(int width, int height) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_width = width;
    m_height = height;
}

void CVQDecodeAhead::Restart() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        TakeBackReturned();
        while (!m_ready.empty()) {
            RecycleLocked(std::move(m_ready.front()));
            m_ready.pop_front();
        }
        m_readyPictures = 0;
        m_ended = false;
        m_restart = true;
        ++m_generation;
    }
    m_changed.notify_all();
}

std::unique_ptr<CVQDecodeAhead::Step> CVQDecodeAhead::TakeDue(int64_t until) {
    std::unique_ptr<Step> s;
    {
        std::unique_lock<std::mutex> lock(m_lock, std::try_to_lock);
        if (!lock.owns_lock()) return s;
        TakeBackReturned();
        if (m_ready.empty()) return s;
        const Step& next = *m_ready.front();
        if (!next.picture.empty() && next.time > until) return s;
        s = std::move(m_ready.front());
        m_ready.pop_front();
        if (!s->picture.empty()) --m_readyPictures;
    }
    m_changed.notify_all();  // room for one more
    return s;
}

void CVQDecodeAhead::Recycle(std::unique_ptr<Step> step) {
    if (!step) return;
    std::unique_lock<std::mutex> lock(m_lock, std::try_to_lock);
    if (!lock.owns_lock()) {
        m_returned.push_back(std::move(step));
        return;
    }
    TakeBackReturned();
    RecycleLocked(std::move(step));
}

void CVQDecodeAhead::TakeBackReturned() {
    for (std::unique_ptr<Step>& s : m_returned) RecycleLocked(std::move(s));
    m_returned.clear();
}

void CVQDecodeAhead::RecycleLocked(std::unique_ptr<Step> step) {
    // Kept beyond the bounds here; the thread lets go of the extra ones, so
    // the caller never frees a picture's memory.
    if (step->picture.capacity()) m_freePictures.push_back(std::move(step->picture));
    step->picture.clear();
    m_freeSteps.push_back(std::move(step));
}

bool CVQDecodeAhead::HasWork() const {
    return !m_paused && !m_ended && m_readyPictures < kAheadPictures && static_cast<int>(m_ready.size()) < kAheadSteps;
}

int CVQDecodeAhead::WaitUntilIdle(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_thread.joinable()) return 1;
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return m_stop || (!m_busy && !m_restart && !HasWork()); })
               ? 1
               : 0;
}

int64_t CVQDecodeAhead::Processed() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_processed;
}

int CVQDecodeAhead::QueuedSteps() {
    std::lock_guard<std::mutex> lock(m_lock);
    return static_cast<int>(m_ready.size());
}

int CVQDecodeAhead::QueuedPictures() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_readyPictures;
}

void CVQDecodeAhead::Collect(Step* s, std::vector<uint32_t>* picture) {
    const uint8_t* data = nullptr;
    int size = 0;
    s->sound.clear();
    s->picture.clear();
    s->width = s->height = 0;
    s->time = 0;
    s->end = false;
    if (m_decoder->GetAudio(&data, &size) && data && size > 0) s->sound.assign(data, data + size);
    if (!m_decoder->GetPicture(&data, &size) || !data) return;
    const int w = m_decoder->GetPictureWidth(), h = m_decoder->GetPictureHeight();
    if (w < 1 || h < 1 || static_cast<int64_t>(w) * h * 4 > size) return;
    // The copy makes every pixel opaque, so the consumer copies rows as they are.
    picture->resize(static_cast<size_t>(w) * h);
    const uint32_t* from = reinterpret_cast<const uint32_t*>(data);
    uint32_t* to = picture->data();
    for (size_t i = 0, n = picture->size(); i < n; ++i) to[i] = from[i] | 0xFF000000u;
    s->picture.swap(*picture);
    s->width = w;
    s->height = h;
    s->time = m_decoder->GetVideoTime();
}

void CVQDecodeAhead::Run() {
    int shownWidth = -1, shownHeight = -1;  // the size the decoder was given last
    for (;;) {
        // Buffers beyond what is kept are freed here, outside the lock.
        std::vector<std::unique_ptr<Step>> extraSteps;
        std::vector<std::vector<uint32_t>> extraPictures;
        std::unique_ptr<Step> step;
        std::vector<uint32_t> picture;
        bool restart = false;
        uint64_t generation = 0;
        int width = 0, height = 0;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_busy = false;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_stop || m_restart || HasWork(); });
            if (m_stop) break;
            m_busy = true;
            restart = m_restart;
            m_restart = false;
            generation = m_generation;
            width = m_width;
            height = m_height;
            while (m_freePictures.size() > kFreePictures) {
                extraPictures.push_back(std::move(m_freePictures.back()));
                m_freePictures.pop_back();
            }
            while (m_freeSteps.size() > kFreeSteps) {
                extraSteps.push_back(std::move(m_freeSteps.back()));
                m_freeSteps.pop_back();
            }
            if (!restart) {
                if (!m_freeSteps.empty()) {
                    step = std::move(m_freeSteps.back());
                    m_freeSteps.pop_back();
                }
                if (!m_freePictures.empty()) {
                    picture = std::move(m_freePictures.back());
                    m_freePictures.pop_back();
                }
            }
        }
        if (restart) {
            m_decoder->SeekTo(0);  // a failed seek leaves the decoder at its end: the next step ends again
            continue;
        }
        if (!step) step.reset(new Step());
        if (width != shownWidth || height != shownHeight) {
            m_decoder->SetPictureSize(width, height);
            shownWidth = width;
            shownHeight = height;
        }
        // Process gives 0 at the end of the file, and when it cannot read at
        // all: both end playback rather than ask again.
        const int more = m_decoder->Process();
        Collect(step.get(), &picture);
        step->end = !more || m_decoder->IsAtEnd();

        std::lock_guard<std::mutex> lock(m_lock);
        ++m_processed;
        if (picture.capacity()) m_freePictures.push_back(std::move(picture));
        const bool empty = step->sound.empty() && step->picture.empty() && !step->end;
        if (generation != m_generation || empty) {
            RecycleLocked(std::move(step));
            continue;
        }
        if (!step->picture.empty()) ++m_readyPictures;
        if (step->end) m_ended = true;
        m_ready.push_back(std::move(step));
    }
    // The decoder goes with the thread, so whoever stops it waits the less.
    delete m_decoder;
    m_decoder = nullptr;
}
