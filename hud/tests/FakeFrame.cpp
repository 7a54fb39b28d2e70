#include "FakeFrame.h"

#include "CVKPixels.h"
#include "CVQCaptureRing.h"
#include "CVQSurface.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace {
uint32_t g_format = 21, g_width = 640, g_height = 480;
uint32_t g_multisample = 0;
bool g_createFails = false;
int g_alive = 0;
int g_copies = 0;
CVKPixels* Block(void* surface) { return static_cast<CVKPixels*>(surface); }
std::mutex g_threadLock;
std::thread::id g_deviceThread;
std::atomic<int> g_offThread(0);
// Every operation that would use the device notes the thread it ran on.
void NoteDeviceUse() {
    std::lock_guard<std::mutex> lock(g_threadLock);
    if (g_deviceThread != std::thread::id() && std::this_thread::get_id() != g_deviceThread) ++g_offThread;
}
}  // namespace

namespace FakeFrame {
void SetBackBuffer(uint32_t format, uint32_t width, uint32_t height) {
    g_format = format;
    g_width = width;
    g_height = height;
}
void SetMultisample(uint32_t type) { g_multisample = type; }
void SetCreateFails(bool fails) { g_createFails = fails; }
int SurfacesAlive() { return g_alive; }
int CopiesMade() { return g_copies; }
void SetDeviceThread() {
    std::lock_guard<std::mutex> lock(g_threadLock);
    g_deviceThread = std::this_thread::get_id();
    g_offThread = 0;
}
int CallsOffDeviceThread() { return g_offThread; }
}  // namespace FakeFrame

CVQSurface::CVQSurface() : m_surface(nullptr), m_format(0), m_width(0), m_height(0) {}
CVQSurface::~CVQSurface() { Release(); }

void CVQSurface::Release() {
    if (m_surface) {
        delete Block(m_surface);
        --g_alive;
    }
    m_surface = nullptr;
    m_format = m_width = m_height = 0;
}

int CVQSurface::Create(uint32_t width, uint32_t height) {
    NoteDeviceUse();
    Release();
    if (g_createFails) return 0;
    CVKPixels* block = new CVKPixels();
    if (!block->Allocate(CVKPixels::LayoutOfFormat(g_format), width, height)) {
        delete block;
        return 0;
    }
    m_surface = block;
    ++g_alive;
    m_format = g_format;
    m_width = width;
    m_height = height;
    return 1;
}

int CVQSurface::Lock(CVKPixels* pixels, uint32_t) {
    NoteDeviceUse();
    if (!m_surface) return 0;
    CVKPixels* b = Block(m_surface);
    pixels->Init(b->Layout(), b->Width(), b->Height(), b->Data(), b->Size(), b->Stride(), 0);
    return 1;
}

int CVQSurface::Unlock() { return m_surface ? 1 : 0; }

int CVQSurface::CopyFrom(const CVKPixels& pixels) {
    NoteDeviceUse();
    if (!m_surface) return 0;
    if (!Block(m_surface)->CopyFrom(pixels)) return 0;
    ++g_copies;
    return 1;
}

int CVQSurface::CopyBackBuffer() {
    NoteDeviceUse();
    if (!m_surface || m_width != g_width || m_height != g_height || m_format != g_format) {
        if (!Create(g_width, g_height)) return 0;
    }
    return 1;
}

int CVQSurface::GetBackBufferInfo(uint32_t* format, uint32_t* width, uint32_t* height, uint32_t* multisampleType) {
    NoteDeviceUse();
    if (format) *format = g_format;
    if (width) *width = g_width;
    if (height) *height = g_height;
    if (multisampleType) *multisampleType = g_multisample;
    return 1;
}

// The capture ring copies synchronously into blocks of the fake back buffer's size.
int CVQCaptureRing::CopyIntoSlot(int slot) {
    NoteDeviceUse();
    m_format = g_format;
    m_width = g_width;
    m_height = g_height;
    CVKPixels* slots = static_cast<CVKPixels*>(m_frameData);
    if (!slots || slots[0].Width() != g_width || slots[0].Height() != g_height ||
        slots[0].Layout() != CVKPixels::LayoutOfFormat(g_format)) {
        ReleaseSlots();
        slots = new CVKPixels[kSlots];
        for (int i = 0; i < kSlots; i++) slots[i].Allocate(CVKPixels::LayoutOfFormat(g_format), g_width, g_height);
        m_frameData = slots;
        m_synchronous = 1;
        m_first = slot;
        m_count = 0;
        m_locked = 0;
    }
    return slots[slot].Data() ? 1 : 0;
}

int CVQCaptureRing::IsSlotDone(int, int) { return 1; }

int CVQCaptureRing::LockSlot(int slot, CVKPixels* pixels) {
    CVKPixels& block = static_cast<CVKPixels*>(m_frameData)[slot];
    pixels->Init(block.Layout(), block.Width(), block.Height(), block.Data(), block.Size(), block.Stride(), 0);
    return 1;
}

void CVQCaptureRing::UnlockSlot(int) {}

void CVQCaptureRing::ReleaseSlots() {
    delete[] static_cast<CVKPixels*>(m_frameData);
    m_frameData = nullptr;
}
