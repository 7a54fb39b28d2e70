#pragma once
// The base of the HUD's tests against the local test service (started by
// run_social.sh, which passes its ports in the environment): a HUD whose
// settings point at the service, no keys held, and frame loops run until a
// condition holds.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

#include "CVQChat.h"
#include "CVQHUD.h"
#include "MemorySettings.h"
#include "VQResource.h"

class HudServiceTest : public ::testing::Test {
protected:
    static int EnvPort(const char* name) {
        const char* v = getenv(name);
        return v ? atoi(v) : 0;
    }
    static bool NoKeys(uint32_t) { return false; }
    // Runs step every 5 ms until done holds (true) or ms have passed (false).
    static bool PumpUntil(const std::function<void()>& step, const std::function<bool()>& done, int ms) {
        for (int waited = 0; waited < ms; waited += 5) {
            step();
            if (done()) return true;
            Sleep(5);
        }
        return false;
    }
    // Drops the client's messages before the first one of that type: true
    // when it is there, false when none is left.
    static bool NextIs(CVQChat& client, int type) {
        for (;;) {
            const int t = client.PeekMessageType();
            if (t == type) return true;
            if (t == kChatNone) return false;
            client.PopMessage();
        }
    }

    void SetUp() override {
        chatPort = EnvPort("NET_CHAT_PORT");
        ASSERT_NE(0, chatPort) << "run through run_social.sh";
        store.Set("serverAddr", "127.0.0.1");
        store.Set("serverPort", std::to_string(chatPort));
        store.Set("serverPortHTTP", std::to_string(EnvPort("NET_HTTP_PORT")));
        store.Set("serverPortVS", std::to_string(EnvPort("NET_VS_PORT")));
        VQSetKeyStateSource(NoKeys);
        VQSetResourceModule(GetModuleHandleA(nullptr));
        hud = new CVQHUD();
        hud->Init();
    }
    void TearDown() override {
        delete hud;
        hud = nullptr;
        VQSetKeyStateSource(nullptr);
    }

    int chatPort = 0;
    MemorySettings store;
    CVQHUD* hud = nullptr;
};
