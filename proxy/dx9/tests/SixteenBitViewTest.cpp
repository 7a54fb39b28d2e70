// A game whose back buffer has 16-bit pixels showing a view window: the
// view's 32-bit picture reaches the back buffer converted to the game's
// format, on a real device.
#include <windows.h>
#include <d3d9.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "CVKPixels.h"
#include "CVQCompositor9.h"
#include "CVQDecodeVS.h"
#include "CVQGameHarness.h"
#include "CVQHUD.h"
#include "CVQViewWnd.h"
#include "MemorySettings.h"
#include "VQFrameMath.h"

namespace {
const int kW = 64, kH = 48;

bool KeyDownNever(uint32_t) { return false; }

// Every pixel different: red across, green down, blue the other way.
uint32_t Colour(int x, int y) {
    return 0xFF000000u | (static_cast<uint32_t>(x * 4) << 16) | (static_cast<uint32_t>(y * 5) << 8) |
           static_cast<uint32_t>(255 - x * 4);
}

// A stream that is logged in at 64 x 48 and always has the same picture.
class StillClient : public CVQViewVS {
public:
    int IsLoggedIn() override { return 1; }
    int GetWidth() override { return kW; }
    int GetHeight() override { return kH; }
};

class StillSession : public CVQDecodeVS {
public:
    StillSession() : m_picture(static_cast<size_t>(kW) * kH) {
        for (int y = 0; y < kH; y++)
            for (int x = 0; x < kW; x++) m_picture[static_cast<size_t>(y) * kW + x] = Colour(x, y) & 0x00FFFFFFu;
    }
    int Open() override { return 1; }
    void Update() override {}
    CVQViewVS* GetClient() override { return &m_client; }
    int TakePicture(uint8_t** data, int* size, int64_t* timestamp) override {
        if (data) *data = reinterpret_cast<uint8_t*>(m_picture.data());
        if (size) *size = kW * kH * 4;
        if (timestamp) *timestamp = 0;
        return 1;
    }

private:
    StillClient m_client;
    std::vector<uint32_t> m_picture;
};

// How far apart two colours are, in the largest channel difference.
int Distance(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int d = std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
        if (d > worst) worst = d;
    }
    return worst;
}
}  // namespace

TEST(SixteenBitView, ThePictureIsConvertedToTheBackBuffersFormat) {
    MemorySettings settings;
    settings.Set("loginShowIntro", "1");
    VQSetKeyStateSource(KeyDownNever);
    for (D3DFORMAT format : {D3DFMT_R5G6B5, D3DFMT_X1R5G5B5}) {
        CVQGameHarness game;
        ASSERT_EQ(1, game.Start(640, 480, format)) << "a 16-bit back buffer (" << format << ")";
        IDirect3DDevice9* device = game.RealDevice();
        uint32_t pointer = kVQPointerColorStart;
        game.DrawScene(0);
        CVQCompositor9::ComposeFrame(device, nullptr, &pointer);  // the HUD is made
        ASSERT_TRUE(VQHud() != nullptr);
        CVQViewWnd* view = new CVQViewWnd(new StillSession);
        view->CreateFrame(536, 100, 250, 160);
        VQHud()->AddWindow(view);
        for (unsigned frame = 1; frame <= 2; frame++) {
            game.DrawScene(frame);
            CVQCompositor9::ComposeFrame(device, nullptr, &pointer);
        }
        ASSERT_EQ(kW, view->ViewWidth());
        ASSERT_GE(view->PicturesShown(), 1);
        EXPECT_EQ(static_cast<uint32_t>(format), view->GetSurface()->Format());

        IDirect3DSurface9* backBuffer = nullptr;
        ASSERT_EQ(D3D_OK, device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer));
        D3DSURFACE_DESC desc;
        ASSERT_EQ(D3D_OK, backBuffer->GetDesc(&desc));
        EXPECT_EQ(format, desc.Format);
        IDirect3DSurface9* copy = nullptr;
        ASSERT_EQ(D3D_OK, device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                              &copy, nullptr));
        ASSERT_EQ(D3D_OK, device->GetRenderTargetData(backBuffer, copy));
        D3DLOCKED_RECT locked;
        ASSERT_EQ(D3D_OK, copy->LockRect(&locked, nullptr, D3DLOCK_READONLY));
        CVKPixels seen(CVKPixels::LayoutOfFormat(desc.Format), desc.Width, desc.Height, locked.pBits,
                       locked.Pitch * static_cast<int32_t>(desc.Height), locked.Pitch, 0);
        // Each pixel within one step of a 5-bit channel (255 / 31) of the
        // original, plus rounding; pixels copied as 32-bit would be far off.
        int wrong = 0, worst = 0;
        for (int y = 0; y < kH; y++)
            for (int x = 0; x < kW; x++) {
                const int d = Distance(seen.GetPixel(view->GetX() + 2 + x, view->GetY() + 10 + y), Colour(x, y));
                if (d > 10) wrong++;
                if (d > worst) worst = d;
            }
        copy->UnlockRect();
        copy->Release();
        backBuffer->Release();
        EXPECT_EQ(0, wrong) << "format " << format << ", largest channel difference " << worst;
        game.Stop();  // the HUD ends with the device
    }
    VQSetKeyStateSource(nullptr);
}
