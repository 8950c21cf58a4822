#include "widgets/led_bar_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kWidth = 505;
constexpr int kHeight = 16;

TEST(LedBarModel, DefaultsAreTheMainWindowBar)
{
    const TiLedBarModel m;
    EXPECT_EQ(m.PositionMin, -600);
    EXPECT_EQ(m.PositionMax, -150);
    EXPECT_EQ(m.Position, -600);
    EXPECT_EQ(m.SectionCount, 5);
    EXPECT_EQ(m.SectionEnd, (std::array<double, 4>{-500, -300, -200, -160}));
    // The colour numbers as the toolkit stores them (0x00BBGGRR).
    EXPECT_EQ(m.SectionColor[0], 16744448u);
    EXPECT_EQ(m.SectionColor[1], 114699u);
    EXPECT_EQ(m.SectionColor[2], 45232u);
    EXPECT_EQ(m.SectionColor[3], 221u);
    EXPECT_EQ(m.SectionColor[4], ColorFromRGB(255, 0, 0));
    EXPECT_EQ(m.BackGroundColor, 0u);
    EXPECT_EQ(m.SegmentDirection, idRight);
    EXPECT_FALSE(m.ShowOffSegments);
    EXPECT_EQ(m.BorderStyle, ibsNone);
}

// Lit count for each position, and the band of the last lit segment.
TEST(LedBarModel, LitCountAndBandOfTheLastLitSegment)
{
    struct Case {
        double position;
        int lit;
        int lastBand;  // 0: nothing lit
    };
    const std::vector<Case> cases = {
        {-700, 0, 0},   {-600, 0, 0},   {-599, 1, 1},   {-500, 56, 1}, {-499, 57, 2},
        {-453, 82, 2},  {-300, 167, 2}, {-200, 223, 4}, {-160, 245, 5}, {-151, 250, 5},
        {-150, 250, 5}, {0, 250, 5},
        // At exactly the start of segment 5 it is lit (odd index); of segment 10, not.
        {-591, 6, 1},   {-582, 10, 1},
        // Between whole tenths: just above the bottom lights one; just below
        // the start of segment 56 (-499.2) leaves it, the first green, off.
        {-599.6, 1, 1}, {-499.4, 56, 1},
    };
    TiLedBarModel m;
    const int n = m.SegmentCount(kWidth, kHeight);
    ASSERT_EQ(n, 250);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        m.SetPosition(c.position);
        const int lit = m.LitCount(n);
        EXPECT_EQ(lit, c.lit);
        if (c.lastBand > 0) {
            EXPECT_EQ(m.BandOfSegment(lit - 1, n), c.lastBand);
        }
    }
}

TEST(LedBarModel, BandsBelongToSegmentIndices)
{
    TiLedBarModel m;
    const int n = m.SegmentCount(kWidth, kHeight);
    EXPECT_EQ(m.BandBoundaries(n), (std::array<int, 4>{56, 167, 222, 244}));

    struct Band {
        int first;
        int last;
        int band;
    };
    const std::vector<Band> table = {{0, 55, 1}, {56, 166, 2}, {167, 221, 3}, {222, 243, 4}, {244, 249, 5}};
    // The position never changes a segment's band.
    for (double position : {-600.0, -200.0, -150.0}) {
        m.SetPosition(position);
        for (const Band& b : table) {
            SCOPED_TRACE(b.band);
            EXPECT_EQ(m.BandOfSegment(b.first, n), b.band);
            EXPECT_EQ(m.BandOfSegment(b.last, n), b.band);
            EXPECT_EQ(m.SegmentColor(b.first, n), m.SectionColor[b.band - 1]);
        }
    }

    // Fewer sections: the bands beyond the count never start.
    for (int count = 1; count <= 4; ++count) {
        m.SectionCount = count;
        EXPECT_EQ(m.BandOfSegment(249, n), count);
        EXPECT_EQ(m.BandOfSegment(0, n), 1);
    }
}

TEST(LedBarModel, ValuePercentAndEmptyRange)
{
    TiLedBarModel m;
    EXPECT_DOUBLE_EQ(m.ValuePercent(-1000), 0.0);
    EXPECT_DOUBLE_EQ(m.ValuePercent(-600), 0.0);
    EXPECT_DOUBLE_EQ(m.ValuePercent(-375), 0.5);
    EXPECT_DOUBLE_EQ(m.ValuePercent(-150), 1.0);
    EXPECT_DOUBLE_EQ(m.ValuePercent(500), 1.0);

    m.PositionMax = m.PositionMin;
    EXPECT_DOUBLE_EQ(m.ValuePercent(-100), 0.0);
    EXPECT_EQ(m.BandBoundaries(250), (std::array<int, 4>{0, 0, 0, 0}));
    EXPECT_EQ(m.LitCount(250), 0);
}

TEST(LedBarModel, SetPositionClampsAndReportsChanges)
{
    struct Step {
        double value;
        double stored;
        bool changed;
    };
    const std::vector<Step> steps = {
        {-700, -600, false},  // below the range: the bottom, which it already is
        {-453, -453, true},   {-453, -453, false}, {100, -150, true},
        {200, -150, false},   // clamped to the same top
        {-1e9, -600, true},
        {2e9, -150, true},    // far above: full, not left as it was
        {std::nan(""), -150, false},  // no number: ignored, never stored
        {-INFINITY, -600, true}, {INFINITY, -150, true},
    };
    TiLedBarModel m;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.value);
        EXPECT_EQ(m.SetPosition(s.value), s.changed);
        EXPECT_EQ(m.Position, s.stored);
    }
    EXPECT_EQ(m.CurrentMax, -150);
}

TEST(LedBarModel, SegmentCountFollowsLengthMarginAndStep)
{
    TiLedBarModel m;
    EXPECT_EQ(m.SegmentCount(kWidth, kHeight), 250);
    m.BorderStyle = ibsRaised;  // 2 pixels less on each side
    EXPECT_EQ(m.SegmentCount(kWidth, kHeight), 248);
    m.BorderStyle = ibsNone;
    m.SegmentSize = 0;
    m.SegmentSpacing = 0;
    EXPECT_EQ(m.SegmentCount(kWidth, kHeight), 0);
    m.SegmentSize = 2;
    m.SegmentSpacing = 1;
    m.SegmentDirection = idUp;  // the length is the height now
    EXPECT_EQ(m.SegmentCount(16, 102), 32);
    EXPECT_EQ(m.SegmentCount(16, 4), 0);  // no room at all
}

TEST(LedBarModel, SegmentRectanglesInEveryDirection)
{
    struct Case {
        const char* name;
        TiLedBarDirection direction;
        int size, spacing;
        TiBevelStyle border;
        int width, height;
        int index;
        LedRect rect;
    };
    const std::vector<Case> cases = {
        {"right first", idRight, 1, 1, ibsNone, 505, 16, 0, {3, 3, 4, 13}},
        {"right 100", idRight, 1, 1, ibsNone, 505, 16, 100, {203, 3, 204, 13}},
        {"right last", idRight, 1, 1, ibsNone, 505, 16, 249, {501, 3, 502, 13}},
        {"right raised", idRight, 1, 1, ibsRaised, 505, 16, 0, {5, 5, 6, 11}},
        {"left first", idLeft, 1, 1, ibsNone, 505, 16, 0, {501, 3, 502, 13}},
        {"left last", idLeft, 1, 1, ibsNone, 505, 16, 249, {3, 3, 4, 13}},
        // Height 102: room 98, step 3, leftover 2, so one pixel of centring.
        {"down first", idDown, 2, 1, ibsNone, 16, 102, 0, {3, 4, 13, 6}},
        {"down second", idDown, 2, 1, ibsNone, 16, 102, 1, {3, 7, 13, 9}},
        {"up first", idUp, 2, 1, ibsNone, 16, 102, 0, {3, 96, 13, 98}},
        {"up second", idUp, 2, 1, ibsNone, 16, 102, 1, {3, 93, 13, 95}},
        // Height 101: leftover 1, no centring.
        {"down no centring", idDown, 2, 1, ibsNone, 16, 101, 0, {3, 3, 13, 5}},
        {"up no centring", idUp, 2, 1, ibsNone, 16, 101, 0, {3, 96, 13, 98}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TiLedBarModel m;
        m.SegmentDirection = c.direction;
        m.SegmentSize = c.size;
        m.SegmentSpacing = c.spacing;
        m.BorderStyle = c.border;
        EXPECT_EQ(m.SegmentRect(c.index, c.width, c.height), c.rect);
    }
}

} // namespace
