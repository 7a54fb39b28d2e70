#include "CVQGameHarness.h"

#include <cstdio>

#include "Sample9Scene.h"
#include "VQFrameState.h"
#include "VQResource.h"

CVQGameHarness::CVQGameHarness()
    : m_window(nullptr), m_d3d(nullptr), m_device(nullptr), m_width(0), m_height(0), m_format(D3DFMT_X8R8G8B8) {}

CVQGameHarness::~CVQGameHarness() { Stop(); }

int CVQGameHarness::Start(int width, int height, D3DFORMAT format) {
    Stop();
    m_format = format;
    ProxyResetState(GetModuleHandleA(nullptr));
    VQSetResourceModule(GetModuleHandleA(nullptr));
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VQGameHarness";
    RegisterClassA(&wc);
    m_window = CreateWindowA("VQGameHarness", "game", WS_POPUP | WS_VISIBLE, 0, 0, 1920, 1080, nullptr, nullptr,
                             wc.hInstance, nullptr);
    if (!m_window) {
        printf("game harness: no window (no display?)\n");
        return 0;
    }
    char path[MAX_PATH];
    GetSystemDirectoryA(path, MAX_PATH);
    lstrcatA(path, "\\");
    lstrcatA(path, kVQFrameRuntime);
    typedef VQFrameD3D*(WINAPI * Create)(UINT);
    HMODULE runtime = LoadLibraryA(path);
    Create create =
        runtime ? reinterpret_cast<Create>(reinterpret_cast<void*>(GetProcAddress(runtime, kVQFrameCreate))) : nullptr;
    VQFrameD3D* real = create ? create(D3D_SDK_VERSION) : nullptr;
    if (!real) {
        printf("game harness: no %s runtime\n", kVQFrameName);
        return 0;
    }
    m_d3d = VQFrameWrapD3D(real);
    return MakeDevice(width, height);
}

int CVQGameHarness::Reset(int width, int height) {
    if (m_device) m_device->Release();
    m_device = nullptr;
    return MakeDevice(width, height);
}

D3DPRESENT_PARAMETERS CVQGameHarness::Parameters(int width, int height) const {
    D3DPRESENT_PARAMETERS pp = {};
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = m_format;
    pp.hDeviceWindow = m_window;
    VQFrameHarnessParameters(&pp);
    return pp;
}

HRESULT CVQGameHarness::ResetDevice() {
    if (!m_device) return E_FAIL;
    D3DPRESENT_PARAMETERS pp = Parameters(m_width, m_height);
    return m_device->Reset(&pp);
}

int CVQGameHarness::MakeDevice(int width, int height) {
    D3DPRESENT_PARAMETERS pp = Parameters(width, height);
    HRESULT hr = m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                     &pp, &m_device);
    if (FAILED(hr)) {
        printf("game harness: CreateDevice %dx%d format %d failed hr=0x%lx\n", width, height,
               static_cast<int>(m_format), static_cast<unsigned long>(hr));
        m_device = nullptr;
        return 0;
    }
    m_width = width;
    m_height = height;
    return 1;
}

ULONG CVQGameHarness::ReleaseDevice() {
    ULONG count = m_device ? m_device->Release() : 0;
    m_device = nullptr;
    return count;
}

void CVQGameHarness::Stop() {
    if (m_device) m_device->Release();  // the final release ends the HUD
    m_device = nullptr;
    if (m_d3d) m_d3d->Release();
    m_d3d = nullptr;
    if (m_window) DestroyWindow(m_window);
    m_window = nullptr;
}

VQFrameDevice* CVQGameHarness::RealDevice() const { return m_device ? VQFrameRealDevice(m_device) : nullptr; }

void CVQGameHarness::DrawScene(unsigned frame) {
    Sample9Frame scene;
    BuildSample9Frame(frame, m_width, m_height, scene);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, scene.background, 1.0f, 0);
    for (const auto* list : {&scene.clears, &scene.quads})
        for (const Sample9Rect& r : *list) {
            D3DRECT rect = {r.left, r.top, r.right, r.bottom};
            m_device->Clear(1, &rect, D3DCLEAR_TARGET, r.color, 1.0f, 0);
        }
}

void CVQGameHarness::Present() { m_device->Present(nullptr, nullptr, nullptr, nullptr); }
