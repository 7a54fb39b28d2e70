// The .rec player's steps with a fake sound device.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "CVKRecPlayer.h"
#include "RecFileMaker.h"

namespace {

class FakeSink : public IVKSoundSink {
public:
    bool present = true;
    std::set<int> busy;  // buffers still playing
    bool allBusy = false;
    std::vector<uint8_t> played;
    std::vector<int> order;
    int opened = 0, resets = 0, closes = 0, count = 0;
    uint32_t bufferBytes = 0;

    bool Open(int channels, int rate, int bits, int n, uint32_t bytes) override {
        opened++;
        count = n;
        bufferBytes = bytes;
        return present && channels == 2 && rate == 44100 && bits == 16;
    }
    bool Busy(int i) override { return allBusy || busy.count(i) > 0; }
    bool Play(int i, const uint8_t* data, uint32_t n) override {
        order.push_back(i);
        played.insert(played.end(), data, data + n);
        return true;
    }
    void Reset() override { resets++; }
    void Close() override { closes++; }
};

class RecPlayer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::vector<uint8_t> rec = MakeRecFile(64, 48, 6, 5880, nullptr);
        ASSERT_TRUE(WriteBytes("player.rec", rec.data(), rec.size()));
    }
    int pictures = 0;
    void Count(CVKRecPlayer* p) {
        p->onPicture = [this](const uint8_t* pixels, int w, int h) {
            EXPECT_NE(pixels, nullptr);
            EXPECT_EQ(w, 64);
            EXPECT_EQ(h, 48);
            pictures++;
        };
    }
};

TEST_F(RecPlayer, SoundGoesOutInFileOrderThroughThirtyBuffers) {
    FakeSink sink;
    CVKRecPlayer player;
    Count(&player);
    ASSERT_EQ(1, player.Open("player.rec", &sink, 0));
    EXPECT_TRUE(player.HasSound());
    EXPECT_EQ(sink.count, 30);
    EXPECT_EQ(sink.bufferBytes, 5880u);
    int steps = 0;
    while (player.Step(0) == CVKRecPlayer::kMore && steps < 1000) steps++;
    EXPECT_EQ(pictures, 6);
    // 9 records of 5880 bytes counting up (1 + k % 2 before picture k).
    ASSERT_EQ(sink.played.size(), 9u * 5880u);
    for (size_t i = 0; i < sink.played.size(); i++) ASSERT_EQ(sink.played[i], static_cast<uint8_t>(i)) << i;
    for (size_t i = 0; i < sink.order.size(); i++) EXPECT_EQ(sink.order[i], static_cast<int>(i % 30));
    player.Close();
    EXPECT_EQ(sink.resets, 1);
    EXPECT_EQ(sink.closes, 1);
}

TEST_F(RecPlayer, AFullDeviceNeverBlocksAStep) {
    FakeSink sink;
    sink.allBusy = true;
    CVKRecPlayer player;
    Count(&player);
    ASSERT_EQ(1, player.Open("player.rec", &sink, 0));
    for (int i = 0; i < 50; i++) EXPECT_EQ(CVKRecPlayer::kMore, player.Step(0));
    EXPECT_TRUE(sink.played.empty());
    sink.allBusy = false;
    while (player.Step(0) == CVKRecPlayer::kMore) {
    }
    EXPECT_EQ(sink.played.size(), 9u * 5880u);
    EXPECT_EQ(pictures, 6);
}

TEST_F(RecPlayer, PauseHoldsEverything) {
    FakeSink sink;
    CVKRecPlayer player;
    Count(&player);
    ASSERT_EQ(1, player.Open("player.rec", &sink, 0));
    player.Step(0);
    const size_t before = sink.played.size();
    const int shown = pictures;
    player.TogglePause(10);
    EXPECT_TRUE(player.Paused());
    for (int i = 0; i < 20; i++) EXPECT_EQ(CVKRecPlayer::kMore, player.Step(20 + i));
    EXPECT_EQ(sink.played.size(), before);
    EXPECT_EQ(pictures, shown);
    player.TogglePause(100);
    while (player.Step(100) == CVKRecPlayer::kMore) {
    }
    EXPECT_EQ(pictures, 6);
}

TEST_F(RecPlayer, WithoutASoundDevicePicturesKeepTheirTimes) {
    FakeSink sink;
    sink.present = false;
    CVKRecPlayer player;
    Count(&player);
    ASSERT_EQ(1, player.Open("player.rec", &sink, 1000));
    EXPECT_FALSE(player.HasSound());
    // Picture k comes after 1 + k % 2 sound records: at 1, 3, 4, 6, 7, 9 thirtieths.
    EXPECT_EQ(CVKRecPlayer::kMore, player.Step(1000));
    EXPECT_EQ(pictures, 0);
    player.Step(1034);
    EXPECT_EQ(pictures, 1);
    player.Step(1099);
    EXPECT_EQ(pictures, 1);
    player.Step(1101);
    EXPECT_EQ(pictures, 2);
    for (int i = 0; i < 5; i++) player.Step(1300);
    EXPECT_EQ(pictures, 6);
    EXPECT_EQ(CVKRecPlayer::kEnd, player.Step(1300));
    EXPECT_TRUE(sink.played.empty());
    player.Close();
    EXPECT_EQ(sink.resets, 0);  // never opened
}

TEST_F(RecPlayer, RecordingsThatCannotBeReadAreNotPlayed) {
    FakeSink sink;
    CVKRecPlayer player;
    EXPECT_EQ(0, player.Open("no-such.rec", &sink, 0));
    EXPECT_EQ(sink.opened, 0);
}

}  // namespace
