// The picture queue between the render thread and a worker: pictures come
// out whole, in the order they were taken, with their stamps, while the
// worker takes its time; a full queue leaves the ring's copies where they
// are; copies that cannot be used are dropped or reported; Stop lets the
// worker finish what is queued.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "CVKPixels.h"
#include "CVQCaptureRing.h"
#include "CVQPictureQueue.h"

namespace {
const uint32_t kWidth = 64, kHeight = 16;

// The frame side of the ring for these tests: every copy is a picture whose
// pixels all hold the number of the copy; copies are done at once unless
// held back, and can be made to fail or to come out in another size.
struct FrameState {
    uint32_t copies = 0;
    bool done = true;
    bool failLock = false;
    uint32_t width = kWidth;
    CVKPixels slots[CVQCaptureRing::kSlots];
};
FrameState g_frame;

void ExpectPicture(const uint8_t* pixels, uint32_t number) {
    const uint32_t* p = reinterpret_cast<const uint32_t*>(pixels);
    for (uint32_t i = 0; i < kWidth * kHeight; i++)
        if (p[i] != number) {
            ADD_FAILURE() << "picture " << number << " has " << p[i] << " at pixel " << i;
            return;
        }
}
}  // namespace

int CVQCaptureRing::CopyIntoSlot(int slot) {
    m_format = 22;  // X8R8G8B8
    m_width = g_frame.width;
    m_height = kHeight;
    CVKPixels& block = g_frame.slots[slot];
    if (block.Width() != g_frame.width && !block.Allocate(CVKPixels::kB8G8R8X8, g_frame.width, kHeight)) return 0;
    const uint32_t number = ++g_frame.copies;
    uint32_t* p = reinterpret_cast<uint32_t*>(block.Data());
    for (uint32_t i = 0; i < g_frame.width * kHeight; i++) p[i] = number;
    return 1;
}

int CVQCaptureRing::IsSlotDone(int, int wait) { return wait || g_frame.done; }

int CVQCaptureRing::LockSlot(int slot, CVKPixels* pixels) {
    if (g_frame.failLock) return 0;
    CVKPixels& block = g_frame.slots[slot];
    pixels->Init(block.Layout(), block.Width(), block.Height(), block.Data(), block.Size(), block.Stride(), 0);
    return 1;
}

void CVQCaptureRing::UnlockSlot(int) {}

void CVQCaptureRing::ReleaseSlots() {}

class PictureQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_frame.copies = 0;
        g_frame.done = true;
        g_frame.failLock = false;
        g_frame.width = kWidth;
        ASSERT_EQ(1, m_queue.Init(CVKPixels::kB8G8R8X8, kWidth, kHeight, kWidth * 4));
    }
    CVQCaptureRing m_ring;
    CVQPictureQueue m_queue;
};

// A worker slower than the render thread gets every picture it was handed,
// whole, in order, with its stamp; the render thread never overwrites a
// picture the worker has not given back.
TEST_F(PictureQueueTest, SlowWorkerGetsEveryPictureWholeAndInOrder) {
    const uint32_t kPicturesToSend = 200;
    std::vector<uint32_t> seen;
    std::thread worker([&] {
        const uint8_t* pixels = nullptr;
        int64_t stamp = 0;
        while (m_queue.Wait(&pixels, &stamp)) {
            const uint32_t number = *reinterpret_cast<const uint32_t*>(pixels);
            EXPECT_EQ(static_cast<int64_t>(number) * 10, stamp);
            if (number % 7 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ExpectPicture(pixels, number);  // still whole after the render thread went on
            seen.push_back(number);
            m_queue.Pop();
        }
    });
    uint32_t handed = 0;
    int fullSeen = 0;
    while (handed < kPicturesToSend) {
        if (m_ring.InFlight() < CVQCaptureRing::kSlots && g_frame.copies < kPicturesToSend) {
            ASSERT_EQ(CVQCaptureRing::kCaptured, m_ring.Capture(static_cast<int64_t>(g_frame.copies + 1) * 10));
        }
        const int result = m_queue.TakeFromRing(&m_ring, 0, nullptr);
        ASSERT_NE(CVQPictureQueue::kTakeFailed, result);
        if (result == CVQPictureQueue::kTaken)
            handed++;
        else if (!m_queue.HasRoom())
            fullSeen++;
    }
    m_queue.Stop();
    worker.join();
    ASSERT_EQ(kPicturesToSend, seen.size());
    for (uint32_t i = 0; i < seen.size(); i++) EXPECT_EQ(i + 1, seen[i]);
    EXPECT_GT(fullSeen, 0);  // the worker was behind at times
}

// A full queue takes nothing: the ring keeps its finished copies for later,
// and they come out in order once the worker has given a buffer back. The
// same for a one-picture queue (a worker handed a picture only while idle),
// over enough rounds that every buffer index is used again.
TEST_F(PictureQueueTest, FullQueueLeavesCopiesInTheRing) {
    for (const int depth : {CVQPictureQueue::kPictures, 1}) {
        ASSERT_EQ(1, m_queue.Init(CVKPixels::kB8G8R8X8, kWidth, kHeight, kWidth * 4, depth));
        g_frame.copies = 0;
        int expected = 1;
        for (int round = 0; round < 3; round++) {
            for (int i = 0; i < CVQCaptureRing::kSlots; i++)
                ASSERT_EQ(CVQCaptureRing::kCaptured, m_ring.Capture(round * CVQCaptureRing::kSlots + i + 1));
            for (int i = 0; i < depth; i++)
                ASSERT_EQ(CVQPictureQueue::kTaken, m_queue.TakeFromRing(&m_ring, 0, nullptr)) << depth;
            EXPECT_FALSE(m_queue.HasRoom()) << depth;
            EXPECT_EQ(CVQPictureQueue::kNothingTaken, m_queue.TakeFromRing(&m_ring, 1, nullptr)) << depth;
            EXPECT_EQ(CVQCaptureRing::kSlots - depth, m_ring.InFlight()) << depth;
            const uint8_t* pixels = nullptr;
            int64_t stamp = 0;
            for (int i = 0; i < CVQCaptureRing::kSlots; i++, expected++) {
                ASSERT_EQ(1, m_queue.Peek(&pixels, &stamp)) << depth;
                EXPECT_EQ(expected, stamp) << depth;
                ExpectPicture(pixels, static_cast<uint32_t>(expected));
                m_queue.Pop();
                m_queue.TakeFromRing(&m_ring, 0, nullptr);
            }
            EXPECT_EQ(0, m_queue.Peek(&pixels, &stamp)) << depth;
            EXPECT_EQ(0, m_ring.InFlight()) << depth;
        }
    }
    EXPECT_EQ(0, m_queue.Init(CVKPixels::kB8G8R8X8, kWidth, kHeight, kWidth * 4, CVQPictureQueue::kPictures + 1));
    EXPECT_FALSE(m_queue.HasRoom());
}

// A copy not yet done stays in the ring; one of another size is dropped;
// one that cannot be read is reported and dropped by the ring.
TEST_F(PictureQueueTest, UnfinishedWrongSizedAndUnreadableCopies) {
    g_frame.done = false;
    ASSERT_EQ(CVQCaptureRing::kCaptured, m_ring.Capture(1));
    EXPECT_EQ(CVQPictureQueue::kNothingTaken, m_queue.TakeFromRing(&m_ring, 0, nullptr));
    EXPECT_EQ(1, m_ring.InFlight());
    CVQPictureQueue::Timing timing = {1, 1};
    EXPECT_EQ(CVQPictureQueue::kTaken, m_queue.TakeFromRing(&m_ring, 1, &timing));  // waiting for it
    EXPECT_EQ(1, m_queue.Pending());
    m_queue.Pop();

    g_frame.done = true;
    g_frame.width = kWidth / 2;
    ASSERT_EQ(CVQCaptureRing::kCaptured, m_ring.Capture(2));
    EXPECT_EQ(CVQPictureQueue::kNothingTaken, m_queue.TakeFromRing(&m_ring, 0, nullptr));
    EXPECT_EQ(0, m_ring.InFlight());
    EXPECT_EQ(0, m_queue.Pending());

    g_frame.width = kWidth;
    g_frame.failLock = true;
    ASSERT_EQ(CVQCaptureRing::kCaptured, m_ring.Capture(3));
    EXPECT_EQ(CVQPictureQueue::kTakeFailed, m_queue.TakeFromRing(&m_ring, 0, nullptr));
    EXPECT_EQ(0, m_ring.InFlight());
    EXPECT_EQ(0, m_queue.Pending());
}

// Stop wakes a worker waiting on an empty queue; pictures queued before the
// stop still come out first.
TEST_F(PictureQueueTest, StopEndsTheWaitAfterWhatIsQueued) {
    std::atomic<int> returned(-1);
    std::thread waiting([&] {
        const uint8_t* pixels = nullptr;
        int64_t stamp = 0;
        returned = m_queue.Wait(&pixels, &stamp);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(-1, returned.load());
    m_queue.Stop();
    waiting.join();
    EXPECT_EQ(0, returned.load());

    ASSERT_EQ(1, m_queue.Init(CVKPixels::kB8G8R8X8, kWidth, kHeight, kWidth * 4));
    ASSERT_EQ(CVQCaptureRing::kCaptured, m_ring.Capture(7));
    ASSERT_EQ(CVQPictureQueue::kTaken, m_queue.TakeFromRing(&m_ring, 0, nullptr));
    m_queue.Stop();
    const uint8_t* pixels = nullptr;
    int64_t stamp = 0;
    ASSERT_EQ(1, m_queue.Wait(&pixels, &stamp));
    EXPECT_EQ(7, stamp);
    m_queue.Pop();
    EXPECT_EQ(0, m_queue.Wait(&pixels, &stamp));
}
