// When a lost line is tried again.
#include "station/reconnect_schedule.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The waits of one loss whose attempts all fail, n of them.
std::vector<int> Waits(ReconnectSchedule& s, std::int64_t lostAtMs, int n)
{
    std::vector<int> waits{s.Lost(lostAtMs)};
    for (int i = 1; i < n; ++i) {
        s.Attempt();
        waits.push_back(s.Failed());
    }
    return waits;
}

TEST(ReconnectSchedule, FirstAfterASecondThenDoublingUpToHalfAMinute)
{
    ReconnectSchedule s;
    EXPECT_FALSE(s.Retrying());
    EXPECT_EQ(Waits(s, 0, 8), (std::vector<int>{1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000}));
    EXPECT_TRUE(s.Retrying());
    EXPECT_EQ(s.Attempts(), 7);
    // A device back 3 s after the loss is found by the attempt at 7 s: at most
    // 4 s later, one poll period before it is polled again.
    const std::vector<int> w = Waits(s, 0, 3);
    EXPECT_LE(w[0] + w[1] + w[2] - 3000, 4000);
}

TEST(ReconnectSchedule, AttemptsAreCountedPerLoss)
{
    ReconnectSchedule s;
    s.Lost(0);
    EXPECT_EQ(s.Attempt(), 1);
    s.Failed();
    EXPECT_EQ(s.Attempt(), 2);
    s.Succeeded(10'000);
    EXPECT_FALSE(s.Retrying());
    s.Lost(100'000);
    EXPECT_EQ(s.Attempt(), 1);
}

TEST(ReconnectSchedule, ALineLostAgainSoonAfterComingBackGoesOnWhereTheWaitsHadGot)
{
    struct Case {
        const char* what;
        std::int64_t upForMs;  // from coming back to the next loss
        int firstWait;
    };
    const Case cases[] = {{"at once", 0, 4000}, {"after 59 s", 59'999, 4000}, {"after a minute", 60'000, 1000}};
    for (const Case& c : cases) {
        ReconnectSchedule s;
        Waits(s, 0, 2);  // 1 s, 2 s
        s.Attempt();
        s.Succeeded(5000);
        EXPECT_EQ(s.Lost(5000 + c.upForMs), c.firstWait) << c.what;
    }
    ReconnectSchedule flapping;
    for (int i = 0; i < 10; ++i) {
        flapping.Lost(i * 1000);
        flapping.Attempt();
        flapping.Succeeded(i * 1000 + 1);
    }
    EXPECT_EQ(flapping.Lost(20'000), ReconnectSchedule::kLongestWaitMs) << "never more often than the longest wait";
}

TEST(ReconnectSchedule, StoppedByTheOperatorTheNextLossStartsAfresh)
{
    ReconnectSchedule s;
    Waits(s, 0, 5);
    s.Stopped();
    EXPECT_FALSE(s.Retrying());
    EXPECT_EQ(s.Lost(1000), ReconnectSchedule::kFirstWaitMs);
}

} // namespace
