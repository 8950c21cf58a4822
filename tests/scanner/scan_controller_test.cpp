#include "scanner/scan_controller.h"

#include "fake_scan_view.h"
#include "protocol/numbers.h"
#include "protocol/reply_parser.h"
#include "recorded_messages.h"
#include "recording_port.h"
#include "virtual_clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

class LevelDisplay final : public ReplyDisplay {
public:
    void ShowStatusField(int, const std::string&) override {}
    void ShowOffset(const std::string&) override {}
    void ShowDecoderLock(DecoderLock) override {}
    void ShowScanLevel(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

// The frequency of a "<1/DF_136.200000\r" request, in MHz.
double TunedMHz(const std::string& request) { return StrToFloat(request.substr(6, request.size() - 7)); }

// The level the scripted modem reports at a frequency: a ramp that names the
// frequency it was measured at (136.0 MHz gives -36.0 dBm).
double LevelAt(double mhz) { return 100.0 - mhz; }

// Controller, window, port and a scripted modem whose replies go through the
// program's reply parser, as receive events that come after each handler.
class Scan : public ::testing::Test {
protected:
    // Replies to every request written since the last call, in one receive event.
    void Answer()
    {
        std::string data;
        for (; answered < port.writes.size(); ++answered) {
            const std::string& request = port.writes[answered].bytes;
            const std::string mnemonic = request.substr(3, request.find('_') - 3);
            if (mnemonic == "DF")
                tunedMHz = TunedMHz(request);
            if (mnemonic == "RSL")
                data += ">1/RSL_" + levelText(tunedMHz) + "dBm]";
            else
                data += ">1/" + mnemonic + "_]";
        }
        if (!data.empty())
            Receive(data);
    }
    void Receive(const std::string& data) { HandleReceived(state, data, display); }

    // One tick of Timer1, 100 ms after the previous handler returned.
    void Tick()
    {
        clock.Advance(100);
        ctl.Tick();
    }
    void TickAndAnswer()
    {
        Tick();
        Answer();
    }
    void StartAndAnswer()
    {
        ctl.Start();
        Answer();
    }
    // Ticks (each followed by the replies) while the timer runs, or until stop() says so.
    void RunWhileScanning(const std::function<bool()>& stop = [] { return false; })
    {
        for (int ticks = 0; view.timer && !stop(); ++ticks) {
            ASSERT_LT(ticks, 5000) << "the scan never ends";
            TickAndAnswer();
        }
    }
    std::vector<std::string> Requests(std::size_t from = 0) const
    {
        std::vector<std::string> out;
        for (std::size_t i = from; i < port.writes.size(); ++i)
            out.push_back(port.writes[i].bytes);
        return out;
    }
    const std::vector<double>& X() { return view.series.XValues.Value; }
    const std::vector<double>& Y() { return view.series.YValues.Value; }

    VirtualClock clock;
    RecordedMessages boxes;
    ProgramState state;
    RecordingPort port;
    FakeScanView view;
    LevelDisplay display;
    ScanController ctl{state, port, view};
    std::function<std::string(double)> levelText = [](double mhz) { return FloatToStrF(LevelAt(mhz), ffFixed, 5, 1); };
    std::size_t answered = 0;
    double tunedMHz = 0.0;
};

TEST_F(Scan, StartSequenceIsPacedAndSetsBusy)
{
    ctl.Start();
    const std::vector<RecordingPort::Write> expected = {
        {0, "<1/REM_\r"},
        {200, "<1/SDRV_1/2_200.000\r"},
        {700, "<1/DF_136.000000\r"},
    };
    EXPECT_EQ(port.writes, expected);
    EXPECT_EQ(clock.NowMs(), 800);  // the 100 ms settle pause after the DF
    EXPECT_EQ(ctl.ScanCommand, "<1/DF_136.000000");
    EXPECT_TRUE(state.LastCommand.empty());  // the main window's command is not the scanner's
    EXPECT_EQ(view.status, "Busy");
    EXPECT_EQ(view.statusColor, ScanBusyColor);
    EXPECT_EQ(view.frequency, "136.0 MHz");
    EXPECT_FALSE(view.startEnabled);
    EXPECT_TRUE(view.timer);
    EXPECT_TRUE(state.ScanLevelPending);
    EXPECT_EQ(ctl.ScanFrequency, 136.0);
}

TEST_F(Scan, FullScanWithEitherStep)
{
    struct Case {
        bool fine;
        std::size_t points;
        const char* lastRequest;
    };
    for (const Case& c : {Case{false, 96, "<1/DF_155.200000\r"}, Case{true, 191, "<1/DF_155.100000\r"}}) {
        SCOPED_TRACE(c.fine ? "0.1 MHz" : "0.2 MHz");
        view.fine = c.fine;
        StartAndAnswer();
        RunWhileScanning();

        ASSERT_EQ(X().size(), c.points);
        EXPECT_EQ(X().front(), 136.0);
        EXPECT_EQ(X().back(), 154.99999999999892);  // accumulated, never snapped to the grid
        for (std::size_t i = 0; i < X().size(); ++i) {
            // Each level belongs to the frequency tuned before it was read.
            EXPECT_NEAR(Y()[i], LevelAt(X()[i]), 1e-9) << i;
            if (i > 0) {
                EXPECT_NEAR(X()[i] - X()[i - 1], c.fine ? 0.1 : 0.2, 1e-9) << i;
            }
        }
        EXPECT_EQ(port.writes.back().bytes, c.lastRequest);
        EXPECT_EQ(view.frequency, c.fine ? "155.1 MHz" : "155.2 MHz");
        EXPECT_EQ(view.status, "Free");
        EXPECT_EQ(view.statusColor, ScanFreeColor);
        EXPECT_TRUE(view.startEnabled);
        EXPECT_FALSE(view.timer);
        EXPECT_EQ(ctl.ScanFrequency, 136.0);
        EXPECT_EQ(view.series.Labels(), nullptr);
        EXPECT_EQ(view.series.Colors(), nullptr);
        // Drawn at once after every point.
        ASSERT_EQ(view.countAtRepaint.size(), c.points);
        EXPECT_EQ(view.countAtRepaint.back(), static_cast<int>(c.points));
        EXPECT_TRUE(boxes.errors.empty());
        view.countAtRepaint.clear();
    }
}

// The handshake table: what a tick and each reply do in each of the four
// states of a running scan (R = ScanLevelRequested, P = ScanLevelPending).
TEST_F(Scan, HandshakeStateTable)
{
    enum Event { TickEvent, DfReply, RslReply };
    enum Effect { Nothing, SendsRsl, RecordsPoint };
    struct Row {
        const char* state;
        bool r, p;
        Event event;
        bool toR, toP;
        Effect effect;
    };
    const std::vector<Row> rows = {
        {"awaiting reply", true, true, TickEvent, true, true, Nothing},
        {"awaiting reply", true, true, DfReply, false, true, Nothing},
        {"awaiting reply", true, true, RslReply, true, false, Nothing},
        {"tuned", false, true, TickEvent, true, true, SendsRsl},
        {"tuned", false, true, DfReply, false, true, Nothing},
        {"tuned", false, true, RslReply, false, false, Nothing},
        {"level in", true, false, TickEvent, true, true, RecordsPoint},
        {"level in", true, false, DfReply, false, false, Nothing},
        {"level in", true, false, RslReply, true, false, Nothing},
        {"stale level", false, false, TickEvent, true, false, SendsRsl},
        {"stale level", false, false, DfReply, false, false, Nothing},
        {"stale level", false, false, RslReply, false, false, Nothing},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.state) + " / event " + std::to_string(row.event));
        StartAndAnswer();
        state.ScanLevelRequested = row.r;
        state.ScanLevelPending = row.p;
        state.ScanLevelText = "-41.5";  // what an RSL reply of this event left
        const std::size_t before = port.writes.size();
        const int points = view.series.Count();
        switch (row.event) {
        case TickEvent: ctl.Tick(); break;
        case DfReply: Receive(">1/DF_136.000000]"); break;
        case RslReply: Receive(">1/RSL_-41.5dBm]"); break;
        }
        EXPECT_EQ(state.ScanLevelRequested, row.toR);
        EXPECT_EQ(state.ScanLevelPending, row.toP);
        const std::vector<std::string> sent = Requests(before);
        switch (row.effect) {
        case Nothing:
            EXPECT_TRUE(sent.empty());
            EXPECT_EQ(view.series.Count(), points);
            break;
        case SendsRsl:
            EXPECT_EQ(sent, std::vector<std::string>{"<1/RSL_\r"});
            EXPECT_EQ(view.series.Count(), points);
            break;
        case RecordsPoint:
            // The point at 136.0, then the next frequency is tuned.
            EXPECT_EQ(sent, std::vector<std::string>{"<1/DF_136.200000\r"});
            ASSERT_EQ(view.series.Count(), points + 1);
            EXPECT_EQ(X().back(), 136.0);
            EXPECT_EQ(Y().back(), -41.5);
            break;
        }
        EXPECT_TRUE(view.timer);
        ctl.Stop();
        answered = port.writes.size();
    }
}

// A tick that falls before the DF reply sends RSL early; the DF reply then
// clears the request, the RSL reply leaves a stale level, a second RSL goes
// out and only the level after it is recorded.
TEST_F(Scan, EarlyLevelRequestIsAskedAgain)
{
    ctl.Start();  // first scan: R is false, so the scanner is "tuned" at once
    answered = port.writes.size();  // the modem is slow: nothing answered yet
    Tick();
    EXPECT_EQ(port.writes.back().bytes, "<1/RSL_\r");
    Receive(">1/REM_]>1/SDRV_]>1/DF_136.000000]");
    Receive(">1/RSL_-59.0dBm]");
    EXPECT_FALSE(state.ScanLevelRequested);
    EXPECT_FALSE(state.ScanLevelPending);
    answered = port.writes.size();

    levelText = [](double) { return std::string("-42.0"); };
    TickAndAnswer();  // stale level: a second RSL
    EXPECT_EQ(view.series.Count(), 0);
    TickAndAnswer();  // the point, from the second reply
    ASSERT_EQ(view.series.Count(), 1);
    EXPECT_EQ(X()[0], 136.0);
    EXPECT_EQ(Y()[0], -42.0);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"<1/REM_\r", "<1/SDRV_1/2_200.000\r", "<1/DF_136.000000\r",
                                                     "<1/RSL_\r", "<1/RSL_\r", "<1/DF_136.200000\r"}));
}

TEST_F(Scan, FineStepTickedMidScanAppliesFromTheNextPoint)
{
    StartAndAnswer();
    RunWhileScanning([&] { return view.series.Count() == 5; });
    view.fine = true;
    RunWhileScanning();

    ASSERT_GT(X().size(), 7u);
    for (std::size_t i = 1; i < X().size(); ++i)
        EXPECT_NEAR(X()[i] - X()[i - 1], i <= 5 ? 0.2 : 0.1, 1e-9) << i;
    EXPECT_NEAR(X()[6], 137.1, 1e-9);  // between the points of the 0.2 MHz grid
    EXPECT_EQ(port.writes.back().bytes, "<1/DF_155.100000\r");
}

TEST_F(Scan, SlowScanTickedMidScanLengthensTheNextSettle)
{
    // Settle pause = time from the DF write to the end of the handler.
    auto settleOfNextTune = [&] {
        for (int ticks = 0; ticks < 10; ++ticks) {
            const std::size_t before = port.writes.size();
            Tick();
            if (port.writes.size() > before && port.writes.back().bytes.rfind("<1/DF_", 0) == 0) {
                const std::int64_t settle = clock.NowMs() - port.writes.back().atMs;
                Answer();
                return settle;
            }
            Answer();
        }
        ADD_FAILURE() << "no tune";
        return std::int64_t{-1};
    };
    StartAndAnswer();
    EXPECT_EQ(settleOfNextTune(), 100);
    view.slow = true;
    EXPECT_EQ(settleOfNextTune(), 800);
    EXPECT_EQ(settleOfNextTune(), 800);
    view.slow = false;
    EXPECT_EQ(settleOfNextTune(), 100);
}

TEST_F(Scan, StopKeepsFrequencyAndFlags)
{
    StartAndAnswer();
    RunWhileScanning([&] { return view.series.Count() == 3; });
    const double frequency = ctl.ScanFrequency;
    const bool r = state.ScanLevelRequested, p = state.ScanLevelPending;
    ctl.Stop();
    EXPECT_FALSE(view.timer);
    EXPECT_EQ(view.status, "Free");
    EXPECT_EQ(view.statusColor, ScanFreeColor);
    EXPECT_TRUE(view.startEnabled);
    EXPECT_EQ(ctl.ScanFrequency, frequency);
    EXPECT_NEAR(frequency, 136.6, 1e-9);
    EXPECT_EQ(state.ScanLevelRequested, r);
    EXPECT_EQ(state.ScanLevelPending, p);
    EXPECT_EQ(view.series.Count(), 3);  // the plot stays
}

TEST_F(Scan, StopWhenIdleShowsFree)
{
    ctl.Stop();
    EXPECT_EQ(view.status, "Free");
    EXPECT_EQ(view.statusColor, ScanFreeColor);
    EXPECT_TRUE(view.startEnabled);
    EXPECT_TRUE(port.writes.empty());
}

TEST_F(Scan, CloseMidScanStopsOnlyTheTick)
{
    StartAndAnswer();
    RunWhileScanning([&] { return view.series.Count() == 2; });
    ctl.Close();
    EXPECT_FALSE(view.timer);
    EXPECT_EQ(view.status, "Busy");
    EXPECT_EQ(view.statusColor, ScanBusyColor);
    EXPECT_FALSE(view.startEnabled);
    ctl.Stop();  // a click on the status label restores the button
    EXPECT_EQ(view.status, "Free");
    EXPECT_TRUE(view.startEnabled);
}

TEST_F(Scan, RestartAfterStopBeginsAgainAt136WithAnEmptyPlot)
{
    StartAndAnswer();
    RunWhileScanning([&] { return view.series.Count() == 4; });
    Tick();  // stopped in mid-cycle, with the level requested and unanswered
    ctl.Stop();
    ASSERT_TRUE(state.ScanLevelRequested);
    answered = port.writes.size();

    const std::size_t before = port.writes.size();
    ctl.Start();
    EXPECT_EQ(view.series.Count(), 0);
    EXPECT_EQ(ctl.ScanFrequency, 136.0);
    EXPECT_EQ(Requests(before),
              (std::vector<std::string>{"<1/REM_\r", "<1/SDRV_1/2_200.000\r", "<1/DF_136.000000\r"}));
    Answer();
    RunWhileScanning([&] { return view.series.Count() == 1; });
    EXPECT_EQ(X()[0], 136.0);
}

TEST_F(Scan, StartWithThePortClosedChangesNothing)
{
    view.series.AddXY(140.0, -50.0);  // the previous plot
    port.open = false;
    ctl.Start();
    EXPECT_EQ(boxes.messages, std::vector<std::string>{"First, open Com Port please !"});
    EXPECT_TRUE(boxes.errors.empty());
    EXPECT_TRUE(port.writes.empty());
    EXPECT_TRUE(view.startEnabled);
    EXPECT_FALSE(view.timer);
    EXPECT_EQ(view.status, "Status");
    EXPECT_EQ(view.series.Count(), 1);
    EXPECT_FALSE(state.ScanLevelPending);
}

// A level text that is no number: one error box for the scan, and the level
// is asked for again at the same frequency instead of failing at every tick.
TEST_F(Scan, UnconvertibleLevelIsReportedOnceAndAskedAgain)
{
    struct Case {
        const char* name;
        std::function<void()> spoil;  // what happens between the RSL reply and the tick
        const char* error;
    };
    const std::vector<Case> cases = {
        // Another receive event (here the status poll's reply) empties ScanLevelText.
        {"emptied", [&] { Receive(">1/CSV_+120\r>1/OK\r]"); }, "'' is not a valid floating point value"},
        {"malformed", [&] { state.ScanLevelText = "-4x.0"; }, "'-4x.0' is not a valid floating point value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.errors.clear();
        StartAndAnswer();
        TickAndAnswer();  // RSL, answered
        c.spoil();
        const std::size_t before = port.writes.size();
        Tick();
        EXPECT_EQ(boxes.errors, std::vector<std::string>{c.error});
        EXPECT_EQ(view.series.Count(), 0);
        EXPECT_FALSE(state.ScanLevelRequested);
        EXPECT_TRUE(state.ScanLevelPending);
        EXPECT_TRUE(view.timer);

        Tick();  // asked again, no retune
        EXPECT_EQ(Requests(before), std::vector<std::string>{"<1/RSL_\r"});
        Answer();
        TickAndAnswer();
        ASSERT_EQ(view.series.Count(), 1);
        EXPECT_EQ(X()[0], 136.0);

        // A second bad level in the same scan is asked for again without another box.
        TickAndAnswer();
        c.spoil();
        Tick();
        EXPECT_EQ(boxes.errors.size(), 1u);
        Answer();
        RunWhileScanning();
        EXPECT_EQ(X().size(), 96u);
        EXPECT_EQ(boxes.errors.size(), 1u);
    }
}

// A write that fails at any point of a scan ends it with one error box.
TEST(ScanFailure, FailingPortStopsTheScanWithOneError)
{
    struct Case {
        const char* where;
        int failAfter;  // writes that still succeed
        std::size_t points;
    };
    const std::vector<Case> cases = {
        {"REM", 0, 0}, {"SDRV", 1, 0}, {"first DF", 2, 0}, {"RSL", 3, 0}, {"next DF", 4, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        VirtualClock clock;
        RecordedMessages boxes;
        ProgramState state;
        RecordingPort port;
        FakeScanView view;
        ScanController ctl(state, port, view);
        port.failAfter = c.failAfter;

        ctl.Start();
        // The modem answers every request at once; Timer1 ticks while it runs.
        for (int ticks = 0; ticks < 50 && view.timer; ++ticks) {
            if (ctl.ScanCommand == "<1/RSL_") {
                state.ScanLevelText = "-50.0";
                state.ScanLevelPending = false;
            } else {
                state.ScanLevelRequested = false;
            }
            ctl.Tick();
        }
        EXPECT_EQ(boxes.errors, std::vector<std::string>{"WriteFile function failed (Error: 5)"});
        EXPECT_FALSE(view.timer);
        EXPECT_TRUE(view.startEnabled);
        EXPECT_EQ(view.status, "Free");
        EXPECT_EQ(view.statusColor, ScanFreeColor);
        EXPECT_EQ(view.series.Count(), static_cast<int>(c.points));
        EXPECT_EQ(port.writes.size(), static_cast<std::size_t>(c.failAfter));
    }
}

TEST_F(Scan, PortClosedMidScanStopsTheScan)
{
    StartAndAnswer();
    RunWhileScanning([&] { return view.series.Count() == 2; });
    port.open = false;
    RunWhileScanning();
    EXPECT_EQ(boxes.errors, std::vector<std::string>{"Port Not Open"});
    EXPECT_TRUE(view.startEnabled);
    EXPECT_EQ(view.status, "Free");
}

// Keeps the listener's calls as words.
class ScanEvents final : public ScanListener {
public:
    void ScanStarted() override { log.push_back("started"); }
    void ScanFinished(const TChartSeries& points) override { log.push_back("finished " + std::to_string(points.Count())); }
    void ScanStopped() override { log.push_back("stopped"); }
    void PointRecorded(double mhz, const std::string& levelText) override
    {
        points.push_back(FloatToStrF(mhz, ffFixed, 15, 1) + " " + levelText);
    }
    std::vector<std::string> log;
    std::vector<std::string> points;
};

TEST_F(Scan, ListenersHearStartAndHowTheScanEnded)
{
    ScanEvents events;
    ctl.AddListener(events);
    ctl.Stop();  // nothing runs: nothing to tell
    StartAndAnswer();
    EXPECT_TRUE(ctl.Scanning());
    RunWhileScanning();
    EXPECT_FALSE(ctl.Scanning());
    StartAndAnswer();
    TickAndAnswer();
    ctl.Stop();  // the operator's click on the status label
    ctl.Stop();
    port.failAfter = static_cast<int>(port.writes.size()) + 1;
    StartAndAnswer();  // the second write of the start fails
    ctl.RemoveListener(events);
    StartAndAnswer();
    EXPECT_EQ(events.log, (std::vector<std::string>{"started", "finished 96", "started", "stopped", "started", "stopped"}));
}

TEST_F(Scan, ListenersHearEachPlottedPointWithTheLevelTextItWasReadFrom)
{
    ScanEvents events;
    ctl.AddListener(events);
    // Two decimals: the texts are kept as sent, not made again from the plotted numbers.
    levelText = [](double mhz) { return FloatToStrF(LevelAt(mhz), ffFixed, 5, 2); };
    StartAndAnswer();
    RunWhileScanning();
    ASSERT_EQ(events.points.size(), 96u);
    EXPECT_EQ(events.points[0], "136.0 -36.00");
    EXPECT_EQ(events.points[1], "136.2 -36.20");
    EXPECT_EQ(events.points[95], "155.0 -55.00");
    ctl.RemoveListener(events);
}

} // namespace
