// The clock's deadlines and the C runtime's random numbers: every game timing
// and draw rests on them.
#include <gtest/gtest.h>

#include "platform/sys/Clock.h"
#include "platform/sys/CrtRandom.h"

namespace {

TEST(Clock, DeadlinesHoldAcrossTheCounterWrap) {
    using platform::DeadlineReached;
    EXPECT_FALSE(DeadlineReached(999, 1000));
    EXPECT_TRUE(DeadlineReached(1000, 1000));
    // Past 2^31 a signed comparison of the raw values would end every wait.
    EXPECT_FALSE(DeadlineReached(0x80000000u, 0x80000000u + 400));
    EXPECT_TRUE(DeadlineReached(0x80000000u + 400, 0x80000000u + 400));
    // A deadline that wrapped past zero is not reached before the wrap...
    EXPECT_FALSE(DeadlineReached(0xFFFFFF00u, 0xFFFFFF00u + 1000));
    // ...and is reached after it.
    EXPECT_TRUE(DeadlineReached(0x000002E8u, 0xFFFFFF00u + 1000));
}

TEST(Clock, ManualClockMovesOnlyByHand) {
    platform::UseManualClock(0xFFFFFFF0u);
    EXPECT_EQ(platform::GetTickCount(), 0xFFFFFFF0u);
    platform::AdvanceManualClock(0x20);
    EXPECT_EQ(platform::GetTickCount(), 0x10u);
    platform::UseRealClock();
    uint32_t a = platform::GetTickCount();
    uint32_t b = platform::GetTickCount();
    EXPECT_LE(static_cast<int32_t>(b - a), 1000);
}

TEST(CrtRandom, ClassicFifteenBitSequence) {
    platform::CrtSrand(1);
    // The classic runtime's first values after srand(1).
    EXPECT_EQ(platform::CrtRand(), 41);
    EXPECT_EQ(platform::CrtRand(), 18467);
    EXPECT_EQ(platform::CrtRand(), 6334);
    EXPECT_EQ(platform::CrtRand(), 26500);

    platform::CrtSrand(0xDEADBEEF);
    int highest = 0, lowest = platform::kCrtRandMax;
    for (int i = 0; i < 100000; ++i) {
        int value = platform::CrtRand();
        highest = std::max(highest, value);
        lowest = std::min(lowest, value);
    }
    EXPECT_EQ(highest, platform::kCrtRandMax);
    EXPECT_EQ(lowest, 0);
}

TEST(CrtRandom, QueuedValuesComeFirstThenTheSequenceGoesOn) {
    platform::CrtSrand(1);
    platform::CrtQueueRandomValues({32767, 0});
    EXPECT_EQ(platform::CrtRand(), 32767);
    EXPECT_EQ(platform::CrtRand(), 0);
    EXPECT_EQ(platform::CrtRand(), 41);
}

}  // namespace
