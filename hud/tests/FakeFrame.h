#pragma once
#include <cstdint>

// An in-memory stand-in for the Direct3D frame behind CVQSurface, for engine
// tests: surfaces are pixel blocks, and the back buffer is one the test sets.
namespace FakeFrame {
// Back buffer reported by GetBackBufferInfo and copied by CopyBackBuffer.
void SetBackBuffer(uint32_t format, uint32_t width, uint32_t height);
// Multisample type reported for the back buffer (0: none).
void SetMultisample(uint32_t type);
// Surfaces made from now on fail to be created (a device that refuses).
void SetCreateFails(bool fails);
int SurfacesAlive();
int CopiesMade();  // CopyFrom calls that succeeded
// The calling thread becomes the one that presents: device operations
// (surfaces, back-buffer reads and copies) made from any other thread are
// counted from now on.
void SetDeviceThread();
int CallsOffDeviceThread();
}  // namespace FakeFrame
