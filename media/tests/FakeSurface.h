#pragma once
#include <cstdint>
#include <vector>

// The device side of CVQSurface for media tests: a back buffer in memory
// whose format, size and pixels the test controls (FakeSurface.cpp implements
// the operations the Direct3D frame otherwise provides).
struct FakeBackBuffer {
    uint32_t format = 22;  // D3DFMT_X8R8G8B8
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t pitch = 0;  // bytes per row, wider than the pixels to catch stride mistakes
    uint32_t multisample = 0;
    std::vector<uint8_t> pixels;
    bool failInfo = false;
    bool failCopy = false;
    bool failLock = false;
    int copies = 0;        // CopyBackBuffer calls that copied
    int surfacesMade = 0;  // system-memory surfaces created
    int locked = 0;        // surfaces locked right now
    // The capture ring's device side: copies into its slots complete
    // `doneDelay` frames (of the test's own frame clock) after they were
    // taken; without event queries the ring copies synchronously.
    bool eventQueries = true;
    int doneDelay = 0;
    int frame = 0;
    int ringCopies = 0;    // copies into ring slots
    int ringMade = 0;      // times the slots were made
    int ringReleases = 0;  // times the slots were released while they existed
    bool ringAlive = false;
};

FakeBackBuffer& TheFakeBackBuffer();
// Sets format and size (pitch = width x bytes per pixel + 64) and clears the pixels.
void ResizeFakeBackBuffer(uint32_t format, uint32_t width, uint32_t height);
