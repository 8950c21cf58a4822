// The pass plot window on a hub with an injected clock and a real pass log:
// it opens on the last hour of today's log, follows the poll live, shades
// the lock, reads out the values under the mouse, keeps its three strips on
// one time range, and shows other days' files whole.
#include "records/pass_log.h"
#include "records/ui/pass_plot.h"
#include "widgets/ui/chart.h"

#include "mouse_events.h"
#include "parsed_replies.h"
#include "qt_test_environment.h"
#include "temp_dir.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <cmath>

namespace fs = std::filesystem;

namespace {

VR_QT_TEST_ENVIRONMENT();

// 2026-12-11T09:41:07.250Z
constexpr std::int64_t kNow = 1'796'982'067'250;
constexpr std::int64_t kMinute = 60'000;

class FixedClock final : public UtcClock {
public:
    std::int64_t NowUtcMs() override { return now; }
    std::int64_t now = kNow;
};

ParsedReply Bcas(const std::string& level, const std::string& ebno)
{
    return BcasReply({level, "1.0E-5", "<1.0E-9", "0", ebno, "50", "0.0E+0"});
}

bool WaitFor(const std::function<bool()>& done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

double Seconds(std::int64_t ms) { return static_cast<double>(ms) / 1000.0; }

class PassPlotTest : public ::testing::Test {
protected:
    PassPlotTest()
    {
        hub.SetPollRunning(true);
        // Two hours of polling, a row every 2 s, locked from 40 to 30 minutes ago.
        for (std::int64_t t = kNow - 120 * kMinute; t < kNow; t += 2'000) {
            const bool locked = t >= kNow - 40 * kMinute && t < kNow - 30 * kMinute;
            Reply(t, locked);
            if ((t - kNow) / 2'000 % 500 == 0)
                passes.Flush();  // two hours in a moment: more than the writer's queue holds
        }
        EXPECT_TRUE(hub.NoteTexts().empty()) << hub.NewestNote();
        passes.Flush();
        clock.now = kNow;
    }

    void Reply(std::int64_t at, bool locked)
    {
        clock.now = at;
        hub.Replied(CsvReply(std::to_string(100 + at / 2'000 % 7), locked ? "OK" : "FLT"));
        hub.Replied(Bcas("-" + std::to_string(40 + at / 2'000 % 11) + ".5", locked ? "9.5" : "0.0"));
    }
    TPassPlot& Open()
    {
        plot = std::make_unique<TPassPlot>(hub, worker, [this](std::int64_t ms) { return passes.FileFor(ms); });
        plot->resize(820, 600);
        plot->show();
        plot->OpenToday();
        EXPECT_TRUE(WaitFor([&] { return !plot->Loading(); }));
        return *plot;
    }
    void MoveMouse(TChart* chart, QPoint at) { SendMouse(*chart, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton); }
    void Drag(TChart* chart, QPoint from, QPoint to) { MouseDrag(*chart, Qt::LeftButton, from, to); }
    int Column(TChart* chart, double x) const
    {
        const QRect plot = chart->PlotArea();
        return plot.left() + int(std::lround((x - chart->ViewXMin()) / (chart->ViewXMax() - chart->ViewXMin()) *
                                             (plot.right() - plot.left())));
    }

    TempDir dir;
    FixedClock clock;
    StationHub hub{clock};
    FileWorker worker;
    PassLog passes{hub, worker, {dir.Path() / "logs", {}, {}}};
    std::unique_ptr<TPassPlot> plot;
};

TEST_F(PassPlotTest, OpensOnTheLastHourOfTodaysLogWithTheLockShaded)
{
    TPassPlot& p = Open();
    EXPECT_TRUE(p.Live());
    EXPECT_TRUE(p.FollowBox()->isChecked());
    // The hour up to the last row, 2 s ago, and a fiftieth of it as room.
    const std::int64_t last = kNow - 2'000;
    EXPECT_DOUBLE_EQ(p.Shown().From(), Seconds(last - 60 * kMinute));
    EXPECT_DOUBLE_EQ(p.Shown().To(), Seconds(last) + 72);
    EXPECT_EQ(p.Track().Samples().size(), 3600u);

    for (TChart* chart : {p.LevelChart(), p.EbnoChart(), p.OffsetChart()}) {
        EXPECT_DOUBLE_EQ(chart->ViewXMin(), p.Shown().From());
        EXPECT_DOUBLE_EQ(chart->ViewXMax(), p.Shown().To());
        // The hour's 1801 rows and one before it, so the line reaches the edge.
        const auto& xs = chart->Series1().XValues.Value;
        ASSERT_EQ(xs.size(), 1802u);
        EXPECT_LT(xs.front(), chart->ViewXMin());
        EXPECT_GE(xs[1], chart->ViewXMin());
        // Locked from the first row that showed it to the first that did not.
        ASSERT_EQ(chart->ShadedSpans().size(), 1u);
        EXPECT_DOUBLE_EQ(chart->ShadedSpans()[0].first, Seconds(kNow - 40 * kMinute));
        EXPECT_DOUBLE_EQ(chart->ShadedSpans()[0].second, Seconds(kNow - 30 * kMinute));
    }
    // The level's scale fits the values shown: -50.5 .. -40.5 dBm.
    EXPECT_LE(p.LevelChart()->ViewYMin(), -50.5);
    EXPECT_GE(p.LevelChart()->ViewYMax(), -40.5);
    EXPECT_GT(p.LevelChart()->ViewYMin(), -60);
    EXPECT_EQ(p.Readout()->text().toStdString(), ReadoutText(p.Track().Samples().back()));
}

TEST_F(PassPlotTest, LiveRepliesWhileThePollRunsExtendThePlotAndTheAxisFollows)
{
    TPassPlot& p = Open();
    Reply(kNow, true);
    Reply(kNow + 2'000, true);
    ASSERT_EQ(p.Track().Samples().size(), 3602u);
    EXPECT_DOUBLE_EQ(p.LevelChart()->Series1().XValues.Value.back(), Seconds(kNow + 2'000));
    EXPECT_GE(p.Shown().To(), Seconds(kNow + 2'000));
    EXPECT_DOUBLE_EQ(p.OffsetChart()->ViewXMax(), p.Shown().To());
    EXPECT_EQ(p.LevelChart()->ShadedSpans().back(), std::make_pair(Seconds(kNow), Seconds(kNow + 2'000)));

    hub.SetPollRunning(false);
    Reply(kNow + 4'000, true);  // a request typed by hand
    EXPECT_EQ(p.Track().Samples().size(), 3602u);
    hub.SetPollRunning(true);
    p.hide();
    Reply(kNow + 6'000, true);
    EXPECT_EQ(p.Track().Samples().size(), 3602u) << "a hidden plot does no work";
}

TEST_F(PassPlotTest, TheValuesUnderTheMouseAreReadOutAndMarkedInEveryStrip)
{
    TPassPlot& p = Open();
    const PassSample& s = p.Track().Samples()[3000];
    TChart* offset = p.OffsetChart();
    MoveMouse(offset, {Column(offset, Seconds(s.utcMs)), offset->PlotArea().center().y()});
    // A pixel spans some 5 s of the hour, two or three rows: the row nearest
    // to the pixel's time is read out and marked.
    ASSERT_TRUE(offset->CursorX());
    const double perPixel = 3600.0 / offset->PlotArea().width();
    EXPECT_NEAR(*offset->CursorX(), Seconds(s.utcMs), perPixel);
    const PassSample* marked = p.Track().Nearest(static_cast<std::int64_t>(std::llround(*offset->CursorX() * 1000)));
    ASSERT_NE(marked, nullptr);
    EXPECT_EQ(Seconds(marked->utcMs), *offset->CursorX());
    EXPECT_EQ(p.Readout()->text().toStdString(), ReadoutText(*marked));
    for (TChart* chart : {p.LevelChart(), p.EbnoChart()})
        EXPECT_EQ(chart->CursorX(), offset->CursorX());
    MoveMouse(offset, {1, 1});
    EXPECT_FALSE(p.LevelChart()->CursorX());
    EXPECT_EQ(p.Readout()->text().toStdString(), ReadoutText(p.Track().Samples().back()));
}

TEST_F(PassPlotTest, AZoomInOneStripShowsTheSameTimeInAllAndStopsFollowingUntilUndone)
{
    TPassPlot& p = Open();
    TChart* level = p.LevelChart();
    const QRect plot = level->PlotArea();
    Drag(level, plot.topLeft() + QPoint(100, 5), plot.topLeft() + QPoint(200, 60));
    EXPECT_FALSE(p.FollowBox()->isChecked());
    const double from = level->ViewXMin();
    const double to = level->ViewXMax();
    EXPECT_LT(to - from, 3600.0 / 2);
    for (TChart* chart : {p.EbnoChart(), p.OffsetChart()}) {
        EXPECT_DOUBLE_EQ(chart->ViewXMin(), from);
        EXPECT_DOUBLE_EQ(chart->ViewXMax(), to);
    }
    Reply(kNow, false);
    EXPECT_DOUBLE_EQ(level->ViewXMax(), to) << "the operator's view stays put";

    p.FollowBox()->click();  // following again, at the width chosen
    EXPECT_TRUE(p.Shown().Following());
    EXPECT_GT(level->ViewXMax(), Seconds(kNow));
    EXPECT_NEAR(level->ViewXMax() - level->ViewXMin(), to - from, (to - from) / 49);

    Drag(level, plot.topLeft() + QPoint(100, 5), plot.topLeft() + QPoint(200, 60));
    Drag(level, plot.center(), plot.center() - QPoint(40, 40));  // undone: the last hour again
    EXPECT_TRUE(p.FollowBox()->isChecked());
    EXPECT_DOUBLE_EQ(level->ViewXMin(), Seconds(kNow - 60 * kMinute));
    EXPECT_DOUBLE_EQ(p.OffsetChart()->ViewXMin(), level->ViewXMin());
}

TEST_F(PassPlotTest, AnotherDaysFileIsShownWholeAndDoesNotGoLive)
{
    const fs::path yesterday = dir.Path() / "logs" / "pass-2026-12-10.csv";
    WriteFileBytes(yesterday.string(), std::string(kPassLogHeader) +
                                           "2026-12-10T10:00:00.000Z,NOAA-19,137.1,-45.0,,,,5.5,,,120,OK\n"
                                           "2026-12-10T10:05:00.000Z,NOAA-19,137.1,-47.0,,,,4.5,,,130,FAULT\n");
    TPassPlot& p = Open();
    p.OpenFile(yesterday);
    ASSERT_TRUE(WaitFor([&] { return !p.Loading(); }));
    EXPECT_FALSE(p.Live());
    EXPECT_FALSE(p.FollowBox()->isChecked());
    ASSERT_EQ(p.Track().Samples().size(), 2u);
    EXPECT_LT(p.LevelChart()->ViewXMin(), Seconds(p.Track().Samples().front().utcMs));
    EXPECT_GT(p.LevelChart()->ViewXMax(), Seconds(p.Track().Samples().back().utcMs));
    EXPECT_LT(p.LevelChart()->ViewXMax() - p.LevelChart()->ViewXMin(), 400);
    Reply(kNow, true);
    EXPECT_EQ(p.Track().Samples().size(), 2u);

    const fs::path scan = dir.Path() / "scan.csv";
    WriteFileBytes(scan.string(), "frequency_mhz,level_dbm\n136.000000,-50\n");
    p.OpenFile(scan);
    ASSERT_TRUE(WaitFor([&] { return !p.Loading(); }));
    EXPECT_TRUE(p.Track().Samples().empty());
    EXPECT_TRUE(p.findChild<QLabel*>(QStringLiteral("PassSource"))->text().contains(QStringLiteral("not a pass log")));
}

} // namespace
