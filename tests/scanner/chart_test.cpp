#include "widgets/ui/chart.h"

#include "qt_test_environment.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

VR_QT_TEST_ENVIRONMENT();

const QRgb kNavy = qRgb(0, 0, 128);
const QRgb kGreen = qRgb(0, 128, 0);
const QRgb kLime = qRgb(0, 255, 0);

class Chart : public ::testing::Test {
protected:
    void SetUp() override { chart.resize(529, 281); }

    QImage Render()
    {
        QImage image(chart.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        chart.render(&image);
        return image;
    }

    // The pixel where a value pair lands: the axis ends lie on the plot area's
    // edges, and the exact position is rounded to the nearest pixel (a value
    // halfway between two, as -42.5 dBm is on plots of odd height, takes the
    // pixel below).
    static QPoint Expected(const QRect& plot, double x, double y)
    {
        return {int(std::lround(plot.left() + (x - 136) / 19 * (plot.right() - plot.left()))),
                int(std::lround(plot.bottom() - (y + 60) / 35 * (plot.bottom() - plot.top())))};
    }

    void Send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent e(type, QPointF(at), chart.mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
        QApplication::sendEvent(&chart, &e);
    }
    void Drag(Qt::MouseButton button, QPoint from, QPoint to)
    {
        Send(QEvent::MouseButtonPress, from, button, button);
        Send(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, button);
        Send(QEvent::MouseMove, to, Qt::NoButton, button);
        Send(QEvent::MouseButtonRelease, to, button, Qt::NoButton);
    }

    TChart chart;
};

TEST_F(Chart, EmptyPlotIsNavyWithTheConfiguredAxes)
{
    const QImage image = Render();
    const QRect plot = chart.PlotArea();
    ASSERT_TRUE(QRect(0, 0, 529, 281).contains(plot));
    EXPECT_GT(plot.width(), 400);
    EXPECT_GT(plot.height(), 180);
    EXPECT_EQ(image.pixel(1, 1), kNavy);
    EXPECT_EQ(image.pixel(527, 279), kNavy);
    // The transparent back wall: navy between the grid lines.
    EXPECT_EQ(image.pixel(Expected(plot, 137, -57.5)), kNavy);

    // Grid lines in RGB 53,53,53, dotted: some pixels of the line at 140 MHz
    // and of the one at -40 dBm have it, others in between stay navy.
    auto countGrid = [&](auto pixelAt, int from, int to) {
        int grid = 0, navy = 0;
        for (int i = from; i <= to; ++i) {
            const QRgb c = pixelAt(i);
            grid += c == qRgb(53, 53, 53);
            navy += c == kNavy;
        }
        return std::pair{grid, navy};
    };
    const int x140 = Expected(plot, 140, -60).x();
    const auto [vGrid, vNavy] = countGrid([&](int y) { return image.pixel(x140, y); }, plot.top() + 1, plot.bottom() - 1);
    EXPECT_GT(vGrid, 10);
    EXPECT_GT(vNavy, 10);
    const int y40 = Expected(plot, 136, -40).y();
    const auto [hGrid, hNavy] = countGrid([&](int x) { return image.pixel(x, y40); }, plot.left() + 1, plot.right() - 1);
    EXPECT_GT(hGrid, 10);
    EXPECT_GT(hNavy, 10);
    // No grid line between the marks (139 MHz).
    const int x139 = Expected(plot, 139, -60).x();
    EXPECT_EQ(countGrid([&](int y) { return image.pixel(x139, y); }, plot.top() + 1, plot.bottom() - 1).first, 0);

    // Text: grey labels under the plot, olive title above it, green axis titles.
    // Text is antialiased: look for pixels nearer the text colour than the background.
    auto has = [&](QRgb colour, QRect area) {
        auto dist = [](QRgb a, QRgb b) {
            return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
        };
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (dist(image.pixel(x, y), colour) < dist(image.pixel(x, y), kNavy))
                    return true;
        return false;
    };
    EXPECT_TRUE(has(qRgb(128, 128, 128), QRect(plot.left(), plot.bottom() + 2, plot.width(), 14)));
    EXPECT_TRUE(has(qRgb(128, 128, 0), QRect(plot.center().x(), 0, 529 - plot.center().x(), plot.top())));
    EXPECT_FALSE(has(qRgb(128, 128, 0), QRect(plot.left() + 10, 0, plot.width() / 2 - 110, plot.top() - 8)))
        << "the title is right-aligned";
    EXPECT_TRUE(has(kGreen, QRect(0, plot.top(), plot.left() - 1, plot.height())));            // "dBm"
    EXPECT_TRUE(has(kGreen, QRect(plot.left(), plot.bottom() + 14, plot.width(), 281 - plot.bottom() - 14)));  // "MHz"
}

TEST_F(Chart, PointsAreDrawnWhereTheyBelong)
{
    TLineSeries& s = chart.Series1();
    s.AddXY(145.5, -42.5);
    s.AddXY(136.0, -60.0);
    const QImage image = Render();
    const QRect plot = chart.PlotArea();

    const QPoint centre = Expected(plot, 145.5, -42.5);
    EXPECT_LE((centre - plot.center()).manhattanLength(), 1) << "the middle of both ranges";
    EXPECT_EQ(image.pixel(centre), kGreen);                       // marker fill
    EXPECT_EQ(image.pixel(centre + QPoint(0, -2)), kLime);        // its outline, 2 pixels up
    EXPECT_EQ(image.pixel(centre + QPoint(0, -4)), kNavy);        // and nothing beyond
    EXPECT_EQ(image.pixel(plot.bottomLeft()), kGreen);            // the corner point, at the axes' minimum
    // The line joining them: green halfway between the points.
    const QPoint half = Expected(plot, (145.5 + 136) / 2, (-42.5 - 60) / 2);
    bool line = false;
    for (int dy = -1; dy <= 1; ++dy)
        line = line || image.pixel(half + QPoint(0, dy)) == kGreen;
    EXPECT_TRUE(line);
}

TEST_F(Chart, OutOfRangePointsAreClippedAndTheAxesStay)
{
    const QImage empty = Render();
    TLineSeries& s = chart.Series1();
    s.AddXY(140.0, -45.0);
    s.AddXY(141.0, -75.0);  // below -60
    s.AddXY(142.0, -10.0);  // above -25
    s.AddXY(160.0, -40.0);  // beyond 155 MHz
    const QImage image = Render();
    const QRect plot = chart.PlotArea();

    int inside = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != empty.pixel(x, y)) {
                EXPECT_TRUE(plot.contains(x, y)) << "drawn outside the plot area at " << x << "," << y;
                ++inside;
            }
    EXPECT_GT(inside, 20);  // the in-range point and the clipped segments are there
    EXPECT_EQ(chart.ViewYMin(), -60);
    EXPECT_EQ(chart.ViewYMax(), -25);
    EXPECT_EQ(chart.ViewXMax(), 155);
    EXPECT_EQ(s.Count(), 4);  // stored all the same
}

// Levels far outside the axes (a garbled reply can give any number) are
// clipped as values, before they become pixels: nothing lands inside the plot
// area away from the lines to and from the point's frequency, whatever the
// magnitude.
TEST_F(Chart, AbsurdLevelsLeaveOnlyTheirClippedLinesInThePlotArea)
{
    const QRect plot = chart.PlotArea();
    // The lines to and from the point leave the plot area almost straight up
    // or down at 140 and 142 MHz; between them nothing is drawn.
    const int left = Expected(plot, 140.2, 0).x();
    const int right = Expected(plot, 141.8, 0).x();
    // A level whose pixel row lies 2^32 rows above the middle one: in 32-bit
    // pixels it would come out in the middle of the plot.
    const double wrapsToTheMiddle =
        (plot.bottom() - plot.center().y() + 4294967296.0) * 35.0 / (plot.bottom() - plot.top()) - 60.0;
    for (double level : {702447879.7, -702447879.7, wrapsToTheMiddle, 1e300, -1e300, double(INFINITY),
                         -double(INFINITY)}) {
        SCOPED_TRACE(level);
        chart.Series1().Clear();
        const QImage empty = Render();
        chart.Series1().AddXY(140.0, -45.0);
        chart.Series1().AddXY(141.0, level);
        chart.Series1().AddXY(142.0, -45.0);
        const QImage image = Render();
        int stray = 0;
        for (int y = plot.top(); y <= plot.bottom(); ++y)
            for (int x = plot.left(); x <= plot.right(); ++x) {
                stray += x >= left && x <= right && image.pixel(x, y) != empty.pixel(x, y);
            }
        EXPECT_EQ(stray, 0);
        // The lines themselves reach the edge the level lies beyond.
        const int edge = level > 0 ? plot.top() : plot.bottom();
        const int column = Expected(plot, 140.0, 0).x();
        bool reached = false;
        for (int dx = -1; dx <= 1; ++dx)
            reached = reached || image.pixel(column + dx, edge) == kGreen;
        EXPECT_TRUE(reached);
    }
}

TEST_F(Chart, LeftDragZoomsAndUpLeftDragRestores)
{
    const QRect plot = chart.PlotArea();
    const QPoint from = Expected(plot, 140, -30);
    const QPoint to = Expected(plot, 150, -50);

    Drag(Qt::LeftButton, from, from + QPoint(15, 40));  // too narrow: no zoom
    EXPECT_FALSE(chart.Zoomed());

    Drag(Qt::LeftButton, from, to);
    EXPECT_TRUE(chart.Zoomed());
    EXPECT_NEAR(chart.ViewXMin(), 140, 0.1);
    EXPECT_NEAR(chart.ViewXMax(), 150, 0.1);
    EXPECT_NEAR(chart.ViewYMin(), -50, 0.2);
    EXPECT_NEAR(chart.ViewYMax(), -30, 0.2);

    Drag(Qt::LeftButton, to, from);  // up and to the left
    EXPECT_FALSE(chart.Zoomed());
    EXPECT_EQ(chart.ViewXMin(), 136);
    EXPECT_EQ(chart.ViewYMax(), -25);
}

TEST_F(Chart, RightDragPansHorizontallyOnly)
{
    const QRect plot = chart.PlotArea();
    const int pixelsPerMHz = (plot.right() - plot.left()) / 19;
    const QPoint from = plot.center();
    Drag(Qt::RightButton, from, from + QPoint(-2 * pixelsPerMHz, 60));
    EXPECT_NEAR(chart.ViewXMin() - 136, chart.ViewXMax() - 155, 1e-9);  // the width is kept
    EXPECT_NEAR(chart.ViewXMin(), 138, 0.2);
    EXPECT_EQ(chart.ViewYMin(), -60);
    EXPECT_EQ(chart.ViewYMax(), -25);
}

TEST_F(Chart, SeriesChangesScheduleARepaint)
{
    chart.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    QApplication::processEvents();
    int paints = 0;
    struct Counter : QObject {
        int* n;
        bool eventFilter(QObject*, QEvent* e) override
        {
            *n += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    counter.n = &paints;
    chart.installEventFilter(&counter);
    chart.Series1().AddXY(140, -40);
    QApplication::processEvents();
    EXPECT_EQ(paints, 1);
    chart.Series1().Clear();
    QApplication::processEvents();
    EXPECT_EQ(paints, 2);
}

} // namespace
