// What the pass plot draws from its samples, the time range that follows the
// pass, and the readout of the values under the mouse.
#include "records/pass_plot_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

PassSample Sample(std::int64_t ms, double level, double ebno, double offset, LockState lock)
{
    PassSample s;
    s.utcMs = ms;
    s.levelDbm = level;
    s.ebnoDb = ebno;
    s.offsetHz = offset;
    s.lock = lock;
    return s;
}

TEST(PassPlotData, ThreeStripsInSecondsWithTheLineBrokenWhereTheRowsStopped)
{
    const std::deque<PassSample> samples = {
        Sample(1000, -50, 3, 100, LockState::Fault), Sample(1500, -45, 8, kNaN, LockState::Ok),
        Sample(2000, -44, 9, 20, LockState::Ok),
        Sample(60000, -58, 0, 0, LockState::Ok),  // the poll was off for most of a minute
    };
    const PassPlotData d = PlotDataOf(samples);
    ASSERT_EQ(d.level.x.size(), 5u);
    EXPECT_EQ(d.level.x[0], 1.0);
    EXPECT_EQ(d.level.x[2], 2.0);
    EXPECT_EQ(d.level.x[3], 31.0);
    EXPECT_TRUE(std::isnan(d.level.y[3]));
    EXPECT_TRUE(std::isnan(d.ebno.y[3]));
    EXPECT_TRUE(std::isnan(d.offset.y[3]));
    EXPECT_EQ(d.level.y[4], -58);
    EXPECT_TRUE(std::isnan(d.offset.y[1])) << "a row without an offset leaves its point out";
    EXPECT_EQ(d.ebno.y[2], 9);
    EXPECT_EQ(d.lockSpans, (std::vector<std::pair<double, double>>{{1.5, 2.0}, {60.0, 60.0}}));
}

TEST(PassPlotData, ValueSpanLooksOnlyAtTheRangeShown)
{
    const StripPoints p{{1, 2, 3, 4, 5}, {-40, kNaN, -55, -42, -30}};
    EXPECT_EQ(ValueSpan(p, 1.5, 4.0), (std::pair<double, double>{-55, -42}));
    EXPECT_EQ(ValueSpan(p, 0, 9), (std::pair<double, double>{-55, -30}));
    const auto none = ValueSpan(p, 2, 2.5);
    EXPECT_TRUE(std::isnan(none.first) && std::isnan(none.second));
}

TEST(TimeWindow, FollowsThePassUpToAnHourBackUntilTheOperatorMovesIt)
{
    TimeWindow w(3600);
    w.Empty(10000);  // nothing logged today yet: the last hour
    EXPECT_EQ(w.From(), 6400);
    EXPECT_EQ(w.To(), 10000);
    w.Track(9000, 9100);  // 100 s of rows: all of it, with a fiftieth as room
    EXPECT_EQ(w.From(), 8998);
    EXPECT_EQ(w.To(), 9102);
    w.Track(1000, 9000);  // more than an hour: the last hour, 72 s of room
    EXPECT_EQ(w.From(), 5400);
    EXPECT_EQ(w.To(), 9072);

    w.Moved(8000, 8600);  // the operator zooms
    EXPECT_FALSE(w.Following());
    w.Track(1000, 20000);
    w.Empty(30000);
    EXPECT_EQ(w.From(), 8000);
    EXPECT_EQ(w.To(), 8600);
    w.Follow(false);  // at the width shown
    w.Track(1000, 20000);
    EXPECT_TRUE(w.Following());
    EXPECT_EQ(w.From(), 19400);
    EXPECT_EQ(w.To(), 20012);
    w.Moved(19000, 19100);
    w.Follow(true);  // back to the hour
    w.Track(1000, 20000);
    EXPECT_EQ(w.From(), 16400);

    w.ShowAll(100, 600);
    EXPECT_FALSE(w.Following());
    EXPECT_EQ(w.From(), 90);
    EXPECT_EQ(w.To(), 610);
}

TEST(PassReadout, NamesEachValueAndMarksThoseMissing)
{
    // 2026-12-11T09:41:07.250Z
    EXPECT_EQ(ReadoutText(Sample(1'796'982'067'250, -45.2, 7.1, 1500, LockState::Ok)),
              "09:41:07 UTC  -45.2 dBm  Eb/N0 7.1 dB  offset 1500 Hz  lock OK");
    EXPECT_EQ(ReadoutText(Sample(0, -60, kNaN, kNaN, LockState::Unknown)),
              "00:00:00 UTC  -60 dBm  Eb/N0 -  offset -  lock UNKN");
}

} // namespace
