#include "FakeSurface.h"

#include <cstring>

#include "CVKPixels.h"
#include "CVQCaptureRing.h"
#include "CVQSurface.h"
#include "VKLog.h"

namespace {
struct FakeSurfaceData {
    std::vector<uint8_t> pixels;
    uint32_t pitch;
};
FakeSurfaceData* Data(void* surface) { return static_cast<FakeSurfaceData*>(surface); }
struct FakeRing {
    uint32_t format, width, height, pitch;
    int synchronous;
    std::vector<uint8_t> pixels[CVQCaptureRing::kSlots];
    int copiedAt[CVQCaptureRing::kSlots];
};
FakeRing* Ring(void* frameData) { return static_cast<FakeRing*>(frameData); }
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

int CVQCaptureRing::CopyIntoSlot(int slot) {
    FakeBackBuffer& b = TheFakeBackBuffer();
    if (b.failCopy) {
        LogMessage("Proxydx9: Failed to get DX9 surface for copy (GetBackBuffer): %d\r\n", -1);
        return 0;
    }
    m_format = b.format;
    m_width = b.width;
    m_height = b.height;
    FakeRing* r = Ring(m_frameData);
    if (!r || r->format != b.format || r->width != b.width || r->height != b.height) {
        if (r) ReleaseSlots();
        r = new FakeRing();
        r->format = b.format;
        r->width = b.width;
        r->height = b.height;
        r->pitch = b.pitch;
        r->synchronous = !b.eventQueries || IsForcedSynchronous();
        m_frameData = r;
        m_synchronous = r->synchronous;
        m_first = slot;
        m_count = 0;
        m_locked = 0;
        b.ringMade++;
        b.ringAlive = true;
    }
    r->pixels[slot] = b.pixels;
    r->copiedAt[slot] = b.frame;
    b.ringCopies++;
    return 1;
}

int CVQCaptureRing::IsSlotDone(int slot, int wait) {
    FakeRing* r = Ring(m_frameData);
    if (!r || r->synchronous || wait) return 1;
    return TheFakeBackBuffer().frame - r->copiedAt[slot] >= TheFakeBackBuffer().doneDelay;
}

int CVQCaptureRing::LockSlot(int slot, CVKPixels* pixels) {
    FakeBackBuffer& b = TheFakeBackBuffer();
    FakeRing* r = Ring(m_frameData);
    if (!r || b.failLock) return 0;
    pixels->Init(CVKPixels::LayoutOfFormat(r->format), r->width, r->height, r->pixels[slot].data(),
                 static_cast<int32_t>(r->pixels[slot].size()), static_cast<int32_t>(r->pitch), 0);
    b.locked++;
    return 1;
}

void CVQCaptureRing::UnlockSlot(int) { TheFakeBackBuffer().locked--; }

void CVQCaptureRing::ReleaseSlots() {
    if (!m_frameData) return;
    delete Ring(m_frameData);
    m_frameData = nullptr;
    TheFakeBackBuffer().ringReleases++;
    TheFakeBackBuffer().ringAlive = false;
}
