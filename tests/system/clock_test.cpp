#include "platform/system/clock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

using ::testing::ElementsAre;

TEST(VirtualClockTest, SleepMovesTimeAtOnceAndIsRecorded) {
    sys::VirtualClock clock(1000);
    clock.Sleep(5000);
    clock.Sleep(1000);
    EXPECT_EQ(clock.TickCount(), 7000u);
    EXPECT_THAT(clock.Sleeps(), ElementsAre(5000u, 1000u));

    clock.Advance(250);
    EXPECT_EQ(clock.TickCount(), 7250u);
    EXPECT_EQ(clock.Sleeps().size(), 2u) << "Advance is no sleep";
}

TEST(VirtualClockTest, TickCountWrapsAt32Bits) {
    sys::VirtualClock clock(0xFFFFFF00u);
    clock.Sleep(0x200);
    EXPECT_EQ(clock.TickCount(), 0x100u);
}

TEST(VirtualClockTest, HookSeesEveryMoveAndMayChangeTheWorld) {
    sys::VirtualClock clock;
    std::vector<uint32_t> seen;
    bool queueEmptied = false;
    clock.SetHook([&](uint32_t now) {
        seen.push_back(now);
        if (now >= 3000) {
            queueEmptied = true;
        }
    });
    clock.Sleep(1000);
    clock.Sleep(1000);
    EXPECT_FALSE(queueEmptied);
    clock.Advance(1000);
    EXPECT_TRUE(queueEmptied);
    EXPECT_THAT(seen, ElementsAre(1000u, 2000u, 3000u));
}

TEST(VirtualClockTest, HookThatSleepsIsNotCalledAgainFromWithin) {
    sys::VirtualClock clock;
    int calls = 0;
    clock.SetHook([&](uint32_t) {
        ++calls;
        clock.Sleep(10);
    });
    clock.Sleep(100);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(clock.TickCount(), 110u);
}

TEST(VirtualClockTest, AdvancePerReadLetsTickWatchingLoopsEnd) {
    sys::VirtualClock clock;
    clock.SetAdvancePerRead(100);
    int reads = 0;
    const auto read = [&] {
        ++reads;
        return clock.TickCount();
    };
    const uint32_t start = read();
    uint32_t now = start;
    while (now < start + 85000) {
        now = read();
    }
    // Reads saw 0, 100, ..., 85000.
    EXPECT_EQ(now, 85000u);
    EXPECT_EQ(reads, 851);
    EXPECT_TRUE(clock.Sleeps().empty());
}

TEST(VirtualClockTest, LocalTimeRunsWithTheClock) {
    sys::VirtualClock clock;
    EXPECT_EQ(clock.Now(), (sys::LocalTime{2024, 1, 1, 1, 0, 0, 0, 0}));

    clock.SetTime(sys::LocalTime{2024, 2, 0, 28, 23, 59, 59, 500});
    clock.Sleep(1000);
    // A leap day, a Thursday.
    EXPECT_EQ(clock.Now(), (sys::LocalTime{2024, 2, 4, 29, 0, 0, 0, 500}));
    clock.Advance(24 * 3600 * 1000);
    EXPECT_EQ(clock.Now(), (sys::LocalTime{2024, 3, 5, 1, 0, 0, 0, 500}));
}

TEST(CurrentClockTest, IsTheRealClockUnlessAnotherIsInstalled) {
    sys::Clock& real = sys::CurrentClock();
    EXPECT_NE(dynamic_cast<sys::RealClock*>(&real), nullptr);
    {
        sys::VirtualClock clock(42);
        sys::ScopedClock installed(clock);
        EXPECT_EQ(&sys::CurrentClock(), &clock);
        EXPECT_EQ(sys::CurrentClock().TickCount(), 42u);
    }
    EXPECT_EQ(&sys::CurrentClock(), &real);

    sys::VirtualClock other;
    sys::SetClock(&other);
    EXPECT_EQ(&sys::CurrentClock(), &other);
    sys::SetClock(nullptr);
    EXPECT_EQ(&sys::CurrentClock(), &real);
}

TEST(RealClockTest, TicksDoNotGoBackAndTheDateIsPlausible) {
    sys::RealClock clock;
    const uint32_t first = clock.TickCount();
    const uint32_t second = clock.TickCount();
    EXPECT_LE(static_cast<uint32_t>(second - first), 1000u);
    const sys::LocalTime now = clock.Now();
    EXPECT_GE(now.year, 2024);
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_GE(now.day, 1);
    EXPECT_LE(now.day, 31);
    EXPECT_LE(now.dayOfWeek, 6);
    EXPECT_LT(now.milliseconds, 1000);
}

}  // namespace
