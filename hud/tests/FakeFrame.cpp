#include "FakeFrame.h"

#include "CVKPixels.h"
#include "CVQSurface.h"

namespace {
uint32_t g_format = 21, g_width = 640, g_height = 480;
bool g_createFails = false;
int g_alive = 0;
int g_copies = 0;
CVKPixels* Block(void* surface) { return static_cast<CVKPixels*>(surface); }
}  // namespace

namespace FakeFrame {
void SetBackBuffer(uint32_t format, uint32_t width, uint32_t height) {
    g_format = format;
    g_width = width;
    g_height = height;
}
void SetCreateFails(bool fails) { g_createFails = fails; }
int SurfacesAlive() { return g_alive; }
int CopiesMade() { return g_copies; }
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
    if (!m_surface) return 0;
    CVKPixels* b = Block(m_surface);
    pixels->Init(b->Layout(), b->Width(), b->Height(), b->Data(), b->Size(), b->Stride(), 0);
    return 1;
}

int CVQSurface::Unlock() { return m_surface ? 1 : 0; }

int CVQSurface::CopyFrom(const CVKPixels& pixels) {
    if (!m_surface) return 0;
    if (!Block(m_surface)->CopyFrom(pixels)) return 0;
    ++g_copies;
    return 1;
}

int CVQSurface::CopyBackBuffer() {
    if (!m_surface || m_width != g_width || m_height != g_height || m_format != g_format) {
        if (!Create(g_width, g_height)) return 0;
    }
    return 1;
}

int CVQSurface::GetBackBufferInfo(uint32_t* format, uint32_t* width, uint32_t* height, uint32_t* multisampleType) {
    if (format) *format = g_format;
    if (width) *width = g_width;
    if (height) *height = g_height;
    if (multisampleType) *multisampleType = 0;
    return 1;
}
