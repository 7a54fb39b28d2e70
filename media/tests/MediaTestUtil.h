#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Helpers of the media tests: reading containers and decoding pictures back
// with the codec library directly, independent of the code under test.

struct ContainerStream {
    int codecId;  // codec library id
    int width, height, sampleRate, channels;
    int packets;
    std::vector<int64_t> times;  // packet times in the stream's time base
    std::vector<std::vector<uint8_t>> data;
};

// Demuxes a whole container from memory or from a file. Empty on failure.
std::vector<ContainerStream> ReadContainer(const std::vector<uint8_t>& bytes);
std::vector<ContainerStream> ReadContainerFile(const std::string& path);

// Decodes one HuffYUV packet to 32-bit pixels (0xAARRGGBB values). Empty on failure.
std::vector<uint32_t> DecodeHuffYUV(const std::vector<uint8_t>& extradata, const uint8_t* packet, int size, int width,
                                    int height);

// The test picture: a frame counter drawn as 16 black/white 8x8 cells at
// y = 8, x = 8 + 8 * i (white when bit i of the counter is set) over a
// gradient background. Pixels are 32-bit B, G, R, X.
void DrawCounterPicture(uint8_t* pixels, int width, int height, int stride, uint32_t counter);
// Reads the counter back from 0xAARRGGBB pixels (cell centres, threshold at mid-grey).
uint32_t ReadCounter(const uint32_t* pixels, int width, int height);
// The background colour the test picture has at (x, y), for comparisons.
uint32_t PictureBackground(int x, int y);
