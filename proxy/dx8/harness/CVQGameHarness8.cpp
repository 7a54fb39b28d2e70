#include "CVQGameHarness8.h"

#include <cstdio>

#include "ProxyState8.h"
#include "Sample9Scene.h"
#include "VQResource.h"
#include "myIDirect3D8.h"
#include "myIDirect3DDevice8.h"

CVQGameHarness8::CVQGameHarness8() : m_window(nullptr), m_d3d(nullptr), m_device(nullptr), m_width(0), m_height(0) {}

CVQGameHarness8::~CVQGameHarness8() { Stop(); }

int CVQGameHarness8::Start(int width, int height) {
    Stop();
    Proxy8ResetState(GetModuleHandleA(nullptr));
    VQSetResourceModule(GetModuleHandleA(nullptr));
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VQGameHarness8";
    RegisterClassA(&wc);
    m_window = CreateWindowA("VQGameHarness8", "game", WS_POPUP | WS_VISIBLE, 0, 0, 1920, 1080, nullptr, nullptr,
                             wc.hInstance, nullptr);
    if (!m_window) {
        printf("game harness: no window (no display?)\n");
        return 0;
    }
    char path[MAX_PATH];
    GetSystemDirectoryA(path, MAX_PATH);
    lstrcatA(path, "\\d3d8.dll");
    typedef IDirect3D8*(WINAPI * Create)(UINT);
    HMODULE runtime = LoadLibraryA(path);
    Create create = runtime
                        ? reinterpret_cast<Create>(reinterpret_cast<void*>(GetProcAddress(runtime, "Direct3DCreate8")))
                        : nullptr;
    IDirect3D8* real = create ? create(D3D_SDK_VERSION) : nullptr;
    if (!real) {
        printf("game harness: no Direct3D 8 runtime\n");
        return 0;
    }
    m_d3d = new myIDirect3D8(real);
    D3DPRESENT_PARAMETERS pp = {};
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.hDeviceWindow = m_window;
    HRESULT hr = m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                     &pp, &m_device);
    if (FAILED(hr)) {
        printf("game harness: CreateDevice %dx%d failed hr=0x%lx\n", width, height, static_cast<unsigned long>(hr));
        m_device = nullptr;
        return 0;
    }
    m_width = width;
    m_height = height;
    return 1;
}

ULONG CVQGameHarness8::ReleaseDevice() {
    ULONG count = m_device ? m_device->Release() : 0;
    m_device = nullptr;
    return count;
}

void CVQGameHarness8::Stop() {
    if (m_device) m_device->Release();  // the final release ends the HUD
    m_device = nullptr;
    if (m_d3d) m_d3d->Release();
    m_d3d = nullptr;
    if (m_window) DestroyWindow(m_window);
    m_window = nullptr;
}

IDirect3DDevice8* CVQGameHarness8::RealDevice() const {
    return m_device ? static_cast<myIDirect3DDevice8*>(m_device)->Real() : nullptr;
}

void CVQGameHarness8::DrawScene(unsigned frame) {
    Sample9Frame scene;
    BuildSample9Frame(frame, m_width, m_height, scene);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, scene.background, 1.0f, 0);
    for (const auto* list : {&scene.clears, &scene.quads})
        for (const Sample9Rect& r : *list) {
            D3DRECT rect = {r.left, r.top, r.right, r.bottom};
            m_device->Clear(1, &rect, D3DCLEAR_TARGET, r.color, 1.0f, 0);
        }
}

void CVQGameHarness8::Present() { m_device->Present(nullptr, nullptr, nullptr, nullptr); }
