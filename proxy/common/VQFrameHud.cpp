#include "VQFrameHud.h"

#include "CVQHUD.h"
#include "CVQMouseRelay9.h"
#include "ProxyInput.h"
#include "VKLog.h"

CVQHUD* VQUpdateFrameHud(const char* firstFrameLine, bool* pointer) {
    if (!VQHud()) LogMessage("%s", firstFrameLine);
    CVQHUD* hud = VQCreateHud();
    ProxyMouseRelay().Deliver(hud);  // input that came while the HUD was busy
    hud->Update();
    ProxyMouseRelay().Publish(hud);
    *pointer = hud->IsPointerVisible();
    return *pointer || hud->AnyWindowVisible() ? hud : nullptr;
}
