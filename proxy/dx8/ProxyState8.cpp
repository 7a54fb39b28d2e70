#include "ProxyState8.h"

#include <cstring>

#include "CVQCompositor8.h"

ProxyState8 g_proxy8;

namespace {
const VQFrameInfo kFrame8 = {
    "proxydx8",
    "Proxydx8: ",
    kProxy8Version,
    "d3d8.dll",
    "Proxydx8: Original proxy8.dll not loaded ERROR\r\n",
    &CVQCompositor8::DestroyHud,
};
}  // namespace

void ProxyResetState(HINSTANCE instance) {
    memset(&g_proxy8, 0, sizeof g_proxy8);
    VQFrameResetState(instance, &kFrame8);
}

void ProxyStorePresentParameters(const D3DPRESENT_PARAMETERS* parameters) {
    if (!parameters) return;
    memcpy(&g_proxy8.storedPresentParameters, parameters, sizeof(D3DPRESENT_PARAMETERS));
    ProxyStorePresentation(parameters->hDeviceWindow, parameters->Windowed, parameters->BackBufferWidth,
                           parameters->BackBufferHeight);
}
