// What the chart does beyond the scan plot's fixed axes, for the pass plot:
// axes that follow their data (a time axis), shaded spans, a cursor line,
// the X under the mouse, view changes told, a context menu on a right click,
// stacked charts that line up, and gaps in a line. The scan plot's own look
// and gestures are checked in tests/scanner.
#include "widgets/ui/chart.h"

#include "mouse_events.h"
#include "qt_test_environment.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <vector>

namespace {

VR_QT_TEST_ENVIRONMENT();

const QRgb kNavy = qRgb(0, 0, 128);

class ChartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        chart.resize(529, 281);
        // A pass-plot strip: 1000..1600 s, a label every 120 s, -60..-20 dBm.
        TChartStyle& s = chart.Style();
        s.BottomAxis = {1000, 1600, 0, QStringLiteral("UTC")};
        s.BottomAxis.IncrementFor = [](double span) { return span / 5; };
        s.BottomAxis.LabelText = [this](double v, double step) {
            labelled.insert(v);
            lastStep = step;
            return QString::number(v);
        };
        s.LeftAxis = {-60, -20, 10, QStringLiteral("dBm")};
        chart.ShowAxes();
    }

    QImage Render()
    {
        QImage image(chart.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        chart.render(&image);
        return image;
    }
    int Column(double x) const
    {
        const QRect plot = chart.PlotArea();
        return plot.left() + int(std::lround((x - chart.ViewXMin()) / (chart.ViewXMax() - chart.ViewXMin()) *
                                             (plot.right() - plot.left())));
    }
    // Pixels of the colour in the plot area's column at x.
    int CountInColumn(const QImage& image, int column, QRgb colour) const
    {
        const QRect plot = chart.PlotArea();
        int n = 0;
        for (int y = plot.top(); y <= plot.bottom(); ++y)
            n += image.pixel(column, y) == colour;
        return n;
    }
    void Send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
    {
        SendMouse(chart, type, at, button, held);
    }
    void Drag(Qt::MouseButton button, QPoint from, QPoint to) { MouseDrag(chart, button, from, to); }

    TChart chart;
    std::set<double> labelled;
    double lastStep = 0;
};

TEST_F(ChartTest, AnAxisThatFollowsItsDataLabelsItsMarksWithItsOwnStepAndText)
{
    const QImage image = Render();
    // Marks on the multiples of the step (a time axis: whole minutes, hours...).
    for (double v : {1080.0, 1200.0, 1320.0, 1440.0, 1560.0})
        EXPECT_EQ(labelled.count(v), 1u) << v;
    EXPECT_EQ(labelled.count(1000.0), 0u);
    EXPECT_EQ(lastStep, 120);
    // Each mark has its grid line.
    EXPECT_GT(CountInColumn(image, Column(1200), qRgb(53, 53, 53)), 10);

    // Zoomed to a tenth, the step is asked for that span.
    chart.Style().BottomAxis.Minimum = 1200;
    chart.Style().BottomAxis.Maximum = 1260;
    chart.ShowAxes();
    labelled.clear();
    Render();
    EXPECT_EQ(lastStep, 12);
    EXPECT_EQ(labelled.count(1212.0), 1u);

    // Marks without labels: only the width of the last label is asked for,
    // so that stacked charts keep the same plot width.
    chart.Style().BottomAxis.LabelsVisible = false;
    labelled.clear();
    Render();
    EXPECT_EQ(labelled, std::set<double>{1260.0});
}

TEST_F(ChartTest, StackedChartsWithTheSameLabelWidthLineUp)
{
    TChart other;
    other.resize(chart.size());
    other.Style() = chart.Style();
    other.Style().LeftAxis = {-2000, 2000, 1000, QStringLiteral("Hz")};  // wider labels
    other.ShowAxes();
    EXPECT_NE(other.PlotArea().left(), chart.PlotArea().left());
    chart.Style().LeftLabelsWidth = 40;
    other.Style().LeftLabelsWidth = 40;
    EXPECT_EQ(other.PlotArea().left(), chart.PlotArea().left());
    EXPECT_EQ(other.PlotArea().right(), chart.PlotArea().right());
    // An upper strip without time labels or title gives the room to its plot.
    const int height = chart.PlotArea().height();
    other.Style().BottomAxis.LabelsVisible = false;
    other.Style().BottomAxis.Title.clear();
    EXPECT_GT(other.PlotArea().height(), height);
    EXPECT_EQ(other.PlotArea().right(), chart.PlotArea().right());
}

TEST_F(ChartTest, ShadedSpansLieBehindTheSeriesWithinThePlotArea)
{
    const QRgb shade = chart.Style().ShadeColor.rgb();
    chart.SetShadedSpans({{1100, 1150}, {1500, 1900}, {2000, 2100}});
    const QImage image = Render();
    const int mid = chart.PlotArea().center().y();
    EXPECT_EQ(image.pixel(Column(1110), mid), shade);
    EXPECT_EQ(image.pixel(Column(1140), mid), shade);
    EXPECT_EQ(image.pixel(Column(1170), mid), kNavy);
    EXPECT_EQ(image.pixel(Column(1590), mid), shade);
    // Cut at the plot area's edge: nothing to its right is shaded.
    EXPECT_EQ(image.pixel(chart.PlotArea().right() + 2, mid), kNavy);
    EXPECT_EQ(chart.ShadedSpans().size(), 3u);
    // The series goes over the shade.
    chart.Series1().AddXY(1100, -40);
    chart.Series1().AddXY(1150, -40);
    const QImage over = Render();
    const int y = chart.PlotArea().bottom() - int(std::lround(20.0 / 40 * chart.PlotArea().height()));
    int line = 0;
    for (int dy = -1; dy <= 1; ++dy)
        line += over.pixel(Column(1125), y + dy) == qRgb(0, 128, 0);
    EXPECT_EQ(line, 1);
}

TEST_F(ChartTest, TheCursorLineMarksAnXInTheRangeShown)
{
    const QRgb white = qRgb(255, 255, 255);
    EXPECT_EQ(CountInColumn(Render(), Column(1300), white), 0);
    chart.SetCursorX(1300);
    EXPECT_EQ(CountInColumn(Render(), Column(1300), white), chart.PlotArea().height());
    EXPECT_EQ(chart.CursorX(), 1300);
    chart.SetCursorX(5000);  // outside: no line anywhere
    const QImage image = Render();
    int any = 0;
    for (int x = chart.PlotArea().left(); x <= chart.PlotArea().right(); ++x)
        any += CountInColumn(image, x, white);
    EXPECT_EQ(any, 0);
}

TEST_F(ChartTest, TheXUnderTheMouseIsToldWhileItMovesWithoutAButton)
{
    EXPECT_FALSE(chart.hasMouseTracking()) << "no hover, no tracking: the scan plot's mouse stays as it was";
    std::vector<std::optional<double>> told;
    chart.SetOnHover([&](std::optional<double> x) { told.push_back(x); });
    EXPECT_TRUE(chart.hasMouseTracking());
    const QRect plot = chart.PlotArea();
    Send(QEvent::MouseMove, {Column(1300), plot.center().y()}, Qt::NoButton, Qt::NoButton);
    Send(QEvent::MouseMove, {2, 2}, Qt::NoButton, Qt::NoButton);  // over the title
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&chart, &leave);
    ASSERT_EQ(told.size(), 3u);
    ASSERT_TRUE(told[0]);
    EXPECT_NEAR(*told[0], 1300, 600.0 / plot.width());
    EXPECT_FALSE(told[1]);
    EXPECT_FALSE(told[2]);
}

TEST_F(ChartTest, TheOperatorsZoomPanAndUndoAreTold)
{
    std::vector<bool> told;  // undone?
    chart.SetOnViewChanged([&](bool undone) { told.push_back(undone); });
    const QPoint c = chart.PlotArea().center();
    Drag(Qt::LeftButton, c, c + QPoint(60, 40));
    ASSERT_EQ(told, std::vector<bool>{false});
    Drag(Qt::LeftButton, c, c - QPoint(30, 30));
    EXPECT_EQ(told, (std::vector<bool>{false, true}));
    told.clear();
    Drag(Qt::RightButton, c, c + QPoint(50, 0));  // no actions: a drag pans and no menu shows
    EXPECT_FALSE(told.empty());
    EXPECT_EQ(told.back(), false);
    EXPECT_LT(chart.ViewXMin(), 1000);
    told.clear();
    chart.ShowAxes();  // the owner's change is not the operator's
    EXPECT_TRUE(told.empty());
}

TEST_F(ChartTest, ARightClickWithoutADragOpensTheActionsARightDragPans)
{
    QAction save(QStringLiteral("Save as CSV..."));
    chart.addAction(&save);
    int saved = 0;
    QObject::connect(&save, &QAction::triggered, [&] { ++saved; });
    QStringList shown;
    // The menu runs its own loop: pick the entry from inside it.
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* a : menu->actions())
            shown << a->text();
        menu->actions().front()->trigger();
        menu->close();
    });
    const QPoint c = chart.PlotArea().center();
    Send(QEvent::MouseButtonPress, c, Qt::RightButton, Qt::RightButton);
    Send(QEvent::MouseMove, c + QPoint(2, 1), Qt::NoButton, Qt::RightButton);  // a hand's tremble
    Send(QEvent::MouseButtonRelease, c + QPoint(2, 1), Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(shown, QStringList{QStringLiteral("Save as CSV...")});
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(chart.ViewXMin(), 1000) << "a click leaves the view as it was";

    Drag(Qt::RightButton, c, c + QPoint(60, 0));  // no menu: nothing would close it
    EXPECT_LT(chart.ViewXMin(), 1000);
    EXPECT_EQ(saved, 1);
}

TEST_F(ChartTest, APointOfNoValueBreaksTheLine)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    chart.Series1().PointerVisible = false;
    for (double x : {1100.0, 1200.0})
        chart.Series1().AddXY(x, -40);
    chart.Series1().AddXY(1300, nan);
    for (double x : {1400.0, 1500.0})
        chart.Series1().AddXY(x, -40);
    const QImage image = Render();
    const QRgb green = qRgb(0, 128, 0);
    EXPECT_EQ(CountInColumn(image, Column(1150), green), 1);
    EXPECT_EQ(CountInColumn(image, Column(1250), green), 0);
    EXPECT_EQ(CountInColumn(image, Column(1350), green), 0);
    EXPECT_EQ(CountInColumn(image, Column(1450), green), 1);
}

} // namespace
