// Records a few seconds of the Direct3D 8 sample game with the AVI recorder
// (recorder type 1) through the whole path a player uses: a real device behind our
// wrapper, the HUD over the game, the recorder driven from Present, the
// capture device's sound. The file is then read back with the codec library
// and a handful of its pictures are written as BMP files and its sound as a
// WAV file, for a person to look at and listen to.
//   avi_demo8.exe <output folder, ending with a backslash>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CVQGameHarness.h"
#include "CVQHUD.h"
#include "MediaTestUtil.h"
#include "VKSettings.h"

namespace {

class DemoSettings : public IVKSettingsStore {
public:
    explicit DemoSettings(const std::string& folder) : m_folder(folder) {}
    bool Read(const char*, const char* name, CVKString* value) override {
        if (std::string(name) == "recorderFolder")
            value->Set(m_folder.c_str());
        else if (std::string(name) == "recorderType")
            value->Set("1");
        else
            return false;
        return true;
    }
    bool Write(const char*, const char*, const char*) override { return false; }

private:
    std::string m_folder;
};

// A stored AVI picture is a bottom-up 24-bit DIB: a BMP file is its bytes
// behind the two headers.
bool WriteBmp(const std::string& path, const std::vector<uint8_t>& dib, int width, int height) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + static_cast<DWORD>(dib.size());
    ih.biSize = sizeof ih;
    ih.biWidth = width;
    ih.biHeight = height;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    fwrite(&fh, sizeof fh, 1, f);
    fwrite(&ih, sizeof ih, 1, f);
    fwrite(dib.data(), 1, dib.size(), f);
    return fclose(f) == 0;
}

bool WriteWav(const std::string& path, const std::vector<uint8_t>& pcm) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    auto u32 = [&](uint32_t v) { fwrite(&v, 4, 1, f); };
    auto u16 = [&](uint16_t v) { fwrite(&v, 2, 1, f); };
    fwrite("RIFF", 1, 4, f);
    u32(36 + static_cast<uint32_t>(pcm.size()));
    fwrite("WAVEfmt ", 1, 8, f);
    u32(16);
    u16(1);
    u16(2);
    u32(22050);
    u32(88200);
    u16(4);
    u16(16);
    fwrite("data", 1, 4, f);
    u32(static_cast<uint32_t>(pcm.size()));
    fwrite(pcm.data(), 1, pcm.size(), f);
    return fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printf("usage: avi_demo8 <output folder\\>\n");
        return 2;
    }
    std::string folder = argv[1];
    if (folder.back() != '\\') folder += '\\';
    DemoSettings settings(folder);
    VKSetSettingsStore(&settings);
    CVQGameHarness game;
    if (!game.Start(640, 480)) return 1;
    std::string recording;
    for (unsigned frame = 0; frame < 2000; ++frame) {
        game.DrawScene(frame);
        game.Present();  // the HUD is drawn, the recorder takes the frame before it
        if (frame == 5) {
            if (!VQHud()->CurrentRecorder() || !VQHud()->CurrentRecorder()->BeginRecording()) {
                printf("avi demo: the recorder did not start\n");
                return 1;
            }
            recording = VQHud()->AviRecorder()->GetPath();
            printf("avi demo: recording to %s\n", recording.c_str());
        }
        if (frame > 5 && VQHud()->AviRecorder()->GetStats().framesWritten >= 90) break;
        Sleep(10);
    }
    const CVQRecordAvi::Stats stats = VQHud()->AviRecorder()->GetStats();
    VQHud()->CurrentRecorder()->EndRecording();
    game.Stop();
    printf("avi demo: frames looked at %u, pictures taken %u, frames written %u, sound buffers %u\n",
           stats.framesLookedAt, stats.picturesCopied, stats.framesWritten, stats.audioBuffers);

    const std::vector<ContainerStream> streams = ReadContainerFile(recording);
    if (streams.size() != 2) {
        printf("avi demo: cannot read %s back\n", recording.c_str());
        return 1;
    }
    const ContainerStream& video = streams[0];
    printf("avi demo: read back %dx%d video, %d frames; sound %d Hz, %d channels, %d packets\n", video.width,
           video.height, video.packets, streams[1].sampleRate, streams[1].channels, streams[1].packets);
    int written = 0;
    for (size_t i = 0; i < video.data.size(); i += 20) {
        char name[64];
        snprintf(name, sizeof name, "avi-frame-%03d.bmp", static_cast<int>(i));
        if (WriteBmp(folder + name, video.data[i], video.width, video.height)) ++written;
    }
    std::vector<uint8_t> sound;
    for (const auto& d : streams[1].data) sound.insert(sound.end(), d.begin(), d.end());
    WriteWav(folder + "avi-sound.wav", sound);
    printf("avi demo: %d pictures written as avi-frame-NNN.bmp, %.2f s of sound in avi-sound.wav\n", written,
           sound.size() / 88200.0);
    return written > 0 ? 0 : 1;
}
