// Records a few seconds of the sample game's picture through the whole path
// a player uses (a real device behind our wrapper, the HUD over the game, the
// session recorder driven from Present, the capture device's sound), then
// reads the recording back and writes a handful of its frames as BMP files
// and its sound as a WAV file, for a person to look at and listen to.
//   record_demo.exe <output folder, ending with a backslash>
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

class DemoSettings : public IVKSettingsStore {
public:
    explicit DemoSettings(const std::string& folder) : m_folder(folder) {}
    bool Read(const char*, const char* name, CVKString* value) override {
        if (std::string(name) != "recorderFolder") return false;
        value->Set(m_folder.c_str());
        return true;
    }
    bool Write(const char*, const char*, const char*) override { return false; }

private:
    std::string m_folder;
};

bool WriteBmp(const std::string& path, const uint8_t* bgrx, int width, int height) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + stride * height;
    ih.biSize = sizeof ih;
    ih.biWidth = width;
    ih.biHeight = -height;  // top-down
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    fwrite(&fh, sizeof fh, 1, f);
    fwrite(&ih, sizeof ih, 1, f);
    std::vector<uint8_t> row(stride, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) row[x * 3 + c] = bgrx[(y * width + x) * 4 + c];
        fwrite(row.data(), 1, stride, f);
    }
    return fclose(f) == 0;
}

bool WriteWav(const std::string& path, const std::vector<uint8_t>& pcm, int channels, int rate, int bits) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    auto u32 = [&](uint32_t v) { fwrite(&v, 4, 1, f); };
    auto u16 = [&](uint16_t v) { fwrite(&v, 2, 1, f); };
    fwrite("RIFF", 1, 4, f);
    u32(36 + static_cast<uint32_t>(pcm.size()));
    fwrite("WAVEfmt ", 1, 8, f);
    u32(16);
    u16(1);
    u16(static_cast<uint16_t>(channels));
    u32(rate);
    u32(rate * channels * bits / 8);
    u16(static_cast<uint16_t>(channels * bits / 8));
    u16(static_cast<uint16_t>(bits));
    fwrite("data", 1, 4, f);
    u32(static_cast<uint32_t>(pcm.size()));
    fwrite(pcm.data(), 1, pcm.size(), f);
    return fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printf("usage: record_demo <output folder\\> [pictures]\n");
        return 2;
    }
    std::string folder = argv[1];
    // The number of pictures to record (90, three seconds, unless asked).
    const unsigned pictures = argc > 2 ? static_cast<unsigned>(std::min(std::max(atoi(argv[2]), 1), 36000)) : 90;
    if (folder.back() != '\\') folder += '\\';
    DemoSettings settings(folder);
    VKSetSettingsStore(&settings);
    CVQGameHarness game;
    if (!game.Start(640, 480)) return 1;
    std::string recording;
    for (unsigned frame = 0; frame < 2000 + 20 * pictures; ++frame) {
        game.DrawScene(frame);
        game.Present();  // the HUD is drawn, the recorder takes the frame
        if (frame == 5) {
            if (!VQHud()->CurrentRecorder() || !VQHud()->CurrentRecorder()->BeginRecording()) {
                printf("record demo: the recorder did not start\n");
                return 1;
            }
            recording = VQHud()->SessionRecorder()->GetPath();
            printf("record demo: recording to %s\n", recording.c_str());
        }
        if (frame > 5 && VQHud()->SessionRecorder()->GetStats().recorded >= pictures) break;
        Sleep(10);
    }
    CVQRecordSE::Stats stats = VQHud()->SessionRecorder()->GetStats();
    VQHud()->CurrentRecorder()->EndRecording();
    game.Stop();
    printf("record demo: frames offered %u, recorded %u, skipped while the encoder was busy %u\n", stats.offered,
           stats.recorded, stats.skippedBusy);

    CVKRECDecoder reader;
    reader.SetOutputFormat(6);
    if (!reader.Open(recording.c_str())) {
        printf("record demo: cannot read %s back\n", recording.c_str());
        return 1;
    }
    printf("record demo: %ux%u, sound %u Hz, %u channels, %u bits\n", reader.width, reader.height, reader.sampleRate,
           reader.channels, reader.bitsPerSample);
    std::vector<uint8_t> sound;
    AVPacket* packet = av_packet_alloc();
    int video = 0, written = 0;
    for (char tag; (tag = reader.ReadTag()) != 0;) {
        if (tag == 'A') {
            const uint8_t* data;
            uint32_t size;
            if (!reader.ReadSampleAudio(&data, &size)) break;
            sound.insert(sound.end(), data, data + size);
        } else if (tag == 'V') {
            int64_t stamp;
            if (!reader.ReadSampleVideo(packet, &stamp)) break;
            if (video % 20 == 0) {
                const uint8_t* pixels = reader.DecodeVideoSample(packet);
                char name[64];
                snprintf(name, sizeof name, "frame-%03d.bmp", video);
                if (pixels && WriteBmp(folder + name, pixels, reader.width, reader.height)) ++written;
            }
            ++video;
        } else {
            break;
        }
    }
    av_packet_free(&packet);
    WriteWav(folder + "sound.wav", sound, reader.channels, reader.sampleRate, reader.bitsPerSample);
    printf("record demo: read back %d pictures (%d written as frame-NNN.bmp) and %.2f s of sound (sound.wav)\n", video,
           written, sound.size() / double(reader.channels * reader.bitsPerSample / 8 * reader.sampleRate));
    return 0;
}
