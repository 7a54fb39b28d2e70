#include "ProxyState.h"

#include <cstring>

#include "VQResource.h"

ProxyState g_proxy;

std::recursive_mutex& ProxyHudLock() {
    static std::recursive_mutex lock;
    return lock;
}

void ProxyResetState(HINSTANCE instance) {
    memset(&g_proxy, 0, sizeof g_proxy);
    g_proxy.pointerPosition = kPointerPositionAtLoad;
    g_proxy.instance = instance;
}

void ProxyAttachEngine(HINSTANCE instance) {
    // The HUD's pictures are resources of this library.
    VQSetResourceModule(instance);
}
