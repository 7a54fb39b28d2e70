// Throughput of the pixel-block conversions at screen sizes: the 32-bit row
// copies against memcpy of the same bytes, and the 16- and 24-bit
// conversions in pixels per second. Run by scripts/bench.d/pixels.sh.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "CVKPixels.h"

namespace {

// Seconds per run of work: the best of several timed batches, each of at
// least 50 ms, after one warm-up run.
double SecondsPerRun(const std::function<void()>& work) {
    using Clock = std::chrono::steady_clock;
    work();
    double best = 1e30;
    for (int batch = 0; batch < 5; ++batch) {
        int runs = 0;
        Clock::time_point start = Clock::now();
        double elapsed = 0;
        do {
            work();
            ++runs;
            elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        } while (elapsed < 0.05);
        if (elapsed / runs < best) best = elapsed / runs;
    }
    return best;
}

volatile uint8_t g_sink;

struct Block {
    std::vector<uint8_t> memory;
    CVKPixels pixels;
    Block(uint32_t layout, uint32_t width, uint32_t height, uint32_t padding) {
        int32_t stride = static_cast<int32_t>(CVKPixels::BitsPerPixel(layout) * width / 8 + padding);
        memory.resize(static_cast<size_t>(stride) * height);
        for (size_t i = 0; i < memory.size(); ++i) memory[i] = static_cast<uint8_t>(i * 2654435761u >> 24);
        pixels.Init(layout, width, height, memory.data(), static_cast<int32_t>(memory.size()), stride, 0);
    }
};

void Bench(uint32_t width, uint32_t height) {
    double pixels = static_cast<double>(width) * height;
    std::printf("%ux%u\n", width, height);

    // 32-bit canvas into a 32-bit surface: plain row copies, against memcpy
    // of the same rows (same strides), for packed rows and for a surface
    // pitch with padding.
    for (uint32_t padding : {0u, 256u}) {
        Block source(64, width, height, 0), target(65, width, height, padding);
        double copy = SecondsPerRun([&] {
            target.pixels.CopyFrom(source.pixels);
            g_sink = target.memory[0];
        });
        double reference = SecondsPerRun([&] {
            const uint8_t* s = source.memory.data();
            uint8_t* d = target.memory.data();
            size_t row = static_cast<size_t>(width) * 4;
            for (uint32_t y = 0; y < height; ++y)
                memcpy(d + y * static_cast<size_t>(target.pixels.Stride()), s + y * row, row);
            g_sink = target.memory[0];
        });
        double bytes = pixels * 4;
        std::printf("  copy 64->65 %s: %7.2f GB/s   memcpy %7.2f GB/s   ratio %5.1f %%\n",
                    padding ? "(padded pitch)" : "(packed)      ", bytes / copy / 1e9, bytes / reference / 1e9,
                    100.0 * reference / copy);
    }

    struct Conversion {
        uint32_t from, to;
        const char* name;
    } conversions[] = {
        {48, 64, "24 -> 32 (B,G,R -> B,G,R,A; fast path)"},
        {64, 48, "32 -> 24 (per pixel)"},
        {64, 32, "32 -> 16 R5G6B5"},
        {64, 34, "32 -> 16 X1R5G5B5"},
        {32, 65, "16 R5G6B5 -> 32"},
        {34, 65, "16 X1R5G5B5 -> 32"},
        {49, 64, "24 R,G,B -> 32 (per pixel)"},
    };
    for (const Conversion& c : conversions) {
        Block source(c.from, width, height, 0), target(c.to, width, height, 0);
        double seconds = SecondsPerRun([&] {
            target.pixels.CopyFrom(source.pixels);
            g_sink = target.memory[0];
        });
        std::printf("  %-40s %8.1f Mpixel/s  (%6.2f ms per frame)\n", c.name, pixels / seconds / 1e6, seconds * 1e3);
    }

    Block canvas(64, width, height, 0);
    double fill = SecondsPerRun([&] {
        canvas.pixels.Fill(0xFF336699);
        g_sink = canvas.memory[0];
    });
    std::printf("  %-40s %8.1f Mpixel/s  (%6.2f ms per frame)\n", "fill 32-bit", pixels / fill / 1e6, fill * 1e3);
    Block surface16(32, width, height, 0);
    double fill16 = SecondsPerRun([&] {
        surface16.pixels.Fill(0xFF336699);
        g_sink = surface16.memory[0];
    });
    std::printf("  %-40s %8.1f Mpixel/s  (%6.2f ms per frame)\n", "fill 16-bit", pixels / fill16 / 1e6, fill16 * 1e3);
}

}  // namespace

int main() {
    Bench(1280, 1024);
    Bench(1920, 1080);
    return 0;
}
