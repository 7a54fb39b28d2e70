#include "FakeSurface.h"

#include <cstring>

#include "CVKPixels.h"
#include "CVQSurface.h"
#include "VKLog.h"

namespace {
struct FakeSurfaceData {
    std::vector<uint8_t> pixels;
    uint32_t pitch;
};
FakeSurfaceData* Data(void* surface) { return static_cast<FakeSurfaceData*>(surface); }
}  // namespace

FakeBackBuffer& TheFakeBackBuffer() {
    static FakeBackBuffer buffer;
    return buffer;
}

void ResizeFakeBackBuffer(uint32_t format, uint32_t width, uint32_t height) {
    FakeBackBuffer& b = TheFakeBackBuffer();
    b.format = format;
    b.width = width;
    b.height = height;
    b.pitch = width * CVKPixels::BitsPerPixel(CVKPixels::LayoutOfFormat(format)) / 8 + 64;
    b.pixels.assign(static_cast<size_t>(b.pitch) * height, 0);
}

CVQSurface::CVQSurface() : m_surface(nullptr), m_format(0), m_width(0), m_height(0) {}

CVQSurface::~CVQSurface() { Release(); }

void CVQSurface::Release() {
    delete Data(m_surface);
    m_surface = nullptr;
    m_format = m_width = m_height = 0;
}

int CVQSurface::Create(uint32_t width, uint32_t height) {
    Release();
    FakeSurfaceData* d = new FakeSurfaceData;
    d->pitch = width * CVKPixels::BitsPerPixel(CVKPixels::LayoutOfFormat(TheFakeBackBuffer().format)) / 8;
    d->pixels.assign(static_cast<size_t>(d->pitch) * height, 0);
    m_surface = d;
    m_format = TheFakeBackBuffer().format;
    m_width = width;
    m_height = height;
    return 1;
}

int CVQSurface::Lock(CVKPixels* pixels, uint32_t flags) {
    FakeBackBuffer& b = TheFakeBackBuffer();
    if (!m_surface || !pixels || b.failLock) return 0;
    FakeSurfaceData* d = Data(m_surface);
    pixels->Init(CVKPixels::LayoutOfFormat(m_format), m_width, m_height, d->pixels.data(),
                 static_cast<int32_t>(d->pixels.size()), static_cast<int32_t>(d->pitch), 0);
    b.locked++;
    return 1;
}

int CVQSurface::Unlock() {
    if (!m_surface) return 0;
    TheFakeBackBuffer().locked--;
    return 1;
}

int CVQSurface::CopyFrom(const CVKPixels& pixels) {
    CVKPixels target;
    if (!Lock(&target, 0)) return 0;
    target.CopyFrom(pixels);
    return Unlock();
}

int CVQSurface::CopyBackBuffer() {
    FakeBackBuffer& b = TheFakeBackBuffer();
    if (b.failCopy) {
        LogMessage("Proxydx9: Failed to get DX9 surface for copy (GetBackBuffer): %d\r\n", -1);
        return 0;
    }
    if (!m_surface || m_width != b.width || m_height != b.height || m_format != b.format) {
        Release();
        FakeSurfaceData* d = new FakeSurfaceData;
        d->pitch = b.pitch;
        m_surface = d;
        m_format = b.format;
        m_width = b.width;
        m_height = b.height;
        b.surfacesMade++;
    }
    Data(m_surface)->pixels = b.pixels;
    b.copies++;
    return 1;
}

int CVQSurface::GetBackBufferInfo(uint32_t* format, uint32_t* width, uint32_t* height, uint32_t* multisampleType) {
    FakeBackBuffer& b = TheFakeBackBuffer();
    if (b.failInfo) {
        LogMessage("Proxydx9: Failed to get DX9 surface (GetBackBuffer): %d\r\n", -1);
        return 0;
    }
    if (format) *format = b.format;
    if (width) *width = b.width;
    if (height) *height = b.height;
    if (multisampleType) *multisampleType = b.multisample;
    return 1;
}
