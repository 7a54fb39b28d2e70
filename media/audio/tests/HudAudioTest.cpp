// Playback channels over a sound sink that records what it is given, and the
// playback thread that owns them; one run through the platform's wave-out.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "CVQHUD_Audio.h"
#include "CVQHUD_AudioT.h"
#include "FakeSoundSink.h"
#include "LogCapture.h"

namespace {
std::string Bytes(int n, char c) { return std::string(static_cast<size_t>(n), c); }

uint32_t g_now = 0;
uint32_t Now() { return g_now; }

// One piece of a stream's sound, given as the HUD's view and voice streams
// give theirs: a new channel when the stream has none or its device did not
// open, then the piece. 1 when the piece was posted.
int StreamPiece(CVQHUD_AudioT* audio, int* channel, const std::string& piece, int rate = 44100) {
    if (*channel < 0 || !audio->HasChannel(*channel)) *channel = audio->OpenChannel(rate, 2, 2);
    return *channel >= 0 ? audio->Play(*channel, piece.data(), static_cast<int>(piece.size())) : 0;
}
}  // namespace

TEST(HudAudio, ChannelsArePcmDevicesWithDistinctNumbersAndBoundedFormats) {
    LogCapture log;
    FakeSoundSink sink;
    CVQHUD_Audio audio(&sink);
    const int a = audio.OpenChannel(44100, 2, 2);
    const int b = audio.OpenChannel(22050, 1, 1);
    ASSERT_GE(a, 1);
    ASSERT_LE(a, 9999);
    ASSERT_GE(b, 1);
    ASSERT_LE(b, 9999);
    EXPECT_NE(a, b);
    const WAVEFORMATEX& f = sink.devices[0]->format;
    EXPECT_EQ(WAVE_FORMAT_PCM, f.wFormatTag);
    EXPECT_EQ(2, f.nChannels);
    EXPECT_EQ(44100u, f.nSamplesPerSec);
    EXPECT_EQ(4, f.nBlockAlign);
    EXPECT_EQ(176400u, f.nAvgBytesPerSec);
    EXPECT_EQ(16, f.wBitsPerSample);
    EXPECT_EQ(0, f.cbSize);
    EXPECT_EQ(8, sink.devices[1]->format.wBitsPerSample);
    EXPECT_EQ(1, audio.HasChannel(a));
    EXPECT_EQ(0, audio.HasChannel(-1));

    // Formats from a stream that we cannot play, and a refusing device.
    EXPECT_EQ(-1, audio.OpenChannel(0, 2, 2));
    EXPECT_EQ(-1, audio.OpenChannel(44100, 0, 2));
    EXPECT_EQ(-1, audio.OpenChannel(44100, 2, 3));
    EXPECT_EQ(-1, audio.OpenChannel(1000000, 2, 2));
    // A refusing device is logged once per run of refusals with one code.
    sink.refuseOpen = MMSYSERR_NODRIVER;
    EXPECT_EQ(-1, audio.OpenChannel(44100, 2, 2));
    EXPECT_EQ(-1, audio.OpenChannel(44100, 2, 2));
    EXPECT_EQ(1, log.Count("CVQHUD_Audio::OpenChannel(): Can't open WAVE Out Device (6)\r\n"));
    sink.refuseOpen = WAVERR_BADFORMAT;
    EXPECT_EQ(-1, audio.OpenChannel(44100, 2, 2));
    EXPECT_EQ(1, log.Count("Can't open WAVE Out Device (32)")) << "another code starts another run";
    sink.refuseOpen = MMSYSERR_NOERROR;
    const int c = audio.OpenChannel(44100, 2, 2);
    ASSERT_GT(c, 0);
    sink.refuseOpen = WAVERR_BADFORMAT;
    EXPECT_EQ(-1, audio.OpenChannel(44100, 2, 2));
    EXPECT_EQ(2, log.Count("Can't open WAVE Out Device (32)")) << "a device that opened ended the run";
    sink.refuseOpen = MMSYSERR_NOERROR;
    EXPECT_EQ(3, audio.ChannelCount());

    // A flood of streams cannot open devices without end.
    std::set<int> numbers = {a, b, c};
    while (audio.ChannelCount() < CVQHUD_Audio::kMaxChannels) {
        int n = audio.OpenChannel(8000, 1, 2);
        ASSERT_GE(n, 1);
        EXPECT_TRUE(numbers.insert(n).second) << "number used twice: " << n;
    }
    EXPECT_EQ(-1, audio.OpenChannel(8000, 1, 2));
}

TEST(HudAudio, PlayQueuesTenCopiesThenDropsAndReusesFinishedHeaders) {
    FakeSoundSink sink;
    CVQHUD_Audio audio(&sink);
    const int ch = audio.OpenChannel(44100, 2, 2);
    ASSERT_GT(ch, 0);
    std::string piece = Bytes(400, 'a');
    for (int i = 0; i < CVQHUD_Audio::kHeaders; ++i) {
        piece[0] = static_cast<char>('0' + i);
        ASSERT_EQ(1, audio.Play(ch, piece.data(), static_cast<int>(piece.size()))) << i;
    }
    EXPECT_EQ(10, audio.QueuedHeaders(ch));
    // The caller's bytes were copied: changing them afterwards changes nothing.
    piece.assign(400, 'z');
    EXPECT_EQ('0', sink.Last()->played[0][0]);
    EXPECT_EQ('9', sink.Last()->played[9][0]);
    EXPECT_EQ(0, audio.Play(ch, piece.data(), 400)) << "all ten queued: dropped";
    EXPECT_EQ(10u, sink.Last()->played.size());

    // A finished header is unprepared, refilled (grown for a larger piece) and queued again.
    sink.Finish(sink.LastHandle());
    const std::string big = Bytes(1000, 'b');
    ASSERT_EQ(1, audio.Play(ch, big.data(), 1000));
    EXPECT_EQ(big, sink.Last()->played.back());
    EXPECT_EQ(1, sink.unprepares);
    // A smaller piece in the grown buffer plays only its own bytes.
    sink.Finish(sink.LastHandle());
    ASSERT_EQ(1, audio.Play(ch, "xy", 2));
    EXPECT_EQ("xy", sink.Last()->played.back());

    // Sizes outside what one piece may be, no data, or an unknown channel: dropped.
    sink.Finish(sink.LastHandle());
    EXPECT_EQ(0, audio.Play(ch, big.data(), 0));
    EXPECT_EQ(0, audio.Play(ch, big.data(), -5));
    EXPECT_EQ(0, audio.Play(ch, nullptr, 10));
    EXPECT_EQ(0, audio.Play(ch, big.data(), CVQHUD_Audio::kMaxPlayBytes + 1));
    EXPECT_EQ(0, audio.Play(ch + 1 > 9999 ? 1 : ch + 1, big.data(), 10));
    // A device that refuses the write leaves the header free for the next piece.
    sink.refuseWrite = true;
    EXPECT_EQ(0, audio.Play(ch, big.data(), 10));
    sink.refuseWrite = false;
    EXPECT_EQ(1, audio.Play(ch, big.data(), 10));
}

TEST(HudAudio, ClosingResetsUnpreparesEveryHeaderThenClosesTheDevice) {
    FakeSoundSink sink;
    CVQHUD_Audio audio(&sink);
    const int a = audio.OpenChannel(44100, 2, 2);
    const int b = audio.OpenChannel(44100, 2, 2);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(1, audio.Play(a, "abcd", 4));
    audio.CloseChannel(a);
    EXPECT_FALSE(sink.devices[0]->open) << "closed after its queued headers came back";
    EXPECT_EQ(sink.prepares, sink.unprepares);
    EXPECT_EQ(0, audio.HasChannel(a));
    EXPECT_EQ(1, audio.HasChannel(b));
    audio.CloseChannel(a);  // twice: nothing
    ASSERT_EQ(1, audio.Play(b, "abcd", 4));
    audio.Initialise();
    EXPECT_FALSE(sink.devices[1]->open);
    EXPECT_EQ(0, audio.ChannelCount());
}

TEST(HudAudioThread, EveryDeviceCallRunsOnThePlaybackThread) {
    FakeSoundSink sink;
    CVQHUD_AudioT audio(&sink);
    EXPECT_EQ(-1, audio.OpenChannel(44100, 2, 2)) << "no thread yet";
    EXPECT_EQ(0, audio.Play(1, "ab", 2));
    EXPECT_EQ(0, audio.Flush(10));
    ASSERT_EQ(1, audio.Start());
    const int ch = audio.OpenChannel(44100, 2, 2);
    ASSERT_GE(ch, 1);
    ASSERT_LE(ch, 9999);
    EXPECT_EQ(1, audio.HasChannel(ch));
    std::string piece = "abcd";
    EXPECT_EQ(1, audio.Play(ch, piece.data(), 4));
    piece = "zzzz";  // the caller's bytes were copied when posted
    ASSERT_EQ(1, audio.Flush());
    ASSERT_EQ(1u, sink.devices.size());
    EXPECT_EQ(44100u, sink.Last()->format.nSamplesPerSec);
    EXPECT_EQ("abcd", sink.Last()->played.back());
    audio.CloseChannel(ch);
    EXPECT_EQ(0, audio.HasChannel(ch)) << "gone for the callers at once";
    EXPECT_EQ(0, audio.Play(ch, "ab", 2));
    ASSERT_EQ(1, audio.Flush());
    EXPECT_FALSE(sink.Last()->open);
    EXPECT_EQ(sink.prepares, sink.unprepares);

    // Formats we do not play are refused on the caller's side.
    EXPECT_EQ(-1, audio.OpenChannel(44100, 3, 2));
    EXPECT_EQ(-1, audio.OpenChannel(500, 1, 2));

    const int kept = audio.OpenChannel(22050, 1, 2);
    ASSERT_GT(kept, 0);
    EXPECT_NE(ch, kept);
    ASSERT_EQ(1, audio.Play(kept, "abcd", 4));
    ASSERT_EQ(1, audio.Flush());
    const DWORD playback = audio.ThreadId();
    audio.Stop();
    EXPECT_FALSE(sink.Last()->open) << "the thread closes its channels when it ends";
    EXPECT_EQ(sink.prepares, sink.unprepares);
    EXPECT_EQ(std::set<DWORD>{playback}, sink.threads);
    EXPECT_EQ(-1, audio.OpenChannel(44100, 2, 2)) << "stopped";
    EXPECT_EQ(0, audio.HasChannel(kept));
    // It can be started again.
    ASSERT_EQ(1, audio.Start());
    EXPECT_GT(audio.OpenChannel(44100, 2, 2), 0);
}

// A device that cannot be opened: the number was given at once and the
// channel is gone once the thread found out. A stream asking again with every
// piece gets its device asked at most once a second (on the injected clock),
// the refusal is logged once for the run, and a device that comes back is
// used for the pieces from then on.
TEST(HudAudioThread, ARefusingDeviceIsAskedOnceASecondAndLoggedOncePerRun) {
    LogCapture log;
    FakeSoundSink sink;
    CVQHUD_AudioT audio(&sink);
    g_now = 0xfffff000u;  // the millisecond counter wraps during the test
    audio.SetClock(Now);
    ASSERT_EQ(1, audio.Start());
    sink.refuseOpen = MMSYSERR_NODRIVER;
    const int refused = audio.OpenChannel(44100, 2, 2);
    ASSERT_GT(refused, 0);
    ASSERT_EQ(1, audio.Flush());
    EXPECT_EQ(0, audio.HasChannel(refused));
    EXPECT_EQ(0, audio.Play(refused, "abcd", 4));
    audio.CloseChannel(refused);  // nothing to close

    // Five seconds of pieces 40 ms apart: the device is asked again at each
    // full second after the first try, never sooner.
    int channel = refused;
    std::vector<uint32_t> asked = {g_now};
    for (int i = 0; i < 125; ++i) {
        g_now += 40;
        const int opens = sink.opens;
        StreamPiece(&audio, &channel, "abcd");
        ASSERT_EQ(1, audio.Flush());
        if (sink.opens != opens) asked.push_back(g_now);
    }
    ASSERT_EQ(6u, asked.size());
    for (size_t i = 1; i < asked.size(); ++i) EXPECT_EQ(1000u, asked[i] - asked[i - 1]) << i;
    EXPECT_EQ(0, audio.HasChannel(channel));
    EXPECT_TRUE(sink.devices.empty());
    EXPECT_EQ(1, log.Count("Can't open WAVE Out Device")) << log.text;
    // The pause is per format: another stream's format is tried at once.
    int other = -1;
    StreamPiece(&audio, &other, "abcd", 22050);
    EXPECT_GT(other, 0);
    ASSERT_EQ(1, audio.Flush());
    EXPECT_EQ(7, sink.opens);
    EXPECT_EQ(1, log.Count("Can't open WAVE Out Device")) << "the same run";

    // The device comes back: within a second the stream has it, and every
    // piece from then on plays, in order, on that one device.
    sink.refuseOpen = MMSYSERR_NOERROR;
    int posted = 0;
    for (int i = 0; i < 50; ++i) {
        g_now += 40;
        posted += StreamPiece(&audio, &channel, "p" + std::to_string(i));
        ASSERT_EQ(1, audio.Flush());
        sink.FinishAll();
    }
    EXPECT_EQ(8, sink.opens);
    ASSERT_EQ(1u, sink.devices.size());
    EXPECT_GE(posted, 25);
    ASSERT_EQ(static_cast<size_t>(posted), sink.Last()->played.size());
    EXPECT_EQ("p" + std::to_string(50 - posted), sink.Last()->played.front());
    EXPECT_EQ("p49", sink.Last()->played.back());
    EXPECT_EQ(1, audio.HasChannel(channel));
    EXPECT_EQ(0, audio.Dropped(CVQHUD_AudioT::kDropDevice));
    EXPECT_EQ(1, log.Count("Can't open WAVE Out Device"));

    // That success ended the run: the next refusal is logged again.
    audio.CloseChannel(channel);
    channel = -1;
    sink.refuseOpen = MMSYSERR_NODRIVER;
    g_now += 40;
    StreamPiece(&audio, &channel, "abcd");
    ASSERT_EQ(1, audio.Flush());
    EXPECT_EQ(9, sink.opens);
    EXPECT_EQ(2, log.Count("Can't open WAVE Out Device")) << log.text;

    // A format we do not play is refused on the callers' side: logged once
    // while streams keep asking, again after a channel was given.
    for (int i = 0; i < 20; ++i) EXPECT_EQ(-1, audio.OpenChannel(44100, 6, 2));
    EXPECT_EQ(1, log.Count("Unsupported format 44100 Hz, 6 channels, 2 bytes"));
    EXPECT_GT(audio.OpenChannel(8000, 1, 1), 0);
    EXPECT_EQ(-1, audio.OpenChannel(44100, 6, 2));
    EXPECT_EQ(2, log.Count("Unsupported format 44100 Hz, 6 channels, 2 bytes"));
}

// The playback thread stuck in a device call: callers still get their
// answers at once; the queue fills and drops with a reason logged once, but a
// close still gets in, and once the device answers it frees every header.
TEST(HudAudioThread, CallersNeverWaitAndAFullQueueDropsButStillCloses) {
    LogCapture log;
    FakeSoundSink sink;
    CVQHUD_AudioT audio(&sink);
    ASSERT_EQ(1, audio.Start());
    const int ch = audio.OpenChannel(44100, 2, 2);
    ASSERT_GT(ch, 0);
    ASSERT_EQ(1, audio.Flush());
    sink.hold = true;
    ASSERT_EQ(1, audio.Play(ch, "abcd", 4));  // the thread takes it and stays in the device
    Sleep(20);

    // At most 4 MB of sound waits: ten of the largest pieces fit, the eleventh not.
    const std::string big(CVQHUD_Audio::kMaxPlayBytes, 's');
    for (int i = 0; i < 10; ++i) ASSERT_EQ(1, audio.Play(ch, big.data(), CVQHUD_Audio::kMaxPlayBytes)) << i;
    EXPECT_EQ(0, audio.Play(ch, big.data(), CVQHUD_Audio::kMaxPlayBytes));
    EXPECT_EQ(1, audio.Dropped(CVQHUD_AudioT::kDropQueueBytes));
    // Small pieces fill the entries; from then on every one is dropped.
    int posted = 11;  // the first piece and ten large ones
    while (audio.Play(ch, "abcd", 4)) ASSERT_LE(++posted, CVQHUD_AudioT::kQueueSize);
    EXPECT_GE(posted, CVQHUD_AudioT::kQueueSize - CVQHUD_Audio::kMaxChannels - 1);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(0, audio.Play(ch, "abcd", 4));
    EXPECT_EQ(6, audio.Dropped(CVQHUD_AudioT::kDropQueueFull));
    EXPECT_EQ(-1, audio.OpenChannel(44100, 2, 2)) << "no room to open either";
    EXPECT_EQ(1, log.Count("CVQHUD_AudioT::Play(): Queue full, dropped"));
    EXPECT_EQ(1, log.Count("CVQHUD_AudioT::Play(): Too much sound queued, dropped"));
    EXPECT_EQ(1, audio.HasChannel(ch));
    audio.CloseChannel(ch);
    EXPECT_EQ(0, audio.HasChannel(ch));

    sink.hold = false;
    ASSERT_EQ(1, audio.Flush());
    EXPECT_FALSE(sink.Last()->open) << "the close was queued behind everything";
    EXPECT_EQ(sink.prepares, sink.unprepares);
    EXPECT_EQ(10u, sink.Last()->played.size()) << "ten headers queued, the rest dropped by the device";
    EXPECT_GT(audio.Dropped(CVQHUD_AudioT::kDropDevice), 0);
    // The queue is usable again.
    const int again = audio.OpenChannel(44100, 2, 2);
    ASSERT_GT(again, 0);
    EXPECT_EQ(1, audio.Play(again, "abcd", 4));
    ASSERT_EQ(1, audio.Flush());
    EXPECT_EQ("abcd", sink.Last()->played.back());
}

TEST(HudAudioThread, CallersOnSeveralThreadsAreTakenOneAtATime) {
    FakeSoundSink sink;
    CVQHUD_AudioT audio(&sink);
    ASSERT_EQ(1, audio.Start());
    std::atomic<int> opened(0), failures(0);
    std::vector<std::thread> callers;
    // 4 x 15 x 3 requests: fewer than the queue holds, whatever the scheduling.
    for (int t = 0; t < 4; ++t)
        callers.emplace_back([&] {
            for (int i = 0; i < 15; ++i) {
                int ch = audio.OpenChannel(8000, 1, 2);
                if (ch <= 0) {
                    ++failures;
                    continue;
                }
                ++opened;
                if (audio.Play(ch, "abcd", 4) != 1 || audio.HasChannel(ch) != 1) ++failures;
                audio.CloseChannel(ch);
            }
        });
    for (std::thread& t : callers) t.join();
    EXPECT_EQ(60, opened.load());
    EXPECT_EQ(0, failures.load());
    ASSERT_EQ(1, audio.Flush());
    EXPECT_EQ(60u, sink.devices.size());
    for (FakeSoundSink::Device* d : sink.devices) {
        EXPECT_FALSE(d->open);
        EXPECT_EQ(1u, d->played.size());
    }
    EXPECT_EQ(sink.prepares, sink.unprepares);
    audio.Stop();
    EXPECT_EQ(1u, sink.threads.size());
}

TEST(HudAudioThread, PlaysThroughThePlatformWaveOut) {
    // The test's sound home has one null output device.
    CVQHUD_AudioT audio;
    ASSERT_EQ(1, audio.Start());
    const int ch = audio.OpenChannel(22050, 2, 2);
    ASSERT_GT(ch, 0);
    std::vector<short> tone(2205 * 2);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<short>((i / 2) % 50 * 400 - 10000);
    const int bytes = static_cast<int>(tone.size() * sizeof(short));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(1, audio.Play(ch, tone.data(), bytes)) << i;
    ASSERT_EQ(1, audio.Flush());
    EXPECT_EQ(1, audio.HasChannel(ch)) << "the null device opened";
    EXPECT_EQ(0, audio.Dropped(CVQHUD_AudioT::kDropDevice));
    audio.CloseChannel(ch);  // while buffers may still be queued
    EXPECT_EQ(0, audio.HasChannel(ch));
    ASSERT_EQ(1, audio.Flush());
    audio.Stop();
}
