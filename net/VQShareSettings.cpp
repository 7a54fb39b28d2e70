#include "VQShareSettings.h"

VQShareSettings VQDefaultShareSettings() {
    VQShareSettings s;
    s.threads = 0;
    s.reduceMethod = 0;
    s.reduceFactor = 1;
    s.frameRate = 4;
    s.videoBitRate = 128000;
    s.audioBitRate = 64000;
    s.audioDevice = 0;
    return s;
}

namespace {
int Limit(int value, uint32_t low, uint32_t high) {
    const uint32_t v = static_cast<uint32_t>(value);
    if (v < low) return static_cast<int>(low);
    if (v > high) return static_cast<int>(high);
    return value;
}
}  // namespace

void VQLimitShareSettings(VQShareSettings* s, uint32_t width, uint32_t height) {
    if (s->reduceMethod == 0) s->reduceFactor = (width >= 1280 && height >= 960) ? 2 : 1;
    s->reduceFactor = Limit(s->reduceFactor, 1, 4);
    s->frameRate = Limit(s->frameRate, 1, 100);
    s->videoBitRate = Limit(s->videoBitRate, 28000, 10000000);
    s->audioBitRate = Limit(s->audioBitRate, 100, 1000000);
}

int VQShareSide(uint32_t side, int factor) {
    if (factor < 1) factor = 1;
    return static_cast<int>((side / static_cast<uint32_t>(factor)) & ~3u);
}

int64_t VQShareAudioTime(int64_t packets, int frameBytes, int channels, int bitsPerSample, int samplesPerSecond) {
    const int64_t bytesPerSecond = static_cast<int64_t>(channels) * (bitsPerSample / 8) * samplesPerSecond;
    if (bytesPerSecond <= 0 || packets < 0 || frameBytes < 0) return 0;
    return packets * frameBytes * 1000 / bytesPerSecond;
}

int64_t VQShareVideoTime(int64_t buffers, int frameRate) {
    if (frameRate <= 0 || buffers < 0) return 0;
    return buffers * 1000 / frameRate;
}
