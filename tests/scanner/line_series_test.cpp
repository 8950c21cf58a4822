#include "widgets/line_series.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(LineSeries, InsertsInAscendingXWithEqualXAfterExistingOnes)
{
    TLineSeries s;
    struct Add {
        double x, y;
        int index;  // where AddXY says it stored the point
    };
    const std::vector<Add> adds = {{140, 1, 0}, {138, 2, 0}, {140, 3, 2}, {139, 4, 1}};
    for (const Add& a : adds)
        EXPECT_EQ(s.AddXY(a.x, a.y), a.index) << a.x;

    EXPECT_EQ(s.XValues.Value, (std::vector<double>{138, 139, 140, 140}));
    EXPECT_EQ(s.YValues.Value, (std::vector<double>{2, 4, 1, 3}));  // the first 140 before the second
    EXPECT_EQ(s.Count(), 4);
}

TEST(LineSeries, ScannerPointsCreateNoLabelOrColourList)
{
    TLineSeries s;
    for (double x : {136.0, 136.2, 136.4})
        s.AddXY(x, -50, "", UseSeriesColor);
    EXPECT_EQ(s.Labels(), nullptr);
    EXPECT_EQ(s.Colors(), nullptr);
    EXPECT_EQ(s.ValueColor(1), s.SeriesColor);
}

TEST(LineSeries, LabelAndColourListsFollowXOnceCreated)
{
    TLineSeries s;
    s.AddXY(140, 1);
    s.AddXY(150, 2);
    s.AddXY(145, 3, "peak", 0x000000FF);  // lists come into being here, aligned with X
    s.AddXY(138, 4);                       // and keep following X afterwards

    ASSERT_NE(s.Labels(), nullptr);
    ASSERT_NE(s.Colors(), nullptr);
    EXPECT_EQ(*s.Labels(), (std::vector<std::string>{"", "", "peak", ""}));
    EXPECT_EQ(*s.Colors(), (std::vector<TColor>{UseSeriesColor, UseSeriesColor, 0x000000FF, UseSeriesColor}));
    EXPECT_EQ(s.ValueColor(2), 0x000000FFu);
    EXPECT_EQ(s.ValueColor(0), s.SeriesColor);
}

TEST(LineSeries, ClearEmptiesEveryListAndNotifies)
{
    TLineSeries s;
    int changes = 0;
    s.OnChange = [&] { ++changes; };

    s.Clear();  // already empty: stays empty, still redraws
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(changes, 1);

    s.AddXY(140, 1, "a", 0x00FF0000);
    EXPECT_EQ(changes, 2);
    s.Clear();
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(s.Count(), 0);
    EXPECT_TRUE(s.YValues.Value.empty());
    EXPECT_EQ(s.Labels(), nullptr);
    EXPECT_EQ(s.Colors(), nullptr);
}

TEST(LineSeries, InactiveSeriesStoresWithoutNotifying)
{
    TLineSeries s;
    int changes = 0;
    s.OnChange = [&] { ++changes; };
    s.Active = false;
    s.AddXY(140, 1);
    EXPECT_EQ(s.Count(), 1);
    EXPECT_EQ(changes, 0);
}

} // namespace
