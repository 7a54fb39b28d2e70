// What the HUD hears from the game's DirectInput reads and what the game is
// left with: key and mouse events, consumed presses, the pointer query.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "CVQDIInputFilter.h"

namespace {
const uint8_t kDikA = 0x1E, kDikB = 0x30, kDikInsert = 0xD2;

// A HUD that consumes the keys and buttons it is told to and records what it heard.
class FakeHud : public CVQDIInputFilter::Sink {
public:
    struct Event {
        uint32_t message, value, data;
    };
    int Keyboard(uint32_t message, uint32_t vk, uint32_t keyData) override {
        events.push_back({message, vk, keyData});
        return consumeKeys.count(vk) ? 1 : 0;
    }
    int Mouse(uint32_t message, uint32_t flags, uint32_t data) override {
        events.push_back({message, flags, data});
        return consumeButtons ? (message != 0x200) : 0;
    }
    bool PointerShown() override {
        queries++;
        return pointerShown;
    }
    uint32_t VirtualKey(uint8_t dik) override {
        if (dik & 0x80) return CVQDIInputFilter::ExtendedVirtualKey(dik);
        return dik == kDikA ? 'A' : dik == kDikB ? 'B' : 0;
    }
    std::vector<Event> events;
    std::set<uint32_t> consumeKeys;
    bool consumeButtons = false;
    bool pointerShown = false;
    int queries = 0;
};

struct Keys {
    uint8_t state[256] = {};
    Keys& Down(uint8_t dik) {
        state[dik] = 0x80;
        return *this;
    }
    Keys& Up(uint8_t dik) {
        state[dik] = 0;
        return *this;
    }
};
}  // namespace

TEST(DIInputFilter, KeyStateReadsBecomeKeyMessagesAndTheHotKeyIsHidden) {
    FakeHud hud;
    hud.consumeKeys = {45};
    CVQDIInputFilter filter;
    Keys keys;

    uint8_t read[256];
    memcpy(read, keys.Down(kDikA).state, 256);
    filter.FilterKeyboardState(hud, read);
    ASSERT_EQ(1u, hud.events.size());
    EXPECT_EQ(0x100u, hud.events[0].message);
    EXPECT_EQ(uint32_t('A'), hud.events[0].value);
    EXPECT_EQ(0x001E0001u, hud.events[0].data);
    EXPECT_EQ(0x80, read[kDikA]);  // the game gets its key

    // The same state again tells the HUD nothing new.
    memcpy(read, keys.state, 256);
    filter.FilterKeyboardState(hud, read);
    EXPECT_EQ(1u, hud.events.size());

    // Insert (extended) is consumed: the game never sees it, down or up.
    memcpy(read, keys.Down(kDikInsert).state, 256);
    filter.FilterKeyboardState(hud, read);
    ASSERT_EQ(2u, hud.events.size());
    EXPECT_EQ(45u, hud.events[1].value);
    EXPECT_EQ(0x01520001u, hud.events[1].data);
    EXPECT_EQ(0, read[kDikInsert]);
    EXPECT_EQ(0x80, read[kDikA]);
    memcpy(read, keys.Up(kDikInsert).Up(kDikA).state, 256);
    filter.FilterKeyboardState(hud, read);
    ASSERT_EQ(4u, hud.events.size());
    EXPECT_EQ(0x101u, hud.events[2].message);
    EXPECT_EQ(0xC01E0001u, hud.events[2].data);  // A released: bits 30 and 31
    EXPECT_EQ(0xC1520001u, hud.events[3].data);  // Insert released
}

TEST(DIInputFilter, WhileThePointerIsShownTheGameSeesNoNewInput) {
    FakeHud hud;
    CVQDIInputFilter filter;
    Keys keys;
    uint8_t read[256];
    memcpy(read, keys.Down(kDikA).state, 256);
    filter.FilterKeyboardState(hud, read);  // held before the HUD took the pointer

    hud.pointerShown = true;
    memcpy(read, keys.Down(kDikB).state, 256);
    filter.FilterKeyboardState(hud, read);
    EXPECT_EQ(0, read[kDikB]);                          // new press: the HUD's
    EXPECT_EQ(0x80, read[kDikA]);                       // the held key does not jump up
    EXPECT_EQ(uint32_t('B'), hud.events.back().value);  // the HUD heard it

    // Released while shown: A's release reaches the game, so it does not stick.
    EXPECT_TRUE(filter.KeyEvent(hud, kDikA, false));
    // B stays hidden through its release, even once the pointer is gone.
    hud.pointerShown = false;
    EXPECT_FALSE(filter.KeyEvent(hud, kDikB, false));
    EXPECT_TRUE(filter.KeyEvent(hud, kDikB, true));

    // Buffered records: a repeat of the known state tells the HUD nothing.
    const size_t before = hud.events.size();
    EXPECT_TRUE(filter.KeyEvent(hud, kDikB, true));
    EXPECT_EQ(before, hud.events.size());
}

TEST(DIInputFilter, MouseMovesAndButtons) {
    FakeHud hud;
    CVQDIInputFilter filter;
    int32_t axes[3] = {-3, 5, 120};
    uint8_t buttons[4] = {0x80, 0, 0, 0};
    filter.FilterMouseState(hud, axes, buttons, 4, false);
    ASSERT_EQ(2u, hud.events.size());
    EXPECT_EQ(0x200u, hud.events[0].message);
    EXPECT_EQ(CVQDIInputFilter::kRelative, hud.events[0].value);
    EXPECT_EQ(0x0005FFFDu, hud.events[0].data);  // dx -3 low, dy 5 high
    EXPECT_EQ(0x201u, hud.events[1].message);
    EXPECT_EQ(0u, hud.events[1].data);  // a button at the pointer, no movement
    EXPECT_EQ(-3, axes[0]);
    EXPECT_EQ(120, axes[2]);
    EXPECT_EQ(0x80, buttons[0]);

    // Movement beyond 16 bits is clamped, not wrapped.
    EXPECT_TRUE(filter.MouseMove(hud, 70000, -70000));
    EXPECT_EQ(0x80007FFFu, hud.events.back().data);

    // A click the HUD consumed is hidden from the game until released; with
    // the pointer shown, movement and wheel read as 0.
    hud.consumeButtons = true;
    hud.pointerShown = true;
    int32_t moved[3] = {4, 4, 1};
    uint8_t right[4] = {0x80, 0x80, 0, 0};
    filter.FilterMouseState(hud, moved, right, 4, false);
    EXPECT_EQ(0, moved[0]);
    EXPECT_EQ(0, moved[1]);
    EXPECT_EQ(0, moved[2]);
    EXPECT_EQ(0x80, right[0]);  // held since before: still down for the game
    EXPECT_EQ(0, right[1]);
    EXPECT_EQ(0x204u, hud.events.back().message);
    EXPECT_FALSE(filter.MouseWheel(hud));
    EXPECT_FALSE(filter.MouseButton(hud, 1, false));
    EXPECT_TRUE(filter.MouseButton(hud, 0, false));
    EXPECT_EQ(0x202u, hud.events.back().message);
}

TEST(DIInputFilter, AbsoluteAxesBecomeMovementsAndFreezeWhileShown) {
    FakeHud hud;
    CVQDIInputFilter filter;
    uint8_t buttons[4] = {};
    int32_t at[3] = {100, 200, 0};
    filter.FilterMouseState(hud, at, buttons, 4, true);
    EXPECT_TRUE(hud.events.empty());  // the first position is only a start
    int32_t next[3] = {110, 190, 0};
    filter.FilterMouseState(hud, next, buttons, 4, true);
    ASSERT_EQ(1u, hud.events.size());
    EXPECT_EQ(0xFFF6000Au, hud.events[0].data);  // +10, -10
    hud.pointerShown = true;
    int32_t hidden[3] = {150, 150, 0};
    filter.FilterMouseState(hud, hidden, buttons, 4, true);
    EXPECT_EQ(110, hidden[0]);  // the game's pointer stays where it last saw it
    EXPECT_EQ(190, hidden[1]);
}

TEST(DIInputFilter, ExtendedKeysMapToTheirOwnVirtualKeys) {
    EXPECT_EQ(0x2Du, CVQDIInputFilter::ExtendedVirtualKey(0xD2));  // Insert, the default hot key
    EXPECT_EQ(0x25u, CVQDIInputFilter::ExtendedVirtualKey(0xCB));  // left arrow
    EXPECT_EQ(0x2Eu, CVQDIInputFilter::ExtendedVirtualKey(0xD3));  // Delete
    EXPECT_EQ(0u, CVQDIInputFilter::ExtendedVirtualKey(0x1E));
}
