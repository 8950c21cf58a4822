// Scales of axes that follow their data: label steps, rounded ranges, time labels.
#include "widgets/chart_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(ChartScale, IncrementsAreOneTwoOrFiveTimesAPowerOfTen)
{
    struct Case {
        double span;
        int marks;
        double increment;
    };
    const Case cases[] = {
        {35, 7, 5}, {10, 10, 1}, {10, 4, 5}, {0.3, 6, 0.05}, {1234, 5, 500}, {3000, 6, 500}, {1, 1, 1}, {0, 5, 1},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(NiceIncrement(c.span, c.marks), c.increment) << c.span << "/" << c.marks;
}

TEST(ChartScale, TimeStepsAreThoseAClockReads)
{
    struct Case {
        double span;
        double increment;
    };
    const Case cases[] = {
        {30, 5}, {60, 10}, {300, 60}, {900, 300}, {3600, 600}, {3 * 3600, 1800}, {24 * 3600, 3 * 3600 * 2},
        {10 * 86400, 2 * 86400}, {2, 0.5},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(TimeIncrement(c.span, 6), c.increment) << c.span;
}

TEST(ChartScale, RangesBeginAndEndOnALabel)
{
    const AxisRange fallback{-60, -25, 5};
    struct Case {
        double lo, hi;
        double min, max, inc;
    };
    const Case cases[] = {
        {-52.3, -41.7, -54, -40, 2},
        {0.0, 12.5, 0, 14, 2},
        {-1480, 1530, -1500, 2000, 500},
        {-45, -45, -48, -42, 1},  // one value: room around it
        {0, 0, -1, 1, 0.5},
    };
    for (const Case& c : cases) {
        const AxisRange r = NiceRange(c.lo, c.hi, 8, fallback);
        EXPECT_DOUBLE_EQ(r.minimum, c.min) << c.lo << ".." << c.hi;
        EXPECT_DOUBLE_EQ(r.maximum, c.max) << c.lo << ".." << c.hi;
        EXPECT_DOUBLE_EQ(r.increment, c.inc) << c.lo << ".." << c.hi;
        EXPECT_LE((r.maximum - r.minimum) / r.increment, 8.0 + 1e-9);
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_DOUBLE_EQ(NiceRange(nan, nan, 8, fallback).minimum, -60);
    EXPECT_DOUBLE_EQ(NiceRange(nan, nan, 8, fallback).increment, 5);
}

TEST(ChartScale, TimeLabelsInUtcWithSecondsOnlyWhenTheStepNeedsThem)
{
    // 2026-12-11T09:41:05Z
    const double t = 1'796'982'065.0;
    EXPECT_EQ(TimeLabel(t, 60), "09:41");
    EXPECT_EQ(TimeLabel(t, 5), "09:41:05");
    EXPECT_EQ(TimeLabel(t + 0.4, 5), "09:41:05");
    EXPECT_EQ(TimeLabel(1'797'033'600.0, 600), "00:00");  // midnight
}

} // namespace
