// Records the sample game through the whole path a player uses (a real
// device behind our wrapper, the HUD over the game, the session recorder
// driven from Present) with sound from a capture device that delivers in
// real time, for a given length of sound, then reads the recording back and
// checks it: one picture per 1/30 s of sound (within 2%, less the buffers
// that no frame could picture), every copy taken in the file,
// time stamps strictly increasing, and the sound unbroken (the capture source
// plays a 441 Hz tone, so every sample equals the one a period earlier).
// Prints the figures; exit code 0 when every check holds, 77 when the game
// itself presented fewer frames than the recording needs (a machine too busy
// to judge the recorder on).
//   record_paced.exe <seconds> <width> <height> <output folder\>
#include <windows.h>
#include <d3d9.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "CVKRECDecoder.h"
#include "CVQGameHarness.h"
#include "CVQHUD.h"
#include "ProxyState.h"
#include "VKSettings.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

class FolderSettings : public IVKSettingsStore {
public:
    explicit FolderSettings(const std::string& folder) : m_folder(folder) {}
    bool Read(const char*, const char* name, CVKString* value) override {
        if (std::string(name) == "recorderFolder")
            value->Set(m_folder.c_str());
        else if (std::string(name) == "loginShowIntro")
            value->Set("0");
        else
            return false;
        return true;
    }
    bool Write(const char*, const char*, const char*) override { return false; }

private:
    std::string m_folder;
};

double NowMs() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        printf("usage: record_paced <seconds> <width> <height> <output folder\\>\n");
        return 2;
    }
    const int seconds = std::max(1, atoi(argv[1]));
    const int width = atoi(argv[2]), height = atoi(argv[3]);
    std::string folder = argv[4];
    if (folder.back() != '\\') folder += '\\';
    FolderSettings settings(folder);
    VKSetSettingsStore(&settings);
    CVQGameHarness game;
    if (!game.Start(width, height)) return 1;

    // The game presents at most 60 frames a second, as with vertical sync.
    const int64_t soundRecords = static_cast<int64_t>(seconds) * 30;
    std::string recording;
    std::vector<double> captureMs;
    // Sound buffers that no frame could picture: when the sound position moves
    // on by k buffers from one frame to the next (the game paused longer than
    // a buffer, or the device completed buffers together), only the last of
    // the k gets a picture.
    int64_t paceMisses = 0, lastPosition = -1;
    const double start = NowMs();
    double next = start;
    for (unsigned frame = 0; NowMs() - start < seconds * 3000.0 + 20000.0; ++frame) {
        game.DrawScene(frame);
        CVQRecordSE* recorder = VQHud() ? VQHud()->SessionRecorder() : nullptr;
        const CVQRecordSE::Stats before = recorder ? recorder->GetStats() : CVQRecordSE::Stats();
        const int64_t position = recorder && recorder->IsRecording() ? recorder->SoundPosition() : -1;
        if (position >= 0 && lastPosition >= 0 && position - lastPosition > 1)
            paceMisses += position - lastPosition - 1;
        lastPosition = position;
        const double t0 = NowMs();
        game.Present();
        const double t1 = NowMs();
        if (recorder && recorder->IsRecording()) {
            const CVQRecordSE::Stats after = recorder->GetStats();
            if (after.offered > before.offered && after.noSound == before.noSound &&
                after.skippedBusy == before.skippedBusy)
                captureMs.push_back(t1 - t0);
            if (after.audioBuffers >= soundRecords) break;
        }
        if (frame == 5) {
            if (!VQHud()->CurrentRecorder() || !VQHud()->CurrentRecorder()->BeginRecording()) {
                printf("record_paced: the recorder did not start\n");
                return 1;
            }
            recording = VQHud()->SessionRecorder()->GetPath();
        }
        next += 1000.0 / 60;
        const double wait = next - NowMs();
        if (wait > 0)
            Sleep(static_cast<DWORD>(wait));
        else
            next = NowMs();
    }
    const double wallSeconds = (NowMs() - start) / 1000.0;
    CVQRecordSE::Stats stats = VQHud()->SessionRecorder()->GetStats();
    VQHud()->CurrentRecorder()->EndRecording();
    game.Stop();

    CVKRECDecoder reader;
    if (recording.empty() || !reader.Open(recording.c_str())) {
        printf("record_paced: cannot read %s back\n", recording.c_str());
        return 1;
    }
    const int period = reader.sampleRate / 441;  // frames per period of the tone
    const int channels = reader.channels;
    std::vector<int16_t> sound;
    int64_t audioRecords = 0, pictures = 0, stampsOrdered = 1, lastStamp = -1, wrongSizes = 0;
    AVPacket* packet = av_packet_alloc();
    for (char tag; (tag = reader.ReadTag()) != 0;) {
        if (tag == 'A') {
            const uint8_t* data;
            uint32_t size;
            if (!reader.ReadSampleAudio(&data, &size)) break;
            if (size != reader.audioBufferBytes) wrongSizes++;
            const int16_t* samples = reinterpret_cast<const int16_t*>(data);
            sound.insert(sound.end(), samples, samples + size / 2);
            audioRecords++;
        } else if (tag == 'V') {
            int64_t stamp = 0;
            if (!reader.ReadSampleVideo(packet, &stamp)) break;
            if (stamp <= lastStamp) stampsOrdered = 0;
            lastStamp = stamp;
            pictures++;
        } else {
            break;
        }
    }
    av_packet_free(&packet);
    const unsigned sampleRate = reader.sampleRate;
    reader.Close();

    // Unbroken: each sample equals the one a period of the tone earlier, and the tone is there.
    int64_t breaks = 0;
    int peak = 0;
    const size_t step = static_cast<size_t>(period) * channels;
    for (size_t i = 0; i < sound.size(); i++) {
        peak = std::max(peak, std::abs(static_cast<int>(sound[i])));
        if (i >= step && sound[i] != sound[i - step]) breaks++;
    }
    std::sort(captureMs.begin(), captureMs.end());
    const double median = captureMs.empty() ? 0 : captureMs[captureMs.size() / 2];
    const double p99 = captureMs.empty() ? 0 : captureMs[std::min(captureMs.size() - 1, captureMs.size() * 99 / 100)];
    const double worst = captureMs.empty() ? 0 : captureMs.back();
    // One picture per 1/30 s of sound recorded, less what the game's pace
    // explains; and every frame that took a copy has its picture in the file.
    const double expected = static_cast<double>(audioRecords - std::min(paceMisses, audioRecords));
    const int64_t lost = static_cast<int64_t>(captureMs.size()) - pictures;
    const bool countOk =
        pictures >= expected * 0.98 && pictures <= audioRecords * 1.02 && audioRecords >= soundRecords && lost == 0;
    const bool soundOk = breaks == 0 && wrongSizes == 0 && peak > 1000 && period > 0;
    printf(
        "record_paced: %dx%d %d s: wall %.1f s, sound records %lld (%.1f s), pictures %lld, skipped busy %u, "
        "frames offered %u, %u Hz %d channels\n",
        width, height, seconds, wallSeconds, static_cast<long long>(audioRecords), audioRecords / 30.0,
        static_cast<long long>(pictures), stats.skippedBusy, stats.offered, sampleRate, channels);
    printf(
        "record_paced: skipped busy with the encoder behind %u, with the device's copies unfinished %u; "
        "frames without new sound %u, buffers no frame could picture %lld, copies taken but not in the file %lld\n",
        stats.skippedBusy - stats.deviceBehind, stats.deviceBehind, stats.noSound, static_cast<long long>(paceMisses),
        static_cast<long long>(lost));
    printf(
        "record_paced: capturing frames (%zu) present_ms median=%.3f p99=%.3f max=%.3f; encode_ms_per_picture=%.2f "
        "copy_for_encoder_ms=%.3f sound_write_ms=%.3f\n",
        captureMs.size(), median, p99, worst, stats.recorded ? stats.encodeMicros / 1000.0 / stats.recorded : 0.0,
        stats.recorded ? stats.captureMicros / 1000.0 / stats.recorded : 0.0,
        stats.recorded ? stats.soundMicros / 1000.0 / stats.recorded : 0.0);
    printf("record_paced: picture count %s, time stamps %s, sound %s (%lld mismatches, peak %d, %lld odd records)\n",
           countOk ? "ok" : "WRONG", stampsOrdered ? "strictly increasing" : "NOT INCREASING",
           soundOk ? "unbroken" : "BROKEN", static_cast<long long>(breaks), peak, static_cast<long long>(wrongSizes));
    DeleteFileA(recording.c_str());
    std::string di = recording.substr(0, recording.size() - 4) + ".di";
    DeleteFileA(di.c_str());
    // One picture per sound buffer needs a frame after every buffer. A game that
    // presents barely faster than 30 frames a second, or stalls for longer than
    // a buffer, misses some of them through its own pace alone, so the count is
    // judged only where every 1/30 s holds a frame with room to spare.
    const double gameRate = audioRecords ? stats.offered * 30.0 / audioRecords : 0.0;
    const bool roomy = gameRate >= 60.0 && worst < 1000.0 / 30.0;
    if (!(stampsOrdered && soundOk) && gameRate < 31.0) {
        printf("record_paced: skipped: the game presented only %.1f frames a second while recording\n", gameRate);
        return 77;
    }
    if (stampsOrdered && soundOk && !countOk && !roomy) {
        printf(
            "record_paced: skipped: picture count not judged, the game presented %.1f frames a second, "
            "slowest %.1f ms\n",
            gameRate, worst);
        return 77;
    }
    return countOk && stampsOrdered && soundOk ? 0 : 1;
}
