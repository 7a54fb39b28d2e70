#include "ProxyState.h"

#include <cstring>

#include "CVQCompositor9.h"

ProxyState g_proxy;

namespace {
const VQFrameInfo kFrame9 = {
    "proxydx9",
    "Proxydx9: ",
    kProxyVersion,
    "d3d9.dll",
    "Proxydx9: Original proxy9.dll not loaded ERROR\r\n",
    &CVQCompositor9::DestroyHud,
};
}  // namespace

void ProxyResetState(HINSTANCE instance) {
    memset(&g_proxy, 0, sizeof g_proxy);
    VQFrameResetState(instance, &kFrame9);
}

void ProxyStorePresentParameters(const D3DPRESENT_PARAMETERS* parameters) {
    if (!parameters) return;
    memcpy(&g_proxy.storedPresentParameters, parameters, sizeof(D3DPRESENT_PARAMETERS));
    ProxyStorePresentation(parameters->hDeviceWindow, parameters->Windowed, parameters->BackBufferWidth,
                           parameters->BackBufferHeight);
}
