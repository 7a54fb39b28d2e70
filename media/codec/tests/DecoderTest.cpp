// The media decoder over files this test writes itself, in the caller's
// thread and on the player's decoding thread (CVQDecodeAhead): what that
// thread gives is what the decoder gives in the caller's thread, in order;
// it stays a few pictures ahead, decodes nothing while paused, and ends,
// restarts and stops cleanly, also on damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "CVKWMVEncoder.h"
#include "CVQDecodeAhead.h"
#include "CVQFFmpegDecoder.h"
#include "CVQFFmpegEncoder.h"
#include "LogCapture.h"
#include "MediaTestUtil.h"

namespace {
const int kPictures = 30;

// One second of video (profile 0, 640 x 480) with a tone, written by our writer.
std::string MakeVideo(const char* name) {
    CVKWMVEncoder writer;
    if (!writer.LoadProfile(0) || !writer.Open(name) || !writer.InitAudio(2, 44100, 16, 5880) ||
        !writer.InitVideo(160, 120, 333333) || !writer.BeginWriting())
        return "";
    std::vector<uint8_t> picture(160 * 120 * 4);
    std::vector<int16_t> sound(1470 * 2);
    int64_t sample = 0;
    for (int k = 0; k < kPictures; k++) {
        for (size_t i = 0; i < sound.size(); i += 2, sample++)
            sound[i] = sound[i + 1] =
                static_cast<int16_t>(6000 * sin(2 * 3.14159265358979323846 * 500 * sample / 44100.0));
        writer.WriteAudioSample(reinterpret_cast<const uint8_t*>(sound.data()), sound.size() * 2);
        DrawCounterPicture(picture.data(), 160, 120, 160 * 4, static_cast<uint32_t>(k));
        writer.WriteVideoSample(picture.data(), k * 333333LL);
    }
    return writer.Close() ? name : "";
}

std::vector<uint8_t> ReadAllBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    uint8_t chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(f);
    return bytes;
}

struct Pass {
    int pictures = 0, audioBytes = 0, calls = 0, mostPicturesInACall = 0;
};

// Calls Process until the end, collecting what each call gave.
Pass PlayToEnd(CVQFFmpegDecoder* d) {
    Pass p;
    const uint8_t* data;
    int size;
    while (!d->IsAtEnd() && p.calls < 10000) {
        d->Process();
        p.calls++;
        int got = 0;
        if (d->GetPicture(&data, &size)) got++;
        if (d->GetAudio(&data, &size)) p.audioBytes += size;
        p.pictures += got;
    }
    return p;
}

const int kWait = 10000;  // ms; only reached when something is wrong

CVQFFmpegDecoder* OpenDecoder(const std::string& path) {
    std::unique_ptr<CVQFFmpegDecoder> d(new CVQFFmpegDecoder());
    d->SetFileName(path.c_str());
    d->SetOutputPixelFormat(6);
    d->SetAudioDisabled(0);
    return d->Open() ? d.release() : nullptr;
}

// What one Process gave, in a form both ways of decoding can be compared by.
struct Seen {
    size_t soundBytes = 0;
    uint64_t pictureSum = 0;  // over opaque pixels
    int64_t time = -1;
    bool end = false;
    bool operator==(const Seen& o) const {
        return soundBytes == o.soundBytes && pictureSum == o.pictureSum && time == o.time && end == o.end;
    }
};

uint64_t Sum(const uint32_t* pixels, size_t n) {
    uint64_t sum = 1469598103934665603ull;
    for (size_t i = 0; i < n; i++) sum = (sum ^ (pixels[i] | 0xFF000000u)) * 1099511628211ull;
    return sum;
}

// The decoder driven in this thread, as the player once did.
std::vector<Seen> DecodeInPlace(const std::string& path) {
    std::vector<Seen> seen;
    std::unique_ptr<CVQFFmpegDecoder> d(OpenDecoder(path));
    if (!d) return seen;
    for (int calls = 0; calls < 10000; calls++) {
        Seen s;
        const int more = d->Process();
        const uint8_t* data;
        int size;
        if (d->GetAudio(&data, &size) && size > 0) s.soundBytes = static_cast<size_t>(size);
        if (d->GetPicture(&data, &size)) {
            s.pictureSum = Sum(reinterpret_cast<const uint32_t*>(data), static_cast<size_t>(size) / 4);
            s.time = d->GetVideoTime();
        }
        s.end = !more || d->IsAtEnd();
        if (s.soundBytes || s.time >= 0 || s.end) seen.push_back(s);
        if (s.end) break;
    }
    return seen;
}

std::vector<std::pair<int64_t, uint64_t>> Pictures(const std::vector<Seen>& seen) {
    std::vector<std::pair<int64_t, uint64_t>> pictures;
    for (const Seen& s : seen)
        if (s.time >= 0) pictures.emplace_back(s.time, s.pictureSum);
    return pictures;
}

Seen Describe(const CVQDecodeAhead::Step& step) {
    Seen s;
    s.soundBytes = step.sound.size();
    if (!step.picture.empty()) {
        s.pictureSum = Sum(step.picture.data(), step.picture.size());
        s.time = step.time;
    }
    s.end = step.end;
    return s;
}

// The next step whatever its time, waiting for the thread as needed; null
// when the thread has nothing more to give.
std::unique_ptr<CVQDecodeAhead::Step> Next(CVQDecodeAhead* ahead, int* mostQueued = nullptr) {
    for (int tries = 0; tries < 10000; tries++) {
        if (std::unique_ptr<CVQDecodeAhead::Step> step = ahead->TakeDue(INT64_MAX)) return step;
        EXPECT_EQ(1, ahead->WaitUntilIdle(kWait));
        if (mostQueued) *mostQueued = std::max(*mostQueued, ahead->QueuedPictures());
        if (ahead->QueuedSteps() == 0) return nullptr;  // else the thread held the queue a moment
    }
    return nullptr;
}

// Takes steps as the thread makes them until the end step (or limit steps).
std::vector<Seen> TakeToEnd(CVQDecodeAhead* ahead, int* mostQueued, size_t limit = 10000) {
    std::vector<Seen> seen;
    while (seen.size() < limit) {
        std::unique_ptr<CVQDecodeAhead::Step> step = Next(ahead, mostQueued);
        if (!step) break;
        seen.push_back(Describe(*step));
        const bool end = step->end;
        ahead->Recycle(std::move(step));
        if (end) break;
    }
    return seen;
}

class Decoder : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_file = MakeVideo("decoder.wmv"); }
    static std::string s_file;
};
std::string Decoder::s_file;

TEST_F(Decoder, PicturesOnlyUnlessSoundIsAskedFor) {
    ASSERT_FALSE(s_file.empty());
    CVQFFmpegDecoder d;
    d.SetFileName(s_file.c_str());
    d.SetOutputPixelFormat(6);
    ASSERT_EQ(1, d.Open());
    EXPECT_EQ(d.HasVideo(), 1);
    EXPECT_EQ(d.HasAudio(), 0);
    EXPECT_EQ(d.GetWidth(), 640);
    EXPECT_EQ(d.GetHeight(), 480);
    EXPECT_NEAR(d.GetFrameRate(), 30.0, 0.1);
    const Pass p = PlayToEnd(&d);
    EXPECT_EQ(p.pictures, kPictures);
    EXPECT_EQ(p.audioBytes, 0);
    EXPECT_NEAR(static_cast<double>(d.GetDuration()), 1000.0, 40.0);
    const uint8_t* data;
    int size;
    d.GetPicture(&data, &size);
    EXPECT_EQ(size, 640 * 480 * 4);
}

TEST_F(Decoder, EachCallAdvancesEveryStreamByOnePacketAtMost) {
    // With sound, packets of one stream often follow each other: the second
    // is held for the next call, never lost.
    CVQFFmpegDecoder d;
    d.SetFileName(s_file.c_str());
    d.SetOutputPixelFormat(6);
    d.SetAudioDisabled(0);
    ASSERT_EQ(1, d.Open());
    EXPECT_EQ(d.HasAudio(), 1);
    EXPECT_EQ(d.GetChannels(), 2);
    EXPECT_EQ(d.GetSamplesPerSecond(), 44100);
    int64_t lastTime = -1;
    Pass p;
    const uint8_t* data;
    int size;
    while (!d.IsAtEnd() && p.calls < 10000) {
        d.Process();
        p.calls++;
        if (d.GetPicture(&data, &size)) {
            p.pictures++;
            EXPECT_GE(d.GetVideoTime(), lastTime);
            lastTime = d.GetVideoTime();
        }
        if (d.GetAudio(&data, &size)) {
            EXPECT_LE(size, CVQFFmpegDecoder::kAudioBufferSize);
            EXPECT_EQ(size % 4, 0);
            p.audioBytes += size;
        }
    }
    EXPECT_EQ(p.pictures, kPictures);
    EXPECT_GE(p.calls, kPictures);
    EXPECT_NEAR(p.audioBytes, 44100 * 4, 44100 * 4 / 10);
    EXPECT_NEAR(static_cast<double>(lastTime), 29 * 1000 / 30.0, 2);
}

TEST_F(Decoder, EndThenSeekToZeroPlaysAgain) {
    CVQFFmpegDecoder d;
    d.SetFileName(s_file.c_str());
    ASSERT_EQ(1, d.Open());
    EXPECT_EQ(d.IsAtEnd(), 0);
    const Pass first = PlayToEnd(&d);
    EXPECT_EQ(d.IsAtEnd(), 1);
    ASSERT_EQ(1, d.SeekTo(0));
    EXPECT_EQ(d.IsAtEnd(), 0);
    const Pass again = PlayToEnd(&d);
    EXPECT_EQ(again.pictures, first.pictures);
}

TEST_F(Decoder, MemoryStreamAndFormatRules) {
    const std::vector<uint8_t> bytes = ReadAllBytes(s_file);
    ASSERT_FALSE(bytes.empty());
    CVQFFmpegDecoder d;
    {
        LogCapture log;
        d.SetOutputPixelFormat(22);
        EXPECT_EQ(d.GetOutputPixelFormat(), 6);
        EXPECT_EQ(log.Count("We force RGB32 for now."), 1);
    }
    EXPECT_EQ(0, d.Process());  // not open
    ASSERT_EQ(static_cast<int>(bytes.size()), d.WriteStream(bytes.data(), static_cast<int>(bytes.size())));
    ASSERT_EQ(1, d.Open());
    d.SetFileName("ignored while open.wmv");
    EXPECT_EQ(PlayToEnd(&d).pictures, kPictures);
    ASSERT_EQ(1, d.SeekTo(0));
    EXPECT_EQ(PlayToEnd(&d).pictures, kPictures);
    d.Close();
    const uint8_t* data;
    int size;
    EXPECT_EQ(0, d.GetPicture(&data, &size));
    EXPECT_EQ(nullptr, data);
}

TEST_F(Decoder, StreamWithoutKnownDurationSaysSo) {
    // The recorder's ASF goes out as a stream: its header never learns the length.
    CVQFFmpegEncoder e;
    e.EnableVideo(1);
    e.SetVideoCodec(19, 0);
    e.SetVideoFormat(64, 48, 0, 6);
    ASSERT_EQ(1, e.OpenEncoder());
    std::vector<uint8_t> picture(64 * 48 * 4, 0x40);
    for (int k = 0; k < 10; k++) {
        e.SetInputPicture(picture.data());
        ASSERT_EQ(1, e.WriteFrame());
    }
    e.FinishEncoder();  // flushes what the container still buffers
    const uint8_t* out;
    int size;
    e.TakeOutput(&out, &size);
    CVQFFmpegDecoder d;
    d.WriteStream(out, size);
    ASSERT_EQ(1, d.Open());
    EXPECT_EQ(-1, d.GetDuration());
    EXPECT_GT(PlayToEnd(&d).pictures, 0);
}

TEST_F(Decoder, CorruptFilesFailOrPlayWithoutHarm) {
    std::vector<uint8_t> bytes = ReadAllBytes(s_file);
    ASSERT_GT(bytes.size(), 10000u);
    CVQFFmpegDecoder d;
    // Not a container at all; a header cut short.
    std::vector<uint8_t> junk(5000);
    for (size_t i = 0; i < junk.size(); i++) junk[i] = static_cast<uint8_t>(i * 131 + 7);
    d.WriteStream(junk.data(), static_cast<int>(junk.size()));
    EXPECT_EQ(0, d.Open());
    d.ClearStream();
    d.WriteStream(bytes.data(), 200);
    EXPECT_EQ(0, d.Open());
    // Damaged packets: decoding goes on to the end.
    for (size_t i = bytes.size() / 3; i < bytes.size(); i += 97) bytes[i] ^= 0x5A;
    d.ClearStream();
    d.WriteStream(bytes.data(), static_cast<int>(bytes.size()));
    d.SetAudioDisabled(0);
    if (d.Open()) {
        const Pass p = PlayToEnd(&d);
        EXPECT_LT(p.calls, 10000);
    }
    d.Close();
    d.SetFileName("no-such-file.wmv");
    EXPECT_EQ(0, d.Open());
}

TEST_F(Decoder, ThreadGivesWhatTheDecoderGivesInFileOrderAFewPicturesAhead) {
    ASSERT_FALSE(s_file.empty());
    const std::vector<Seen> inPlace = DecodeInPlace(s_file);
    ASSERT_FALSE(inPlace.empty());
    int pictures = 0;
    for (const Seen& s : inPlace) pictures += s.time >= 0;
    EXPECT_EQ(pictures, kPictures);

    CVQDecodeAhead ahead;
    ASSERT_EQ(1, ahead.Start(OpenDecoder(s_file), false));
    int mostQueued = 0;
    const std::vector<Seen> threaded = TakeToEnd(&ahead, &mostQueued);
    ASSERT_EQ(threaded.size(), inPlace.size());
    for (size_t i = 0; i < inPlace.size(); i++) EXPECT_TRUE(threaded[i] == inPlace[i]) << "step " << i;
    EXPECT_EQ(mostQueued, CVQDecodeAhead::kAheadPictures);
    // At the end the thread waits: nothing more comes.
    const int64_t processed = ahead.Processed();
    EXPECT_EQ(1, ahead.WaitUntilIdle(kWait));
    EXPECT_EQ(0, ahead.QueuedSteps());
    EXPECT_EQ(processed, ahead.Processed());

    // Restart: the same pictures again from the start, and the end.
    ahead.Restart();
    const std::vector<Seen> again = TakeToEnd(&ahead, nullptr);
    ASSERT_FALSE(again.empty());
    EXPECT_TRUE(again.back().end);
    EXPECT_EQ(Pictures(again), Pictures(inPlace));
}

TEST_F(Decoder, PausedThreadDecodesNothingAndANewSizeReachesLaterPictures) {
    CVQDecodeAhead ahead;
    ahead.SetPictureSize(320, 240);
    ASSERT_EQ(1, ahead.Start(OpenDecoder(s_file), true));
    ASSERT_EQ(1, ahead.WaitUntilIdle(kWait));
    EXPECT_EQ(0, ahead.Processed());
    EXPECT_EQ(0, ahead.QueuedSteps());

    ahead.SetPaused(false);
    ASSERT_EQ(1, ahead.WaitUntilIdle(kWait));
    EXPECT_EQ(CVQDecodeAhead::kAheadPictures, ahead.QueuedPictures());
    ahead.SetPaused(true);
    const int64_t processed = ahead.Processed();
    // A picture waits for its time; sound before it goes at once.
    for (int i = 0; i < 100; i++)
        if (std::unique_ptr<CVQDecodeAhead::Step> early = ahead.TakeDue(INT64_MIN)) {
            EXPECT_TRUE(early->picture.empty());
            ahead.Recycle(std::move(early));
        }
    EXPECT_EQ(CVQDecodeAhead::kAheadPictures, ahead.QueuedPictures());
    int taken = 0;
    while (std::unique_ptr<CVQDecodeAhead::Step> step = Next(&ahead)) {
        if (!step->picture.empty()) {
            EXPECT_EQ(320, step->width);
            EXPECT_EQ(240, step->height);
            EXPECT_EQ(step->picture.size(), 320u * 240u);
            ++taken;
        }
        ahead.Recycle(std::move(step));
    }
    EXPECT_EQ(CVQDecodeAhead::kAheadPictures, taken);
    // Room in the queue, but paused: still nothing decoded.
    ASSERT_EQ(1, ahead.WaitUntilIdle(kWait));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(processed, ahead.Processed());
    EXPECT_EQ(0, ahead.QueuedSteps());

    ahead.SetPictureSize(64, 48);
    ahead.SetPaused(false);
    ASSERT_EQ(1, ahead.WaitUntilIdle(kWait));
    std::unique_ptr<CVQDecodeAhead::Step> step;
    while ((step = Next(&ahead)) && step->picture.empty()) ahead.Recycle(std::move(step));
    ASSERT_TRUE(step);
    EXPECT_EQ(64, step->width);
    EXPECT_EQ(48, step->height);
    EXPECT_EQ(step->picture.size(), 64u * 48u);
    for (uint32_t pixel : step->picture) ASSERT_EQ(pixel >> 24, 0xFFu);  // opaque
}

TEST_F(Decoder, ThreadStopsCleanlyAtAnyPoint) {
    // Stopped at once, while decoding, with steps queued and taken steps
    // still held, and without Stop (the destructor): the sanitizers see
    // every buffer freed and the thread gone.
    for (int round = 0; round < 12; round++) {
        std::unique_ptr<CVQDecodeAhead::Step> held;
        {
            CVQDecodeAhead ahead;
            ASSERT_EQ(1, ahead.Start(OpenDecoder(s_file), false));
            for (int y = 0; y < round; y++) std::this_thread::yield();
            if (round % 3 == 1) held = Next(&ahead);
            if (round % 4 == 2) ahead.RequestStop();  // then the destructor waits
            if (round % 2) ahead.Stop();
        }
        EXPECT_TRUE(round % 3 != 1 || held);
    }
    CVQDecodeAhead unused;
    EXPECT_EQ(0, unused.Start(nullptr, false));
    EXPECT_EQ(1, unused.WaitUntilIdle(0));
}

TEST_F(Decoder, ThreadEndsDamagedFilesWithAnEndStep) {
    std::vector<uint8_t> bytes = ReadAllBytes(s_file);
    ASSERT_GT(bytes.size(), 10000u);
    for (size_t i = bytes.size() / 4; i < bytes.size(); i += 89) bytes[i] ^= 0x5A;
    const std::string damaged = "decode_ahead_damaged.wmv";
    {
        FILE* f = fopen(damaged.c_str(), "wb");
        ASSERT_TRUE(f);
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    // Cut short as well: the file ends inside a packet.
    const std::string cut = "decode_ahead_cut.wmv";
    {
        FILE* f = fopen(cut.c_str(), "wb");
        ASSERT_TRUE(f);
        fwrite(bytes.data(), 1, bytes.size() / 2 + 13, f);
        fclose(f);
    }
    for (const std::string& path : {damaged, cut}) {
        CVQFFmpegDecoder* decoder = OpenDecoder(path);
        if (!decoder) continue;  // refused at the start is fine too
        CVQDecodeAhead ahead;
        ASSERT_EQ(1, ahead.Start(decoder, false));
        const std::vector<Seen> seen = TakeToEnd(&ahead, nullptr);
        ASSERT_FALSE(seen.empty()) << path;
        EXPECT_TRUE(seen.back().end) << path;
        EXPECT_LT(seen.size(), 10000u) << path;
        ahead.Restart();  // and once more from the start
        const std::vector<Seen> again = TakeToEnd(&ahead, nullptr);
        ASSERT_FALSE(again.empty()) << path;
        EXPECT_TRUE(again.back().end) << path;
    }
    remove(damaged.c_str());
    remove(cut.c_str());
}

}  // namespace
