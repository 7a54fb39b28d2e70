#include "CVKRecToWmv.h"

#include <algorithm>
#include <chrono>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "VKWatermark.h"

namespace {
uint32_t SteadyMilliseconds() {
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}
const int64_t kFrameTime = 333333;  // 30 pictures a second, in 100 ns units
// How far the decoding thread runs ahead of the writer: pictures (each
// width x height x 4 bytes) and records of any kind.
const int kAheadPictures = 3;
const size_t kAheadSamples = 16;
// The codec library's threads decoding pictures while the decoding thread
// reads and scales: one more than there are processor cores (the codec
// library's own choice), so a core never waits on a picture being handed
// over; two at least, four at most (the job's thread, encoding, is the limit
// beyond that).
int DecoderThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::min(4u, std::max(2u, cores + 1)));
}
}  // namespace

CVKRecToWmv::Sample::~Sample() {
    av_frame_free(&picture);
    av_frame_free(&rgb);
    av_frame_free(&scaled);
}

CVKRecToWmv::CVKRecToWmv(bool decodeAhead)
    : m_clock(SteadyMilliseconds),
      m_decodeAhead(decodeAhead),
      m_packet(nullptr),
      m_received(nullptr),
      m_pictureNumber(0),
      m_open(0),
      m_failed(0),
      m_ended(0),
      m_pictures(0),
      m_position(0),
      m_fileSize(0),
      m_width(0),
      m_height(0),
      m_previewStale(false),
      m_previewSws(nullptr),
      m_rgbSws(nullptr),
      m_scaleSws(nullptr),
      m_readyPictures(0),
      m_stop(false) {}

CVKRecToWmv::~CVKRecToWmv() {
    Close();
    sws_freeContext(m_previewSws);
}

int CVKRecToWmv::Start(const char* recPath, const char* wmvPath, int profile, int* profileMissing) {
    Close();
    if (profileMissing) *profileMissing = 0;
    m_reader.SetDecodeThreads(m_decodeAhead ? DecoderThreads() : 1);
    if (!m_reader.Open(recPath)) return 0;
    if (!m_writer.LoadProfile(profile)) {
        if (profileMissing) *profileMissing = 1;
        Close();
        return 0;
    }
    m_packet = av_packet_alloc();
    m_received = av_frame_alloc();
    if (!m_packet || !m_received || !m_writer.Open(wmvPath) ||
        !m_writer.InitAudio(m_reader.channels, static_cast<int>(m_reader.sampleRate), m_reader.bitsPerSample,
                            static_cast<int>(m_reader.audioBufferBytes)) ||
        !m_writer.InitVideo(static_cast<int>(m_reader.width), static_cast<int>(m_reader.height), kFrameTime) ||
        !m_writer.BeginWriting()) {
        Close();
        return 0;
    }
    m_width = static_cast<int>(m_reader.width);
    m_height = static_cast<int>(m_reader.height);
    m_fileSize = m_reader.GetFileSize();
    m_position = m_reader.GetPosition();
    m_last.reset();
    m_open = 1;
    m_failed = 0;
    m_ended = 0;
    m_pictures = 0;
    m_pictureNumber = 0;
    if (m_decodeAhead) {
        m_stop = false;
        m_thread = std::thread(&CVKRecToWmv::DecodeAhead, this);
    }
    return 1;
}

void CVKRecToWmv::Produce(Sample* s, bool delayed) {
    s->kind = Sample::kEnd;
    s->decoding = false;
    const char tag = m_reader.ReadTag();
    if (tag == 'A') {
        const uint8_t* data;
        uint32_t size;
        if (m_reader.ReadSampleAudio(&data, &size)) {
            s->kind = Sample::kAudio;
            s->sound.assign(data, data + size);
        }
    } else if (tag == 'V') {
        int64_t time = 0;
        if (m_reader.ReadSampleVideo(m_packet, &time)) {
            s->time = time;
            s->number = m_pictureNumber++;
            if (!s->picture) s->picture = av_frame_alloc();
            // A picture that does not decode is left out.
            s->kind = Sample::kSkipped;
            if (s->picture && delayed) {
                // Its picture comes out later, known by the packet's number.
                m_packet->dts = s->number;
                s->decoding = m_reader.SendVideoPacket(m_packet) != 0;
            } else if (s->picture && m_reader.DecodeVideoFrame(m_packet, s->picture)) {
                s->kind = Complete(s);
            }
        }
    }
    s->position = m_reader.GetPosition();
}

CVKRecToWmv::Sample::Kind CVKRecToWmv::Complete(Sample* s) {
    if (!s->scaled) s->scaled = av_frame_alloc();
    return s->scaled && Mark(s) && m_writer.ScaleToProfile(&m_scaleSws, s->picture, s->scaled) ? Sample::kVideo
                                                                                               : Sample::kSkipped;
}

void CVKRecToWmv::Collect(std::deque<std::unique_ptr<Sample>>* held, bool end) {
    if (end) m_reader.SendVideoPacket(nullptr);
    for (;;) {
        const int r = m_reader.ReceiveVideoFrame(m_received);
        if (r == 0) break;
        if (r < 0) continue;  // that picture is missing: found below by the next one's number
        // Pictures come out in order: a held picture numbered before this
        // one that is still waiting failed to decode.
        for (auto& h : *held) {
            if (!h->decoding) continue;
            if (h->number > m_received->pkt_dts) break;
            h->decoding = false;
            if (h->number == m_received->pkt_dts) {
                av_frame_unref(h->picture);
                av_frame_move_ref(h->picture, m_received);
                h->kind = Complete(h.get());
            }
        }
        av_frame_unref(m_received);
    }
    if (end)
        for (auto& h : *held) h->decoding = false;  // never came out: left out
}

AVFrame* CVKRecToWmv::Mark(Sample* s) {
    AVFrame* f = s->picture;
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(f->format));
    const bool planarYuv = d && (d->flags & AV_PIX_FMT_FLAG_PLANAR) && !(d->flags & AV_PIX_FMT_FLAG_RGB) &&
                           d->nb_components >= 3 && d->comp[0].depth == 8 && f->data[2];
    if (planarYuv) {
        const int strides[3] = {f->linesize[0], f->linesize[1], f->linesize[2]};
        VKBlendWatermarkPlanar(f->data, strides, f->width, f->height, d->log2_chroma_w, d->log2_chroma_h,
                               VKWatermarkPixels(), kVKWatermarkWidth, kVKWatermarkHeight, kVKWatermarkX,
                               kVKWatermarkY);
        return f;
    }
    // Another kind of picture: into 32-bit RGB for the watermark.
    if (!s->rgb) s->rgb = av_frame_alloc();
    AVFrame* rgb = s->rgb;
    if (!rgb) return nullptr;
    if (rgb->format != AV_PIX_FMT_RGB32 || rgb->width != f->width || rgb->height != f->height) {
        av_frame_unref(rgb);
        rgb->format = AV_PIX_FMT_RGB32;
        rgb->width = f->width;
        rgb->height = f->height;
        if (av_frame_get_buffer(rgb, 0) < 0) return nullptr;
    }
    m_rgbSws = sws_getCachedContext(m_rgbSws, f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width,
                                    f->height, AV_PIX_FMT_RGB32, SWS_POINT, nullptr, nullptr, nullptr);
    if (!m_rgbSws || sws_scale(m_rgbSws, f->data, f->linesize, 0, f->height, rgb->data, rgb->linesize) != f->height)
        return nullptr;
    VKBlendWatermark(rgb->data[0], rgb->width, rgb->height, rgb->linesize[0], VKWatermarkPixels(), kVKWatermarkWidth,
                     kVKWatermarkHeight, kVKWatermarkX, kVKWatermarkY);
    std::swap(s->picture, s->rgb);
    return s->picture;
}

int CVKRecToWmv::Consume(Sample* s) {
    m_position = s->position;
    switch (s->kind) {
    case Sample::kAudio:
        if (s->sound.empty()) return kMore;
        return m_writer.WriteAudioSample(s->sound.data(), static_cast<uint32_t>(s->sound.size())) ? kMore : kFailed;
    case Sample::kVideo:
        if (!m_writer.WriteVideoFrame(s->scaled, s->time)) return kFailed;
        m_pictures++;
        return kMore;
    case Sample::kSkipped: return kMore;
    case Sample::kEnd:
    default: return kDone;
    }
}

std::unique_ptr<CVKRecToWmv::Sample> CVKRecToWmv::Next() {
    std::unique_ptr<Sample> s;
    if (!m_decodeAhead) {
        if (!m_free.empty()) {
            s = std::move(m_free.back());
            m_free.pop_back();
        } else {
            s.reset(new Sample());
        }
        Produce(s.get(), false);
        return s;
    }
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait(lock, [this] { return !m_ready.empty(); });
    s = std::move(m_ready.front());
    m_ready.pop_front();
    if (s->kind == Sample::kVideo || s->kind == Sample::kSkipped) m_readyPictures--;
    lock.unlock();
    m_changed.notify_all();
    return s;
}

void CVKRecToWmv::Recycle(std::unique_ptr<Sample> s, bool preview) {
    if (preview) {
        std::swap(s, m_last);
        m_previewStale = true;
        if (m_last->scaled) av_frame_unref(m_last->scaled);
    }
    if (!s) return;
    // The decoder's and the writer's buffers go back to them at once (the
    // preview keeps its decoded picture).
    if (s->picture) av_frame_unref(s->picture);
    if (s->scaled) av_frame_unref(s->scaled);
    std::lock_guard<std::mutex> lock(m_lock);
    m_free.push_back(std::move(s));
}

void CVKRecToWmv::DecodeAhead() {
    // Samples read, in file order, from the first whose picture is still in
    // the decoder on; they go to the writer when everything before them is
    // complete.
    std::deque<std::unique_ptr<Sample>> held;
    for (;;) {
        std::unique_ptr<Sample> s;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_changed.wait(lock, [this] {
                return m_stop || (m_readyPictures < kAheadPictures && m_ready.size() < kAheadSamples);
            });
            if (m_stop) return;
            if (!m_free.empty()) {
                s = std::move(m_free.back());
                m_free.pop_back();
            }
        }
        if (!s) s.reset(new Sample());
        Produce(s.get(), true);
        const bool end = s->kind == Sample::kEnd;
        held.push_back(std::move(s));
        Collect(&held, end);
        int pictures = 0;
        size_t complete = 0;
        for (; complete < held.size() && !held[complete]->decoding; complete++)
            if (held[complete]->kind == Sample::kVideo || held[complete]->kind == Sample::kSkipped) pictures++;
        if (complete) {
            std::lock_guard<std::mutex> lock(m_lock);
            m_readyPictures += pictures;
            for (size_t i = 0; i < complete; i++) {
                m_ready.push_back(std::move(held.front()));
                held.pop_front();
            }
        }
        m_changed.notify_all();
        if (end) return;
    }
}

void CVKRecToWmv::StopDecoding() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) m_thread.join();
    m_ready.clear();
    m_free.clear();
    m_readyPictures = 0;
    sws_freeContext(m_rgbSws);
    m_rgbSws = nullptr;
    sws_freeContext(m_scaleSws);
    m_scaleSws = nullptr;
}

int CVKRecToWmv::Step(uint32_t budgetMs) {
    if (!m_open || m_ended) return kDone;
    if (m_failed) return kFailed;
    const uint32_t start = m_clock();
    do {
        std::unique_ptr<Sample> s = Next();
        const int r = Consume(s.get());
        const bool written = r == kMore && s->kind == Sample::kVideo;
        Recycle(std::move(s), written);
        if (r == kFailed) m_failed = 1;
        if (r == kDone) m_ended = 1;
        if (r != kMore) return r;
    } while (m_clock() - start < budgetMs);
    return kMore;
}

int CVKRecToWmv::Finish() {
    if (!m_open) return 0;
    StopDecoding();
    const int complete = m_writer.Close() && !m_failed;
    Close();
    return complete;
}

void CVKRecToWmv::Close() {
    StopDecoding();
    m_writer.Close();
    m_reader.Close();
    av_packet_free(&m_packet);
    av_frame_free(&m_received);
    m_open = 0;
}

int CVKRecToWmv::Percent() const {
    if (m_fileSize <= 0) return 0;
    return static_cast<int>(static_cast<uint64_t>(m_position) * 100 / static_cast<uint64_t>(m_fileSize));
}

const uint8_t* CVKRecToWmv::Preview(int* width, int* height) {
    *width = m_width;
    *height = m_height;
    if (m_pictures == 0 || !m_last || !m_last->picture) return nullptr;
    const AVFrame* f = m_last->picture;
    if (m_previewStale || m_preview.empty()) {
        m_previewStale = false;
        m_preview.assign(static_cast<size_t>(f->width) * f->height * 4, 0);
        m_previewSws =
            sws_getCachedContext(m_previewSws, f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width,
                                 f->height, AV_PIX_FMT_RGB32, SWS_POINT, nullptr, nullptr, nullptr);
        uint8_t* planes[4] = {m_preview.data(), nullptr, nullptr, nullptr};
        const int strides[4] = {f->width * 4, 0, 0, 0};
        if (!m_previewSws || sws_scale(m_previewSws, f->data, f->linesize, 0, f->height, planes, strides) != f->height)
            return nullptr;
    }
    *width = f->width;
    *height = f->height;
    return m_preview.data();
}
